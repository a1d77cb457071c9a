// A caller's pack of sampled patterns laid over the built-in motions: names
// resolve among the pack first and then through the built-in dispatcher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/sampled_pattern.hpp"
#include "kinetrope/time_base.hpp"

namespace kinetrope {

class PatternLibrary {
public:
    static constexpr std::size_t max_patterns = 1024;
    static constexpr std::size_t max_total_samples = std::size_t{1} << 20;

    // Validates the pack as a whole and moves the patterns it keeps out of
    // `patterns`. Refuses more than max_patterns patterns before looking at
    // any; then, pattern by pattern: a moved-from pattern, a repeated name,
    // a running sample total above max_total_samples, and a built-in name on
    // a pattern that is not an exact copy of that built-in. An exact copy is
    // left out, so the built-in answers for its name. Throws
    // std::invalid_argument at the first fault.
    explicit PatternLibrary(std::vector<SampledPattern> patterns = {});

    // The same checks over patterns the caller keeps (none may be null);
    // only the patterns kept are copied, and only once every check has
    // passed, so a pack far over the limits is refused without copying.
    explicit PatternLibrary(std::span<const SampledPattern* const> patterns);

    // The pack pattern named exactly `name` at `pip`, else the built-in
    // motion of that name. Allocates nothing unless the name is unknown,
    // which throws std::invalid_argument "Unknown kinetrope: <name>".
    Offset3 sample(std::string_view name, int pip) const;

    // The library's own pattern named exactly `name`, or nullptr (a name
    // that only a built-in motion has included).
    const SampledPattern* own_pattern(std::string_view name) const noexcept;

    // The built-in catalogue followed by one row per kept pattern, in input
    // order. Rows of pack patterns hold views of this library's strings.
    std::vector<RudimentInfo> catalogue() const;

private:
    std::vector<SampledPattern> patterns_;
    // One fingerprint of each kept pattern's name, in the same order: the
    // scan in sample() reads this small array and compares name bytes only
    // where a fingerprint matches.
    std::vector<std::uint32_t> name_fingerprints_;
};

}  // namespace kinetrope
