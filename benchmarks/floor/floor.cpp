// The cheapest call that does what every kinetrope position call does: take
// one pip through the same converting-mode int argument and hand back a new
// Offset3 object of a class registered the same way.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <tuple>

namespace py = pybind11;

namespace {

// kinetrope::Offset3's layout under a type of its own: pybind11 registers a
// C++ type once per process, and the benchmark loads both modules.
struct Offset3 {
    double x;
    double y;
    double z;
};

Offset3 fixed_offset(int) noexcept { return {0.25, -0.5, 0.75}; }

}  // namespace

PYBIND11_MODULE(kinetrope_floor, m, py::multiple_interpreters::not_supported()) {
    py::class_<Offset3>(m, "Offset3")
        .def_readonly("x", &Offset3::x)
        .def_readonly("y", &Offset3::y)
        .def_readonly("z", &Offset3::z)
        .def("as_tuple", [](const Offset3& o) { return std::make_tuple(o.x, o.y, o.z); });
    m.def("fixed_offset", &fixed_offset);
}
