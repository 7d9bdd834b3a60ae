#pragma once
// The rasteriser's only way to touch pixels: horizontal spans of one stored value.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "surface/surface.h"

namespace lumigrid::raster {

struct RasterTarget {
  std::uint8_t* pixels;
  std::size_t stride;
  std::int32_t width;
  std::int32_t height;
  PixelFormat format;
};

inline RasterTarget raster_target(Surface& surface) {
  return {surface.data(), surface.stride(), surface.width(), surface.height(), surface.format()};
}

// Paints columns [x0, x1) of row y; the caller has clipped all three to the surface.
inline void fill_span(const RasterTarget& t, std::int32_t y, std::int32_t x0, std::int32_t x1,
                      std::uint32_t value) {
  std::uint8_t* row = t.pixels + t.stride * std::size_t(y);
  if (t.format == PixelFormat::Gray8) {
    std::memset(row + x0, int(value), std::size_t(x1 - x0));
  } else {
    auto* words = reinterpret_cast<std::uint32_t*>(row);
    std::fill(words + x0, words + x1, value);
  }
}

// Paints columns first..last (both included) of row y, whatever their range.
inline void fill_span_clipped(const RasterTarget& t, std::int64_t y, std::int64_t first,
                              std::int64_t last, std::uint32_t value) {
  if (y < 0 || y >= t.height) return;
  first = std::max<std::int64_t>(first, 0);
  last = std::min<std::int64_t>(last, std::int64_t(t.width) - 1);
  if (first > last) return;
  fill_span(t, std::int32_t(y), std::int32_t(first), std::int32_t(last + 1), value);
}

// Paints the half-open rectangle [left, right) x [top, bottom), clipped.
inline void fill_rect_clipped(const RasterTarget& t, std::int64_t left, std::int64_t top,
                              std::int64_t right, std::int64_t bottom, std::uint32_t value) {
  left = std::max<std::int64_t>(left, 0);
  top = std::max<std::int64_t>(top, 0);
  right = std::min<std::int64_t>(right, t.width);
  bottom = std::min<std::int64_t>(bottom, t.height);
  if (left >= right || top >= bottom) return;
  for (std::int64_t y = top; y < bottom; ++y) {
    fill_span(t, std::int32_t(y), std::int32_t(left), std::int32_t(right), value);
  }
}

}  // namespace lumigrid::raster
