// Python classes SampledPattern and PatternLibrary.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
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

// The patterns handed to a library, as borrowed pointers (None arrives as a
// null pointer) together with the sequence that owns them. A generator or
// map is drained into a temporary tuple, which may hold the only references
// to its patterns; keeping that tuple here keeps every pointed-to pattern
// alive until the library has copied it.
struct PatternSequence {
    py::object owner;
    std::vector<const SampledPattern*> patterns;
};

bool load_pattern_sequence(py::handle source, bool convert, PatternSequence& sequence) {
    py::object items = as_sequence(source, convert);
    if (!items) {
        return false;
    }
    py::detail::make_caster<std::vector<const SampledPattern*>> elements;
    if (!elements.load(items, convert)) {
        return false;
    }
    sequence.patterns = py::detail::cast_op<std::vector<const SampledPattern*>&&>(std::move(elements));
    sequence.owner = std::move(items);
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

// The library keeps copies, so the Python pattern objects stay whole. A
// None element has no pattern to copy and fails the call with a
// RuntimeError without a message, the outcome of a failed reference cast.
// pybind11::reference_cast_error itself cannot carry it: the dispatcher
// catches that one and reports a TypeError instead.
PatternLibrary make_library(const PatternSequence& sequence) {
    std::vector<SampledPattern> copies;
    copies.reserve(sequence.patterns.size());
    for (const SampledPattern* pattern : sequence.patterns) {
        if (pattern == nullptr) {
            throw std::runtime_error("");
        }
        copies.push_back(*pattern);
    }
    return PatternLibrary(std::move(copies));
}

}  // namespace

void bind_sampled_pattern(py::module_& m) {
    py::class_<SampledPattern>(m, "SampledPattern")
        .def(py::init(&make_pattern), py::arg("name"), py::arg("description"), py::arg("samples"))
        .def_property_readonly("name", [](const SampledPattern& pattern) { return pattern.info().name; })
        .def_property_readonly("description",
                               [](const SampledPattern& pattern) { return pattern.info().description; })
        .def_property_readonly("period_pips",
                               [](const SampledPattern& pattern) -> int { return pattern.info().period_pips; })
        .def("sample", &SampledPattern::sample, py::arg("pip_count").noconvert());
}

void bind_pattern_library(py::module_& m) {
    py::class_<PatternLibrary>(m, "PatternLibrary")
        .def(py::init(&make_library), py::arg("patterns") = py::list())
        .def(
            "sample",
            [](const PatternLibrary& library, NameArgument name, int pip) { return library.sample(name.bytes, pip); },
            py::arg("name"), py::arg("pip_count").noconvert())
        .def("catalogue", [](const PatternLibrary& library) { return catalogue_rows(library.catalogue()); });
}

}  // namespace kinetrope::python
