#pragma once
// The colour profile a sheet of the sRGB route carries: the sRGB profile as Little CMS 2 makes
// it, made once a run.
#include <cstdint>
#include <vector>

namespace lumigrid {

// The ICC profile of sRGB (IEC 61966-2-1), serialised. Throws lumigrid::Error should the
// library fail to make it.
const std::vector<std::uint8_t>& srgb_icc_profile();

}  // namespace lumigrid
