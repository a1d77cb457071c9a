// Counts the calls of the global operator new made by the current thread,
// so that a test can show a code path allocates nothing. The counting
// operator new and delete replace the standard ones in the whole test
// binary (allocation_counter.cpp).
#pragma once

#include <cstddef>
#include <utility>

namespace kinetrope_test {

// Global operator new calls (every form: single, array, aligned, nothrow)
// made by this thread so far.
std::size_t allocations_so_far() noexcept;

// How many global operator new calls `action()` makes on this thread.
template <class Action>
std::size_t count_allocations(Action&& action) {
    const std::size_t before = allocations_so_far();
    std::forward<Action>(action)();
    return allocations_so_far() - before;
}

}  // namespace kinetrope_test
