// Conversions shared by the module's bindings.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"

namespace kinetrope::python {

py::list catalogue_rows(std::span<const RudimentInfo> rows) {
    py::list result(rows.size());
    std::size_t i = 0;
    for (const RudimentInfo& row : rows) {
        py::dict entry;
        entry["name"] = py::str(row.name.data(), row.name.size());
        entry["description"] = py::str(row.description.data(), row.description.size());
        entry["period_pips"] = row.period_pips;
        entry["dimensions"] = row.dimensions;
        result[i++] = std::move(entry);
    }
    return result;
}

// The object itself when it is a sequence other than str or bytes; in
// converting mode also a generator, set, frozenset, dict view, map or zip,
// drained completely into a tuple so that no half-consumed iterator is left
// behind; otherwise a null object. This is the acceptance rule of pybind11's
// own list conversion, so tables read like any other list argument.
py::object as_sequence(py::handle source, bool convert) {
    if (!py::detail::object_is_convertible_to_std_vector(source)) {
        return {};
    }
    if (py::isinstance<py::sequence>(source)) {
        return py::reinterpret_borrow<py::object>(source);
    }
    if (!convert) {
        return {};
    }
    return py::tuple(py::reinterpret_borrow<py::iterable>(source));
}

}  // namespace kinetrope::python
