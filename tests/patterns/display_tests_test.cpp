// The display lab's test screens, pixel by pixel against what each screen is defined to show:
// the patch values, the line and cell positions, the patches' places and labels that stay
// inside their cells, at the designed window size and at a HiDPI 4K screen.
#include "patterns/display_tests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "patterns/chart_painter.h"
#include "surface/surface.h"

namespace lumigrid {
namespace {

constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;

struct ScreenSize {
  const char* name;
  std::int32_t width, height, ppi;
};
// The designed window at scale 1, 1.5 and 2 (text grows with the device pixel ratio), and a 4K
// screen at 96 dots per inch and at a device pixel ratio of 2.
constexpr ScreenSize kSizes[] = {{"Window832x533", 832, 533, 96},
                                 {"Window1248x800At144", 1248, 800, 144},
                                 {"Window1664x1066At192", 1664, 1066, 192},
                                 {"Screen3840x2160", 3840, 2160, 96},
                                 {"Screen3840x2160At192", 3840, 2160, 192}};

struct ScreenCase {
  std::string name;
  DisplayTest test;
  std::int32_t variant;
  ScreenSize size;
};

// Every variant of `tests` at both sizes.
std::vector<ScreenCase> screens(std::initializer_list<DisplayTest> tests) {
  std::vector<ScreenCase> cases;
  for (const ScreenSize& size : kSizes) {
    for (const DisplayTestInfo& info : kDisplayTests) {
      if (std::find(tests.begin(), tests.end(), info.test) == tests.end()) continue;
      for (std::int32_t variant = 1; variant <= info.variants; ++variant) {
        std::string name(1, info.key);
        name.append(std::to_string(variant)).append("_").append(size.name);
        cases.push_back({name, info.test, variant, size});
      }
    }
  }
  return cases;
}

Surface drawn(const ScreenCase& c) {
  Surface surface(c.size.width, c.size.height, PixelFormat::Rgb32, 0x123456);
  surface.setPixelsPerInch(c.size.ppi);
  draw_display_test(surface, c.test, c.variant);
  return surface;
}

// What a screen's patches are defined to be, in their order, with their labels.
struct Expected {
  std::vector<Colour> colours;
  std::vector<std::string> labels;  // the labels that name patches, in the same order
};

Colour one_channel(Colour channel, std::uint32_t level) {
  return grey(level) & channel;
}

Expected expected_patches(DisplayTest test, std::int32_t variant) {
  Expected e;
  switch (test) {
    case DisplayTest::Gamma: {
      // round(255 * 0.5^(1/gamma)) for gamma 1.6, 1.8, ... 2.8, in each band's channel.
      const std::uint32_t levels[] = {166, 174, 180, 186, 191, 195, 199};
      const char* gammas[] = {"1.6", "1.8", "2.0", "2.2", "2.4", "2.6", "2.8"};
      for (const Colour channel : {kWhite, kRed, kGreen, kBlue}) {
        for (int i = 0; i < 7; ++i) {
          e.colours.push_back(one_channel(channel, levels[i]));
          e.labels.emplace_back(gammas[i]);
        }
      }
      break;
    }
    case DisplayTest::BlackLevel:
      for (const Colour channel :
           variant == 1 ? std::vector<Colour>{kWhite} : std::vector<Colour>{kRed, kGreen, kBlue}) {
        for (std::uint32_t v = 1; v <= 24; ++v) {
          e.colours.push_back(one_channel(channel, v));
          e.labels.push_back(std::to_string(v));
        }
      }
      break;
    case DisplayTest::WhiteSaturation:
      for (const Colour channel :
           variant == 1 ? std::vector<Colour>{kWhite} : std::vector<Colour>{kRed, kGreen, kBlue}) {
        for (std::uint32_t v = 231; v <= 254; ++v) {
          // 255 minus 1 to 24 in the one channel, the others at 255.
          e.colours.push_back((kWhite & ~channel) | one_channel(channel, v));
          e.labels.push_back(std::to_string(v));
        }
      }
      break;
    case DisplayTest::VideoRange:
      for (std::uint32_t v : {0u, 4u, 8u, 12u, 16u, 20u, 24u, 28u, 32u, 223u, 227u, 231u, 235u,
                              239u, 243u, 247u, 251u, 255u}) {
        e.colours.push_back(grey(v));
        e.labels.push_back(std::to_string(v));
      }
      break;
    case DisplayTest::SubPixels:
      for (int half = 0; half < 2; ++half) {
        e.colours.insert(e.colours.end(),
                         {kRed, kGreen, kBlue, kGreen | kBlue, kRed | kBlue, kRed | kGreen});
        e.labels.insert(e.labels.end(), {"red", "green", "blue", "cyan", "magenta", "yellow"});
      }
      break;
    case DisplayTest::Uniformity:
    case DisplayTest::Inversion:
    case DisplayTest::Frame:
      break;
  }
  return e;
}

bool overlap(const PixelRect& a, const PixelRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool inside(const PixelRect& inner, const PixelRect& outer) {
  return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
         inner.bottom <= outer.bottom;
}

// The background each screen is defined to have where no patch and no label is.
Colour background(DisplayTest test, std::int32_t variant, std::int32_t width, std::int32_t height,
                  std::int32_t x, std::int32_t y) {
  switch (test) {
    case DisplayTest::Gamma: {
      // Bands of a quarter of the height: grey, red, green, blue; lines of the full channel on
      // even rows (1), even columns (2) or the even squares of a 1-pixel checkerboard (3).
      std::int32_t b = 0;
      while (b < 3 && y >= height * (b + 1) / 4) ++b;
      const Colour channel = std::vector<Colour>{kWhite, kRed, kGreen, kBlue}[std::size_t(b)];
      const std::int32_t phase = variant == 1 ? y : variant == 2 ? x : x + y;
      return phase % 2 == 0 ? channel : kBlack;
    }
    case DisplayTest::BlackLevel:
      return kBlack;
    case DisplayTest::WhiteSaturation:
      return kWhite;
    case DisplayTest::VideoRange:
      return x < width / 2 ? kBlack : kWhite;
    case DisplayTest::SubPixels:
      return y < height / 2 ? kBlack : kWhite;
    default:
      return kBlack;
  }
}

// The screens of labelled patches: gamma, black level, white saturation, video range and
// sub-pixels.
class PatchScreens : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(PatchScreens, PatchesLabelsAndBackgroundAsDefined) {
  const ScreenCase& c = GetParam();
  const std::int32_t width = c.size.width, height = c.size.height;
  const PixelRect screen{0, 0, width, height};
  const DisplayTestLayout layout =
      layout_display_test(c.test, c.variant, width, height, c.size.ppi);
  const Expected expected = expected_patches(c.test, c.variant);

  // Every defined patch, in its order, with its value.
  ASSERT_EQ(layout.patches.size(), expected.colours.size());
  for (std::size_t i = 0; i < layout.patches.size(); ++i) {
    EXPECT_EQ(layout.patches[i].colour, expected.colours[i]) << "patch " << i;
  }

  // Patches lie on the screen, apart from each other, in reading order.
  for (std::size_t i = 0; i < layout.patches.size(); ++i) {
    const PixelRect& p = layout.patches[i].rect;
    EXPECT_TRUE(inside(p, screen)) << "patch " << i;
    EXPECT_FALSE(p.empty()) << "patch " << i;
    for (std::size_t j = i + 1; j < layout.patches.size(); ++j) {
      EXPECT_FALSE(overlap(p, layout.patches[j].rect)) << "patches " << i << " and " << j;
    }
    if (i > 0) {
      const PixelRect& before = layout.patches[i - 1].rect;
      EXPECT_TRUE(p.top > before.top || (p.top == before.top && p.left > before.left))
          << "patch " << i;
    }
  }

  // Where each screen puts its patches.
  for (std::size_t i = 0; i < layout.patches.size(); ++i) {
    const PixelRect& p = layout.patches[i].rect;
    switch (c.test) {
      case DisplayTest::Gamma: {
        const auto band = std::int32_t(i / 7);  // seven patches per band
        EXPECT_GE(p.top, height * band / 4) << "patch " << i;
        EXPECT_LE(p.bottom, height * (band + 1) / 4) << "patch " << i;
        break;
      }
      case DisplayTest::BlackLevel:
      case DisplayTest::WhiteSaturation: {
        EXPECT_EQ(p.width(), p.height()) << "square patch " << i;
        const std::size_t per_row = c.variant == 1 ? 12 : 24;
        EXPECT_EQ(p.top, layout.patches[i - i % per_row].rect.top) << "row of patch " << i;
        break;
      }
      case DisplayTest::VideoRange:
        if (i < 9) {
          EXPECT_LE(p.right, width / 2) << "patch " << i << " on the black half";
        } else {
          EXPECT_GE(p.left, width / 2) << "patch " << i << " on the white half";
        }
        break;
      case DisplayTest::SubPixels:
        if (i < 6) {
          EXPECT_LE(p.bottom, height / 2) << "group " << i << " on the black half";
        } else {
          EXPECT_GE(p.top, height / 2) << "group " << i << " on the white half";
        }
        break;
      default:
        break;
    }
  }

  // Every patch is named under or over it, by a label inside the screen that touches no patch
  // and no other label: none is left out at these sizes.
  std::vector<std::string> naming;
  for (const TestLabel& label : layout.labels) {
    if (std::find(expected.labels.begin(), expected.labels.end(), label.text) !=
        expected.labels.end()) {
      naming.push_back(label.text);
    }
  }
  EXPECT_EQ(naming, expected.labels);
  for (std::size_t i = 0; i < layout.labels.size(); ++i) {
    const TestLabel& label = layout.labels[i];
    EXPECT_TRUE(inside(label.cell, screen)) << label.text;
    for (const TestPatch& patch : layout.patches) {
      EXPECT_FALSE(overlap(label.cell, patch.rect)) << label.text;
    }
    for (std::size_t j = i + 1; j < layout.labels.size(); ++j) {
      EXPECT_FALSE(overlap(label.cell, layout.labels[j].cell))
          << label.text << " and " << layout.labels[j].text;
    }
    // Never full white beside a dark patch: dark grey on black, light grey on white.
    EXPECT_TRUE((label.cell_colour == kBlack && label.text_colour == grey(64)) ||
                (label.cell_colour == kWhite && label.text_colour == grey(160)))
        << label.text;
  }
  // A label's text height follows the screen's dots per inch: 9 points, 12 pixels at 96.
  EXPECT_EQ(layout.text_pixels, c.size.ppi / 8);

  // The pixels: each patch solid in its value (the sub-pixel groups: lines 2 pixels apart from
  // the group's left edge on the half's background), each label's glyphs inside its cell, and
  // the background everywhere else.
  const Surface surface = drawn(c);
  std::vector<std::int32_t> glyph_pixels(layout.labels.size(), 0);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const Colour at = surface.pixel(x, y);
      const TestPatch* patch = nullptr;
      for (const TestPatch& p : layout.patches) {
        if (p.rect.contains(x, y)) patch = &p;
      }
      if (patch != nullptr) {
        Colour want = patch->colour;
        if (c.test == DisplayTest::SubPixels && (x - patch->rect.left) % 2 != 0) {
          want = background(c.test, c.variant, width, height, x, y);
        }
        if (at != want) FAIL() << "patch pixel " << x << "," << y << " is " << std::hex << at;
        continue;
      }
      std::size_t label = layout.labels.size();
      for (std::size_t i = 0; i < layout.labels.size(); ++i) {
        if (layout.labels[i].cell.contains(x, y)) label = i;
      }
      if (label < layout.labels.size()) {
        const TestLabel& l = layout.labels[label];
        if (at == l.text_colour) {
          ++glyph_pixels[label];
        } else if (at != l.cell_colour) {
          FAIL() << "label " << l.text << " pixel " << x << "," << y << " is " << std::hex << at;
        }
        continue;
      }
      const Colour want = background(c.test, c.variant, width, height, x, y);
      if (at != want) {
        FAIL() << "background pixel " << x << "," << y << " is " << std::hex << at << ", not "
               << want;
      }
    }
  }
  for (std::size_t i = 0; i < layout.labels.size(); ++i) {
    EXPECT_GT(glyph_pixels[i], 0) << "label " << layout.labels[i].text << " drew nothing";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PatchScreens,
                         ::testing::ValuesIn(screens({DisplayTest::Gamma, DisplayTest::BlackLevel,
                                                      DisplayTest::WhiteSaturation,
                                                      DisplayTest::VideoRange,
                                                      DisplayTest::SubPixels})),
                         [](const auto& row) { return row.param.name; });

class UniformityScreens : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(UniformityScreens, FieldGridAndMarks) {
  const ScreenCase& c = GetParam();
  const std::int32_t width = c.size.width, height = c.size.height;
  const std::uint32_t levels[] = {255, 191, 128, 64, 26};  // 100, 75, 50, 25, 10 %
  const std::uint32_t level = levels[(c.variant - 1) % 5];
  const bool grid = c.variant <= 5;
  // The grid differs from the field by 8: darker on the light fields, lighter on the dark.
  const Colour field = grey(level);
  const Colour line = grey(level >= 128 ? level - 8 : level + 8);
  const Surface surface = drawn(c);
  const std::int32_t xs[] = {0, width / 3, width * 2 / 3, width};
  const std::int32_t ys[] = {0, height / 3, height * 2 / 3, height};
  std::int64_t line_pixels = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const Colour at = surface.pixel(x, y);
      const bool on_grid = x == xs[1] || x == xs[2] || y == ys[1] || y == ys[2];
      if (grid && on_grid) {
        if (at != line) FAIL() << "grid pixel " << x << "," << y;
        continue;
      }
      if (at == line && grid) {
        ++line_pixels;  // a centre mark
        continue;
      }
      if (at != field) FAIL() << "field pixel " << x << "," << y << " is " << std::hex << at;
    }
  }
  if (!grid) return;
  // A mark at each zone's centre, small beside the zone.
  for (int zx = 0; zx < 3; ++zx) {
    for (int zy = 0; zy < 3; ++zy) {
      EXPECT_EQ(surface.pixel((xs[zx] + xs[zx + 1]) / 2, (ys[zy] + ys[zy + 1]) / 2), line)
          << "zone " << zx << "," << zy;
    }
  }
  EXPECT_LT(line_pixels, 9 * 4 * (c.size.ppi / 8 + 1));
}

INSTANTIATE_TEST_SUITE_P(Cases, UniformityScreens,
                         ::testing::ValuesIn(screens({DisplayTest::Uniformity})),
                         [](const auto& row) { return row.param.name; });

class InversionScreens : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(InversionScreens, Checkerboards) {
  const ScreenCase& c = GetParam();
  struct Board {
    std::int32_t cell_width, cell_height;
    Colour first, second;
  };
  const Colour magenta = kRed | kBlue;
  const Board boards[] = {
      {1, 1, kWhite, kBlack},  {2, 1, kWhite, kBlack},  {1, 2, kWhite, kBlack},
      {2, 2, kWhite, kBlack},  {1, 1, kGreen, magenta}, {2, 1, kGreen, magenta},
      {1, 2, kGreen, magenta}, {2, 2, kGreen, magenta}, {1, 1, grey(128), kBlack},
  };
  const Board& board = boards[c.variant - 1];
  const Surface surface = drawn(c);
  for (std::int32_t y = 0; y < c.size.height; ++y) {
    for (std::int32_t x = 0; x < c.size.width; ++x) {
      const bool first = (x / board.cell_width + y / board.cell_height) % 2 == 0;
      if (surface.pixel(x, y) != (first ? board.first : board.second))
        FAIL() << "pixel " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, InversionScreens,
                         ::testing::ValuesIn(screens({DisplayTest::Inversion})),
                         [](const auto& row) { return row.param.name; });

class FrameScreens : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(FrameScreens, FramesCircleCrossAndLegend) {
  const ScreenCase& c = GetParam();
  const std::int32_t width = c.size.width, height = c.size.height;
  const Surface surface = drawn(c);

  // The outermost pixels are the white frame.
  for (std::int32_t x = 0; x < width; ++x) {
    ASSERT_EQ(surface.pixel(x, 0), kWhite) << x;
    ASSERT_EQ(surface.pixel(x, height - 1), kWhite) << x;
  }
  for (std::int32_t y = 0; y < height; ++y) {
    ASSERT_EQ(surface.pixel(0, y), kWhite) << y;
    ASSERT_EQ(surface.pixel(width - 1, y), kWhite) << y;
  }

  // Frames 1, 2, 3, 5, 10 and 20 pixels in, then 1 %, 2.5 % and 5 % of the width and height
  // (rounded down). Where two fall on the same pixels, the later one shows.
  const std::vector<OverscanFrame> frames = overscan_frames(width, height);
  const std::vector<std::pair<std::int32_t, std::int32_t>> insets = {
      {0, 0},
      {1, 1},
      {2, 2},
      {3, 3},
      {5, 5},
      {10, 10},
      {20, 20},
      {width / 100, height / 100},
      {width * 25 / 1000, height * 25 / 1000},
      {width / 20, height / 20}};
  ASSERT_EQ(frames.size(), insets.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].inset_x, insets[i].first) << i;
    EXPECT_EQ(frames[i].inset_y, insets[i].second) << i;
  }
  for (std::size_t i = 1; i < frames.size(); ++i) {
    const OverscanFrame& f = frames[i];
    Colour left = f.colour, top = f.colour;
    for (std::size_t later = i + 1; later < frames.size(); ++later) {
      if (frames[later].inset_x == f.inset_x) left = frames[later].colour;
      if (frames[later].inset_y == f.inset_y) top = frames[later].colour;
    }
    EXPECT_EQ(surface.pixel(f.inset_x, height / 2), left) << "left side of frame " << i;
    EXPECT_EQ(surface.pixel(width - 1 - f.inset_x, height / 2), left) << "right of frame " << i;
    EXPECT_EQ(surface.pixel(width * 7 / 8, f.inset_y), top) << "top of frame " << i;
    EXPECT_EQ(surface.pixel(width * 7 / 8, height - 1 - f.inset_y), top) << "bottom " << i;
    EXPECT_NE(f.colour, kBlack);
  }
  // Between the frames the field is black.
  EXPECT_EQ(surface.pixel(4, height / 2), kBlack);
  EXPECT_EQ(surface.pixel(width / 2 + width / 8, height / 2 + height / 8), kBlack);

  // The circle: diameter min(W, H) - 40, centred, its outline white; the cross through its
  // centre.
  const std::int32_t diameter = std::min(width, height) - 40;
  const std::int32_t cx = width / 2, cy = height / 2;
  const std::int32_t left = cx - diameter / 2, right = left + diameter - 1;
  const std::int32_t row = cy - diameter / 4;  // off the cross's horizontal line
  std::int32_t first_white = -1, last_white = -1;
  for (std::int32_t x = 0; x < cx - 1; ++x) {
    if (x > frames.back().inset_x && surface.pixel(x, cy) == kWhite && first_white < 0)
      first_white = x;
  }
  for (std::int32_t x = width - 1; x > cx + 1; --x) {
    if (x < width - 1 - frames.back().inset_x && surface.pixel(x, cy) == kWhite && last_white < 0)
      last_white = x;
  }
  EXPECT_EQ(first_white, left);
  EXPECT_EQ(last_white, right);
  for (std::int32_t x = left; x <= right; ++x) ASSERT_EQ(surface.pixel(x, cy), kWhite) << x;
  // The frames cross the cross's vertical line: it is checked inside the innermost frame.
  const std::int32_t from = std::max(cy - diameter / 2, frames.back().inset_y + 1);
  const std::int32_t to =
      std::min(cy - diameter / 2 + diameter, height - 1 - frames.back().inset_y);
  for (std::int32_t y = from; y < to; ++y) ASSERT_EQ(surface.pixel(cx, y), kWhite) << y;
  EXPECT_EQ(surface.pixel(cx + 1, row), kBlack);
  EXPECT_EQ(surface.pixel(cx - 1, row), kBlack);

  // The legend names every frame but the edge, in its colour, inside the innermost frame, clear
  // of the cross and the circle and of each other.
  const DisplayTestLayout layout =
      layout_display_test(c.test, c.variant, width, height, c.size.ppi);
  ASSERT_EQ(layout.labels.size(), frames.size() - 1);
  const double radius = diameter / 2.0;
  for (std::size_t i = 0; i < layout.labels.size(); ++i) {
    const TestLabel& label = layout.labels[i];
    EXPECT_EQ(label.text_colour, frames[i + 1].colour) << label.text;
    EXPECT_GT(label.cell.left, frames.back().inset_x) << label.text;
    EXPECT_GT(label.cell.top, frames.back().inset_y) << label.text;
    EXPECT_LT(label.cell.right, cx) << label.text;
    EXPECT_LT(label.cell.bottom, cy) << label.text;
    const double dx = cx - label.cell.right, dy = cy - label.cell.bottom;
    EXPECT_GT(dx * dx + dy * dy, (radius + 1) * (radius + 1)) << label.text;
    for (std::size_t j = 0; j < i; ++j) {
      EXPECT_FALSE(overlap(label.cell, layout.labels[j].cell))
          << label.text << " and " << layout.labels[j].text;
    }
    std::int32_t glyphs = 0;
    for (std::int32_t y = label.cell.top; y < label.cell.bottom; ++y) {
      for (std::int32_t x = label.cell.left; x < label.cell.right; ++x) {
        const Colour at = surface.pixel(x, y);
        if (at == label.text_colour)
          ++glyphs;
        else
          ASSERT_EQ(at, kBlack) << label.text << " at " << x << "," << y;
      }
    }
    EXPECT_GT(glyphs, 0) << label.text;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameScreens, ::testing::ValuesIn(screens({DisplayTest::Frame})),
                         [](const auto& row) { return row.param.name; });

// Far smaller windows than the designed one: nothing is drawn outside the canvas and a label
// that cannot fit is left out, never cut off.
struct SmallCase {
  const char* name;
  std::int32_t width, height;
};

class SmallDisplayTestScreens : public ::testing::TestWithParam<SmallCase> {};

TEST_P(SmallDisplayTestScreens, LabelsFitOrAreLeftOut) {
  const SmallCase& c = GetParam();
  for (const DisplayTestInfo& info : kDisplayTests) {
    for (std::int32_t variant = 1; variant <= info.variants; ++variant) {
      Surface surface(c.width, c.height, PixelFormat::Rgb32);
      draw_display_test(surface, info.test, variant);
      const DisplayTestLayout layout =
          layout_display_test(info.test, variant, c.width, c.height, 96);
      for (const TestLabel& label : layout.labels) {
        EXPECT_TRUE(inside(label.cell, {0, 0, c.width, c.height}))
            << info.key << variant << " " << label.text;
        for (const TestPatch& patch : layout.patches) {
          EXPECT_FALSE(overlap(label.cell, patch.rect)) << info.key << variant << " " << label.text;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SmallDisplayTestScreens,
                         ::testing::Values(SmallCase{"OnePixel", 1, 1}, SmallCase{"Tiny", 40, 30},
                                           SmallCase{"Narrow", 120, 600},
                                           SmallCase{"Flat", 900, 60}),
                         [](const auto& row) { return std::string(row.param.name); });

// The keys: a letter picks its screen's first variant, the same letter again steps and wraps,
// another letter or a pattern starts over; the pattern memory and the drawing tools are left
// as they were.
TEST(DisplayTestKeys, StepWrapAndLeavePatternsAlone) {
  Surface surface(64, 48, PixelFormat::Rgb32);
  ChartState state;
  state.current_pattern = 3;
  ChartPainter painter(surface, state, "unused.INI", {});
  surface.setPenWidth(7);
  surface.setBrushColour(0x010203);
  surface.setFontSize(11);
  const DrawingTools before = surface.tools();

  std::vector<std::int32_t> gamma;
  for (int press = 0; press < 4; ++press) {
    painter.showDisplayTest(DisplayTest::Gamma);
    EXPECT_EQ(state.display_test_key, 'G');
    gamma.push_back(state.display_test_variant);
  }
  EXPECT_EQ(gamma, (std::vector<std::int32_t>{1, 2, 3, 1}));
  painter.showDisplayTest(DisplayTest::Uniformity);
  EXPECT_EQ(state.display_test_variant, 1);
  painter.showDisplayTest(DisplayTest::Gamma);
  EXPECT_EQ(state.display_test_variant, 1) << "another screen in between starts over";
  painter.showDisplayTest(DisplayTest::VideoRange);
  painter.showDisplayTest(DisplayTest::VideoRange);
  EXPECT_EQ(state.display_test_variant, 1) << "a screen of one variant stays";
  EXPECT_EQ(state.current_pattern, 3);
  EXPECT_EQ(surface.tools().pen_width, before.pen_width);
  EXPECT_EQ(surface.tools().brush_colour, before.brush_colour);
  EXPECT_EQ(surface.tools().font_size_points, before.font_size_points);
  EXPECT_TRUE(painter.redrawDisplayTest());

  painter.image_Pattern(9);
  EXPECT_EQ(state.display_test_key, 0);
  EXPECT_FALSE(painter.redrawDisplayTest());
  painter.showDisplayTest(DisplayTest::Gamma);
  EXPECT_EQ(state.display_test_variant, 1) << "a pattern in between starts over";
  EXPECT_EQ(state.current_pattern, 9);
}

struct KeyCase {
  const char* name;
  int key;
  bool picks;
};

class DisplayTestKeyCodes : public ::testing::TestWithParam<KeyCase> {};

TEST_P(DisplayTestKeyCodes, OnlyTheEightLettersPickScreens) {
  EXPECT_EQ(display_test_for_key(GetParam().key).has_value(), GetParam().picks);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayTestKeyCodes,
    ::testing::Values(KeyCase{"G", 'G', true}, KeyCase{"B", 'B', true}, KeyCase{"W", 'W', true},
                      KeyCase{"L", 'L', true}, KeyCase{"U", 'U', true}, KeyCase{"I", 'I', true},
                      KeyCase{"S", 'S', true}, KeyCase{"F", 'F', true}, KeyCase{"A", 'A', false},
                      KeyCase{"H", 'H', false}, KeyCase{"Z", 'Z', false},
                      KeyCase{"Digit7", 55, false}, KeyCase{"F11", 122, false},
                      // 'g' is Numpad 7 in virtual-key codes, which draws pattern 7.
                      KeyCase{"Numpad7", 103, false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
