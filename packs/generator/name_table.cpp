#include "name_table.hpp"

#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "kinetrope/name_hash.hpp"

namespace kinetrope::packgen {

namespace {
namespace name_table_local {

struct Bucket {
    std::vector<std::size_t> members;  // registry positions
};

std::vector<std::uint64_t> hashes_of(const std::vector<std::string>& names) {
    std::vector<std::uint64_t> hashes;
    hashes.reserve(names.size());
    for (const std::string& name : names) {
        if (name.size() < shortest_pattern_name || name.size() > longest_pattern_name) {
            throw std::runtime_error(name + ": a registry name must be 8 to 32 bytes long");
        }
        hashes.push_back(name_hash(name));
    }
    std::vector<std::uint64_t> sorted = hashes;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
        throw std::runtime_error("two registry names share a 64-bit name hash");
    }
    return hashes;
}

// Tries displacements from 0 upwards until every member of the bucket lands
// on a free slot of its own; marks those slots taken.
std::uint16_t place(const Bucket& bucket, const std::vector<std::uint64_t>& hashes,
                    std::vector<std::uint16_t>& slots) {
    std::vector<std::size_t> chosen;
    for (std::uint32_t d = 0; d <= std::numeric_limits<std::uint16_t>::max(); ++d) {
        const auto displacement = static_cast<std::uint16_t>(d);
        chosen.clear();
        bool fits = true;
        for (const std::size_t position : bucket.members) {
            const std::size_t slot = name_hash_slot(hashes[position], displacement);
            if (slots[slot] != 0 || std::find(chosen.begin(), chosen.end(), slot) != chosen.end()) {
                fits = false;
                break;
            }
            chosen.push_back(slot);
        }
        if (fits) {
            for (std::size_t k = 0; k < chosen.size(); ++k) {
                slots[chosen[k]] = static_cast<std::uint16_t>(bucket.members[k] + 1);
            }
            return displacement;
        }
    }
    throw std::runtime_error("no displacement places a bucket of the name hash table");
}

}  // namespace name_table_local
}  // namespace

NameHashTable build_name_hash_table(const std::vector<std::string>& names) {
    using namespace name_table_local;
    if (names.size() > name_hash_slots / 2) {
        throw std::runtime_error("too many registry names for the name hash table");
    }
    const std::vector<std::uint64_t> hashes = hashes_of(names);
    std::vector<Bucket> buckets(name_hash_buckets);
    for (std::size_t position = 0; position < names.size(); ++position) {
        buckets[name_hash_bucket(hashes[position])].members.push_back(position);
    }
    // Fullest buckets first, while the table is emptiest; ties by bucket
    // number, so the layout is the same on every build.
    std::vector<std::size_t> order(buckets.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return buckets[a].members.size() > buckets[b].members.size();
    });
    NameHashTable table{std::vector<std::uint16_t>(name_hash_buckets, 0),
                        std::vector<std::uint16_t>(name_hash_slots, 0)};
    for (const std::size_t b : order) {
        if (!buckets[b].members.empty()) {
            table.displacements[b] = place(buckets[b], hashes, table.slots);
        }
    }
    return table;
}

}  // namespace kinetrope::packgen
