// Replacement global operator new and delete that count allocations per
// thread and otherwise behave like the standard ones (malloc and free).
#include "allocation_counter.hpp"

#include <cstdlib>
#include <new>

namespace {

thread_local std::size_t allocation_count = 0;

void* counted_malloc(std::size_t size) noexcept {
    ++allocation_count;
    return std::malloc(size == 0 ? 1 : size);
}

void* counted_aligned_alloc(std::size_t size, std::align_val_t alignment) noexcept {
    ++allocation_count;
    const auto align = static_cast<std::size_t>(alignment);
    // aligned_alloc requires a size that is a non-zero multiple of the alignment.
    const std::size_t rounded = size == 0 ? align : (size + align - 1) / align * align;
    return std::aligned_alloc(align, rounded);
}

void* or_bad_alloc(void* block) {
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

namespace kinetrope_test {

std::size_t allocations_so_far() noexcept {
    return allocation_count;
}

}  // namespace kinetrope_test

void* operator new(std::size_t size) { return or_bad_alloc(counted_malloc(size)); }
void* operator new[](std::size_t size) { return or_bad_alloc(counted_malloc(size)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted_malloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted_malloc(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
    return or_bad_alloc(counted_aligned_alloc(size, alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return or_bad_alloc(counted_aligned_alloc(size, alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return counted_aligned_alloc(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return counted_aligned_alloc(size, alignment);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { std::free(block); }
