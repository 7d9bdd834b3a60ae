#include "patterns/ruler_screen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "surface/raster/glyphs.h"

namespace lumigrid {

namespace {

constexpr double kTickMm = 1.5;
constexpr double kFiveTickMm = 2.5;
constexpr double kTenTickMm = 4.0;
constexpr const char* kKeysHelp =
    "Left/Right, Up/Down: 0.1 % (Shift: 1 %)   Return: store   Delete: forget   R: leave";

std::int32_t text_width(std::string_view text, std::int32_t pixels) {
  const std::int64_t width = raster::GlyphCache::shared().measure(text, pixels).width;
  return std::int32_t(std::min<std::int64_t>(width, std::numeric_limits<std::int32_t>::max() / 2));
}

std::vector<RulerTick> ticks_along(std::int32_t extent, double mm_per_pixel) {
  std::vector<RulerTick> ticks;
  for (std::int64_t mm = 0;; ++mm) {
    const std::int32_t at = millimetre_pixel(double(mm), mm_per_pixel);
    if (at >= extent) break;
    // Each kind at least 2 pixels longer than the one below it, however coarse the pixels.
    const std::int32_t one = std::max(2, millimetre_pixel(kTickMm, mm_per_pixel));
    const std::int32_t five = std::max(one + 2, millimetre_pixel(kFiveTickMm, mm_per_pixel));
    const std::int32_t ten = std::max(five + 2, millimetre_pixel(kTenTickMm, mm_per_pixel));
    ticks.push_back({at, mm % 10 == 0 ? ten : mm % 5 == 0 ? five : one});
  }
  return ticks;
}

std::vector<std::int32_t> grid_lines(std::int32_t extent, double mm_per_pixel) {
  std::vector<std::int32_t> lines;
  for (std::int64_t mm = 10;; mm += 10) {
    const std::int32_t at = millimetre_pixel(double(mm), mm_per_pixel);
    if (at >= extent) break;
    lines.push_back(at);
  }
  return lines;
}

}  // namespace

std::int32_t millimetre_pixel(double millimetres, double mm_per_pixel) {
  const double pixels = std::nearbyint(millimetres / mm_per_pixel);
  if (!(pixels < double(std::numeric_limits<std::int32_t>::max()))) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return std::int32_t(std::max(pixels, 0.0));
}

RulerLayout layout_ruler_screen(std::int32_t width, std::int32_t height, double mm_per_pixel,
                                std::int32_t pixels_per_inch, std::string_view caption) {
  RulerLayout layout;
  if (width <= 0 || height <= 0 || !(mm_per_pixel > 0)) return layout;
  layout.top = ticks_along(width, mm_per_pixel);
  layout.left = ticks_along(height, mm_per_pixel);
  layout.grid_columns = grid_lines(width, mm_per_pixel);
  layout.grid_rows = grid_lines(height, mm_per_pixel);

  const std::int32_t card_width = millimetre_pixel(kCardWidthMm, mm_per_pixel);
  const std::int32_t card_height = millimetre_pixel(kCardHeightMm, mm_per_pixel);
  const std::int32_t card_left = (width - card_width) / 2;
  const std::int32_t card_top = (height - card_height) / 2;
  layout.card = {card_left, card_top, card_left + card_width, card_top + card_height};

  const std::int32_t pixels = raster::text_pixel_height(kRulerLabelPoints, pixels_per_inch);
  const std::int32_t line = std::int32_t(std::min<std::int64_t>(
      raster::GlyphCache::shared().measure("0", pixels).height, std::int64_t(4) * pixels));
  const auto fits_screen = [&](std::int32_t left, std::int32_t top, std::int32_t w) {
    return left >= 0 && top >= 0 && left + w <= width && top + line <= height;
  };
  const auto add = [&](std::string text, std::int32_t left, std::int32_t top) {
    const std::int32_t w = text_width(text, pixels);
    if (w <= 0 || !fits_screen(left, top, w)) return;
    layout.labels.push_back({{left, top, left + w, top + line}, std::move(text), kBlack, kWhite});
  };

  // The numbers sit beside their 10 mm tick, clear of the shorter ticks' reach.
  const std::int32_t five = layout.top.size() > 5 ? layout.top[5].length : 0;
  for (std::size_t mm = 10; mm < layout.top.size(); mm += 10) {
    add(std::to_string(mm), layout.top[mm].at + 2, five + 1);
  }
  for (std::size_t mm = 10; mm < layout.left.size(); mm += 10) {
    add(std::to_string(mm), five + 1, layout.left[mm].at + 2);
  }

  // Inside the card (under it when the card is too small to hold them): its size, where the
  // pitch comes from and what it is; under it the keys. Each line is centred on the screen and
  // left out when it does not fit.
  char pitch[96];
  std::snprintf(pitch, sizeof pitch, "%.4f mm per pixel, %.1f dpi", mm_per_pixel,
                25.4 / mm_per_pixel);
  const std::string lines[] = {"85.60 x 53.98 mm", std::string(caption), pitch, kKeysHelp};
  const std::int32_t step = line + line / 2;
  std::int32_t widest = 0;
  for (std::size_t i = 0; i < 3; ++i) widest = std::max(widest, text_width(lines[i], pixels));
  const std::int32_t block = 3 * line + 2 * (line / 2);
  const bool inside = widest + 4 <= card_width && block + 4 <= card_height;
  std::int32_t top = inside ? card_top + (card_height - block) / 2 : layout.card.bottom + line;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i == 3 && inside) top = layout.card.bottom + line;
    add(lines[i], (width - text_width(lines[i], pixels)) / 2, top);
    top += step;
  }
  return layout;
}

void draw_ruler_screen(Canvas& canvas, double mm_per_pixel, std::string_view caption) {
  const DrawingTools saved = canvas.tools();
  const std::int32_t width = canvas.width();
  const std::int32_t height = canvas.height();
  const RulerLayout layout =
      layout_ruler_screen(width, height, mm_per_pixel, canvas.pixelsPerInch(), caption);
  const auto fill = [&canvas](std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
                              Colour colour) {
    canvas.setBrushColour(colour);
    canvas.FillRect(l, t, r, b);
  };
  fill(0, 0, width, height, kWhite);
  for (const std::int32_t x : layout.grid_columns) fill(x, 0, x + 1, height, kRulerGridColour);
  for (const std::int32_t y : layout.grid_rows) fill(0, y, width, y + 1, kRulerGridColour);
  for (const RulerTick& tick : layout.top) fill(tick.at, 0, tick.at + 1, tick.length, kBlack);
  for (const RulerTick& tick : layout.left) fill(0, tick.at, tick.length, tick.at + 1, kBlack);
  const PixelRect& card = layout.card;
  if (!card.empty()) {
    fill(card.left, card.top, card.right, card.bottom, kBlack);
    fill(card.left + 1, card.top + 1, card.right - 1, card.bottom - 1, kWhite);
  }
  canvas.setFontSize(kRulerLabelPoints);
  for (const TestLabel& label : layout.labels) {
    canvas.setFontColour(label.text_colour);
    canvas.setBrushColour(label.cell_colour);
    canvas.TextOut(label.cell.left, label.cell.top, label.text);
  }
  canvas.setPenColour(saved.pen_colour);
  canvas.setPenWidth(saved.pen_width);
  canvas.setBrushColour(saved.brush_colour);
  canvas.setFontColour(saved.font_colour);
  canvas.setFontSize(saved.font_size_points);
}

}  // namespace lumigrid
