#include "page/printable_chart.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "support/recording_canvas.h"

namespace lumigrid {
namespace {

using testing::RecordingCanvas;

struct RingCase {
  const char* name;
  ChartParameters chart;
  std::vector<std::int32_t> radii;
  std::vector<std::int32_t> pen_widths;
};

std::ostream& operator<<(std::ostream& os, const RingCase& c) {
  return os << c.name;
}

// Radii from `first` down by `step` while positive.
std::vector<std::int32_t> radii_down(std::int32_t first, std::int32_t step) {
  std::vector<std::int32_t> radii;
  for (std::int32_t r = first; r > 0; r -= step) radii.push_back(r);
  return radii;
}

class TileRings : public ::testing::TestWithParam<RingCase> {};

// A page no larger than one tile holds exactly one tile's rings, centred at Space div 2.
TEST_P(TileRings, RadiiAndPenWidthsOfOneTile) {
  const RingCase& c = GetParam();
  RecordingCanvas page(c.chart.space - 1, c.chart.space - 1);
  draw_printable_chart(page, c.chart.space, c.chart.pitch, c.chart.pitch2);
  std::vector<std::int32_t> radii, pens;
  for (const auto& e : page.ellipses()) {
    EXPECT_EQ(e.centre_x(), c.chart.space / 2);
    EXPECT_EQ(e.centre_y(), c.chart.space / 2);
    EXPECT_EQ(e.tools.brush_colour, kWhite);
    EXPECT_EQ(e.tools.pen_colour, kBlack);
    radii.push_back(e.radius());
    pens.push_back(e.tools.pen_width);
  }
  EXPECT_EQ(radii, c.radii);
  EXPECT_EQ(pens, c.pen_widths);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TileRings,
    ::testing::Values(
        RingCase{"StartValues", {100, 8, 50}, {71, 63, 38}, {4, 4, 13}},
        RingCase{
            "EqualPitches7", {100, 7, 7}, radii_down(71, 7), {3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}},
        RingCase{"ShrinkingSpacing", {100, 50, 2}, {71, 21}, {25, 25}},
        RingCase{
            "EqualPitches2", {100, 2, 2}, radii_down(71, 2), std::vector<std::int32_t>(36, 1)}),
    [](const auto& row) { return std::string(row.param.name); });

struct WalkCase {
  const char* name;
  std::int32_t width, height, space;
  std::int64_t columns, rows;
  Point last_centre;
};

std::ostream& operator<<(std::ostream& os, const WalkCase& c) {
  return os << c.name;
}

class TileWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(TileWalk, VisitsRowsFromTheTopAndTilesFromTheLeft) {
  const WalkCase& c = GetParam();
  EXPECT_EQ(tile_columns(c.width, c.space), c.columns);
  EXPECT_EQ(tile_rows(c.height, c.space), c.rows);

  RecordingCanvas page(c.width, c.height);
  draw_printable_chart(page, c.space, 8, 50);
  // The outermost ring of each tile opens its drawing.
  const std::int32_t outer = page.ellipses().front().radius();
  std::vector<Point> centres;
  for (const auto& e : page.ellipses()) {
    if (e.radius() == outer) centres.push_back({e.centre_x(), e.centre_y()});
  }
  ASSERT_EQ(std::int64_t(centres.size()), c.columns * c.rows);
  EXPECT_EQ(centres.front(), (Point{c.space / 2, c.space / 2}));
  if (c.columns > 1) {
    EXPECT_EQ(centres[1], (Point{c.space / 2 + c.space, c.space / 2}));
  }
  if (c.rows > 1) {
    EXPECT_EQ(centres[std::size_t(c.columns)], (Point{c.space / 2, c.space / 2 + c.space}));
  }
  EXPECT_EQ(centres.back(), c.last_centre);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TileWalk,
    ::testing::Values(WalkCase{"FullHd", 1920, 1080, 100, 20, 11, {1950, 1050}},
                      WalkCase{"WidthOnATileEdge", 2000, 1080, 100, 21, 11, {2050, 1050}},
                      WalkCase{"SpaceLargerThanPage", 960, 540, 3840, 1, 1, {1920, 1920}},
                      WalkCase{"OddSpace", 100, 50, 33, 4, 2, {115, 49}}),
    [](const auto& row) { return std::string(row.param.name); });

struct CaptionCase {
  const char* name;
  std::int32_t width, height;
  ChartParameters chart;
  std::string text;
  std::int32_t font_size;
};

std::ostream& operator<<(std::ostream& os, const CaptionCase& c) {
  return os << c.name;
}

class Caption : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(Caption, BlackBarThenWhiteTextOnBlack) {
  const CaptionCase& c = GetParam();
  EXPECT_EQ(printable_chart_caption(c.width, c.height, c.chart), c.text);
  EXPECT_EQ(caption_font_size(c.height), c.font_size);

  // The caption comes after every tile.
  RecordingCanvas page(c.width, c.height);
  draw_printable_chart(page, c.chart.space, c.chart.pitch, c.chart.pitch2);
  const auto bars = page.fill_rects();
  ASSERT_EQ(bars.size(), 1u);
  const auto& bar = bars[0];
  EXPECT_EQ((std::vector<std::int32_t>{bar.left(), bar.top(), bar.right(), bar.bottom()}),
            (std::vector<std::int32_t>{0, 0, 150, 10}));
  EXPECT_EQ(bar.tools.brush_colour, kBlack);
  const auto texts = page.texts();
  ASSERT_EQ(texts.size(), 1u);
  const auto& text = texts[0];
  EXPECT_EQ(text.points[0], (Point{0, 0}));
  EXPECT_EQ(text.text, c.text);
  EXPECT_EQ(text.tools.font_colour, kWhite);
  EXPECT_EQ(text.tools.brush_colour, kBlack);
  EXPECT_EQ(text.tools.font_size_points, c.font_size);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Caption,
    ::testing::Values(
        CaptionCase{"FullHd",
                    1920,
                    1080,
                    {100, 8, 50},
                    "1920 x 1080, circle dim=100, line width:8 ~ 50  ",
                    10},
        CaptionCase{
            "A4", 7016, 4961, {100, 8, 50}, "7016 x 4961, circle dim=100, line width:8 ~ 50  ", 49},
        CaptionCase{
            "LowPage", 800, 99, {10, 5, 2}, "800 x 99, circle dim=10, line width:5 ~ 2  ", 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DrawTestChart, RefusesASpaceThatWouldNeverEndTheWalk) {
  for (const std::int32_t space : {0, -100}) {
    RecordingCanvas page(100, 100);
    EXPECT_THROW(draw_printable_chart(page, space, 8, 50), Error) << space;
    EXPECT_TRUE(page.ellipses().empty());
  }
}

}  // namespace
}  // namespace lumigrid
