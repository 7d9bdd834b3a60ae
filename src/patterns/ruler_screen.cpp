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
    const double length = mm % 10 == 0 ? kTenTickMm : mm % 5 == 0 ? kFiveTickMm : kTickMm;
    ticks.push_back({at, std::max(2, millimetre_pixel(length, mm_per_pixel))});
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
  const std::int32_t five = millimetre_pixel(kFiveTickMm, mm_per_pixel);
  for (std::size_t mm = 10; mm < layout.top.size(); mm += 10) {
    add(std::to_string(mm), layout.top[mm].at + 2, five + 1);
  }
  for (std::size_t mm = 10; mm < layout.left.size(); mm += 10) {
    add(std::to_string(mm), five + 1, layout.left[mm].at + 2);
  }

  // Inside the card: its size, then where the pitch comes from and what it is; under it the
  // keys. Each line is centred and left out when it does not fit.
  char pitch[96];
  std::snprintf(pitch, sizeof pitch, "%.4f mm per pixel, %.1f dpi", mm_per_pixel,
                25.4 / mm_per_pixel);
  const std::string lines[] = {"85.60 x 53.98 mm", std::string(caption), pitch};
  const std::int32_t block = 3 * line + 2 * (line / 2);
  std::int32_t top = card_top + (card_height - block) / 2;
  for (const std::string& text : lines) {
    const std::int32_t w = text_width(text, pixels);
    if (w > 0 && w + 4 <= card_width && line + 2 <= card_height) {
      const std::int32_t left = card_left + (card_width - w) / 2;
      if (top > card_top && top + line < layout.card.bottom && fits_screen(left, top, w)) {
        layout.labels.push_back({{left, top, left + w, top + line}, text, kBlack, kWhite});
      }
    }
    top += line + line / 2;
  }
  const std::int32_t help_width = text_width(kKeysHelp, pixels);
  add(kKeysHelp, (width - help_width) / 2, layout.card.bottom + line);
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
