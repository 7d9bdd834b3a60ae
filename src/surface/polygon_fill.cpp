#include "surface/polygon_fill.h"

#include <algorithm>
#include <vector>

#include "surface/exact_math.h"

namespace lumigrid::raster {

namespace {

// An edge oriented downwards (ya < yb); horizontal edges never cross a pixel-centre row.
struct Edge {
  std::int64_t xa, ya, xb, yb;
};

// Reused between calls so that small polygons cost no allocation once warmed up.
thread_local std::vector<Edge> t_edges;
thread_local std::vector<std::int64_t> t_crossings;

// Within +-2^29 every product below fits in 64 bits; beyond it 128 bits are used.
constexpr std::int64_t kSmallCoordinate = std::int64_t(1) << 29;

// For row y, the first pixel column whose centre is at or right of the edge's crossing with
// the line through the row's centres: ceil(crossing - 1/2), computed exactly.
template <typename Int>
std::int64_t first_column_right_of(const Edge& e, std::int64_t y) {
  const Int rise = Int(e.yb - e.ya);
  const Int numerator = Int(2 * e.xa - 1) * rise + Int(2 * y + 1 - 2 * e.ya) * Int(e.xb - e.xa);
  return std::int64_t(ceil_div<Int>(numerator, 2 * rise));
}

template <typename Int>
void fill_rows(const RasterTarget& target, std::int64_t y_first, std::int64_t y_last,
               std::uint32_t value) {
  std::vector<std::int64_t>& crossings = t_crossings;
  for (std::int64_t y = y_first; y <= y_last; ++y) {
    crossings.clear();
    for (const Edge& e : t_edges) {
      if (e.ya <= y && y < e.yb) crossings.push_back(first_column_right_of<Int>(e, y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
      fill_span_clipped(target, y, crossings[k], crossings[k + 1] - 1, value);
    }
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
    if (a.y == b.y) continue;
    if (a.y < b.y) {
      edges.push_back({a.x, a.y, b.x, b.y});
    } else {
      edges.push_back({b.x, b.y, a.x, a.y});
    }
    y_min = std::min<std::int64_t>(y_min, std::min(a.y, b.y));
    y_max = std::max<std::int64_t>(y_max, std::max(a.y, b.y));
  }
  if (edges.empty()) return;
  // Rows whose centre line lies inside the polygon's vertical extent, clipped to the surface.
  const std::int64_t y_first = std::max<std::int64_t>(y_min, 0);
  const std::int64_t y_last = std::min<std::int64_t>(y_max, target.height) - 1;
  if (y_first > y_last) return;
  if (small) {
    fill_rows<std::int64_t>(target, y_first, y_last, value);
  } else {
    fill_rows<Int128>(target, y_first, y_last, value);
  }
}

}  // namespace lumigrid::raster
