#include "calibration.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <utility>

#include "axis_map.hpp"
#include "pattern.hpp"

namespace kinetrope::packgen {

namespace {
namespace calibration_local {

// The top of surge's peak band and of its depth range are one position,
// 0.680 and 0.679 when each is given to three decimals: it is 0.6795.
constexpr double surge_top = 0.6795;

// In Motion order.
constexpr std::array<MotionRow, 4> club_rows{{
    {{-0.270, 0.270}, {-0.240, 0.683}, {-0.038, 0.060}, {0.396, 0.683}, 0.44},
    {{-0.734, 0.746}, {-0.361, 0.083}, {-0.052, 0.181}, {0.311, 0.746}, 0.44},
    {{-0.594, 0.605}, {-0.605, 0.605}, {-0.195, 0.174}, {0.541, 0.605}, 0.0},
    {{-0.561, 0.582}, {-0.493, 0.260}, {-0.413, 0.485}, {0.397, 0.582}, 0.0},
}};

constexpr std::array<MotionRow, 16> dancefloor_rows{{
    {{-0.297, 0.297}, {-0.225, 0.651}, {-0.040, 0.068}, {0.448, 0.651}, 0.31},
    {{-0.713, 0.692}, {-0.345, 0.088}, {-0.059, 0.181}, {0.357, 0.713}, 0.31},
    {{-0.619, 0.620}, {-0.614, 0.614}, {-0.216, 0.155}, {0.558, 0.620}, 0.0},
    {{-0.663, 0.700}, {-0.470, 0.260}, {-0.400, 0.464}, {0.460, 0.700}, 0.0},
    {{-0.208, 0.212}, {-0.362, 0.193}, {-0.288, surge_top}, {0.366, surge_top}, 0.41},
    {{-0.641, 0.641}, {0.0, 0.312}, {-0.263, 0.187}, {0.199, 0.641}, 0.22},
    {{-0.470, 0.541}, {-0.117, 0.350}, {-0.170, 0.294}, {0.260, 0.541}, 0.0},
    {{-0.384, 0.488}, {-0.187, 0.125}, {-0.328, 0.920}, {0.267, 0.920}, 0.0},
    {{-0.549, 0.556}, {-0.200, 0.091}, {-0.180, 0.264}, {0.458, 0.556}, 0.0},
    {{-0.630, 0.645}, {-0.439, 0.440}, {-0.204, 0.178}, {0.550, 0.645}, 0.0},
    {{-0.520, 0.520}, {-0.501, 0.400}, {-0.092, 0.290}, {0.484, 0.520}, 0.0},
    {{-0.581, 0.596}, {-0.580, 0.580}, {-0.497, 0.602}, {0.504, 0.602}, 0.0},
    {{-0.684, 0.527}, {-0.641, 0.623}, {-0.336, 0.337}, {0.590, 0.684}, 0.0},
    {{-0.656, 0.648}, {-0.410, 0.362}, {-0.373, 0.403}, {0.580, 0.656}, 0.0},
    {{-0.670, 0.670}, {-0.367, 0.372}, {-0.601, 0.594}, {0.155, 0.670}, 0.11},
    {{-0.856, 0.856}, {-0.920, 0.707}, {-0.469, 0.477}, {0.253, 0.920}, 0.0},
}};

// A pattern reaches an end, the band's ends and the rest maximum to within
// half a unit of the figures' last digit.
constexpr double reach_tolerance = 0.0005;
constexpr double rest_tolerance = 0.005;

constexpr std::size_t ends = 6;
using EndValues = std::array<double, ends>;

std::string context(BeatPack pack, Motion motion) {
    return std::string(pack == BeatPack::club ? "club " : "dancefloor ") + std::string(motion_name(motion));
}

// Index of the end a coordinate moves toward: +x 0, -x 1, +y 2, ...
std::size_t end_of(std::size_t axis, double value) noexcept { return 2 * axis + (value < 0.0 ? 1 : 0); }

double coordinate(const Offset3& p, std::size_t axis) noexcept {
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

// Magnitude of each range end of a row.
EndValues row_ends(const MotionRow& row) noexcept {
    return {row.x.high, -row.x.low, row.y.high, -row.y.low, row.z.high, -row.z.low};
}

// Largest distance the curve goes toward each end.
EndValues reach_of(const Curve& curve) noexcept {
    EndValues reach{};
    for (const Offset3& p : curve) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const double v = coordinate(p, axis);
            reach[end_of(axis, v)] = std::max(reach[end_of(axis, v)], std::fabs(v));
        }
    }
    return reach;
}

double rest_share(const Curve& curve) noexcept {
    const auto resting = std::count_if(curve.begin(), curve.end(),
                                       [](const Offset3& p) { return p.x == 0.0 && p.y == 0.0 && p.z == 0.0; });
    return static_cast<double>(resting) / static_cast<double>(curve.size());
}

Curve raw_of(Motion motion, const CalibrationInput& input, double spacing) {
    return raw_motion(motion, *input.groove, motion_dimensions(motion, *input.groove), spacing);
}

// Smallest spacing in (calm, busy] at which `holds` is true, given that it
// holds at `busy` and not at `calm` and that it stays true beyond.
template <class Holds>
double threshold(double calm, double busy, Holds&& holds) {
    for (int step = 0; step < 48; ++step) {
        const double middle = 0.5 * (busy + calm);
        (holds(middle) ? busy : calm) = middle;
    }
    return busy;
}

// The least busy spacing in [calm, busy] whose rest share is within
// `most`, given that `busy` is. Rest shrinks as spacing grows, a pip at a
// time where a gesture's reach crosses it; the spacing is taken halfway
// between two such crossings, so that no stored value sits on the edge of
// a reach.
template <class RestAt>
double calmest_within(double calm, double busy, double most, RestAt&& rest_at) {
    if (rest_at(calm) <= most) {
        return calm;
    }
    const double first = threshold(calm, busy, [&](double s) { return rest_at(s) <= most; });
    const double reached = rest_at(first);
    const double next =
        rest_at(busy) < reached ? threshold(first, busy, [&](double s) { return rest_at(s) < reached; }) : busy;
    return 0.5 * (first + next);
}

// Spacing per groove. A groove that would rest longer than the row allows
// keeps moving longer after its hits, just enough to stay within it; the
// others keep the design spacing, except that if none comes within the
// tolerance of the maximum, the one resting longest is made crisper until
// it does.
std::vector<double> chosen_spacings(BeatPack pack, Motion motion, const MotionRow& row,
                                    std::span<const CalibrationInput> inputs) {
    const SpacingKnob knob = *spacing_knob(motion);
    std::vector<double> spacing(inputs.size(), knob.design);
    std::size_t restful = 0;
    double most = -1.0;
    for (std::size_t g = 0; g < inputs.size(); ++g) {
        const auto rest_at = [&](double s) { return rest_share(raw_of(motion, inputs[g], s)); };
        const double at_design = rest_at(knob.design);
        if (at_design > row.rest) {
            if (rest_at(knob.high) > row.rest) {
                throw std::runtime_error(context(pack, motion) + ": " + inputs[g].groove->name +
                                         " rests too long even at the widest spacing");
            }
            spacing[g] = calmest_within(knob.design, knob.high, row.rest, rest_at);
        }
        const double rest = rest_at(spacing[g]);
        if (rest > most) {
            most = rest;
            restful = g;
        }
    }
    if (most < row.rest - rest_tolerance && spacing[restful] == knob.design) {
        spacing[restful] = calmest_within(knob.low, knob.design, row.rest, [&](double s) {
            return rest_share(raw_of(motion, inputs[restful], s));
        });
    }
    return spacing;
}

// Per-groove gains and a pack-wide smooth map per axis. The maps carry the
// union of the curves out to the range ends; the gains spread the
// patterns' peaks over the band, the weakest at its bottom and the
// strongest at its top. Axes a groove keeps as drawn take neither.
struct Scaling {
    std::vector<double> gain;
    std::array<AxisMap, 3> map;
};

// How much steeper an axis map may be at one end of its span than at the
// other: more would squash the far side of the curves flat against its end.
constexpr double most_bend = 4.0;

class Fit {
public:
    // `context` names the pack and motion in errors.
    Fit(std::string context, std::vector<EndValues> reach, std::vector<AxisKept> kept, EndValues target, Span band)
        : context_(std::move(context)), reach_(std::move(reach)), kept_(std::move(kept)), target_(target),
          band_(band) {
        scaling_.gain.assign(reach_.size(), 1.0);
    }

    // Throws std::runtime_error if an axis has no increasing map onto its
    // range, or only one that bends too far: the raw curves reach too far
    // on one side for the ends asked.
    Scaling solve() {
        for (int round = 0; round < 60; ++round) {
            fit_maps();
            spread_gains();
        }
        fit_maps();
        check_bends();
        return scaling_;
    }

private:
    // Where the map sends groove g's farthest reach toward end e.
    double scaled(std::size_t g, std::size_t e) const {
        const std::size_t axis = e / 2;
        return std::fabs(scaling_.map[axis](scaling_.gain[g] * reach_[g][e] * (e % 2 == 0 ? 1.0 : -1.0)));
    }

    double free_peak(std::size_t g) const {
        double peak = 0.0;
        for (std::size_t e = 0; e < ends; ++e) {
            if (!kept_[g][e / 2]) {
                peak = std::max(peak, scaled(g, e));
            }
        }
        return peak;
    }

    double kept_peak(std::size_t g) const {
        double peak = 0.0;
        for (std::size_t e = 0; e < ends; ++e) {
            if (kept_[g][e / 2]) {
                peak = std::max(peak, reach_[g][e]);
            }
        }
        return peak;
    }

    // How far the grooves that take the map reach below and above 0 on
    // `axis`, with their gains.
    std::pair<double, double> span_of(std::size_t axis) const {
        double below = 0.0;
        double above = 0.0;
        for (std::size_t g = 0; g < reach_.size(); ++g) {
            if (!kept_[g][axis]) {
                above = std::max(above, scaling_.gain[g] * reach_[g][2 * axis]);
                below = std::max(below, scaling_.gain[g] * reach_[g][2 * axis + 1]);
            }
        }
        return {below, above};
    }

    void fit_maps() {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const auto [below, above] = span_of(axis);
            const std::optional<AxisMap> map =
                fit_axis_map(below, above, target_[2 * axis + 1], target_[2 * axis]);
            if (!map) {
                throw std::runtime_error(context_ + ": no increasing map onto the range of " + "xyz"[axis] +
                                         " for reaches " + std::to_string(below) + " below and " +
                                         std::to_string(above) + " above 0");
            }
            scaling_.map[axis] = *map;
        }
    }

    // Throws if a final map is much steeper at one end of its span than at
    // the other: the raw curves lean the other way from their range.
    void check_bends() const {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const auto [below, above] = span_of(axis);
            const AxisMap& map = scaling_.map[axis];
            const double steep = std::max(map.slope(-below), map.slope(above));
            const double flat = std::min(map.slope(-below), map.slope(above));
            if (steep > most_bend * flat) {
                throw std::runtime_error(context_ + ": the map onto the range of " + std::string(1, "xyz"[axis]) +
                                         " bends too far (end slopes " + std::to_string(flat) + " and " +
                                         std::to_string(steep) + ")");
            }
        }
    }

    // Moves each groove's peak toward its place in the band, in proportion
    // to where it stands among the grooves whose peak the gains move.
    void spread_gains() {
        double lowest = 1e300;
        double highest = 0.0;
        for (std::size_t g = 0; g < reach_.size(); ++g) {
            if (free_peak(g) > kept_peak(g)) {
                lowest = std::min(lowest, free_peak(g));
                highest = std::max(highest, free_peak(g));
            }
        }
        if (!(highest > lowest)) {
            return;
        }
        for (std::size_t g = 0; g < reach_.size(); ++g) {
            const double peak = free_peak(g);
            if (peak > kept_peak(g)) {
                const double wanted = band_.low + (peak - lowest) * (band_.high - band_.low) / (highest - lowest);
                scaling_.gain[g] *= wanted / peak;
            }
        }
    }

    std::string context_;
    std::vector<EndValues> reach_;
    std::vector<AxisKept> kept_;
    EndValues target_;
    Span band_;
    Scaling scaling_;
};

Curve scaled_curve(const Curve& raw, double gain, const std::array<AxisMap, 3>& map, const AxisKept& kept) {
    Curve out = raw;
    for (Offset3& p : out) {
        double* axes[3] = {&p.x, &p.y, &p.z};
        for (std::size_t axis = 0; axis < 3; ++axis) {
            if (!kept[axis] && *axes[axis] != 0.0) {
                *axes[axis] = map[axis](gain * *axes[axis]);
            }
        }
    }
    return out;
}

constexpr std::array<const char*, ends> end_names{"+x", "-x", "+y", "-y", "+z", "-z"};

// What the row asks of one stored pattern: how far it goes toward each
// range end, its peak, and its share of pips at rest at the origin.
struct Summary {
    EndValues reach;
    double peak;
    double rest;
};

Summary summary_of(const Curve& curve) {
    Curve stored = curve;
    for (Offset3& p : stored) {
        p = {round12(p.x), round12(p.y), round12(p.z)};
    }
    const EndValues reach = reach_of(stored);
    return {reach, *std::max_element(reach.begin(), reach.end()), rest_share(stored)};
}

// Empty if the pattern keeps the row, else what it breaks.
std::string broken_by(const Summary& s, const MotionRow& row) {
    const EndValues target = row_ends(row);
    for (std::size_t e = 0; e < ends; ++e) {
        if (s.reach[e] > target[e] + 1e-12) {
            return std::string("goes past its range at ") + end_names[e];
        }
    }
    if (s.peak < row.peak.low - 1e-12 || s.peak > row.peak.high + 1e-12) {
        return "peaks outside the band at " + std::to_string(s.peak);
    }
    if (s.rest > row.rest || (row.rest == 0.0 && s.rest > 0.0)) {
        return "rests at the origin for " + std::to_string(s.rest) + " of the loop";
    }
    return {};
}

// Empty if the patterns together reach the row, else what they miss.
std::string missed_by(const std::vector<Summary>& summaries, const MotionRow& row) {
    const EndValues target = row_ends(row);
    EndValues farthest{};
    double lowest_peak = 1e300;
    double highest_peak = 0.0;
    double most_rest = 0.0;
    for (const Summary& s : summaries) {
        for (std::size_t e = 0; e < ends; ++e) {
            farthest[e] = std::max(farthest[e], s.reach[e]);
        }
        lowest_peak = std::min(lowest_peak, s.peak);
        highest_peak = std::max(highest_peak, s.peak);
        most_rest = std::max(most_rest, s.rest);
    }
    for (std::size_t e = 0; e < ends; ++e) {
        if (target[e] - farthest[e] > reach_tolerance) {
            return std::string("no pattern reaches ") + end_names[e];
        }
    }
    if (lowest_peak - row.peak.low > reach_tolerance || row.peak.high - highest_peak > reach_tolerance) {
        return "the peaks do not reach both ends of the band";
    }
    if (row.rest - most_rest > rest_tolerance) {
        return "no pattern rests as long as the row allows";
    }
    return {};
}

// The row, checked on the stored values.
void check_row(BeatPack pack, Motion motion, const MotionRow& row, std::span<const CalibrationInput> inputs,
               const std::vector<Curve>& curves) {
    std::vector<Summary> summaries;
    for (std::size_t g = 0; g < curves.size(); ++g) {
        summaries.push_back(summary_of(curves[g]));
        const std::string fault = broken_by(summaries.back(), row);
        if (!fault.empty()) {
            throw std::runtime_error(context(pack, motion) + ": " + inputs[g].groove->name + " " + fault);
        }
    }
    const std::string fault = missed_by(summaries, row);
    if (!fault.empty()) {
        throw std::runtime_error(context(pack, motion) + ": " + fault);
    }
}

}  // namespace calibration_local
}  // namespace

const MotionRow& motion_row(BeatPack pack, Motion motion) {
    using namespace calibration_local;
    const auto index = static_cast<std::size_t>(motion);
    if (pack == BeatPack::club) {
        return club_rows.at(index);
    }
    return dancefloor_rows.at(index);
}

std::vector<Curve> calibrated_curves(BeatPack pack, Motion motion, std::span<const CalibrationInput> inputs) {
    using namespace calibration_local;
    const MotionRow& row = motion_row(pack, motion);
    const std::vector<double> spacing = spacing_knob(motion) ? chosen_spacings(pack, motion, row, inputs)
                                                             : std::vector<double>(inputs.size(), 1.0);
    std::vector<Curve> raw;
    std::vector<EndValues> reach;
    std::vector<AxisKept> kept;
    for (const CalibrationInput& input : inputs) {
        raw.push_back(raw_of(motion, input, spacing[raw.size()]));
        reach.push_back(reach_of(raw.back()));
        kept.push_back(input.kept);
    }
    const Scaling scaling = Fit(context(pack, motion), reach, kept, row_ends(row), row.peak).solve();
    std::vector<Curve> curves;
    for (std::size_t g = 0; g < raw.size(); ++g) {
        curves.push_back(scaled_curve(raw[g], scaling.gain[g], scaling.map, inputs[g].kept));
    }
    check_row(pack, motion, row, inputs, curves);
    return curves;
}

}  // namespace kinetrope::packgen
