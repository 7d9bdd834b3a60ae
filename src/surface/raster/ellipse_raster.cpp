#include "surface/raster/ellipse_raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "surface/raster/exact_math.h"

namespace lumigrid::raster {

namespace {

// Exact tests need A^2 B^2 < 2^128; circles stay in 64 bits below 2^31.
constexpr std::uint64_t kExactAxis = std::uint64_t(1) << 32;
constexpr std::uint64_t kCircleAxis = std::uint64_t(1) << 31;

struct Span {
  std::int64_t first = 1, last = 0;  // empty by default
  bool empty() const { return first > last; }
};

// Doubled geometry: centre (cx2, cy2) = box corners summed; pixel centre x maps to
// u = 2x + 1 - cx2.
struct EllipseFrame {
  std::int64_t cx2, cy2;
  int parity;  // parity every u of this ellipse has
};

Span row_span(const EllipseFrame& f, std::uint64_t a, std::uint64_t b, std::int64_t y,
              bool strict) {
  const std::int64_t v = 2 * y + 1 - f.cy2;
  const std::uint64_t v_abs = std::uint64_t(v < 0 ? -v : v);
  if (v_abs > b) return {};
  const std::int64_t u = ellipse_half_span(a, b, v_abs, f.parity, strict);
  if (u < 0) return {};
  // u and cx2 - 1 have the same parity, so the halves are exact.
  return {(f.cx2 - 1 - u) / 2, (f.cx2 - 1 + u) / 2};
}

// The shape of a one-pixel-pen ellipse on row y: the pixel centres inside the ellipse, joined
// with the box's two middle lines, so that a flat or narrow ellipse still reaches the box's
// first and last columns and rows. (Circles and most ellipses contain those lines already.)
Span thin_row_span(const EllipseFrame& f, std::uint64_t a, std::uint64_t b, std::int64_t y) {
  if (a == 0 || b == 0) return {};
  const std::int64_t v = 2 * y + 1 - f.cy2;
  const std::uint64_t v_abs = std::uint64_t(v < 0 ? -v : v);
  if (v_abs >= b) return {};  // outside the box's rows
  if (v_abs <= 1) {
    // A middle row spans the box: u from -(a - 1) to a - 1.
    return {(f.cx2 - std::int64_t(a)) / 2, (f.cx2 + std::int64_t(a) - 2) / 2};
  }
  const std::int64_t middle = f.parity;  // the middle column(s): u = 0, or u = -1 and 1
  const std::int64_t u = std::max(ellipse_half_span(a, b, v_abs, f.parity, false), middle);
  return {(f.cx2 - 1 - u) / 2, (f.cx2 - 1 + u) / 2};
}

void draw_thin(const RasterTarget& t, const EllipseFrame& f, std::uint64_t a, std::uint64_t b,
               std::int64_t y_first, std::int64_t y_last, std::uint32_t pen, std::uint32_t brush) {
  Span above = thin_row_span(f, a, b, y_first - 1);
  Span here = thin_row_span(f, a, b, y_first);
  for (std::int64_t y = y_first; y <= y_last; ++y) {
    const Span below = thin_row_span(f, a, b, y + 1);
    if (!here.empty()) {
      // Inside pixels whose four neighbours are all inside take the brush.
      Span inner;
      if (!above.empty() && !below.empty()) {
        inner.first = std::max({here.first + 1, above.first, below.first});
        inner.last = std::min({here.last - 1, above.last, below.last});
      }
      if (inner.empty()) {
        fill_span_clipped(t, y, here.first, here.last, pen);
      } else {
        fill_span_clipped(t, y, here.first, inner.first - 1, pen);
        fill_span_clipped(t, y, inner.first, inner.last, brush);
        fill_span_clipped(t, y, inner.last + 1, here.last, pen);
      }
    }
    above = here;
    here = below;
  }
}

// Drawers paint the same ring again and again at other places (every tile of a pattern or a
// page), and a ring's spans relative to its centre depend only on its box size, pen width and
// the parities of its centre. So the half-widths of the last few wide rings are kept, one entry
// per row: the plain path computes them with row_span for every row of every ring.
constexpr std::uint64_t kCachedShapeReach = 4096;  // doubled semi-axis; bounds a table's rows
constexpr std::size_t kCachedShapes = 8;
bool band_cache_enabled = true;
thread_local std::uint64_t band_cache_reuses = 0;

struct BandRow {
  std::int64_t outer_u = -1;  // -1: the row misses that ellipse
  std::int64_t inner_u = -1;
};

struct BandShape {
  std::uint64_t a = 0, b = 0, w = 0;
  int column_parity = -1, row_parity = -1;
  std::vector<BandRow> rows;  // from the first row the outer ellipse can reach
};

const BandShape& cached_band_shape(std::uint64_t a, std::uint64_t b, std::uint64_t w,
                                   int column_parity, int row_parity, std::int64_t cy2,
                                   std::int64_t reach) {
  thread_local std::array<BandShape, kCachedShapes> shapes;
  thread_local std::size_t next_slot = 0;
  for (const BandShape& shape : shapes) {
    if (shape.a == a && shape.b == b && shape.w == w && shape.column_parity == column_parity &&
        shape.row_parity == row_parity) {
      ++band_cache_reuses;
      return shape;
    }
  }
  BandShape& shape = shapes[next_slot];
  next_slot = (next_slot + 1) % kCachedShapes;
  shape = BandShape{a, b, w, column_parity, row_parity, {}};
  const std::uint64_t outer_a = a + w, outer_b = b + w;
  const bool has_inner = a > w && b > w;
  const std::uint64_t inner_a = has_inner ? a - w : 0, inner_b = has_inner ? b - w : 0;
  // Rows are relative: any centre of this row parity gives the same table.
  const std::int64_t y_top = ceil_div<std::int64_t>(cy2 - reach - 1, 2);
  const std::int64_t y_bottom = floor_div<std::int64_t>(cy2 + reach - 1, 2);
  shape.rows.resize(std::size_t(y_bottom - y_top + 1));
  for (std::int64_t y = y_top; y <= y_bottom; ++y) {
    BandRow& row = shape.rows[std::size_t(y - y_top)];
    const std::int64_t v = 2 * y + 1 - cy2;
    const std::uint64_t v_abs = std::uint64_t(v < 0 ? -v : v);
    row.outer_u =
        v_abs > outer_b ? -1 : ellipse_half_span(outer_a, outer_b, v_abs, column_parity, true);
    if (row.outer_u >= 0 && has_inner && v_abs <= inner_b) {
      row.inner_u = ellipse_half_span(inner_a, inner_b, v_abs, column_parity, true);
    }
  }
  return shape;
}

}  // namespace

std::int64_t ellipse_half_span(std::uint64_t a, std::uint64_t b, std::uint64_t v_abs, int parity,
                               bool strict) {
  if (b == 0 || v_abs > b) return -1;
  if (a == b && a < kCircleAxis) {
    // A circle: u^2 against A^2 - v^2, all in 64 bits, with a square root to start from.
    const std::int64_t radius = std::int64_t(a), v = std::int64_t(v_abs);
    const std::int64_t limit = (radius - v) * (radius + v) - (strict ? 1 : 0);
    if (limit < 0) return -1;
    std::int64_t u = std::int64_t(std::sqrt(double(limit)));
    while (u * u > limit) --u;
    while ((u + 1) * (u + 1) <= limit) ++u;
    if ((u & 1) != parity) --u;
    return u;
  }
  const bool exact = a < kExactAxis && b < kExactAxis;
  std::int64_t u;
  if (exact) {
    // Double precision is close enough for a first guess; the exact test settles it.
    const double guess = double(a) * std::sqrt(double(b - v_abs) * double(b + v_abs)) / double(b);
    u = std::min<std::int64_t>(std::int64_t(guess), std::int64_t(a));
  } else {
    const long double guess =
        static_cast<long double>(a) *
        std::sqrt(static_cast<long double>(b - v_abs) * static_cast<long double>(b + v_abs)) /
        static_cast<long double>(b);
    u = std::min<std::int64_t>(clamp_to_int64(std::floor(guess)),
                               std::int64_t(std::min<std::uint64_t>(a, INT64_MAX)));
  }
  u = std::max<std::int64_t>(u, 0);
  if ((u & 1) != parity) --u;
  if (!exact) return u;
  // Settle the guess exactly: u^2 B^2 against A^2 (B^2 - v^2).
  const UInt128 limit = UInt128(a) * a * (UInt128(b) * b - UInt128(v_abs) * v_abs);
  const UInt128 b2 = UInt128(b) * b;
  auto fits = [&](std::int64_t candidate) {
    const UInt128 lhs = UInt128(std::uint64_t(candidate)) * std::uint64_t(candidate) * b2;
    return strict ? lhs < limit : lhs <= limit;
  };
  constexpr int kMaxNudge = 8;
  for (int k = 0; k < kMaxNudge && u >= 0 && !fits(u); ++k) u -= 2;
  for (int k = 0; k < kMaxNudge && std::uint64_t(u + 2) <= a && fits(u + 2); ++k) u += 2;
  return u >= 0 && fits(u) ? u : -1;
}

void set_ring_table_enabled(bool enabled) {
  band_cache_enabled = enabled;
}

std::uint64_t ring_table_reuses() {
  return band_cache_reuses;
}

void draw_ellipse(const RasterTarget& target, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                  std::int32_t y2, std::int32_t pen_width, std::uint32_t pen, std::uint32_t brush) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  EllipseFrame f{std::int64_t(x1) + x2, std::int64_t(y1) + y2, 0};
  f.parity = int((1 + f.cx2) & 1);
  const std::uint64_t a = std::uint64_t(std::int64_t(x2) - x1);
  const std::uint64_t b = std::uint64_t(std::int64_t(y2) - y1);
  const std::uint64_t w = pen_width > 1 ? std::uint64_t(pen_width) : 0;
  // Rows whose centre line can meet the (outer) ellipse, clipped to the surface.
  const std::int64_t reach = std::int64_t(b + w);
  const std::int64_t y_first =
      std::max<std::int64_t>(ceil_div<std::int64_t>(f.cy2 - reach - 1, 2), 0);
  const std::int64_t y_last = std::min<std::int64_t>(floor_div<std::int64_t>(f.cy2 + reach - 1, 2),
                                                     std::int64_t(target.height) - 1);
  if (y_first > y_last) return;
  if (w == 0) {
    draw_thin(target, f, a, b, y_first, y_last, pen, brush);
    return;
  }
  // The band lies between the box's ellipse grown and shrunk by half the pen width.
  const std::uint64_t outer_a = a + w, outer_b = b + w;
  const bool has_inner = a > w && b > w;
  const std::uint64_t inner_a = has_inner ? a - w : 0, inner_b = has_inner ? b - w : 0;
  const int row_parity = int(f.cy2 & 1);
  const BandShape* shape = nullptr;
  if (band_cache_enabled && outer_b <= kCachedShapeReach && outer_a <= kCachedShapeReach) {
    shape = &cached_band_shape(a, b, w, f.parity, row_parity, f.cy2, reach);
  }
  const std::int64_t y_top = ceil_div<std::int64_t>(f.cy2 - reach - 1, 2);
  for (std::int64_t y = y_first; y <= y_last; ++y) {
    Span outer, inner;
    if (shape != nullptr) {
      // The same half-widths as row_span gives, looked up by the row's place in the shape.
      const BandRow& row = shape->rows[std::size_t(y - y_top)];
      if (row.outer_u >= 0) outer = {(f.cx2 - 1 - row.outer_u) / 2, (f.cx2 - 1 + row.outer_u) / 2};
      if (row.inner_u >= 0) inner = {(f.cx2 - 1 - row.inner_u) / 2, (f.cx2 - 1 + row.inner_u) / 2};
    } else {
      outer = row_span(f, outer_a, outer_b, y, true);
      if (!outer.empty() && has_inner) inner = row_span(f, inner_a, inner_b, y, true);
    }
    if (outer.empty()) continue;
    if (inner.empty()) {
      fill_span_clipped(target, y, outer.first, outer.last, pen);
    } else {
      fill_span_clipped(target, y, outer.first, inner.first - 1, pen);
      fill_span_clipped(target, y, inner.first, inner.last, brush);
      fill_span_clipped(target, y, inner.last + 1, outer.last, pen);
    }
  }
}

}  // namespace lumigrid::raster
