#include "surface/raster/wide_stroke.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "surface/raster/exact_math.h"

namespace lumigrid::raster {

namespace {

// Coordinates below are doubled so that pixel centres (2x + 1) and corners (2x) are integers;
// the capsule radius in doubled units is the pen width.
struct Capsule {
  std::int64_t ax, ay, bx, by;
  std::int64_t row_first, row_last;  // rows whose centre line can meet the capsule
};

struct Interval {
  std::int64_t first, last;
};

thread_local std::vector<Capsule> t_capsules;
thread_local std::vector<Interval> t_intervals;

// Below this bound every squared distance fits in 128 bits and membership is decided exactly.
constexpr std::int64_t kExactBound = std::int64_t(1) << 28;

// Is the doubled point (px, py) within distance r of the segment? Exact for doubled
// coordinates below about 2^30.
bool capsule_contains(const Capsule& c, std::int64_t r, std::int64_t px, std::int64_t py) {
  const Int128 dx = c.bx - c.ax, dy = c.by - c.ay;
  const Int128 apx = px - c.ax, apy = py - c.ay;
  const Int128 r2 = Int128(r) * r;
  const Int128 along = apx * dx + apy * dy;
  const Int128 length2 = dx * dx + dy * dy;
  if (along <= 0) return apx * apx + apy * apy <= r2;
  if (along >= length2) {
    const Int128 bpx = px - c.bx, bpy = py - c.by;
    return bpx * bpx + bpy * bpy <= r2;
  }
  const Int128 cross = dx * apy - dy * apx;
  return cross * cross <= r2 * length2;
}

// The x-extent of the capsule on the horizontal line y = py, in doubled units, computed in
// long double; empty when lo > hi.
void approximate_extent(const Capsule& c, long double r, long double py, long double& lo,
                        long double& hi) {
  lo = HUGE_VALL;
  hi = -HUGE_VALL;
  const long double ax = c.ax, ay = c.ay, bx = c.bx, by = c.by;
  auto disc = [&](long double cx, long double cy) {
    const long double d = py - cy;
    if (std::fabs(d) > r) return;
    const long double half = std::sqrt(r * r - d * d);
    lo = std::min(lo, cx - half);
    hi = std::max(hi, cx + half);
  };
  disc(ax, ay);
  disc(bx, by);
  const long double dx = bx - ax, dy = by - ay;
  if (dx == 0 && dy == 0) return;
  const long double rel_y = py - ay;
  if (dy == 0) {
    if (std::fabs(rel_y) <= r) {
      lo = std::min(lo, std::min(ax, bx));
      hi = std::max(hi, std::max(ax, bx));
    }
    return;
  }
  // The band between the two lines parallel to the segment at distance r ...
  const long double length = std::sqrt(dx * dx + dy * dy);
  long double band_lo = ax + (dx * rel_y - r * length) / dy;
  long double band_hi = ax + (dx * rel_y + r * length) / dy;
  if (band_lo > band_hi) std::swap(band_lo, band_hi);
  // ... limited to the points that project onto the segment.
  long double proj_lo, proj_hi;
  if (dx == 0) {
    if (rel_y * dy < 0 || rel_y * dy > dy * dy) return;
    proj_lo = band_lo;
    proj_hi = band_hi;
  } else {
    proj_lo = ax - rel_y * dy / dx;
    proj_hi = ax + (dx * dx + dy * dy - rel_y * dy) / dx;
    if (proj_lo > proj_hi) std::swap(proj_lo, proj_hi);
  }
  const long double s_lo = std::max(band_lo, proj_lo), s_hi = std::min(band_hi, proj_hi);
  if (s_lo <= s_hi) {
    lo = std::min(lo, s_lo);
    hi = std::max(hi, s_hi);
  }
}

// Pixel columns of row y whose centres lie in the capsule; first > last when none.
Interval capsule_columns(const Capsule& c, std::int64_t r, std::int64_t y, bool exact) {
  const std::int64_t py = 2 * y + 1;
  long double lo, hi;
  approximate_extent(c, static_cast<long double>(r), static_cast<long double>(py), lo, hi);
  if (!(lo <= hi)) return {1, 0};
  // Centre 2x + 1 within [lo, hi].
  Interval cols{clamp_to_int64(std::ceil((lo - 1) / 2)), clamp_to_int64(std::floor((hi - 1) / 2))};
  if (!exact || cols.first > cols.last) return cols;
  // The approximation is off by at most a rounding error: settle both ends exactly.
  constexpr int kMaxNudge = 4;
  for (int k = 0;
       k < kMaxNudge && cols.first <= cols.last && !capsule_contains(c, r, 2 * cols.first + 1, py);
       ++k) {
    ++cols.first;
  }
  for (int k = 0; k < kMaxNudge && capsule_contains(c, r, 2 * cols.first - 1, py); ++k) {
    --cols.first;
  }
  for (int k = 0;
       k < kMaxNudge && cols.first <= cols.last && !capsule_contains(c, r, 2 * cols.last + 1, py);
       ++k) {
    --cols.last;
  }
  for (int k = 0; k < kMaxNudge && capsule_contains(c, r, 2 * cols.last + 3, py); ++k) {
    ++cols.last;
  }
  return cols;
}

// floor(sqrt(n)) for 0 <= n < 2^63.
std::int64_t floor_sqrt(std::int64_t n) {
  std::int64_t root = std::int64_t(std::sqrt(double(n)));
  while (root > 0 && root > n / root) --root;
  while ((root + 1) <= n / (root + 1)) ++root;
  return root;
}

// Pixel columns whose centres 2x + 1 lie in the doubled range [lo, hi].
void fill_doubled_span(const RasterTarget& target, std::int64_t y, std::int64_t lo, std::int64_t hi,
                       std::uint32_t value) {
  fill_span_clipped(target, y, ceil_div<std::int64_t>(lo - 1, 2),
                    floor_div<std::int64_t>(hi - 1, 2), value);
}

}  // namespace

void stroke_wide_rectangle(const RasterTarget& target, std::int64_t left, std::int64_t top,
                           std::int64_t right, std::int64_t bottom, std::int32_t width,
                           std::uint32_t value) {
  if (width <= 0) return;
  // Doubled coordinates as in stroke_wide_outline; a point is in the band when it lies within
  // r of the rectangle's boundary.
  const std::int64_t r = width, offset = width % 2;
  const std::int64_t x0 = 2 * left + offset, x1 = 2 * right + offset;
  const std::int64_t y0 = 2 * top + offset, y1 = 2 * bottom + offset;
  const std::int64_t row_first = std::max<std::int64_t>(ceil_div<std::int64_t>(y0 - r - 1, 2), 0);
  const std::int64_t row_last = std::min<std::int64_t>(floor_div<std::int64_t>(y1 + r - 1, 2),
                                                       std::int64_t(target.height) - 1);
  for (std::int64_t y = row_first; y <= row_last; ++y) {
    const std::int64_t py = 2 * y + 1;
    if (py < y0 || py > y1) {
      // Beyond the top or bottom edge: the round ends of the two vertical sides join up.
      const std::int64_t dy = py < y0 ? y0 - py : py - y1;
      if (dy > r) continue;
      const std::int64_t half = floor_sqrt((r - dy) * (r + dy));
      fill_doubled_span(target, y, x0 - half, x1 + half, value);
    } else if (py - y0 <= r || y1 - py <= r || x1 - x0 <= 2 * r + 1) {
      // Across a horizontal side, or where the two vertical bands touch: one span.
      fill_doubled_span(target, y, x0 - r, x1 + r, value);
    } else {
      fill_doubled_span(target, y, x0 - r, x0 + r, value);
      fill_doubled_span(target, y, x1 - r, x1 + r, value);
    }
  }
}

void stroke_wide_outline(const RasterTarget& target, std::span<const Point> points,
                         std::int32_t width, std::uint32_t value) {
  if (points.empty() || width <= 0) return;
  const std::int64_t r = width;
  const std::int64_t offset = width % 2;  // odd widths centre on pixel centres
  std::vector<Capsule>& capsules = t_capsules;
  capsules.clear();
  bool exact = r < kExactBound && target.width < kExactBound && target.height < kExactBound;
  std::int64_t rows_first = INT64_MAX, rows_last = INT64_MIN;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point a = points[i];
    const Point b = points[(i + 1) % points.size()];
    for (const Point p : {a, b}) {
      exact = exact && p.x > -kExactBound && p.x < kExactBound && p.y > -kExactBound &&
              p.y < kExactBound;
    }
    Capsule c{2 * std::int64_t(a.x) + offset,
              2 * std::int64_t(a.y) + offset,
              2 * std::int64_t(b.x) + offset,
              2 * std::int64_t(b.y) + offset,
              0,
              0};
    // Rows whose centre 2y + 1 lies within r of the segment's vertical extent.
    c.row_first = ceil_div<std::int64_t>(std::min(c.ay, c.by) - r - 1, 2);
    c.row_last = floor_div<std::int64_t>(std::max(c.ay, c.by) + r - 1, 2);
    c.row_first = std::max<std::int64_t>(c.row_first, 0);
    c.row_last = std::min<std::int64_t>(c.row_last, std::int64_t(target.height) - 1);
    if (c.row_first > c.row_last) continue;
    rows_first = std::min(rows_first, c.row_first);
    rows_last = std::max(rows_last, c.row_last);
    capsules.push_back(c);
  }
  std::vector<Interval>& intervals = t_intervals;
  for (std::int64_t y = rows_first; y <= rows_last; ++y) {
    intervals.clear();
    for (const Capsule& c : capsules) {
      if (y < c.row_first || y > c.row_last) continue;
      const Interval cols = capsule_columns(c, r, y, exact);
      if (cols.first <= cols.last && cols.last >= 0 && cols.first < target.width) {
        intervals.push_back(cols);
      }
    }
    if (intervals.empty()) continue;
    std::sort(intervals.begin(), intervals.end(),
              [](const Interval& p, const Interval& q) { return p.first < q.first; });
    Interval run = intervals.front();
    for (std::size_t k = 1; k < intervals.size(); ++k) {
      if (intervals[k].first <= run.last + 1) {
        run.last = std::max(run.last, intervals[k].last);
      } else {
        fill_span_clipped(target, y, run.first, run.last, value);
        run = intervals[k];
      }
    }
    fill_span_clipped(target, y, run.first, run.last, value);
  }
}

}  // namespace lumigrid::raster
