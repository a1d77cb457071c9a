#include "bindings.hpp"

namespace kinetrope::python {

void bind_sampled_recording(py::module_&) {}

}  // namespace kinetrope::python
