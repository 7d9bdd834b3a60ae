#pragma once
// Interior of a polygon by the even-odd rule, sampled at pixel centres.
#include <cstdint>
#include <span>

#include "surface/canvas.h"
#include "surface/raster/span_fill.h"

namespace lumigrid::raster {

// Paints every pixel whose centre lies inside the closed polygon by the even-odd rule. Vertices
// sit on pixel corners, so the rectangle (x0, y0)..(x1, y1) fills x0..x1-1 by y0..y1-1.
void fill_polygon_even_odd(const RasterTarget& target, std::span<const Point> points,
                           std::uint32_t value);

}  // namespace lumigrid::raster
