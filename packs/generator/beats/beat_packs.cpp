// kinetrope_club and kinetrope_dancefloor: drum grooves rendered as motions.
// Every groove of the score file in order; the club pack takes the club
// grooves under the four club motions, the dancefloor pack the club grooves
// under its twelve motions and then its own grooves under all sixteen.
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "calibration.hpp"
#include "motions.hpp"
#include "packs.hpp"
#include "score.hpp"

namespace kinetrope::packgen {

namespace {
namespace beat_packs_local {

constexpr AxisKept all_axes{true, true, true};
constexpr AxisKept x_axis{true, false, false};
constexpr AxisKept no_axes{};

// The club patterns whose shape is settled as drawn: the bare four-to-the-
// floor pulse under bounce, step and orbit, and the clap side accents of
// the classic house bounce.
AxisKept kept_axes(BeatPack pack, Motion motion, const Groove& groove) {
    if (pack != BeatPack::club) {
        return no_axes;
    }
    if (groove.name == "four_floor" && motion != Motion::glide) {
        return all_axes;
    }
    if (groove.name == "house_classic" && motion == Motion::bounce) {
        return x_axis;
    }
    return no_axes;
}

using GrooveList = std::vector<const Groove*>;

// The final curve of each groove under `motion`, calibrated over `grooves`.
std::map<const Groove*, Curve> motion_curves(BeatPack pack, Motion motion, const GrooveList& grooves) {
    std::vector<CalibrationInput> inputs;
    for (const Groove* groove : grooves) {
        inputs.push_back({groove, kept_axes(pack, motion, *groove)});
    }
    std::vector<Curve> curves = calibrated_curves(pack, motion, inputs);
    std::map<const Groove*, Curve> by_groove;
    for (std::size_t g = 0; g < grooves.size(); ++g) {
        by_groove.emplace(grooves[g], std::move(curves[g]));
    }
    return by_groove;
}

std::string description(BeatPack pack, Motion motion, const Groove& groove) {
    if (pack == BeatPack::club) {
        return groove.label + " — " + std::string(club_text(motion)) + " " + groove.extra;
    }
    return groove.label + " — " + std::string(dancefloor_text(motion));
}

PatternDef pattern(BeatPack pack, Motion motion, const Groove& groove, Curve curve) {
    auto table = std::make_shared<const Curve>(std::move(curve));
    Rule rule = [table](double pip) { return (*table)[static_cast<std::size_t>(pip)]; };
    return {"beat_" + groove.name + "_" + std::string(motion_name(motion)), description(pack, motion, groove),
            groove.period, motion_dimensions(motion, groove), std::move(rule)};
}

// A pack's groove-by-groove list of (groove, its motions).
using Layout = std::vector<std::pair<const Groove*, std::vector<Motion>>>;

Pack assembled(BeatPack pack, const std::string& name, const Layout& layout) {
    std::map<Motion, GrooveList> grooves_of;
    for (const auto& [groove, motions] : layout) {
        for (const Motion motion : motions) {
            grooves_of[motion].push_back(groove);
        }
    }
    std::map<Motion, std::map<const Groove*, Curve>> curves;
    for (const auto& [motion, grooves] : grooves_of) {
        curves.emplace(motion, motion_curves(pack, motion, grooves));
    }
    Pack out{name, {}};
    for (const auto& [groove, motions] : layout) {
        for (const Motion motion : motions) {
            out.patterns.push_back(pattern(pack, motion, *groove, std::move(curves.at(motion).at(groove))));
        }
    }
    return out;
}

std::vector<Groove> grooves(const std::filesystem::path& data_dir) {
    return read_grooves(data_dir / "grooves.score");
}

}  // namespace beat_packs_local
}  // namespace

Pack club_pack(const std::filesystem::path& data_dir) {
    using namespace beat_packs_local;
    const std::vector<Groove> all = grooves(data_dir);
    Layout layout;
    for (const Groove& groove : all) {
        if (groove.in_club) {
            layout.push_back({&groove, {club_motions.begin(), club_motions.end()}});
        }
    }
    return assembled(BeatPack::club, "club", layout);
}

Pack dancefloor_pack(const std::filesystem::path& data_dir) {
    using namespace beat_packs_local;
    const std::vector<Groove> all = grooves(data_dir);
    Layout layout;
    for (const Groove& groove : all) {
        if (groove.in_club) {
            layout.push_back({&groove, {dancefloor_motions.begin(), dancefloor_motions.end()}});
        }
    }
    for (const Groove& groove : all) {
        if (!groove.in_club) {
            std::vector<Motion> motions(club_motions.begin(), club_motions.end());
            motions.insert(motions.end(), dancefloor_motions.begin(), dancefloor_motions.end());
            layout.push_back({&groove, motions});
        }
    }
    return assembled(BeatPack::dancefloor, "dancefloor", layout);
}

}  // namespace kinetrope::packgen
