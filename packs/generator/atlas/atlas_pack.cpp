// kinetrope_atlas: family-structured shapes and rhythms.
#include "packs.hpp"

namespace kinetrope::packgen {

Pack atlas_pack(const std::filesystem::path& /*data_dir*/) { return {"atlas", {}}; }

}  // namespace kinetrope::packgen
