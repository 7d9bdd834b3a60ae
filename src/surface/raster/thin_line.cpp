#include "surface/raster/thin_line.h"

#include <algorithm>
#include <cstdlib>

#include "surface/raster/exact_math.h"

namespace lumigrid::raster {

namespace {

// Steps i in [0, steps) whose major coordinate start + i * dir lies in [0, limit).
void visible_steps(std::int64_t start, std::int64_t dir, std::int64_t steps, std::int64_t limit,
                   std::int64_t& first, std::int64_t& end) {
  if (dir > 0) {
    first = std::max<std::int64_t>(0, -start);
    end = std::min<std::int64_t>(steps, limit - start);
  } else {
    first = std::max<std::int64_t>(0, start - (limit - 1));
    end = std::min<std::int64_t>(steps, start + 1);
  }
}

// The minor coordinate of step i is start + floor((2 * i * delta + steps) / (2 * steps)); this
// walks it incrementally from a first step computed exactly in 128 bits.
class MinorWalk {
 public:
  MinorWalk(std::int64_t start, std::int64_t delta, std::int64_t steps, std::int64_t first_step)
      : delta2_(2 * delta), divisor_(2 * steps) {
    if (first_step == 0) {  // the usual case: the line starts on the surface
      value_ = start;
      remainder_ = steps;
      return;
    }
    const Int128 numerator = Int128(2) * first_step * delta + steps;
    const Int128 q = floor_div<Int128>(numerator, divisor_);
    value_ = start + std::int64_t(q);
    remainder_ = std::int64_t(numerator - q * divisor_);
  }
  std::int64_t value() const { return value_; }
  void step() {
    // |delta| <= steps, so the remainder wraps at most once per step.
    remainder_ += delta2_;
    if (remainder_ >= divisor_) {
      remainder_ -= divisor_;
      ++value_;
    } else if (remainder_ < 0) {
      remainder_ += divisor_;
      --value_;
    }
  }

 private:
  std::int64_t delta2_, divisor_;
  std::int64_t value_ = 0, remainder_ = 0;
};

// A mostly vertical line wholly on the surface: one pixel per row, written straight into the
// rows without clipping.
template <typename Pixel>
void walk_rows_unclipped(const RasterTarget& target, Point from, std::int64_t dir,
                         std::int64_t steps, MinorWalk column, std::uint32_t value) {
  std::uint8_t* row = target.pixels + target.stride * std::size_t(from.y);
  const std::ptrdiff_t row_step = dir * std::ptrdiff_t(target.stride);
  for (std::int64_t i = 0; i < steps; ++i) {
    reinterpret_cast<Pixel*>(row)[column.value()] = Pixel(value);
    column.step();
    row += row_step;
  }
}

bool on_surface(const RasterTarget& target, Point p) {
  return p.x >= 0 && p.y >= 0 && p.x < target.width && p.y < target.height;
}

}  // namespace

void stroke_thin_line(const RasterTarget& target, Point from, Point to, std::uint32_t value) {
  const std::int64_t dx = std::int64_t(to.x) - from.x, dy = std::int64_t(to.y) - from.y;
  if (dx == 0 && dy == 0) return;
  const std::int64_t steps_x = std::llabs(dx), steps_y = std::llabs(dy);
  if (steps_x >= steps_y) {
    // Mostly horizontal: one span per row crossed.
    const std::int64_t dir = dx > 0 ? 1 : -1;
    std::int64_t first, end;
    visible_steps(from.x, dir, steps_x, target.width, first, end);
    if (first >= end) return;
    MinorWalk row(from.y, dy, steps_x, first);
    std::int64_t run_start = from.x + first * dir;
    for (std::int64_t i = first; i < end; ++i) {
      const std::int64_t y = row.value();
      const std::int64_t x = from.x + i * dir;
      const bool last = i + 1 == end;
      if (!last) row.step();
      if (last || row.value() != y) {
        fill_span_clipped(target, y, std::min(run_start, x), std::max(run_start, x), value);
        // The row only moves one way: once past the surface nothing more is visible.
        if ((dy > 0 && y >= target.height) || (dy < 0 && y < 0)) return;
        run_start = x + dir;
      }
    }
  } else {
    // Mostly vertical: one pixel per row.
    const std::int64_t dir = dy > 0 ? 1 : -1;
    if (on_surface(target, from) && on_surface(target, to)) {
      const MinorWalk column(from.x, dx, steps_y, 0);
      if (target.format == PixelFormat::Gray8) {
        walk_rows_unclipped<std::uint8_t>(target, from, dir, steps_y, column, value);
      } else {
        walk_rows_unclipped<std::uint32_t>(target, from, dir, steps_y, column, value);
      }
      return;
    }
    std::int64_t first, end;
    visible_steps(from.y, dir, steps_y, target.height, first, end);
    if (first >= end) return;
    MinorWalk column(from.x, dx, steps_y, first);
    for (std::int64_t i = first; i < end; ++i) {
      const std::int64_t x = column.value();
      if ((dx > 0 && x >= target.width) || (dx < 0 && x < 0)) return;
      fill_span_clipped(target, from.y + i * dir, x, x, value);
      column.step();
    }
  }
}

}  // namespace lumigrid::raster
