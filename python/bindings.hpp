// Pieces of the kinetrope module body that live in their own files.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <span>
#include <string>

#include "kinetrope/catalogue.hpp"

namespace kinetrope::python {

namespace py = pybind11;

// An instance made without its constructor (by Cls.__new__(Cls), say) holds
// no value. The first time such an instance is used, pybind11 asks its class
// for fresh storage to stand in for the value and would then read that
// storage as if an object lived there; for the classes of this module the
// request raises TypeError instead, so nothing is read.
template <typename T>
[[noreturn]] void* refuse_missing_value(std::size_t /*size*/) {
    const auto* type = reinterpret_cast<const PyTypeObject*>(py::type::of<T>().ptr());
    throw py::type_error(std::string(type->tp_name) + " object was never initialized");
}

// The class option that installs refuse_missing_value.
template <typename T>
struct refuse_uninitialised {};

}  // namespace kinetrope::python

namespace pybind11::detail {

template <typename T>
struct process_attribute<kinetrope::python::refuse_uninitialised<T>>
    : process_attribute_default<kinetrope::python::refuse_uninitialised<T>> {
    static void init(const kinetrope::python::refuse_uninitialised<T>& /*option*/, type_record* record) {
        record->operator_new = &kinetrope::python::refuse_missing_value<T>;
    }
};

}  // namespace pybind11::detail

namespace kinetrope::python {

// Every class of the module is registered through this, so that none of
// them reads an instance that holds no value.
template <typename T>
py::class_<T> define_class(py::module_& m, const char* name) {
    return py::class_<T>(m, name, refuse_uninitialised<T>{});
}

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
