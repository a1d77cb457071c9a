// A motion name argument, read as a view of the caller's own bytes.
//
// pybind11's std::string_view conversion also registers the argument in the
// call's keep-alive set: a hash-set insertion with two heap allocations and
// frees on every call, a quarter of the cost of a whole sample() call. An
// argument of a bound call is held by the caller until the call returns, so
// a view of its buffer needs no keep-alive. This conversion accepts and
// refuses exactly what pybind11's does (str as UTF-8, bytes, bytearray) and
// shows the same name, str, in generated signatures.
//
// A str or bytes object never changes, so its bytes are viewed. A bytearray
// can be resized by Python code that runs while the later arguments are
// converted (an __index__ of the pip, say), which frees the buffer a view
// would point into; its bytes are copied instead, so the lookup sees the
// name as it was passed.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string_view>

namespace kinetrope::python {

struct NameArgument {
    std::string_view bytes;
};

}  // namespace kinetrope::python

namespace pybind11::detail {

template <>
struct type_caster<kinetrope::python::NameArgument> {
    PYBIND11_TYPE_CASTER(kinetrope::python::NameArgument, const_name(PYBIND11_STRING_NAME));

    bool load(handle source, bool /*convert*/) {
        PyObject* object = source.ptr();
        if (object == nullptr) {
            return false;
        }
        const char* data = nullptr;
        Py_ssize_t size = 0;
        if (PyUnicode_Check(object)) {
            data = PyUnicode_AsUTF8AndSize(object, &size);
            if (data == nullptr) {  // not encodable, e.g. a lone surrogate
                PyErr_Clear();
                return false;
            }
        } else if (PyBytes_Check(object)) {
            data = PyBytes_AS_STRING(object);
            size = PyBytes_GET_SIZE(object);
        } else if (PyByteArray_Check(object)) {
            copy_ = reinterpret_steal<pybind11::object>(PyBytes_FromStringAndSize(PyByteArray_AS_STRING(object),
                                                                        PyByteArray_GET_SIZE(object)));
            if (!copy_) {
                throw error_already_set();
            }
            data = PyBytes_AS_STRING(copy_.ptr());
            size = PyBytes_GET_SIZE(copy_.ptr());
        } else {
            return false;
        }
        value.bytes = std::string_view(data, static_cast<std::size_t>(size));
        return true;
    }

private:
    // A bytearray name's bytes, copied into a bytes object that lives as
    // long as this conversion (the whole call). Only a bytearray pays for
    // it; a member that needs no clearing keeps the str and bytes paths as
    // cheap as before.
    pybind11::object copy_;
};

}  // namespace pybind11::detail
