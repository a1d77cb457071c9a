// gesture_*: single-point gestures over eight beats, each a smootherstep key
// lane per moving axis. The lanes ease back to their first value at the
// loop's end, so every gesture is at rest across the wrap. The keys are
// reviewable data in atlas_gestures.txt.
#include <array>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "atlas/atlas_families.hpp"
#include "atlas/data_file.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace gesture_family_local {

constexpr int period = 512;
constexpr std::string_view file_name = "atlas_gestures.txt";

struct Gesture {
    std::string_view word;
    std::string_view words;  // in the description
    int dims;
};

constexpr std::array<Gesture, 16> gestures_in_order = {{
    {"side_reach", "side reach", 2},
    {"cross_reach", "cross and reach", 2},
    {"low_scoop", "low scoop", 2},
    {"high_arc", "high arc", 2},
    {"corner_taps", "corner taps", 2},
    {"diagonal_touch", "diagonal touch", 2},
    {"box_return", "box and centre", 2},
    {"zigzag_lift", "zigzag lift", 2},
    {"duck_sway", "duck and sway", 2},
    {"push_pull", "push and pull", 3},
    {"reach_depth", "reach through depth", 3},
    {"bow_turn", "bow and turn", 3},
    {"heel_toe", "heel-toe abstract", 2},
    {"hop_answer", "hop and answer", 2},
    {"spiral_reach", "spiral reach", 3},
    {"diamond_depth", "depth diamond", 3},
}};

using Lanes = std::array<std::optional<KeyLane>, 3>;  // x, y, z

int axis_of(const DataLine& line) {
    const std::string& word = line.words.front();
    if (word == "x" || word == "y" || word == "z") {
        return word[0] - 'x';
    }
    return -1;
}

KeyLane lane_of(const DataLine& line) {
    KeyLane lane;
    for (std::size_t w = 1; w < line.words.size(); ++w) {
        const auto [pip, value] = number_pair_in(line, line.words[w], ':');
        const double previous = lane.keys.empty() ? -1.0 : lane.keys.back().pip;
        if (pip <= previous || pip >= period) {
            fail_at(line, "keys must rise from pip 0 and stay below 512: " + line.words[w]);
        }
        lane.keys.push_back({pip, value});
    }
    if (lane.keys.empty() || lane.keys.front().pip != 0.0) {
        fail_at(line, "a lane starts with a key at pip 0");
    }
    return lane;
}

std::map<std::string, Lanes, std::less<>> read_gestures(const std::filesystem::path& file) {
    std::map<std::string, Lanes, std::less<>> gestures;
    Lanes* current = nullptr;
    for (const DataLine& line : read_data_lines(file)) {
        const int axis = axis_of(line);
        if (axis < 0) {
            if (line.words.size() != 1 || !gestures.emplace(line.words.front(), Lanes{}).second) {
                fail_at(line, "expected a new gesture's name alone on its line, or an axis lane");
            }
            current = &gestures[line.words.front()];
        } else if (current == nullptr || (*current)[static_cast<std::size_t>(axis)]) {
            fail_at(line, "an axis lane belongs to a gesture and appears once in it");
        } else {
            (*current)[static_cast<std::size_t>(axis)] = lane_of(line);
        }
    }
    return gestures;
}

void check_axes(const std::filesystem::path& file, const Gesture& g, const Lanes& lanes) {
    for (int axis = 0; axis < 3; ++axis) {
        if (lanes[static_cast<std::size_t>(axis)].has_value() != (axis < g.dims)) {
            throw std::runtime_error(file.string() + ": gesture " + std::string(g.word) + " must have lanes on " +
                                     (g.dims == 3 ? "x, y and z" : "x and y only"));
        }
    }
}

}  // namespace gesture_family_local
}  // namespace

Family gesture_family(const std::filesystem::path& data_dir) {
    using namespace gesture_family_local;
    const std::filesystem::path file = data_dir / file_name;
    const auto lanes = read_gestures(file);
    if (lanes.size() != gestures_in_order.size()) {
        throw std::runtime_error(file.string() + ": expected exactly the sixteen gestures of the family");
    }
    Family family;
    for (const Gesture& g : gestures_in_order) {
        const auto found = lanes.find(g.word);
        if (found == lanes.end()) {
            throw std::runtime_error(file.string() + ": no gesture " + std::string(g.word));
        }
        check_axes(file, g, found->second);
        const auto& [x, y, z] = found->second;
        family.push_back(as_stated("gesture_" + std::string(g.word),
                                   "An original single-point " + std::string(g.words) +
                                       " gesture. Abstract motion, not a full-body dance or biomechanical recording.",
                                   period, g.dims, key_lanes(period, x, y, z)));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
