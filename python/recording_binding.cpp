// Python binding of SampledRecording.
//
// The rows argument is converted straight into one flat value array rather
// than into a vector per row: a recording at its limit of 2^23 values would
// otherwise pass through millions of small heap blocks before its values are
// copied once more. The conversion accepts and refuses exactly what the
// library's own conversion of a list of lists of floats does, in the same
// order, and the recording keeps the flat array when it is sized exactly.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <utility>
#include <vector>

#include "bindings.hpp"
#include "kinetrope/sampled_recording.hpp"

namespace pybind11::detail {

template <>
struct type_caster<kinetrope::FlatRows> {
    PYBIND11_TYPE_CASTER(kinetrope::FlatRows,
                         io_name("collections.abc.Sequence", "list") + const_name("[") +
                             io_name("collections.abc.Sequence", "list") + const_name("[") +
                             make_caster<double>::name + const_name("]]"));

    bool load(handle src, bool convert) {
        value = kinetrope::FlatRows{};
        return for_each_item(src, convert, [&](std::size_t row_count, handle row) {
            return load_row(row, row_count, convert);
        });
    }

private:
    // Visits the items of `src` the way the library's list conversion does:
    // a sequence other than str and bytes is walked as it is; in converting
    // mode any other iterable is first drained into a tuple. Its length is
    // asked once before the walk, as that conversion does to size its
    // vector. `visit` gets the length and one item, and stops the walk by
    // returning false.
    template <typename Visit>
    static bool for_each_item(handle src, bool convert, Visit&& visit) {
        const object items = kinetrope::python::as_sequence(src, convert);
        return items && visit_items(reinterpret_borrow<sequence>(items), visit);
    }

    template <typename Visit>
    static bool visit_items(const sequence& items, Visit& visit) {
        const std::size_t length = items.size();
        for (const auto& item : items) {
            if (!visit(length, item)) {
                return false;
            }
        }
        return true;
    }

    // Converts one row and appends its values. The first row's length times
    // the number of rows sizes the value array once, so a recording whose
    // rows all have that length never reallocates; the hint is capped at the
    // recording limit, beyond which the recording refuses the rows anyway.
    bool load_row(handle row, std::size_t row_count, bool convert) {
        bool sized = !value.runs().empty();
        const bool loaded = for_each_item(row, convert, [&](std::size_t row_length, handle item) {
            if (!sized) {
                value.reserve(capped_values(row_count, row_length));
                sized = true;
            }
            make_caster<double> number;
            if (!number.load(item, convert)) {
                return false;
            }
            value.push_value(cast_op<double>(number));
            return true;
        });
        if (loaded) {
            value.end_row();
        }
        return loaded;
    }

    static std::size_t capped_values(std::size_t rows, std::size_t row_length) {
        if (row_length != 0 && rows > kinetrope::max_recording_values / row_length) {
            return kinetrope::max_recording_values;
        }
        return rows * row_length;
    }
};

}  // namespace pybind11::detail

namespace kinetrope::python {

void bind_sampled_recording(py::module_& m) {
    define_class<SampledRecording>(m, "SampledRecording")
        .def(py::init<std::string, std::vector<std::string>, FlatRows, double, double, int>(),
             py::arg("name"), py::arg("dimensions"), py::arg("samples"), py::arg("bpm"),
             py::arg("beat_zero_seconds") = 0.0, py::arg("start_pip") = 0)
        .def_property_readonly("name", &SampledRecording::name)
        .def_property_readonly("dimensions", &SampledRecording::dimensions)
        .def_property_readonly("sample_count", &SampledRecording::sample_count)
        .def_property_readonly("bpm", &SampledRecording::bpm)
        .def_property_readonly("beat_zero_seconds", &SampledRecording::beat_zero_seconds)
        .def_property_readonly("start_pip", &SampledRecording::start_pip)
        .def("sample", &SampledRecording::sample, py::arg("pip").noconvert());
}

}  // namespace kinetrope::python
