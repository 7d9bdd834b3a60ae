#pragma once
// The drawers' arithmetic: doubles truncated or rounded (ties to even) into integers, and the
// narrowing of 64-bit coordinates for the canvas.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "surface/canvas.h"

namespace lumigrid::drawing {

// The drawers keep their geometry in 32-bit integers; a result beyond that range (only absurd
// parameters produce one) saturates instead of wrapping.
inline std::int64_t saturate32(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  return std::int64_t(std::clamp(value, kLowest, kHighest));
}

// Toward zero.
inline std::int64_t trunc_int(double value) {
  return saturate32(std::trunc(value));
}

// To the nearest integer, ties to the even one (the default rounding mode).
inline std::int64_t round_int(double value) {
  return saturate32(std::nearbyint(value));
}

// Products of two 32-bit integers that the drawing forms in 32-bit arithmetic: they wrap.
inline std::int32_t wrapping_product(std::int32_t a, std::int32_t b) {
  return std::int32_t(std::uint32_t(a) * std::uint32_t(b));
}

// Far outside every surface but still safe to add a pen band to.
inline std::int32_t coord(std::int64_t value) {
  constexpr std::int64_t kLimit = std::int64_t(1) << 30;
  return std::int32_t(std::clamp(value, -kLimit, kLimit));
}

// A closed four-corner outline, the first corner repeated as the fifth point.
inline void quad(Canvas& canvas, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                 std::int64_t x3, std::int64_t y3, std::int64_t x4, std::int64_t y4) {
  const std::array<Point, 5> points = {{{coord(x1), coord(y1)},
                                        {coord(x2), coord(y2)},
                                        {coord(x3), coord(y3)},
                                        {coord(x4), coord(y4)},
                                        {coord(x1), coord(y1)}}};
  canvas.Polygon(points);
}

}  // namespace lumigrid::drawing
