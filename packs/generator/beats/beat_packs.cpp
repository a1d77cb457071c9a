// kinetrope_club and kinetrope_dancefloor: drum grooves rendered as motions.
#include "packs.hpp"

namespace kinetrope::packgen {

Pack club_pack(const std::filesystem::path& /*data_dir*/) { return {"club", {}}; }
Pack dancefloor_pack(const std::filesystem::path& /*data_dir*/) { return {"dancefloor", {}}; }

}  // namespace kinetrope::packgen
