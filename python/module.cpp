// The kinetrope extension module: registers every name in a fixed order.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <tuple>

#include "bindings.hpp"
#include "name_argument.hpp"
#include "unknown_motion.hpp"
#include "kinetrope/catalogue.hpp"
#include "kinetrope/rudiments.hpp"
#include "kinetrope/time_base.hpp"

namespace py = pybind11;

namespace kinetrope::python {

namespace {

void bind_offset3(py::module_& m) {
    // Created only by the module: no constructor, read-only axes, identity
    // equality and hashing.
    define_class<Offset3>(m, "Offset3")
        .def_readonly("x", &Offset3::x)
        .def_readonly("y", &Offset3::y)
        .def_readonly("z", &Offset3::z)
        .def("as_tuple", [](const Offset3& o) { return std::make_tuple(o.x, o.y, o.z); });
}

void bind_functions(py::module_& m) {
    m.def("sample", [](NameArgument name, int pip) { return kinetrope::sample(name.bytes, pip); },
          py::arg("name"), py::arg("pip_count"));
    m.def("catalogue", [] { return catalogue_rows(kinetrope::catalogue()); });

    // Each rudiment takes its pip by position only, in converting mode.
    m.def("bounce", &bounce);
    m.def("sway", &sway);
    m.def("circle", &circle);
    m.def("figure_eight", &figure_eight);
    m.def("step_touch", &step_touch);
    m.def("box_step", &box_step);
    m.def("helix", &helix);
    m.def("varn_background", &varn_background);
    m.def("single_stroke_roll", &single_stroke_roll);
    m.def("double_stroke_roll", &double_stroke_roll);
    m.def("multiple_bounce_roll", &multiple_bounce_roll);
    m.def("single_paradiddle", &single_paradiddle);
    m.def("flam", &flam);
    m.def("drag", &drag);
    m.def("five_stroke_roll", &five_stroke_roll);
}

}  // namespace
}  // namespace kinetrope::python

PYBIND11_MODULE(kinetrope, m, py::multiple_interpreters::not_supported()) {
    using namespace kinetrope::python;
    py::register_exception_translator(&translate_unknown_motion);
    m.doc() = "Integer-pip rhythmic position functions";
    m.attr("PIPS_PER_BEAT") = kinetrope::pips_per_beat;
    bind_sampled_recording(m);
    bind_offset3(m);
    bind_sampled_pattern(m);
    bind_pattern_library(m);
    bind_functions(m);
}
