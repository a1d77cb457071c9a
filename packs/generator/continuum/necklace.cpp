// necklace_NN: an authored binary word read around the loop, one letter a
// step. A 1 is an accent to the right and down; a 0 is its complement, a
// lighter move to the left; an accent straight after a 0 rises into depth.
// The words live in data/continuum_necklaces.txt.
#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace necklace_local {

constexpr int period = 512;
constexpr double level = 0.248;
constexpr Offset3 accent{1.0, -0.5, 0.0};
constexpr Offset3 complement{-0.6, -0.25, 0.0};
constexpr double rising_depth = 0.7;

struct Necklace {
    std::string name;
    std::string word;
};

std::string word_problem(const std::string& word) {
    if (word.size() < 4 || word.size() > 32) {
        return "a word has 4 to 32 letters";
    }
    if (word.find_first_not_of("01") != std::string::npos) {
        return "a word is made of 0 and 1";
    }
    if (word.find('0') == std::string::npos || word.find('1') == std::string::npos) {
        return "a word needs both letters";
    }
    return {};
}

// The word's least rotation: two words name the same necklace (one is the
// other started elsewhere, the same motion shifted in time) exactly when
// their least rotations are equal.
std::string least_rotation(const std::string& word) {
    std::string least = word;
    for (std::size_t k = 1; k < word.size(); ++k) {
        least = std::min(least, word.substr(k) + word.substr(0, k));
    }
    return least;
}

std::vector<Necklace> read_necklaces(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        throw std::runtime_error(file.string() + ": cannot read");
    }
    std::vector<Necklace> necklaces;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto fail = [&](const std::string& why) {
            throw std::runtime_error(file.string() + ":" + std::to_string(number) + ": " + why);
        };
        if (line.empty() || line.front() == '#') {
            continue;
        }
        std::istringstream fields(line);
        Necklace n;
        std::string extra;
        if (!(fields >> n.name >> n.word) || (fields >> extra)) {
            fail("expected a name and a word");
        }
        const std::string expected = "necklace_" + two_digits(static_cast<int>(necklaces.size()) + 1);
        if (n.name != expected) {
            fail("expected " + expected);
        }
        if (const std::string problem = word_problem(n.word); !problem.empty()) {
            fail(problem);
        }
        for (const Necklace& earlier : necklaces) {
            if (least_rotation(earlier.word) == least_rotation(n.word)) {
                fail("the word is a rotation of " + earlier.name + "'s");
            }
        }
        necklaces.push_back(std::move(n));
    }
    if (necklaces.size() != 16) {
        throw std::runtime_error(file.string() + ": expected 16 necklaces, found " + std::to_string(necklaces.size()));
    }
    return necklaces;
}

std::vector<Bump> necklace(const std::string& word) {
    const std::size_t letters = word.size();
    const double step = static_cast<double>(period) / static_cast<double>(letters);
    std::vector<Bump> bumps;
    for (std::size_t k = 0; k < letters; ++k) {
        const bool rising = word[k] == '1' && word[(k + letters - 1) % letters] == '0';
        const Offset3 a = word[k] == '1' ? Offset3{accent.x, accent.y, rising ? rising_depth : 0.0} : complement;
        bumps.push_back({step * static_cast<double>(k), 0.0, a});
    }
    fit_half_widths(bumps, period, 0.45, 14.0);
    return bumps;
}

}  // namespace necklace_local
}  // namespace

std::vector<PatternDef> necklace_family(const std::filesystem::path& data_dir) {
    using namespace necklace_local;
    std::vector<PatternDef> family;
    for (const Necklace& n : read_necklaces(data_dir / "continuum_necklaces.txt")) {
        family.push_back(rhythm(n.name, period,
                                "A hand-authored binary accent word; its complement moves the other side and rising "
                                "accents add depth.",
                                necklace(n.word), level));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
