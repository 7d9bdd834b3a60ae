#pragma once
// Integer helpers for the rasteriser: 128-bit products and rounding divisions, so that span
// ends are decided exactly and every coordinate in 32 bits is safe.
#include <cstdint>

#include "base/integer_division.h"

namespace lumigrid::raster {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

using lumigrid::ceil_div;
using lumigrid::floor_div;

// floor(numerator / divisor) and the remainder in [0, divisor), for a positive divisor and a
// quotient well inside 2^52 (then the double-precision quotient is off by at most one and the
// exact correction below settles it): cheaper than a 64-bit integer division.
struct FloorDivision {
  std::int64_t quotient;
  std::int64_t remainder;
};
inline FloorDivision floor_divide_small(std::int64_t numerator, std::int64_t divisor) {
  std::int64_t q =
      static_cast<std::int64_t>(static_cast<double>(numerator) / static_cast<double>(divisor));
  std::int64_t r = numerator - q * divisor;
  while (r < 0) {
    --q;
    r += divisor;
  }
  while (r >= divisor) {
    ++q;
    r -= divisor;
  }
  return {q, r};
}

// Converts an approximate coordinate to an integer without the undefined behaviour of an
// out-of-range conversion; anything beyond +-2^62 is far outside every surface anyway.
inline std::int64_t clamp_to_int64(long double v) {
  constexpr std::int64_t kLimit = std::int64_t(1) << 62;
  if (!(v > -static_cast<long double>(kLimit))) return -kLimit;  // also catches NaN
  if (v > static_cast<long double>(kLimit)) return kLimit;
  return static_cast<std::int64_t>(v);
}

}  // namespace lumigrid::raster
