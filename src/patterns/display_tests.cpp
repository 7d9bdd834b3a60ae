#include "patterns/display_tests.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "surface/raster/glyphs.h"
#include "surface/surface.h"

namespace lumigrid {

namespace {

constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;
constexpr Colour kCyan = kGreen | kBlue;
constexpr Colour kMagenta = kRed | kBlue;
constexpr Colour kYellow = kRed | kGreen;

// The gamma patches: round(255 * 0.5^(1/gamma)) for gamma 1.6 to 2.8.
struct GammaPatch {
  std::string_view label;
  std::uint32_t level;
};
constexpr std::array<GammaPatch, 7> kGammaPatches = {{
    {"1.6", 166},
    {"1.8", 174},
    {"2.0", 180},
    {"2.2", 186},
    {"2.4", 191},
    {"2.6", 195},
    {"2.8", 199},
}};

// The channel of a band or a row: its colour at full level, and a level in it alone.
constexpr std::array<Colour, 4> kGammaBands = {kWhite, kRed, kGreen, kBlue};
constexpr std::array<Colour, 3> kChannels = {kRed, kGreen, kBlue};

Colour in_channel(Colour channel, std::uint32_t level) {
  return grey(level) & channel;
}

constexpr std::array<std::uint32_t, 5> kUniformityLevels = {255, 191, 128, 64, 26};
constexpr std::uint32_t kUniformityGridStep = 8;

struct SubPixelGroup {
  Colour colour;
  std::string_view label;
};
constexpr std::array<SubPixelGroup, 6> kSubPixelGroups = {{
    {kRed, "red"},
    {kGreen, "green"},
    {kBlue, "blue"},
    {kCyan, "cyan"},
    {kMagenta, "magenta"},
    {kYellow, "yellow"},
}};

// Cell sizes of the inversion checkerboards, width by height, and their two colours.
struct InversionVariant {
  std::int32_t cell_width;
  std::int32_t cell_height;
  Colour first;  // the cell at the top-left corner
  Colour second;
};
constexpr std::array<InversionVariant, 9> kInversionVariants = {{
    {1, 1, kWhite, kBlack},
    {2, 1, kWhite, kBlack},
    {1, 2, kWhite, kBlack},
    {2, 2, kWhite, kBlack},
    {1, 1, kGreen, kMagenta},
    {2, 1, kGreen, kMagenta},
    {1, 2, kGreen, kMagenta},
    {2, 2, kGreen, kMagenta},
    {1, 1, grey(128), kBlack},
}};

// Wide enough that every pixel of a row falls in the same cell: lines instead of a checkerboard.
constexpr std::int32_t kWholeRow = std::numeric_limits<std::int32_t>::max();

struct TextMetrics {
  std::int32_t pixels = 0;       // the font's pixel height
  std::int32_t line_height = 0;  // a label cell's height
  std::int32_t gap = 0;          // space between a patch and its neighbours
};

TextMetrics text_metrics(std::int32_t pixels_per_inch) {
  TextMetrics metrics;
  metrics.pixels = raster::text_pixel_height(kDisplayTestLabelPoints, pixels_per_inch);
  const raster::TextExtent extent = raster::GlyphCache::shared().measure("0", metrics.pixels);
  // A line is no taller than the pixel height allows (kMaxTextPixelHeight bounds it).
  metrics.line_height = std::int32_t(std::min(extent.height, std::int64_t(4) * metrics.pixels));
  metrics.gap = std::max(2, metrics.pixels / 2);
  return metrics;
}

std::int32_t text_width(std::string_view text, std::int32_t pixels) {
  const std::int64_t width = raster::GlyphCache::shared().measure(text, pixels).width;
  return std::int32_t(std::min<std::int64_t>(width, std::numeric_limits<std::int32_t>::max() / 2));
}

// A label centred horizontally over [centre_left, centre_right) with its top at `top`; left out
// when it is wider than `fits` allows.
void add_label(DisplayTestLayout& layout, const TextMetrics& metrics, std::string text,
               std::int32_t centre_left, std::int32_t centre_right, std::int32_t top,
               std::int32_t fits, Colour text_colour, Colour cell_colour) {
  const std::int32_t width = text_width(text, metrics.pixels);
  if (width > fits || width <= 0) return;
  const std::int32_t left = centre_left + (centre_right - centre_left - width) / 2;
  layout.labels.push_back({{left, top, left + width, top + metrics.line_height},
                           std::move(text),
                           text_colour,
                           cell_colour});
}

struct GridItem {
  Colour colour;
  std::string label;
};

// `items` as square patches in `columns` x rows, row by row, each with its label under it: the
// largest squares that leave a gap around every patch and room for the labels, the block
// centred in `area`. A label wider than its patch is left out.
void lay_patch_grid(DisplayTestLayout& layout, const TextMetrics& metrics, const PixelRect& area,
                    std::int32_t columns, const std::vector<GridItem>& items, Colour text_colour,
                    Colour cell_colour) {
  if (columns <= 0 || items.empty()) return;
  const std::int32_t rows = (std::int32_t(items.size()) + columns - 1) / columns;
  const std::int64_t gap = metrics.gap;
  const std::int64_t label_gap = std::max<std::int64_t>(1, gap / 2);
  const std::int64_t under = label_gap + metrics.line_height;  // below each patch
  const std::int64_t across = (std::int64_t(area.width()) - (columns + 1) * gap) / columns;
  const std::int64_t down = (std::int64_t(area.height()) - (rows + 1) * gap - rows * under) / rows;
  const std::int64_t side = std::min(across, down);
  if (side <= 0) return;
  const std::int64_t block_width = columns * side + (columns - 1) * gap;
  const std::int64_t block_height = rows * (side + under) + (rows - 1) * gap;
  const std::int64_t left = area.left + (area.width() - block_width) / 2;
  const std::int64_t top = area.top + (area.height() - block_height) / 2;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::int64_t column = std::int64_t(i) % columns;
    const std::int64_t row = std::int64_t(i) / columns;
    // Every value lies inside the area, which lies inside the canvas: they fit in 32 bits.
    const auto x = std::int32_t(left + column * (side + gap));
    const auto y = std::int32_t(top + row * (side + under + gap));
    const auto s = std::int32_t(side);
    layout.patches.push_back({{x, y, x + s, y + s}, items[i].colour});
    add_label(layout, metrics, items[i].label, x, x + s, std::int32_t(y + s + label_gap), s,
              text_colour, cell_colour);
  }
}

void lay_gamma(DisplayTestLayout& layout, const TextMetrics& metrics, std::int32_t width,
               std::int32_t height) {
  for (std::size_t band = 0; band < kGammaBands.size(); ++band) {
    const auto top = std::int32_t(std::int64_t(height) * std::int64_t(band) / 4);
    const auto bottom = std::int32_t(std::int64_t(height) * std::int64_t(band + 1) / 4);
    std::vector<GridItem> items;
    items.reserve(kGammaPatches.size());
    for (const GammaPatch& patch : kGammaPatches) {
      items.push_back({in_channel(kGammaBands[band], patch.level), std::string(patch.label)});
    }
    lay_patch_grid(layout, metrics, {0, top, width, bottom}, 7, items, kLabelOnBlack, kBlack);
  }
}

// Black level (from_white false: levels 1 to 24 on black) or white saturation (255 minus 24 to
// 1, that is 231 to 254, on white); per channel in variant 2.
void lay_levels(DisplayTestLayout& layout, const TextMetrics& metrics, std::int32_t width,
                std::int32_t height, bool from_white, bool per_channel) {
  const auto level = [from_white](std::uint32_t step) {
    return from_white ? 230 + step : step;  // step 1 to 24
  };
  std::vector<GridItem> items;
  if (!per_channel) {
    for (std::uint32_t step = 1; step <= 24; ++step) {
      items.push_back({grey(level(step)), std::to_string(level(step))});
    }
  } else {
    for (const Colour channel : kChannels) {
      for (std::uint32_t step = 1; step <= 24; ++step) {
        // On white the other two channels stay at 255; on black they stay at 0.
        const Colour colour = from_white ? (kWhite & ~channel) | in_channel(channel, level(step))
                                         : in_channel(channel, level(step));
        items.push_back({colour, std::to_string(level(step))});
      }
    }
  }
  lay_patch_grid(layout, metrics, {0, 0, width, height}, per_channel ? 24 : 12, items,
                 from_white ? kLabelOnWhite : kLabelOnBlack, from_white ? kWhite : kBlack);
}

void lay_video_range(DisplayTestLayout& layout, const TextMetrics& metrics, std::int32_t width,
                     std::int32_t height) {
  struct Half {
    PixelRect area;
    std::uint32_t first;
    std::array<std::string_view, 2> heading;
    Colour text, cell;
  };
  const std::int32_t middle = width / 2;
  const std::array<Half, 2> halves = {{
      {{0, 0, middle, height},
       0,
       {"Below 16: apart on full range only", "16 to 32: apart on both ranges"},
       kLabelOnBlack,
       kBlack},
      {{middle, 0, width, height},
       223,
       {"223 to 235: apart on both ranges", "Above 235: apart on full range only"},
       kLabelOnWhite,
       kWhite},
  }};
  for (const Half& half : halves) {
    const std::int32_t room = half.area.width() - 2 * metrics.gap;
    std::int32_t top = half.area.top + metrics.gap;
    for (const std::string_view line : half.heading) {
      add_label(layout, metrics, std::string(line), half.area.left, half.area.right, top, room,
                half.text, half.cell);
      top += metrics.line_height;
    }
    std::vector<GridItem> items;
    for (std::uint32_t i = 0; i < 9; ++i) {
      const std::uint32_t level = half.first + 4 * i;
      items.push_back({grey(level), std::to_string(level)});
    }
    const PixelRect below{half.area.left, top, half.area.right, half.area.bottom};
    lay_patch_grid(layout, metrics, below, 9, items, half.text, half.cell);
  }
}

void lay_sub_pixels(DisplayTestLayout& layout, const TextMetrics& metrics, std::int32_t width,
                    std::int32_t height) {
  const std::int32_t middle = height / 2;
  const std::array<PixelRect, 2> halves = {{{0, 0, width, middle}, {0, middle, width, height}}};
  for (std::size_t h = 0; h < halves.size(); ++h) {
    const PixelRect& half = halves[h];
    const bool on_white = h == 1;
    const std::int32_t groups = std::int32_t(kSubPixelGroups.size());
    for (std::int32_t g = 0; g < groups; ++g) {
      const auto left = std::int32_t(std::int64_t(width) * g / groups);
      const auto right = std::int32_t(std::int64_t(width) * (g + 1) / groups);
      const std::int32_t label_top = half.top + metrics.gap;
      const PixelRect lines{left + metrics.gap, label_top + metrics.line_height + metrics.gap,
                            right - metrics.gap, half.bottom - metrics.gap};
      if (lines.empty()) continue;
      layout.patches.push_back({lines, kSubPixelGroups[std::size_t(g)].colour});
      add_label(layout, metrics, std::string(kSubPixelGroups[std::size_t(g)].label), lines.left,
                lines.right, label_top, lines.width(), on_white ? kLabelOnWhite : kLabelOnBlack,
                on_white ? kWhite : kBlack);
    }
  }
}

struct Circle {
  std::int32_t left, top, diameter;  // its box: left <= x < left + diameter
  std::int32_t centre_x, centre_y;
};

std::optional<Circle> overscan_circle(std::int32_t width, std::int32_t height) {
  const std::int32_t diameter = std::min(width, height) - 40;
  if (diameter <= 0) return std::nullopt;
  const std::int32_t centre_x = width / 2;
  const std::int32_t centre_y = height / 2;
  return Circle{centre_x - diameter / 2, centre_y - diameter / 2, diameter, centre_x, centre_y};
}

// The frames' legend, in their colours, in rows along the top edge inside the innermost frame,
// from its top-left corner: a label that would reach the centre cross or the circle starts a new
// row, and one that does not fit a fresh row either is left out with those after it.
void lay_frame_legend(DisplayTestLayout& layout, const TextMetrics& metrics, std::int32_t width,
                      std::int32_t height) {
  const std::vector<OverscanFrame> frames = overscan_frames(width, height);
  const OverscanFrame& innermost = frames.back();
  const std::optional<Circle> circle = overscan_circle(width, height);
  const auto fits = [&](std::int32_t right, std::int32_t bottom) {
    if (right >= width / 2 - metrics.gap || bottom >= height / 2 - metrics.gap) return false;
    if (!circle) return true;
    // The label's corner nearest the centre stays clear of the circle's outline.
    const std::int64_t dx = std::int64_t(circle->centre_x) - right;
    const std::int64_t dy = std::int64_t(circle->centre_y) - bottom;
    const std::int64_t clear = circle->diameter / 2 + metrics.gap;
    return dx * dx + dy * dy > clear * clear;
  };
  const std::int32_t row_left = innermost.inset_x + 1 + metrics.gap;
  std::int32_t x = row_left;
  std::int32_t top = innermost.inset_y + 1 + metrics.gap;
  for (const OverscanFrame& frame : frames) {
    if (frame.label.empty()) continue;
    const std::int32_t label_width = text_width(frame.label, metrics.pixels);
    if (!fits(x + label_width, top + metrics.line_height) && x != row_left) {
      x = row_left;
      top += metrics.line_height + metrics.gap;
    }
    if (!fits(x + label_width, top + metrics.line_height)) break;
    layout.labels.push_back({{x, top, x + label_width, top + metrics.line_height},
                             std::string(frame.label),
                             frame.colour,
                             kBlack});
    x += label_width + 2 * metrics.gap;
  }
}

// Colour a where (x / cell_width + y / cell_height) is even, else b, over `area` in canvas
// coordinates. A surface gets its rows written directly: a 1-pixel checkerboard would otherwise
// be one fill per pixel.
void fill_checker(Canvas& canvas, PixelRect area, std::int32_t cell_width, std::int32_t cell_height,
                  Colour a, Colour b) {
  area.left = std::max(area.left, 0);
  area.top = std::max(area.top, 0);
  area.right = std::min(area.right, canvas.width());
  area.bottom = std::min(area.bottom, canvas.height());
  if (area.empty()) return;
  const auto colour_at = [&](std::int32_t x, std::int32_t row_phase) {
    return (x / cell_width + row_phase) % 2 == 0 ? a : b;
  };
  if (auto* surface = dynamic_cast<Surface*>(&canvas)) {
    const PixelFormat format = surface->format();
    const std::size_t bytes = bytes_per_pixel(format);
    const std::size_t span = std::size_t(area.width()) * bytes;
    std::array<std::vector<std::uint8_t>, 2> rows;
    for (std::int32_t phase = 0; phase < 2; ++phase) {
      std::vector<std::uint8_t>& row = rows[std::size_t(phase)];
      row.resize(span);
      for (std::int32_t x = area.left; x < area.right; ++x) {
        const std::uint32_t value = pixel_value(colour_at(x, phase), format);
        std::uint8_t* at = row.data() + std::size_t(x - area.left) * bytes;
        if (bytes == 1) {
          *at = std::uint8_t(value);  // a grey level, 0 to 255
        } else {
          std::memcpy(at, &value, sizeof value);
        }
      }
    }
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
      const std::vector<std::uint8_t>& row = rows[std::size_t((y / cell_height) % 2)];
      std::memcpy(surface->rowData(y) + std::size_t(area.left) * bytes, row.data(), span);
    }
    return;
  }
  for (std::int32_t y = area.top; y < area.bottom; ++y) {
    const std::int32_t phase = (y / cell_height) % 2;
    std::int32_t start = area.left;
    while (start < area.right) {
      const Colour colour = colour_at(start, phase);
      std::int32_t end = start + 1;
      while (end < area.right && colour_at(end, phase) == colour) ++end;
      canvas.setBrushColour(colour);
      canvas.FillRect(start, y, end, y + 1);
      start = end;
    }
  }
}

void fill(Canvas& canvas, const PixelRect& rect, Colour colour) {
  canvas.setBrushColour(colour);
  canvas.FillRect(rect.left, rect.top, rect.right, rect.bottom);
}

void draw_layout(Canvas& canvas, const DisplayTestLayout& layout) {
  for (const TestPatch& patch : layout.patches) fill(canvas, patch.rect, patch.colour);
  canvas.setFontSize(kDisplayTestLabelPoints);
  for (const TestLabel& label : layout.labels) {
    canvas.setFontColour(label.text_colour);
    canvas.setBrushColour(label.cell_colour);
    canvas.TextOut(label.cell.left, label.cell.top, label.text);
  }
}

void draw_uniformity(Canvas& canvas, std::int32_t variant, const TextMetrics& metrics) {
  const std::int32_t width = canvas.width();
  const std::int32_t height = canvas.height();
  const std::uint32_t level = kUniformityLevels[std::size_t((variant - 1) % 5)];
  fill(canvas, {0, 0, width, height}, grey(level));
  if (variant > 5) return;
  // A grid a little darker than a light field, a little lighter than a dark one.
  const Colour line =
      grey(level >= 128 ? level - kUniformityGridStep : level + kUniformityGridStep);
  std::array<std::int32_t, 4> xs{}, ys{};
  for (std::int32_t i = 0; i <= 3; ++i) {
    xs[std::size_t(i)] = std::int32_t(std::int64_t(width) * i / 3);
    ys[std::size_t(i)] = std::int32_t(std::int64_t(height) * i / 3);
  }
  for (std::size_t i = 1; i <= 2; ++i) {
    fill(canvas, {xs[i], 0, xs[i] + 1, height}, line);
    fill(canvas, {0, ys[i], width, ys[i] + 1}, line);
  }
  // A plus sign at each zone's centre, its arms half the label height long.
  const std::int32_t arm = std::max(2, metrics.pixels / 2);
  for (std::size_t zx = 0; zx < 3; ++zx) {
    for (std::size_t zy = 0; zy < 3; ++zy) {
      const std::int32_t cx = (xs[zx] + xs[zx + 1]) / 2;
      const std::int32_t cy = (ys[zy] + ys[zy + 1]) / 2;
      fill(canvas, {cx - arm, cy, cx + arm + 1, cy + 1}, line);
      fill(canvas, {cx, cy - arm, cx + 1, cy + arm + 1}, line);
    }
  }
}

void draw_frames(Canvas& canvas) {
  const std::int32_t width = canvas.width();
  const std::int32_t height = canvas.height();
  fill(canvas, {0, 0, width, height}, kBlack);
  if (const std::optional<Circle> circle = overscan_circle(width, height)) {
    canvas.setPenWidth(1);
    canvas.setPenColour(kWhite);
    canvas.setBrushColour(kBlack);
    canvas.Ellipse(circle->left, circle->top, circle->left + circle->diameter,
                   circle->top + circle->diameter);
    const std::int32_t end_x = circle->left + circle->diameter;
    const std::int32_t end_y = circle->top + circle->diameter;
    fill(canvas, {circle->left, circle->centre_y, end_x, circle->centre_y + 1}, kWhite);
    fill(canvas, {circle->centre_x, circle->top, circle->centre_x + 1, end_y}, kWhite);
  }
  for (const OverscanFrame& frame : overscan_frames(width, height)) {
    const PixelRect box{frame.inset_x, frame.inset_y, width - frame.inset_x,
                        height - frame.inset_y};
    if (box.empty()) continue;
    fill(canvas, {box.left, box.top, box.right, box.top + 1}, frame.colour);
    fill(canvas, {box.left, box.bottom - 1, box.right, box.bottom}, frame.colour);
    fill(canvas, {box.left, box.top, box.left + 1, box.bottom}, frame.colour);
    fill(canvas, {box.right - 1, box.top, box.right, box.bottom}, frame.colour);
  }
}

}  // namespace

const DisplayTestInfo& display_test_info(DisplayTest test) {
  return kDisplayTests[std::size_t(test)];
}

std::optional<DisplayTest> display_test_for_letter(char letter) {
  const char upper = letter >= 'a' && letter <= 'z' ? char(letter - 'a' + 'A') : letter;
  for (const DisplayTestInfo& info : kDisplayTests) {
    if (info.key == upper) return info.test;
  }
  return std::nullopt;
}

std::optional<DisplayTest> display_test_for_key(int key) {
  if (key < 'A' || key > 'Z') return std::nullopt;
  return display_test_for_letter(char(key));
}

std::int32_t next_display_test_variant(DisplayTest test, std::int32_t shown) {
  const std::int32_t variants = display_test_info(test).variants;
  return shown >= 1 && shown < variants ? shown + 1 : 1;
}

std::vector<OverscanFrame> overscan_frames(std::int32_t width, std::int32_t height) {
  // Per mille of the size, for the percentage frames.
  const auto part = [](std::int32_t size, std::int64_t per_mille) {
    return std::int32_t(std::int64_t(size) * per_mille / 1000);
  };
  return {
      {0, 0, kWhite, ""},
      {1, 1, kRed, "1"},
      {2, 2, kGreen, "2"},
      {3, 3, kBlue, "3"},
      {5, 5, kYellow, "5"},
      {10, 10, kCyan, "10"},
      {20, 20, kMagenta, "20"},
      {part(width, 10), part(height, 10), 0x0080FF, "1%"},    // orange
      {part(width, 25), part(height, 25), 0xFF8080, "2.5%"},  // light blue
      {part(width, 50), part(height, 50), 0x80FF80, "5%"},    // light green
  };
}

DisplayTestLayout layout_display_test(DisplayTest test, std::int32_t variant, std::int32_t width,
                                      std::int32_t height, std::int32_t pixels_per_inch) {
  DisplayTestLayout layout;
  const TextMetrics metrics = text_metrics(pixels_per_inch);
  layout.text_pixels = metrics.pixels;
  width = std::max(width, 0);
  height = std::max(height, 0);
  switch (test) {
    case DisplayTest::Gamma:
      lay_gamma(layout, metrics, width, height);
      break;
    case DisplayTest::BlackLevel:
      lay_levels(layout, metrics, width, height, false, variant == 2);
      break;
    case DisplayTest::WhiteSaturation:
      lay_levels(layout, metrics, width, height, true, variant == 2);
      break;
    case DisplayTest::VideoRange:
      lay_video_range(layout, metrics, width, height);
      break;
    case DisplayTest::SubPixels:
      lay_sub_pixels(layout, metrics, width, height);
      break;
    case DisplayTest::Frame:
      lay_frame_legend(layout, metrics, width, height);
      break;
    case DisplayTest::Uniformity:
    case DisplayTest::Inversion:
      break;  // no patches, no labels
  }
  return layout;
}

void draw_display_test(Canvas& canvas, DisplayTest test, std::int32_t variant) {
  // The test screens leave the pen, brush and font as they found them: a pattern drawn next
  // relies on what the patterns before it left.
  const DrawingTools saved = canvas.tools();
  const std::int32_t width = canvas.width();
  const std::int32_t height = canvas.height();
  const PixelRect all{0, 0, width, height};
  variant = std::clamp(variant, 1, display_test_info(test).variants);
  const DisplayTestLayout layout =
      layout_display_test(test, variant, width, height, canvas.pixelsPerInch());
  switch (test) {
    case DisplayTest::Gamma: {
      // 1: horizontal lines, 2: vertical lines, 3: a 1-pixel checkerboard.
      const std::int32_t cell_width = variant == 1 ? kWholeRow : 1;
      const std::int32_t cell_height = variant == 2 ? kWholeRow : 1;
      for (std::size_t band = 0; band < kGammaBands.size(); ++band) {
        const auto top = std::int32_t(std::int64_t(height) * std::int64_t(band) / 4);
        const auto bottom = std::int32_t(std::int64_t(height) * std::int64_t(band + 1) / 4);
        fill_checker(canvas, {0, top, width, bottom}, cell_width, cell_height, kGammaBands[band],
                     kBlack);
      }
      break;
    }
    case DisplayTest::BlackLevel:
    case DisplayTest::Frame:
      fill(canvas, all, kBlack);
      break;
    case DisplayTest::WhiteSaturation:
      fill(canvas, all, kWhite);
      break;
    case DisplayTest::VideoRange:
      fill(canvas, {0, 0, width / 2, height}, kBlack);
      fill(canvas, {width / 2, 0, width, height}, kWhite);
      break;
    case DisplayTest::Uniformity:
      draw_uniformity(canvas, variant, text_metrics(canvas.pixelsPerInch()));
      break;
    case DisplayTest::Inversion: {
      const InversionVariant& v = kInversionVariants[std::size_t(variant - 1)];
      fill_checker(canvas, all, v.cell_width, v.cell_height, v.first, v.second);
      break;
    }
    case DisplayTest::SubPixels:
      fill(canvas, {0, 0, width, height / 2}, kBlack);
      fill(canvas, {0, height / 2, width, height}, kWhite);
      break;
  }
  if (test == DisplayTest::Frame) draw_frames(canvas);
  if (test == DisplayTest::SubPixels) {
    // Each group's block holds 1-pixel lines 2 pixels apart, the first at its left edge, on
    // the half's own background.
    for (const TestPatch& group : layout.patches) {
      const Colour background = group.rect.top >= height / 2 ? kWhite : kBlack;
      const bool even = group.rect.left % 2 == 0;
      fill_checker(canvas, group.rect, 1, kWholeRow, even ? group.colour : background,
                   even ? background : group.colour);
    }
    DisplayTestLayout labels_only;
    labels_only.labels = layout.labels;
    draw_layout(canvas, labels_only);
  } else {
    draw_layout(canvas, layout);
  }
  canvas.setPenColour(saved.pen_colour);
  canvas.setPenWidth(saved.pen_width);
  canvas.setBrushColour(saved.brush_colour);
  canvas.setFontColour(saved.font_colour);
  canvas.setFontSize(saved.font_size_points);
}

}  // namespace lumigrid
