// Which Python objects render reads as text (a name) rather than as a run of
// pips: str, bytes and bytearray.
#pragma once

#include <pybind11/pybind11.h>

namespace kinetrope::render {

inline bool is_text(pybind11::handle object) {
    return PyUnicode_Check(object.ptr()) || PyBytes_Check(object.ptr()) || PyByteArray_Check(object.ptr());
}

}  // namespace kinetrope::render
