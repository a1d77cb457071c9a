// libFuzzer entry: the first byte chooses the target, the rest is its data.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kinetrope_fuzz;
    FuzzInput input(data, size);
    switch (input.byte() % 4) {
        case 0: fuzz_sample_by_name(input); break;
        case 1: fuzz_sampled_recording(input); break;
        case 2: fuzz_sampled_pattern(input); break;
        default: fuzz_pattern_library(input); break;
    }
    return 0;
}
