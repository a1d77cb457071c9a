// A test-only stand-in for the kinetrope module: its three pattern classes
// registered with pybind11's smart holder instead of the default unique
// holder. Imported in place of kinetrope, it lets a test hand another module
// instances of either holder kind.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kinetrope/pattern_library.hpp"
#include "kinetrope/sampled_pattern.hpp"
#include "kinetrope/sampled_recording.hpp"

namespace py = pybind11;
using kinetrope::Offset3;

namespace {

kinetrope::SampledPattern make_pattern(std::string name, std::string description,
                                       const std::vector<std::array<double, 3>>& triples) {
    std::vector<Offset3> samples;
    samples.reserve(triples.size());
    for (const auto& t : triples) {
        samples.push_back({t[0], t[1], t[2]});
    }
    return {std::move(name), std::move(description), std::move(samples)};
}

kinetrope::PatternLibrary make_library(const std::vector<const kinetrope::SampledPattern*>& patterns) {
    std::vector<kinetrope::SampledPattern> copies;
    for (const auto* pattern : patterns) {
        copies.push_back(*pattern);
    }
    return kinetrope::PatternLibrary(std::move(copies));
}

}  // namespace

PYBIND11_MODULE(kinetrope_holder_probe, m) {
    py::class_<kinetrope::SampledPattern, py::smart_holder>(m, "SampledPattern")
        .def(py::init(&make_pattern));
    py::class_<kinetrope::PatternLibrary, py::smart_holder>(m, "PatternLibrary")
        .def(py::init(&make_library));
    py::class_<kinetrope::SampledRecording, py::smart_holder>(m, "SampledRecording")
        .def(py::init<std::string, std::vector<std::string>, std::vector<std::vector<double>>, double, double,
                      int>());
    // Takes the pattern over from its Python object, which is left disowned.
    m.def("disown", [](std::unique_ptr<kinetrope::SampledPattern> pattern) { pattern.reset(); });
}
