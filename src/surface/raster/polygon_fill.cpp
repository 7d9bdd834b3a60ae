#include "surface/raster/polygon_fill.h"

#include <algorithm>
#include <vector>

#include "surface/raster/exact_math.h"

namespace lumigrid::raster {

namespace {

// An edge oriented downwards (ya < yb) and its crossing with the current row, kept as an exact
// quotient so that stepping to the next row costs additions only. For row y the crossing is
// the first column whose centre is at or right of the edge: ceil(N / D) with
// N = (2 xa - 1) rise + (2 y + 1 - 2 ya) (xb - xa) and D = 2 rise; N grows by 2 (xb - xa)
// from one row to the next.
struct Edge {
  std::int64_t xa, ya, xb, yb;
  std::int64_t column;     // ceil(N / D) for the current row
  std::int64_t deficit;    // column * D - N, in [0, D)
  std::int64_t divisor;    // D
  std::int64_t step;       // floor(2 (xb - xa) / D)
  std::int64_t step_rest;  // 2 (xb - xa) - step * D, in [0, D)

  void advance() {
    column += step;
    deficit -= step_rest;
    if (deficit < 0) {
      deficit += divisor;
      ++column;
    }
  }
};

// Reused between calls so that small polygons cost no allocation once warmed up.
thread_local std::vector<Edge> t_edges;
thread_local std::vector<std::int64_t> t_crossings;

// Within +-2^29 the starting quotient fits in 64-bit arithmetic; beyond it 128 bits are used.
constexpr std::int64_t kSmallCoordinate = std::int64_t(1) << 29;

void start_edge_small(Edge& e, std::int64_t y) {
  // All terms stay below 2^62 for coordinates within kSmallCoordinate.
  const std::int64_t rise = e.yb - e.ya, run2 = 2 * (e.xb - e.xa);
  e.divisor = 2 * rise;
  const std::int64_t numerator = (2 * e.xa - 1) * rise + (2 * y + 1 - 2 * e.ya) * (e.xb - e.xa);
  // ceil(n / d) = -floor(-n / d).
  const FloorDivision negated = floor_divide_small(-numerator, e.divisor);
  e.column = -negated.quotient;
  e.deficit = negated.remainder;
  const FloorDivision step = floor_divide_small(run2, e.divisor);
  e.step = step.quotient;
  e.step_rest = step.remainder;
}

void start_edge_large(Edge& e, std::int64_t y) {
  const std::int64_t rise = e.yb - e.ya, run2 = 2 * (e.xb - e.xa);
  e.divisor = 2 * rise;
  const Int128 numerator =
      Int128(2 * e.xa - 1) * rise + Int128(2 * y + 1 - 2 * e.ya) * (e.xb - e.xa);
  const Int128 column = ceil_div<Int128>(numerator, e.divisor);
  e.column = std::int64_t(column);
  e.deficit = std::int64_t(column * e.divisor - numerator);
  e.step = floor_div<std::int64_t>(run2, e.divisor);
  e.step_rest = run2 - e.step * e.divisor;
}

void sort_crossings(std::int64_t* v, std::size_t count) {
  if (count > 8) {
    std::sort(v, v + count);
    return;
  }
  for (std::size_t i = 1; i < count; ++i) {
    const std::int64_t key = v[i];
    std::size_t j = i;
    for (; j > 0 && v[j - 1] > key; --j) v[j] = v[j - 1];
    v[j] = key;
  }
}

}  // namespace

void fill_polygon_even_odd(const RasterTarget& target, std::span<const Point> points,
                           std::uint32_t value) {
  if (points.size() < 3) return;
  std::vector<Edge>& edges = t_edges;
  edges.clear();
  std::int64_t y_min = INT64_MAX, y_max = INT64_MIN;
  bool small = true;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point a = points[i];
    const Point b = points[(i + 1) % points.size()];
    small = small && a.x > -kSmallCoordinate && a.x < kSmallCoordinate && a.y > -kSmallCoordinate &&
            a.y < kSmallCoordinate;
    // Horizontal edges never cross the line through a row's pixel centres.
    if (a.y == b.y) continue;
    Edge e{};
    if (a.y < b.y) {
      e.xa = a.x, e.ya = a.y, e.xb = b.x, e.yb = b.y;
    } else {
      e.xa = b.x, e.ya = b.y, e.xb = a.x, e.yb = a.y;
    }
    edges.push_back(e);
    y_min = std::min(y_min, e.ya);
    y_max = std::max(y_max, e.yb);
  }
  if (edges.empty()) return;
  // Rows whose centre line lies inside the polygon's vertical extent, clipped to the surface.
  const std::int64_t y_first = std::max<std::int64_t>(y_min, 0);
  const std::int64_t y_last = std::min<std::int64_t>(y_max, target.height) - 1;
  if (y_first > y_last) return;
  for (Edge& e : edges) {
    const std::int64_t start = std::max(e.ya, y_first);
    if (start >= e.yb) continue;  // ends above the surface: never active
    if (small) {
      start_edge_small(e, start);
    } else {
      start_edge_large(e, start);
    }
  }
  // Small polygons keep their crossings on the stack.
  constexpr std::size_t kStackCrossings = 16;
  std::int64_t stack_crossings[kStackCrossings];
  std::int64_t* crossings = stack_crossings;
  if (edges.size() > kStackCrossings) {
    t_crossings.resize(edges.size());
    crossings = t_crossings.data();
  }
  for (std::int64_t y = y_first; y <= y_last; ++y) {
    std::size_t count = 0;
    for (Edge& e : edges) {
      if (e.ya <= y && y < e.yb) {
        crossings[count++] = e.column;
        e.advance();
      }
    }
    sort_crossings(crossings, count);
    for (std::size_t k = 0; k + 1 < count; k += 2) {
      fill_span_clipped(target, y, crossings[k], crossings[k + 1] - 1, value);
    }
  }
}

}  // namespace lumigrid::raster
