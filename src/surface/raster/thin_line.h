#pragma once
// One-pixel lines for pens of width 0 and 1.
#include <cstdint>

#include "surface/canvas.h"
#include "surface/raster/span_fill.h"

namespace lumigrid::raster {

// Paints the 8-connected line from `from` to `to`: the pixel `from` is painted, the pixel `to`
// is not, so consecutive edges of a closed outline meet without overlap. A zero-length line
// paints nothing. Along the major axis every step paints one pixel; the minor coordinate is the
// ideal one rounded half up. Work is bounded by the surface's width or height.
void stroke_thin_line(const RasterTarget& target, Point from, Point to, std::uint32_t value);

}  // namespace lumigrid::raster
