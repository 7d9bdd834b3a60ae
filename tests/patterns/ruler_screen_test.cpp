// The ruler screen: every mark where its millimetres put it, the card at its size in the middle,
// and the screen drawn the same again after a pattern or at a new size.
#include "patterns/ruler_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "patterns/chart_painter.h"
#include "surface/surface.h"

namespace lumigrid {
namespace {

struct RulerCase {
  const char* name;
  std::int32_t width;
  std::int32_t height;
  double mm_per_pixel;
  std::int32_t ppi;
};

// The designed window at 96 dpi, a 27-inch 4K monitor at scale 2, a coarse projector.
const RulerCase kRulers[] = {
    {"DesignedWindowAt96Dpi", 832, 533, 25.4 / 96, 96},
    {"FourKAtScale2", 3840, 2160, 0.1554, 192},
    {"CoarseProjector", 1024, 768, 1.3, 96},
};

class RulerScreen : public ::testing::TestWithParam<RulerCase> {
 protected:
  Surface drawn() const {
    const RulerCase& c = GetParam();
    Surface surface(c.width, c.height, PixelFormat::Rgb32, 0x123456);
    surface.setPixelsPerInch(c.ppi);
    draw_ruler_screen(surface, c.mm_per_pixel, "EDID 527 x 296 mm");
    return surface;
  }
};

TEST_P(RulerScreen, MarksLieWithinHalfAPixelOfTheirMillimetres) {
  const RulerCase& c = GetParam();
  const RulerLayout layout =
      layout_ruler_screen(c.width, c.height, c.mm_per_pixel, c.ppi, "EDID 527 x 296 mm");
  ASSERT_FALSE(layout.top.empty());
  for (std::size_t mm = 0; mm < layout.top.size(); ++mm) {
    EXPECT_LE(std::fabs(layout.top[mm].at - double(mm) / c.mm_per_pixel), 0.5) << mm << " mm";
  }
  // Every millimetre of the width has its tick, and no more.
  EXPECT_LT(layout.top.back().at, c.width);
  EXPECT_GE(millimetre_pixel(double(layout.top.size()), c.mm_per_pixel), c.width);
  ASSERT_FALSE(layout.grid_columns.empty());
  for (std::size_t i = 0; i < layout.grid_columns.size(); ++i) {
    EXPECT_LE(std::fabs(layout.grid_columns[i] - double(10 * (i + 1)) / c.mm_per_pixel), 0.5);
  }
  // Longer every 5 and 10 millimetres.
  EXPECT_GT(layout.top[10].length, layout.top[5].length);
  EXPECT_GT(layout.top[5].length, layout.top[4].length);
  // The left ruler has the top one's marks.
  for (std::size_t mm = 0; mm < std::min(layout.top.size(), layout.left.size()); ++mm) {
    EXPECT_EQ(layout.left[mm], layout.top[mm]) << mm << " mm";
  }
}

TEST_P(RulerScreen, TheCardIsCentredAtItsSize) {
  const RulerCase& c = GetParam();
  const RulerLayout layout = layout_ruler_screen(c.width, c.height, c.mm_per_pixel, c.ppi, "");
  EXPECT_LE(std::fabs(layout.card.width() - kCardWidthMm / c.mm_per_pixel), 0.5);
  EXPECT_LE(std::fabs(layout.card.height() - kCardHeightMm / c.mm_per_pixel), 0.5);
  EXPECT_LE(std::abs(layout.card.left - (c.width - layout.card.right)), 1);
  EXPECT_LE(std::abs(layout.card.top - (c.height - layout.card.bottom)), 1);
}

TEST_P(RulerScreen, PaintsGridTicksAndCardOverWhite) {
  const RulerCase& c = GetParam();
  const Surface surface = drawn();
  const RulerLayout layout =
      layout_ruler_screen(c.width, c.height, c.mm_per_pixel, c.ppi, "EDID 527 x 296 mm");
  // The bottom row: the grid's columns in grey, the rest white right of the left ruler's
  // ticks (nothing else reaches it).
  const std::int32_t bottom = c.height - 1;
  std::size_t grey_columns = 0;
  for (std::int32_t x = layout.top[10].length; x < c.width; ++x) {
    const Colour colour = surface.pixel(x, bottom);
    if (colour == kRulerGridColour)
      ++grey_columns;
    else
      EXPECT_EQ(colour, kWhite) << "x " << x;
  }
  EXPECT_EQ(grey_columns, layout.grid_columns.size());
  for (const std::int32_t x : layout.grid_columns) {
    EXPECT_EQ(surface.pixel(x, bottom), kRulerGridColour) << "x " << x;
  }
  // Each tick in black at the top edge; the card's outline in black, white inside its corner.
  for (const RulerTick& tick : layout.top) EXPECT_EQ(surface.pixel(tick.at, 0), kBlack);
  EXPECT_EQ(surface.pixel(layout.card.left, layout.card.top), kBlack);
  EXPECT_EQ(surface.pixel(layout.card.right - 1, layout.card.bottom - 1), kBlack);
  EXPECT_EQ(surface.pixel(layout.card.left + 1, layout.card.top + 1), kWhite);
}

TEST_P(RulerScreen, LabelsStayOnTheScreenAndTellTheCardsSize) {
  const RulerCase& c = GetParam();
  const RulerLayout layout =
      layout_ruler_screen(c.width, c.height, c.mm_per_pixel, c.ppi, "EDID 527 x 296 mm");
  bool size_told = false;
  bool caption_told = false;
  for (const TestLabel& label : layout.labels) {
    EXPECT_GE(label.cell.left, 0);
    EXPECT_GE(label.cell.top, 0);
    EXPECT_LE(label.cell.right, c.width);
    EXPECT_LE(label.cell.bottom, c.height);
    size_told = size_told || label.text == "85.60 x 53.98 mm";
    caption_told = caption_told || label.text == "EDID 527 x 296 mm";
  }
  EXPECT_TRUE(size_told);
  EXPECT_TRUE(caption_told);
}

INSTANTIATE_TEST_SUITE_P(Screens, RulerScreen, ::testing::ValuesIn(kRulers),
                         [](const auto& row) { return std::string(row.param.name); });

// The chart redraws the ruler at its new size until a pattern or a test screen replaces it.
TEST(RulerScreenInTheChart, RedrawnUntilAPatternReplacesIt) {
  Surface surface(400, 300, PixelFormat::Rgb32);
  ChartState state;
  state.current_pattern = 3;
  ChartPainter painter(surface, state, SettingsLocation("unused.INI"), {});
  painter.showRulerScreen(0.3, "calibrated");
  EXPECT_EQ(state.current_pattern, 3);
  surface.resize(500, 320, 0x123456);
  ASSERT_TRUE(painter.redrawDisplayTest());
  Surface expected(500, 320, PixelFormat::Rgb32);
  draw_ruler_screen(expected, 0.3, "calibrated");
  for (std::int32_t y = 0; y < 320; ++y)
    for (std::int32_t x = 0; x < 500; ++x) ASSERT_EQ(surface.pixel(x, y), expected.pixel(x, y));
  painter.image_Pattern(9);
  EXPECT_FALSE(painter.redrawDisplayTest());
}

}  // namespace
}  // namespace lumigrid
