// packet_<style>_n: n packets of a few oscillation cycles, each rising and
// fading under a smooth envelope, spaced around the loop while the point
// drifts round a slow closed side path. Styles: alternating (packets swing
// across and up-down in turn), cascading (each packet smaller and quicker
// than the last), crossing (each packet's swing turned a little further)
// and depth (packets swing in depth).
#include <array>
#include <cmath>
#include <string>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace packet_local {

enum class Kind { alternating, cascading, crossing, depth };

struct Style {
    const char* word;
    Kind kind;
};

constexpr std::array<Style, 4> styles = {{{"alternating", Kind::alternating},
                                          {"cascading", Kind::cascading},
                                          {"crossing", Kind::crossing},
                                          {"depth", Kind::depth}}};
constexpr std::array<int, 4> packet_counts = {2, 3, 4, 5};

constexpr int period = 512;
constexpr double packet_share = 0.6;  // of a packet's slot under its envelope
constexpr double swing = 0.26;        // packet amplitude

// One member has its largest magnitude between pips on purpose: the
// half-pip grid then normalises a peak that no pip holds, and the stored
// peak sits just under 0.82. The offset puts it at 0.8196.
constexpr const char* between_pips_member = "packet_cascading_5";
constexpr double between_pips_offset = 0.289;

struct Packet {
    Offset3 direction;
    double size;
    int cycles;
};

Packet packet(Kind kind, int j, int count) {
    switch (kind) {
        case Kind::alternating:
            return {j % 2 == 0 ? Offset3{side(j / 2), 0.0, 0.0} : Offset3{0.0, side(j / 2), 0.0}, 1.0, 3};
        case Kind::cascading: {
            const double a = -0.6 - 0.25 * j;
            return {{std::cos(a), std::sin(a), 0.0}, 1.0 - 0.12 * j, 3 + j};
        }
        case Kind::crossing: {
            const double a = pi / 4.0 + pi * j / count;
            return {{std::cos(a), std::sin(a), 0.0}, 1.0, 3};
        }
        case Kind::depth:
            return {{0.0, 0.0, side(j)}, 1.0 - 0.08 * j, 3 + j % 2};
    }
    return {};
}

Offset3 packets(Kind kind, int count, double pip) {
    const double theta = 2.0 * pi * pip / period;
    Offset3 at{0.7 * std::cos(theta) + 0.1 * std::cos(2.0 * theta), 0.5 * std::sin(theta), 0.0};
    const double slot = static_cast<double>(period) / count;
    const double width = packet_share * slot;
    for (int j = 0; j < count; ++j) {
        const double u = (pip - (j + 0.5) * slot) / width + 0.5;
        if (u > 0.0 && u < 1.0) {
            const Packet p = packet(kind, j, count);
            const double envelope = std::sin(pi * u) * std::sin(pi * u);
            at = at + (swing * p.size * envelope * std::sin(2.0 * pi * p.cycles * u)) * p.direction;
        }
    }
    return at;
}

}  // namespace packet_local
}  // namespace

std::vector<PatternDef> packet_family() {
    using namespace packet_local;
    std::vector<PatternDef> family;
    for (const int count : packet_counts) {
        for (const Style& style : styles) {
            const Kind kind = style.kind;
            const std::string name = numbered("packet_" + std::string(style.word), std::array{count});
            family.push_back(shape(name, period, kind == Kind::depth ? 3 : 2,
                                   "Compact, smooth-edged oscillation packets arranged around a closed phrase, "
                                   "with shaped side motion.",
                                   [kind, count](double pip) { return packets(kind, count, pip); },
                                   name == between_pips_member ? between_pips_offset : 0.0));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
