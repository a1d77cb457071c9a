// What a render call samples: a built-in motion by name, a user pattern, a
// pattern library with a name, or a recording.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>

namespace kinetrope::render {

namespace py = pybind11;

enum class SourceKind { motion_name, pattern, library, recording };

// A render source as the caller gave it, checked for its type, with any name
// copied out of the caller's object. It keeps no pointer into a Python object:
// the core object is reached only by `write_rows`, after every argument has
// been converted, so no Python code can run between reaching it and using it.
class MotionSource {
public:
    // TypeError for a source of any other type, a name given with a source
    // other than a library or missing for one, a name that is not text, and
    // an instance of a kinetrope class whose constructor never ran.
    MotionSource(py::object source, py::handle name);

    // Values per row of the result: 3, or a recording's number of axes.
    std::size_t width() const noexcept { return width_; }

    // Reaches the core object, raises the single call's own error for an
    // unknown name or a pip outside a recording, then releases the GIL and
    // overwrites each row (whose first value is its pip) with the answer
    // for that pip. `rows` holds `count` rows of `width()` values.
    void write_rows(double* rows, std::size_t count) const;

private:
    py::object source_;
    SourceKind kind_;
    std::string name_;
    std::size_t width_ = 3;
};

}  // namespace kinetrope::render
