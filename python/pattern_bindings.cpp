// Python classes SampledPattern and PatternLibrary.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bindings.hpp"
#include "name_argument.hpp"
#include "kinetrope/pattern_library.hpp"
#include "kinetrope/sampled_pattern.hpp"

namespace kinetrope::python {

// A pattern's sample table as it arrives from Python: a sequence of
// (x, y, z) triples, read in one pass straight into Offset3 records.
struct SampleTable {
    std::vector<Offset3> rows;
};

bool load_coordinate(py::handle item, bool convert, double& coordinate) {
    py::detail::make_caster<double> caster;
    if (!caster.load(item, convert)) {
        return false;
    }
    coordinate = py::detail::cast_op<double>(caster);
    return true;
}

// One sample: exactly three numbers, in the order x, y, z.
bool load_sample(py::handle source, bool convert, Offset3& sample) {
    const py::object items = as_sequence(source, convert);
    if (!items) {
        return false;
    }
    const auto triple = py::reinterpret_borrow<py::sequence>(items);
    if (triple.size() != 3) {
        return false;
    }
    return load_coordinate(triple[0], convert, sample.x) && load_coordinate(triple[1], convert, sample.y) &&
           load_coordinate(triple[2], convert, sample.z);
}

bool load_sample_table(py::handle source, bool convert, std::vector<Offset3>& rows) {
    const py::object items = as_sequence(source, convert);
    if (!items) {
        return false;
    }
    rows.clear();
    rows.reserve(py::reinterpret_borrow<py::sequence>(items).size());
    for (const py::handle item : items) {
        Offset3 sample{};
        if (!load_sample(item, convert, sample)) {
            return false;
        }
        rows.push_back(sample);
    }
    return true;
}

// The patterns handed to a library: a tuple of the elements, which holds a
// reference to each of them until the library has copied it, and a pointer
// to each element's pattern (null for None). The tuple is taken first, so a
// sequence that builds its elements on demand, or drops them while it is
// read, cannot free a pattern that is pointed to. After that no Python code
// runs: an element is accepted only when its type is SampledPattern or a
// Python subclass of it, a check that reads the type alone (isinstance()
// would consult a __class__ attribute, which Python code can supply), and
// an initialised pattern never changes.
struct PatternSequence {
    py::tuple elements;
    std::vector<const SampledPattern*> patterns;
};

bool load_pattern(py::handle element, const SampledPattern*& pattern) {
    auto* pattern_type = reinterpret_cast<PyTypeObject*>(py::type::of<SampledPattern>().ptr());
    if (!PyObject_TypeCheck(element.ptr(), pattern_type)) {
        return false;
    }
    py::detail::make_caster<const SampledPattern&> caster;
    if (!caster.load(element, false)) {
        return false;
    }
    pattern = &py::detail::cast_op<const SampledPattern&>(caster);
    return true;
}

bool load_pattern_sequence(py::handle source, bool convert, PatternSequence& sequence) {
    const py::object items = as_sequence(source, convert);
    if (!items) {
        return false;
    }
    auto elements = py::reinterpret_steal<py::tuple>(PySequence_Tuple(items.ptr()));
    if (!elements) {
        throw py::error_already_set();
    }
    std::vector<const SampledPattern*> patterns;
    patterns.reserve(elements.size());
    for (const py::handle element : elements) {
        const SampledPattern* pattern = nullptr;
        if (element.is_none() ? !convert : !load_pattern(element, pattern)) {
            return false;
        }
        patterns.push_back(pattern);
    }
    sequence.elements = std::move(elements);
    sequence.patterns = std::move(patterns);
    return true;
}

}  // namespace kinetrope::python

namespace pybind11::detail {

// Shown in signatures exactly as a list of fixed-size float triples would be.
template <>
struct type_caster<kinetrope::python::SampleTable> {
    using triples_caster = make_caster<std::vector<std::array<double, 3>>>;
    PYBIND11_TYPE_CASTER(kinetrope::python::SampleTable, triples_caster::name);

    bool load(handle source, bool convert) {
        return kinetrope::python::load_sample_table(source, convert, value.rows);
    }
};

// Shown in signatures exactly as a list of SampledPattern would be.
template <>
struct type_caster<kinetrope::python::PatternSequence> {
    using patterns_caster = make_caster<std::vector<const kinetrope::SampledPattern*>>;
    PYBIND11_TYPE_CASTER(kinetrope::python::PatternSequence, patterns_caster::name);

    bool load(handle source, bool convert) {
        return kinetrope::python::load_pattern_sequence(source, convert, value);
    }
};

}  // namespace pybind11::detail

namespace kinetrope::python {
namespace {

SampledPattern make_pattern(std::string name, std::string description, SampleTable samples) {
    return SampledPattern(std::move(name), std::move(description), std::move(samples.rows));
}

// The library keeps copies, so the Python pattern objects stay whole; it
// runs its checks on the borrowed patterns first and copies only what it
// keeps, so an input far over its limits is refused without being copied.
//
// A None element has no pattern to copy and fails the call with a
// RuntimeError without a message, the outcome of a failed reference cast.
// pybind11::reference_cast_error itself cannot carry it: the dispatcher
// catches that one and reports a TypeError instead.
PatternLibrary make_library(const PatternSequence& sequence) {
    if (std::ranges::find(sequence.patterns, nullptr) != sequence.patterns.end()) {
        throw std::runtime_error("");
    }
    return PatternLibrary(std::span<const SampledPattern* const>(sequence.patterns));
}

}  // namespace

void bind_sampled_pattern(py::module_& m) {
    define_class<SampledPattern>(m, "SampledPattern")
        .def(py::init(&make_pattern), py::arg("name"), py::arg("description"), py::arg("samples"))
        .def_property_readonly("name", [](const SampledPattern& pattern) { return pattern.info().name; })
        .def_property_readonly("description",
                               [](const SampledPattern& pattern) { return pattern.info().description; })
        .def_property_readonly("period_pips",
                               [](const SampledPattern& pattern) -> int { return pattern.info().period_pips; })
        .def("sample", &SampledPattern::sample, py::arg("pip_count").noconvert());
}

void bind_pattern_library(py::module_& m) {
    define_class<PatternLibrary>(m, "PatternLibrary")
        .def(py::init(&make_library), py::arg("patterns") = py::list())
        .def(
            "sample",
            [](const PatternLibrary& library, NameArgument name, int pip) { return library.sample(name.bytes, pip); },
            py::arg("name"), py::arg("pip_count").noconvert())
        .def("catalogue", [](const PatternLibrary& library) { return catalogue_rows(library.catalogue()); });
}

}  // namespace kinetrope::python
