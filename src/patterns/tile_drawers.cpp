// Patterns 2, 3, 5 and 7: the window cut into space x space tiles, each painted with stripes,
// rings or moire rings. The tile walks are loops that hold only the current tile, so memory
// does not grow with the tile count however small the tiles are.
#include <cmath>

#include "patterns/chart_painter.h"
#include "patterns/drawing_arithmetic.h"
#include "patterns/moire_rings.h"

namespace lumigrid {

using drawing::coord;
using drawing::quad;

namespace {

// Vertical stripes on tiles whose X + Y is even, horizontal ones on the others, `w` pixels wide
// every `pitch` pixels. The pen width is left as the last drawing set it.
void paint_stripe_tile(Canvas& canvas, std::int64_t space, std::int64_t pitch, std::int64_t w,
                       std::int64_t X, std::int64_t Y) {
  canvas.setPenColour(kBlack);
  canvas.setBrushColour(kBlack);
  const std::int64_t x0 = X * space;
  const std::int64_t y0 = Y * space;
  if ((X + Y) % 2 == 0) {
    for (std::int64_t x = x0; x < x0 + space; x += pitch)
      quad(canvas, x, y0, x + w - 1, y0, x + w - 1, y0 + space, x, y0 + space);
  } else {
    for (std::int64_t y = y0; y < y0 + space; y += pitch)
      quad(canvas, x0, y, x0 + space, y, x0 + space, y + w - 1, x0, y + w - 1);
  }
}

// Tiles row by row from (X, Y): the next column while its left edge is within the width read
// for the tile just painted, else the next row while its top edge is within the height.
template <typename PaintTile>
void walk_tiles(Canvas& canvas, std::int64_t space, std::int64_t X, std::int64_t Y,
                PaintTile paint_tile) {
  for (;;) {
    const std::int64_t width = canvas.width();
    const std::int64_t height = canvas.height();
    paint_tile(X, Y);
    if ((X + 1) * space <= width) {
      ++X;
    } else if ((Y + 1) * space <= height) {
      X = 0;
      ++Y;
    } else {
      return;
    }
  }
}

// Tiles are walked only for sizes that end the walk and the stripe and ring loops.
bool tile_values_usable(std::int32_t space, std::int32_t pitch) {
  return space >= 1 && pitch >= 1;
}

std::int64_t tile_centre(std::int64_t index, std::int64_t space) {
  return index * space + space / 2;
}

}  // namespace

void ChartPainter::recursive_draw_stripes(std::int32_t space, std::int32_t pitch, std::int32_t X,
                                          std::int32_t Y) {
  if (!tile_values_usable(space, pitch)) return;
  walk_tiles(canvas_, space, X, Y, [&](std::int64_t x, std::int64_t y) {
    paint_stripe_tile(canvas_, space, pitch, pitch / 2, x, y);
  });
}

void ChartPainter::draw_stripes(std::int32_t space, std::int32_t pitch) {
  if (!tile_values_usable(space, pitch)) return;
  const std::int64_t lastRow = canvas_.height() / space + 1;
  const std::int64_t lastCol = canvas_.width() / space + 1;
  const std::int64_t w = std::max(pitch / 2, 1);
  for (std::int64_t j = 0; j <= lastRow; ++j)
    for (std::int64_t i = 0; i <= lastCol; ++i) paint_stripe_tile(canvas_, space, pitch, w, i, j);
}

void ChartPainter::recursive_draw_circle(std::int32_t space, std::int32_t pitch, std::int32_t X,
                                         std::int32_t Y) {
  if (!tile_values_usable(space, pitch)) return;
  const std::int64_t outer = std::int64_t(std::nearbyint(double(space) / 1.414));
  walk_tiles(canvas_, space, X, Y, [&](std::int64_t x, std::int64_t y) {
    canvas_.setBrushColour(kWhite);
    canvas_.setPenColour(kBlack);
    canvas_.setPenWidth(pitch / 2);
    const std::int64_t cx = tile_centre(x, space);
    const std::int64_t cy = tile_centre(y, space);
    for (std::int64_t r = outer; r > 0; r -= pitch)
      canvas_.Ellipse(coord(cx - r), coord(cy - r), coord(cx + r), coord(cy + r));
  });
}

void ChartPainter::recursive_draw_circle_Moire_pattern(std::int32_t space, std::int32_t pitch,
                                                       std::int32_t pitch2, std::int32_t X,
                                                       std::int32_t Y) {
  if (!tile_values_usable(space, pitch)) return;
  walk_tiles(canvas_, space, X, Y, [&](std::int64_t x, std::int64_t y) {
    paint_moire_rings(canvas_, coord(tile_centre(x, space)), coord(tile_centre(y, space)), space,
                      pitch, pitch2);
  });
}

}  // namespace lumigrid
