// seq_<shape>_even and seq_<shape>_lilt: a step sequence of positions. Each
// step holds its position for a while, then glides (smootherstep) to the
// next; the last glides back to the first. Even sequences give every step
// the same time; lilt sequences alternate long and short steps, 2 : 1.
// The positions are reviewable data, one line per shape, in atlas_seq.txt.
#include <array>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include "atlas/atlas_families.hpp"
#include "atlas/data_file.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace seq_family_local {

constexpr int period = 512;
constexpr std::string_view file_name = "atlas_seq.txt";
// Share of each step spent holding its position before the glide.
constexpr double hold_share = 0.4;
constexpr AxisRange x_field{-0.82, 0.82};
constexpr AxisRange y_field{-0.287, 0.287};

constexpr std::array<std::string_view, 8> shapes = {"up_down",  "pendulum", "octave",  "unequal",
                                                    "question", "answer",   "ratchet", "stairs"};

struct Lilt {
    std::string_view word;
    double long_to_short;  // time of even-numbered steps over odd-numbered ones
};

constexpr std::array<Lilt, 2> lilts = {{{"even", 1.0}, {"lilt", 2.0}}};

struct Position {
    double x;
    double y;
};

using Positions = std::vector<Position>;

bool inside(double v, AxisRange r) { return v >= r.low && v <= r.high; }

std::map<std::string, Positions, std::less<>> read_sequences(const std::filesystem::path& file) {
    std::map<std::string, Positions, std::less<>> sequences;
    for (const DataLine& line : read_data_lines(file)) {
        if (line.words.size() < 3) {
            fail_at(line, "a shape needs a name and at least two positions");
        }
        Positions positions;
        for (std::size_t w = 1; w < line.words.size(); ++w) {
            const auto [x, y] = number_pair_in(line, line.words[w], ',');
            if (!inside(x, x_field) || !inside(y, y_field)) {
                fail_at(line, "position outside x [-0.82, 0.82], y [-0.287, 0.287]: " + line.words[w]);
            }
            positions.push_back({x, y});
        }
        if (!sequences.emplace(line.words.front(), std::move(positions)).second) {
            fail_at(line, "shape listed twice: " + line.words.front());
        }
    }
    return sequences;
}

// Start pip of every step, and the loop's end.
std::vector<double> step_starts(std::size_t steps, double long_to_short) {
    std::vector<double> weights;
    for (std::size_t j = 0; j < steps; ++j) {
        weights.push_back(j % 2 == 0 ? long_to_short : 1.0);
    }
    double total = 0.0;
    for (const double w : weights) {
        total += w;
    }
    std::vector<double> starts{0.0};
    double elapsed = 0.0;
    for (const double w : weights) {
        elapsed += w;
        starts.push_back(period * elapsed / total);
    }
    return starts;
}

Rule sequence(const Positions& positions, double long_to_short) {
    const std::vector<double> starts = step_starts(positions.size(), long_to_short);
    KeyLane x;
    KeyLane y;
    for (std::size_t j = 0; j < positions.size(); ++j) {
        const double hold_end = starts[j] + hold_share * (starts[j + 1] - starts[j]);
        for (const double pip : {starts[j], hold_end}) {
            x.keys.push_back({pip, positions[j].x});
            y.keys.push_back({pip, positions[j].y});
        }
    }
    return key_lanes(period, std::move(x), std::move(y));
}

}  // namespace seq_family_local
}  // namespace

Family seq_family(const std::filesystem::path& data_dir) {
    using namespace seq_family_local;
    const std::filesystem::path file = data_dir / file_name;
    const auto sequences = read_sequences(file);
    if (sequences.size() != shapes.size()) {
        throw std::runtime_error(file.string() + ": expected the shapes up_down, pendulum, octave, unequal, "
                                                 "question, answer, ratchet and stairs, one line each");
    }
    Family family;
    for (const std::string_view shape : shapes) {
        const auto found = sequences.find(shape);
        if (found == sequences.end()) {
            throw std::runtime_error(file.string() + ": no line for the shape " + std::string(shape));
        }
        for (const Lilt& lilt : lilts) {
            family.push_back(as_stated("seq_" + std::string(shape) + "_" + std::string(lilt.word),
                                       "A programmed position sequence with " + std::string(lilt.word) +
                                           " segment durations and softened transitions.",
                                       period, 2, sequence(found->second, lilt.long_to_short)));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
