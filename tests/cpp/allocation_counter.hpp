// Counts every global operator new in the test binary, so a test can prove
// that a lookup path allocates nothing.
#pragma once

#include <cstddef>

namespace kinetrope::testing {

std::size_t allocation_count() noexcept;

// Number of allocations made while running `body`.
template <typename Body>
std::size_t allocations_during(Body&& body) {
    const std::size_t before = allocation_count();
    body();
    return allocation_count() - before;
}

}  // namespace kinetrope::testing
