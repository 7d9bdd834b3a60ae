#pragma once
// The rings of one moire tile, shared by pattern 5 and the printable page.
#include <cstdint>

#include "surface/canvas.h"

namespace lumigrid {

// Concentric rings around (cx, cy): outermost radius Round(space / 1.414), spacing sweeping
// from pitch towards pitch2, each band half the spacing just crossed. Sets brush white, pen
// black and the pen widths as it goes (the last ring's width stays on the canvas).
void paint_moire_rings(Canvas& canvas, std::int32_t cx, std::int32_t cy, std::int32_t space,
                       std::int32_t pitch, std::int32_t pitch2);

}  // namespace lumigrid
