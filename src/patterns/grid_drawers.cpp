// Pattern 4's two grids and pattern 8's dot grid: solid black shapes on a grid that follows the
// window's width.
#include "base/errors.h"
#include "patterns/chart_painter.h"
#include "patterns/drawing_arithmetic.h"

namespace lumigrid {

using drawing::quad;
using drawing::round_int;
using drawing::trunc_int;
using drawing::wrapping_product;

namespace {

void black_one_pixel_pen(Canvas& canvas) {
  canvas.setPenWidth(1);
  canvas.setPenColour(kBlack);
  canvas.setBrushColour(kBlack);
}

}  // namespace

void ChartPainter::draw_square_grid(std::int32_t H, float HP) {
  const std::int32_t width = canvas_.width();
  const std::int32_t height = canvas_.height();
  black_one_pixel_pen(canvas_);

  const std::int64_t cell = trunc_int(checked_divide(width, H));
  // HP stays single precision until here: 1 - 0.3f is just below 0.7.
  const std::int64_t half = trunc_int(double(cell) * (1.0 - double(HP)) / 2.0);
  const std::int64_t cols = round_int(checked_divide(width, double(cell)));
  const std::int64_t rows =
      round_int(checked_divide(wrapping_product(std::int32_t(cols), height), width));

  for (std::int64_t j = 0; j <= rows; ++j) {
    const std::int64_t y = j * cell;
    for (std::int64_t i = 0; i <= cols; ++i) {
      const std::int64_t x = i * cell;
      quad(canvas_, x - half, y - half, x + half, y - half, x + half, y + half, x - half, y + half);
    }
  }
}

void ChartPainter::draw_tilted_square_grid(std::int32_t H) {
  const std::int32_t width = canvas_.width();
  const std::int32_t height = canvas_.height();
  black_one_pixel_pen(canvas_);

  const std::int64_t s = trunc_int(checked_divide(checked_divide(width, H), 2.5));
  const std::int64_t c = trunc_int(double(s) * double(0.2f));  // the single-precision 0.2
  const std::int64_t cell = trunc_int(checked_divide(width, H));
  const std::int64_t rows = round_int(checked_divide(wrapping_product(H, height), width));

  // The columns run to H itself. A cell of 0 stacks every shape on the same spot, so one
  // column and one row paint the same pixels; past the far edges nothing shows.
  const std::int64_t last_col = cell == 0 ? std::min<std::int64_t>(H, 0) : H;
  const std::int64_t last_row = cell == 0 ? std::min<std::int64_t>(rows, 0) : rows;
  for (std::int64_t j = 0; j <= last_row; ++j) {
    const std::int64_t y = j * cell;
    if (y - s >= height) break;
    for (std::int64_t i = 0; i <= last_col; ++i) {
      const std::int64_t x = i * cell;
      if (x - s >= width) break;
      quad(canvas_, x - s + c, y - s, x + s, y - s + c, x + s - c, y + s, x - s, y + s - c);
    }
  }
}

void ChartPainter::draw_dot_grid(std::int32_t H, std::int32_t V, float HP, float VP) {
  const std::int32_t width = canvas_.width();
  const std::int32_t height = canvas_.height();
  black_one_pixel_pen(canvas_);

  // The exact quotient, not the truncated cell, sets the dots' width.
  const std::int64_t halfW = trunc_int(checked_divide(width, H) * (1.0 - double(HP)) / 2.0);
  const std::int64_t dotH = trunc_int(checked_divide(height, V) * (1.0 - double(VP)));
  const std::int64_t cellX = trunc_int(checked_divide(width, H));
  const std::int64_t cellY = trunc_int(checked_divide(height, V));
  const std::int64_t cols = round_int(checked_divide(width, double(cellX)));
  const std::int64_t rows = round_int(checked_divide(height, double(cellY)));

  for (std::int64_t j = 0; j <= rows; ++j) {
    const std::int64_t y = j * cellY;
    for (std::int64_t i = 0; i <= cols; ++i) {
      const std::int64_t x = i * cellX;
      quad(canvas_, x - halfW, y, x + halfW, y, x + halfW, y + dotH, x - halfW, y + dotH);
    }
  }
}

}  // namespace lumigrid
