// Reading a run of pips from Python: ranges, NumPy integer arrays and any
// other sequence or iterator of integers.
#include "pip_timeline.hpp"

#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "python_text.hpp"

namespace kinetrope::render {
namespace {

constexpr long long lowest_pip = INT_MIN;
constexpr long long highest_pip = INT_MAX;

constexpr bool fits_pip(long long value) noexcept { return value >= lowest_pip && value <= highest_pip; }

std::string type_name(py::handle object) { return Py_TYPE(object.ptr())->tp_name; }

// The decimal text of a Python int, or its size in bits when the int is too
// long for Python's own conversion to text.
std::string int_text(py::handle value) {
    PyObject* text = PyObject_Str(value.ptr());
    if (text == nullptr) {
        PyErr_Clear();
        return "a " + py::str(value.attr("bit_length")()).cast<std::string>() + "-bit integer";
    }
    return py::reinterpret_steal<py::str>(text).cast<std::string>();
}

[[noreturn]] void refuse_value(std::size_t index, const std::string& value) {
    throw std::overflow_error("pips[" + std::to_string(index) + "] = " + value +
                              " is outside the 32-bit pip range");
}

[[noreturn]] void refuse_run(py::handle pips) {
    throw py::type_error("pips must be a range, a sequence of integers or a NumPy integer array, not " +
                         type_name(pips));
}

py::array_t<double> new_rows(std::size_t count, std::size_t width) {
    return py::array_t<double>({static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(width)});
}

// ----------------------------------------------------------------- ranges

long long long_value(py::handle value, bool& overflowed) {
    int overflow = 0;
    const long long result = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (result == -1 && PyErr_Occurred() != nullptr) {
        throw py::error_already_set();
    }
    overflowed = overflow != 0;
    return result;
}

// Index of the first element of a range that leaves the pip range, judged
// from its first element (already known to be a pip) and its step; the
// index may lie past the range's end.
long long first_escape(long long start, py::handle step_object) {
    bool huge = false;
    const long long step = long_value(step_object, huge);
    if (huge || step == LLONG_MIN) {  // the second element is out whatever the first
        return 1;
    }
    return step > 0 ? (highest_pip - start) / step + 1 : (start - lowest_pip) / -step + 1;
}

// The element of `range` at `index`, or a null object past its end.
py::object range_item(py::handle range, long long index) {
    PyObject* item = PySequence_GetItem(range.ptr(), static_cast<Py_ssize_t>(index));
    if (item == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_IndexError)) {
            throw py::error_already_set();
        }
        PyErr_Clear();
        return {};
    }
    return py::reinterpret_steal<py::object>(item);
}

// A range is strictly monotonic, so it stays within the pip range exactly
// when its first element does and the first element past the pip range
// lies beyond its end. Both are checked before its length is asked for: a
// range longer than any array could be still names its first bad element.
py::array_t<double> range_rows(py::handle range, std::size_t width) {
    if (!PyObject_IsTrue(range.ptr())) {
        return new_rows(0, width);
    }
    const py::object start_object = range.attr("start");
    bool huge = false;
    const long long start = long_value(start_object, huge);
    if (huge || !fits_pip(start)) {
        refuse_value(0, int_text(start_object));
    }
    const long long escape = first_escape(start, range.attr("step"));
    if (const py::object outside = range_item(range, escape)) {
        refuse_value(static_cast<std::size_t>(escape), int_text(outside));
    }
    // Every element is a pip now, so the length fits, and so does the step
    // of a range of two or more elements.
    const auto count = static_cast<std::size_t>(py::len(range));
    const long long step = count > 1 ? range.attr("step").cast<long long>() : 0;
    py::array_t<double> rows = new_rows(count, width);
    double* row = rows.mutable_data();
    for (std::size_t i = 0; i < count; ++i, row += width) {
        *row = static_cast<double>(start + static_cast<long long>(i) * step);
    }
    return rows;
}

// ------------------------------------------------------------ NumPy arrays

template <typename Integer>
void copy_pips(const char* data, py::ssize_t stride, std::size_t count, double* row, std::size_t width) {
    for (std::size_t i = 0; i < count; ++i, data += stride, row += width) {
        Integer value;
        std::memcpy(&value, data, sizeof value);
        if constexpr (std::is_signed_v<Integer>) {
            if (!fits_pip(static_cast<long long>(value))) {
                refuse_value(i, std::to_string(value));
            }
        } else if (static_cast<unsigned long long>(value) > static_cast<unsigned long long>(highest_pip)) {
            refuse_value(i, std::to_string(value));
        }
        *row = static_cast<double>(value);
    }
}

using PipCopier = void (*)(const char*, py::ssize_t, std::size_t, double*, std::size_t);

template <typename Signed, typename Unsigned>
PipCopier copier_for(char kind) {
    return kind == 'i' ? &copy_pips<Signed> : &copy_pips<Unsigned>;
}

PipCopier copier_for(char kind, py::ssize_t item_size) {
    switch (item_size) {
    case 1:
        return copier_for<std::int8_t, std::uint8_t>(kind);
    case 2:
        return copier_for<std::int16_t, std::uint16_t>(kind);
    case 4:
        return copier_for<std::int32_t, std::uint32_t>(kind);
    case 8:
        return copier_for<std::int64_t, std::uint64_t>(kind);
    default:
        return nullptr;
    }
}

// The values are read straight from the array's memory, element by element
// (any stride, any byte order): no Python code runs while they are read.
py::array_t<double> array_rows(py::array array, std::size_t width) {
    py::dtype type = array.dtype();
    const char kind = type.kind();
    if (kind != 'i' && kind != 'u') {
        throw py::type_error("pips must be an integer array, not " + py::str(type).cast<std::string>());
    }
    if (type.byteorder() == '>') {  // this module is built for little-endian machines only
        array = py::array(array.attr("astype")(type.attr("newbyteorder")("=")));
        type = array.dtype();
    }
    const PipCopier copy = copier_for(kind, type.itemsize());
    if (copy == nullptr) {
        throw py::type_error("pips must be an integer array, not " + py::str(type).cast<std::string>());
    }
    const auto count = static_cast<std::size_t>(array.shape(0));
    py::array_t<double> rows = new_rows(count, width);
    copy(static_cast<const char*>(array.data()), array.strides(0), count, rows.mutable_data(), width);
    return rows;
}

// ------------------------------------------------- sequences and iterators

bool is_run(py::handle object) {
    if (is_text(object) || PyDict_Check(object.ptr()) || PyAnySet_Check(object.ptr())) {
        return false;
    }
    return PySequence_Check(object.ptr()) || PyIter_Check(object.ptr());
}

// A Python int as a pip, or an OverflowError that names its index and value.
double int_pip(py::handle number, std::size_t index) {
    bool huge = false;
    const long long pip = long_value(number, huge);
    if (huge || !fits_pip(pip)) {
        refuse_value(index, int_text(number));
    }
    return static_cast<double>(pip);
}

// One element as a pip, through __index__ only: a float (or anything else
// without __index__) is a TypeError that names the element.
double item_pip(py::handle item, std::size_t index) {
    if (PyLong_CheckExact(item.ptr())) {  // the common case: no __index__ to call
        return int_pip(item, index);
    }
    // A float is not a pip, and neither is a bool, though Python counts it an int.
    if (PyFloat_Check(item.ptr()) || PyBool_Check(item.ptr())) {
        throw py::type_error("pips[" + std::to_string(index) + "] must be an integer, not " + type_name(item));
    }
    PyObject* number = PyNumber_Index(item.ptr());
    if (number == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) {
            throw py::error_already_set();
        }
        PyErr_Clear();
        throw py::type_error("pips[" + std::to_string(index) + "] must be an integer, not " + type_name(item));
    }
    return int_pip(py::reinterpret_steal<py::int_>(number), index);
}

py::array_t<double> item_rows(py::handle pips, std::size_t width) {
    PyObject* snapshot = PySequence_Tuple(pips.ptr());
    if (snapshot == nullptr) {
        throw py::error_already_set();
    }
    const auto items = py::reinterpret_steal<py::tuple>(snapshot);
    const std::size_t count = items.size();
    py::array_t<double> rows = new_rows(count, width);
    for (std::size_t i = 0; i < count; ++i) {
        const double pip = item_pip(items[i], i);
        // The result's memory is looked up anew after each element: Python
        // code run by __index__ could, however contrived, have reached it.
        if (rows.ndim() != 2 || static_cast<std::size_t>(rows.shape(0)) != count) {
            throw py::value_error("the result array was resized while the pips were read");
        }
        rows.mutable_data()[i * width] = pip;
    }
    return rows;
}

}  // namespace

py::array_t<double> timeline_rows(py::handle pips, std::size_t width) {
    if (PyRange_Check(pips.ptr())) {
        return range_rows(pips, width);
    }
    if (py::isinstance<py::array>(pips)) {
        auto array = py::reinterpret_borrow<py::array>(pips);
        if (array.ndim() != 1) {
            throw py::type_error("pips must be one-dimensional, not a " + std::to_string(array.ndim()) +
                                 "-dimensional array");
        }
        if (array.dtype().kind() == 'O') {
            return item_rows(pips, width);
        }
        return array_rows(std::move(array), width);
    }
    if (!is_run(pips)) {
        refuse_run(pips);
    }
    return item_rows(pips, width);
}

}  // namespace kinetrope::render
