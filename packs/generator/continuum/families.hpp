// The continuum families, each the sixteen members of one rule, in the
// pack's order.
#pragma once

#include <filesystem>
#include <vector>

#include "pattern.hpp"

namespace kinetrope::packgen::continuum {

std::vector<PatternDef> ribbon_family();
std::vector<PatternDef> contour_family();
std::vector<PatternDef> silhouette_family();
std::vector<PatternDef> spline_family();
std::vector<PatternDef> tour_family();
std::vector<PatternDef> scan_family();
std::vector<PatternDef> reach_family();
std::vector<PatternDef> surface_family();
std::vector<PatternDef> braid_family();
std::vector<PatternDef> arm_family();
std::vector<PatternDef> dwell_family();
std::vector<PatternDef> packet_family();
std::vector<PatternDef> canon_family();
std::vector<PatternDef> echo_family();
std::vector<PatternDef> ladder_family();
// The accent words are authored in <data_dir>/continuum_necklaces.txt.
std::vector<PatternDef> necklace_family(const std::filesystem::path& data_dir);
std::vector<PatternDef> accent_family();
std::vector<PatternDef> triplet_family();
std::vector<PatternDef> dialogue_family();
std::vector<PatternDef> burst_family();

}  // namespace kinetrope::packgen::continuum
