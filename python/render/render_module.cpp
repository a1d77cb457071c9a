// kinetrope_tools._render: a whole timeline of pips answered in one call.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "motion_source.hpp"
#include "pip_timeline.hpp"

namespace py = pybind11;

namespace kinetrope::render {
namespace {

// The source is checked and any name copied first, then every pip is
// converted into the result, and only then is the core object reached and
// the timeline answered: every error is raised before any row is written.
py::array_t<double> render(py::object source, py::handle pips, py::handle name) {
    const MotionSource motion(std::move(source), name);
    py::array_t<double> rows = timeline_rows(pips, motion.width());
    motion.write_rows(rows.mutable_data(), static_cast<std::size_t>(rows.shape(0)));
    return rows;
}

}  // namespace
}  // namespace kinetrope::render

PYBIND11_MODULE(_render, m, py::multiple_interpreters::not_supported()) {
    m.doc() = "Whole timelines of kinetrope positions as NumPy arrays";
    m.def("render", &kinetrope::render::render, py::arg("source"), py::arg("pips"), py::arg("name") = py::none());
}
