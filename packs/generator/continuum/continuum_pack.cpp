// kinetrope_continuum: long shape studies and rhythm families.
#include "packs.hpp"

namespace kinetrope::packgen {

Pack continuum_pack(const std::filesystem::path& /*data_dir*/) { return {"continuum", {}}; }

}  // namespace kinetrope::packgen
