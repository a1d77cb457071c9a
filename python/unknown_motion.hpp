// How an unknown motion name reaches Python, shared by every extension of
// the project that looks motions up by name.
#pragma once

#include <pybind11/pybind11.h>

#include <exception>
#include <string>

#include "kinetrope/catalogue.hpp"

namespace kinetrope::python {

// An unknown name reaches Python as ValueError with the whole message: the
// name may hold NUL bytes, where the what() text that pybind11 would show
// ends. A message that is not UTF-8 (a bytes name that is not) raises the
// UnicodeDecodeError of decoding it, as for any exception text.
inline void translate_unknown_motion(std::exception_ptr thrown) {
    try {
        if (thrown) {
            std::rethrow_exception(thrown);
        }
    } catch (const UnknownMotion& unknown) {
        const std::string& text = unknown.message();
        PyObject* message = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
        if (message != nullptr) {
            PyErr_SetObject(PyExc_ValueError, message);
            Py_DECREF(message);
        }
    }
}

}  // namespace kinetrope::python
