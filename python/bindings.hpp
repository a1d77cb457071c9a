// Pieces of the kinetrope module body that live in their own files.
#pragma once

#include <pybind11/pybind11.h>

#include <span>

#include "kinetrope/catalogue.hpp"

namespace kinetrope::python {

namespace py = pybind11;

void bind_sampled_recording(py::module_& m);
void bind_sampled_pattern(py::module_& m);
void bind_pattern_library(py::module_& m);

// A new list of new catalogue dicts, keys in the order name, description,
// period_pips, dimensions; texts decoded strictly from UTF-8.
py::list catalogue_rows(std::span<const RudimentInfo> rows);

// The list-argument acceptance rule of the module: the object itself when it
// is a sequence other than str or bytes; in converting mode also a
// generator, set, frozenset, dict view, map or zip, drained completely into a
// tuple; otherwise a null object.
py::object as_sequence(py::handle source, bool convert);

}  // namespace kinetrope::python
