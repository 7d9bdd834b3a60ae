#pragma once
// Outlines for pens wider than one pixel: a solid band with round ends and joins.
#include <cstdint>
#include <span>

#include "surface/canvas.h"
#include "surface/raster/span_fill.h"

namespace lumigrid::raster {

// Paints the closed outline through `points` (back to the first) as the union of capsules of
// diameter `width` around its edges, sampled at pixel centres. The band's centre line runs
// through pixel centres for an odd width and along pixel corners for an even one, so an
// axis-aligned band is exactly `width` pixels across and centred on the one-pixel outline
// (odd) or on the edge between pixels (even).
void stroke_wide_outline(const RasterTarget& target, std::span<const Point> points,
                         std::int32_t width, std::uint32_t value);

// The same band for the outline of the axis-aligned rectangle with corners (left, top) and
// (right, bottom), left <= right and top <= bottom: a few spans per row, exact for every
// 32-bit coordinate and width.
void stroke_wide_rectangle(const RasterTarget& target, std::int64_t left, std::int64_t top,
                           std::int64_t right, std::int64_t bottom, std::int32_t width,
                           std::uint32_t value);

}  // namespace lumigrid::raster
