// Conversions shared by the module's bindings.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.hpp"

namespace kinetrope::python {

py::list catalogue_rows(std::span<const RudimentInfo> rows) {
    // The four keys are made once per call and shared by every row, rather
    // than made and hashed anew for every row.
    const py::str name_key("name");
    const py::str description_key("description");
    const py::str period_key("period_pips");
    const py::str dimensions_key("dimensions");
    py::list result(rows.size());
    std::size_t i = 0;
    for (const RudimentInfo& row : rows) {
        py::dict entry;
        entry[name_key] = py::str(row.name.data(), row.name.size());
        entry[description_key] = py::str(row.description.data(), row.description.size());
        entry[period_key] = py::int_(row.period_pips);
        entry[dimensions_key] = py::int_(row.dimensions);
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
