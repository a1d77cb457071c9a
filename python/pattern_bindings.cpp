#include "bindings.hpp"

namespace kinetrope::python {

void bind_sampled_pattern(py::module_&) {}
void bind_pattern_library(py::module_&) {}

}  // namespace kinetrope::python
