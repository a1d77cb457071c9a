// Render sources: finding the core object or motion once, then answering
// every row of the timeline with the GIL released.
#include "motion_source.hpp"

#include <cstdint>
#include <memory>
#include <string_view>
#include <typeinfo>
#include <utility>
#include <vector>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/pattern_library.hpp"
#include "kinetrope/registry.hpp"
#include "kinetrope/sampled_pattern.hpp"
#include "kinetrope/sampled_recording.hpp"
#include "python_text.hpp"

namespace kinetrope::render {
namespace {

// ------------------------------------------------- kinetrope class instances

// The classes are registered by the kinetrope module; this module finds
// them in pybind11's registry shared between modules, whatever holder they
// were registered with.
template <typename Core>
const py::detail::type_info* registered() {
    return py::detail::get_type_info(typeid(Core));
}

template <typename Core>
bool is_instance(py::handle object) {
    const py::detail::type_info* type = registered<Core>();
    return type != nullptr && PyObject_TypeCheck(object.ptr(), type->type);
}

// An instance made with __new__ alone has no core object, and pybind11 would
// hand out uninitialised memory for it; a smart-holder instance whose object
// was handed over to C++ has none either.
template <typename Core>
void require_constructed(py::handle object) {
    auto* instance = reinterpret_cast<py::detail::instance*>(object.ptr());
    const auto held = instance->get_value_and_holder(registered<Core>(), false);
    if (!held || !held.holder_constructed()) {
        throw py::type_error(std::string(Py_TYPE(object.ptr())->tp_name) +
                             " object holds nothing: it was never initialised, or its contents were handed over");
    }
}

// The core object itself. A smart-holder instance whose object was handed
// over to C++ raises pybind11's own ValueError here.
template <typename Core>
const Core& core_object(py::handle object) {
    return object.cast<const Core&>();
}

// The core object, kept valid while the GIL is released. A default-holder
// instance owns its object for as long as it lives, and the caller's
// reference keeps it alive. A smart-holder instance could hand its object
// over to C++ meanwhile, from another thread; a share of it, held here,
// prevents that until the render is over.
template <typename Core>
class HeldObject {
public:
    explicit HeldObject(py::handle object) {
        if (registered<Core>()->holder_enum_v == py::detail::holder_enum_t::smart_holder) {
            share_ = object.cast<std::shared_ptr<Core>>();
            object_ = share_.get();
        } else {
            object_ = &core_object<Core>(object);
        }
    }

    const Core& operator*() const noexcept { return *object_; }

private:
    std::shared_ptr<Core> share_;
    const Core* object_ = nullptr;
};

// ------------------------------------------------------------------- names

// A motion name copied out of a str (as UTF-8), bytes or bytearray: the
// caller's buffer may change while later arguments are converted.
std::string owned_name(py::handle name) {
    PyObject* object = name.ptr();
    if (PyUnicode_Check(object)) {
        Py_ssize_t size = 0;
        const char* data = PyUnicode_AsUTF8AndSize(object, &size);
        if (data == nullptr) {
            PyErr_Clear();
            throw py::type_error("name must be text that can be encoded as UTF-8");
        }
        return {data, static_cast<std::size_t>(size)};
    }
    if (PyBytes_Check(object)) {
        return {PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object))};
    }
    if (PyByteArray_Check(object)) {
        return {PyByteArray_AS_STRING(object), static_cast<std::size_t>(PyByteArray_GET_SIZE(object))};
    }
    throw py::type_error(std::string("name must be str, bytes or bytearray, not ") + Py_TYPE(object)->tp_name);
}

// ------------------------------------------------------------------- loops

// Each row starts with its pip and is overwritten with the answer.
template <typename Answer>
void write_offsets(double* rows, std::size_t count, const Answer& answer) {
    for (std::size_t i = 0; i < count; ++i) {
        double* row = rows + 3 * i;
        const Offset3 at = answer(static_cast<int>(row[0]));
        row[0] = at.x;
        row[1] = at.y;
        row[2] = at.z;
    }
}

// A motion every pip of the timeline can be answered by: a built-in
// motion's sampler, or else a library's own pattern. A name neither knows
// fails as the single call does.
void write_builtin(const std::string& name, double* rows, std::size_t count) {
    const MotionSampler sample = find_motion(name);
    if (sample == nullptr) {
        throw UnknownMotion(name);
    }
    const py::gil_scoped_release unlocked;
    write_offsets(rows, count, sample);
}

void write_pattern(const SampledPattern& pattern, double* rows, std::size_t count) {
    const py::gil_scoped_release unlocked;
    write_offsets(rows, count, [&pattern](int pip) { return pattern.sample(pip); });
}

// A library never keeps a pattern under a built-in name (it refuses one that
// differs from the built-in and leaves out an exact copy), so a built-in
// name answers as the built-in motion does, and any other name as the
// library's own pattern, each found once for the whole timeline.
void write_library(const PatternLibrary& library, const std::string& name, double* rows, std::size_t count) {
    if (const SampledPattern* own = library.own_pattern(name)) {
        write_pattern(*own, rows, count);
        return;
    }
    write_builtin(name, rows, count);
}

bool covers(const SampledRecording& recording, int pip) noexcept {
    const std::int64_t row = std::int64_t{pip} - recording.start_pip();
    return row >= 0 && row < recording.sample_count();
}

void write_recording(const SampledRecording& recording, double* rows, std::size_t count) {
    const std::size_t width = recording.dimensions().size();
    for (std::size_t i = 0; i < count; ++i) {
        const int pip = static_cast<int>(rows[i * width]);
        if (!covers(recording, pip)) {
            (void)recording.sample(pip);  // the recording's own error for that pip
        }
    }
    const py::gil_scoped_release unlocked;
    for (std::size_t i = 0; i < count; ++i) {
        double* row = rows + i * width;
        const std::span<const double> values = recording.row(static_cast<int>(row[0]));
        std::copy(values.begin(), values.end(), row);
    }
}

SourceKind kind_of(py::handle source) {
    if (is_text(source)) {
        return SourceKind::motion_name;
    }
    if (is_instance<SampledPattern>(source)) {
        require_constructed<SampledPattern>(source);
        return SourceKind::pattern;
    }
    if (is_instance<PatternLibrary>(source)) {
        require_constructed<PatternLibrary>(source);
        return SourceKind::library;
    }
    if (is_instance<SampledRecording>(source)) {
        require_constructed<SampledRecording>(source);
        return SourceKind::recording;
    }
    throw py::type_error(
        std::string("source must be a motion name (str, bytes or bytearray), a kinetrope.SampledPattern, "
                    "a kinetrope.PatternLibrary or a kinetrope.SampledRecording, not ") +
        Py_TYPE(source.ptr())->tp_name);
}

}  // namespace

MotionSource::MotionSource(py::object source, py::handle name)
    : source_(std::move(source)), kind_(kind_of(source_)) {
    const bool named = !name.is_none();
    switch (kind_) {
    case SourceKind::motion_name:
        if (named) {
            throw py::type_error("name is taken only with a PatternLibrary source");
        }
        name_ = owned_name(source_);
        break;
    case SourceKind::library:
        if (!named) {
            throw py::type_error("a PatternLibrary source needs the name of the motion to render");
        }
        name_ = owned_name(name);
        break;
    case SourceKind::pattern:
    case SourceKind::recording:
        if (named) {
            throw py::type_error("name is taken only with a PatternLibrary source");
        }
        break;
    }
    if (kind_ == SourceKind::recording) {
        width_ = core_object<SampledRecording>(source_).dimensions().size();
    }
}

void MotionSource::write_rows(double* rows, std::size_t count) const {
    switch (kind_) {
    case SourceKind::motion_name:
        write_builtin(name_, rows, count);
        return;
    case SourceKind::pattern:
        write_pattern(*HeldObject<SampledPattern>(source_), rows, count);
        return;
    case SourceKind::library:
        write_library(*HeldObject<PatternLibrary>(source_), name_, rows, count);
        return;
    case SourceKind::recording:
        write_recording(*HeldObject<SampledRecording>(source_), rows, count);
        return;
    }
}

}  // namespace kinetrope::render
