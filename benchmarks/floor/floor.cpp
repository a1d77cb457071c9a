// The cheapest calls that do what the kinetrope position calls do: take one
// pip through the same converting-mode int argument (and, where the call
// names a motion, a name as text) and hand back a new Offset3 object of a
// class registered the same way. One floor per kind of call: a module
// function, or a method of an object (which also loads and checks `self`).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string_view>
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

Offset3 fixed_offset_named(std::string_view, int) noexcept { return {0.25, -0.5, 0.75}; }

// An object whose methods are the floor of a method call.
struct Source {
    Offset3 fixed_offset(int) const noexcept { return {0.25, -0.5, 0.75}; }
    Offset3 fixed_offset_named(std::string_view, int) const noexcept { return {0.25, -0.5, 0.75}; }
};

}  // namespace

PYBIND11_MODULE(kinetrope_floor, m, py::multiple_interpreters::not_supported()) {
    py::class_<Offset3>(m, "Offset3")
        .def_readonly("x", &Offset3::x)
        .def_readonly("y", &Offset3::y)
        .def_readonly("z", &Offset3::z)
        .def("as_tuple", [](const Offset3& o) { return std::make_tuple(o.x, o.y, o.z); });
    m.def("fixed_offset", &fixed_offset);
    m.def("fixed_offset_named", &fixed_offset_named);
    py::class_<Source>(m, "Source")
        .def(py::init<>())
        .def("fixed_offset", &Source::fixed_offset)
        .def("fixed_offset_named", &Source::fixed_offset_named);
}
