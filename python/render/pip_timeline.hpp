// The pips of a render call, read from Python into the result array itself.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>

namespace kinetrope::render {

namespace py = pybind11;

// A new C-contiguous float64 array of shape (number of pips, width) whose
// first column holds the pips in order, each converted exactly; the other
// columns are left unset. The render loop reads every row's pip from there
// and overwrites the row with the answer, so the call allocates nothing but
// its result.
//
// `pips` is a range, a one-dimensional NumPy array of any integer dtype, or
// any other sequence or iterator of integers (int, bool, or an object with
// __index__; a float is refused). A sequence is first copied into a tuple,
// so Python code run by one element's __index__ cannot change the run while
// it is read. Refusals: TypeError for anything that is not an integer (the
// run, a non-integer dtype or one element, named by its index), OverflowError
// for a value outside the signed 32-bit range, naming its index and value. A
// range is checked before anything is allocated.
//
// width must be at least 1.
py::array_t<double> timeline_rows(py::handle pips, std::size_t width);

}  // namespace kinetrope::render
