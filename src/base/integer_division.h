#pragma once
// Integer quotients rounded toward minus or plus infinity, for any signs. C++'s `/` rounds
// toward zero, which puts negative coordinates in the wrong tile, row or span.

namespace lumigrid {

template <typename Int>
constexpr Int floor_div(Int numerator, Int divisor) {
  static_assert(Int(-1) < Int(0), "a signed integer type, 128-bit ones included");
  const Int q = numerator / divisor;
  return (numerator % divisor != 0 && ((numerator < 0) != (divisor < 0))) ? Int(q - 1) : q;
}

template <typename Int>
constexpr Int ceil_div(Int numerator, Int divisor) {
  static_assert(Int(-1) < Int(0), "a signed integer type, 128-bit ones included");
  const Int q = numerator / divisor;
  return (numerator % divisor != 0 && ((numerator < 0) == (divisor < 0))) ? Int(q + 1) : q;
}

static_assert(floor_div(-7, 2) == -4 && floor_div(7, -2) == -4 && floor_div(-7, -2) == 3);
static_assert(ceil_div(-7, 2) == -3 && ceil_div(7, 2) == 4 && ceil_div(7, -2) == -3);

}  // namespace lumigrid
