#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "patterns/chart_painter.h"
#include "support/recording_canvas.h"

namespace lumigrid {
namespace {

using testing::CanvasCall;
using testing::closed;
using testing::RecordingCanvas;

struct Ring {
  Point centre;
  std::int32_t radius;
  std::int32_t pen_width;
  friend bool operator==(const Ring&, const Ring&) = default;
};

Ring ring_of(const CanvasCall& call) {
  const Point a = call.points[0], b = call.points[1];
  return {{(a.x + b.x) / 2, (a.y + b.y) / 2}, (b.x - a.x) / 2, call.tools.pen_width};
}

struct RingCase {
  const char* name;
  bool moire;
  std::int32_t space, pitch, pitch2;
  std::vector<Ring> first_tile;  // rings of tile (0, 0), centred at (space div 2, space div 2)
};

class RingTiles : public ::testing::TestWithParam<RingCase> {};

TEST_P(RingTiles, EveryTileHoldsTheSameRings) {
  const RingCase& c = GetParam();
  RecordingCanvas canvas(832, 533);
  ChartState state;
  ChartPainter painter(canvas, state, "unused.INI", {});
  if (c.moire) {
    painter.recursive_draw_circle_Moire_pattern(c.space, c.pitch, c.pitch2, 0, 0);
  } else {
    painter.recursive_draw_circle(c.space, c.pitch, 0, 0);
  }

  const auto ellipses = canvas.ellipses();
  const std::int32_t cols = 832 / c.space + 1, rows = 533 / c.space + 1;
  ASSERT_EQ(ellipses.size(), std::size_t(cols * rows) * c.first_tile.size());
  for (std::size_t k = 0; k < c.first_tile.size(); ++k) {
    EXPECT_EQ(ring_of(ellipses[k]), c.first_tile[k]) << "ring " << k;
    // the last tile is column 832 div space, row 533 div space, walked row by row
    Ring last = c.first_tile[k];
    last.centre.x += (cols - 1) * c.space;
    last.centre.y += (rows - 1) * c.space;
    EXPECT_EQ(ring_of(ellipses[ellipses.size() - c.first_tile.size() + k]), last) << "ring " << k;
  }
  EXPECT_EQ(ellipses.front().tools.brush_colour, kWhite);
  EXPECT_EQ(ellipses.front().tools.pen_colour, kBlack);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RingTiles,
    ::testing::Values(
        RingCase{"circles_space_100_pitch_8",
                 false,
                 100,
                 8,
                 50,
                 {{{50, 50}, 71, 4},
                  {{50, 50}, 63, 4},
                  {{50, 50}, 55, 4},
                  {{50, 50}, 47, 4},
                  {{50, 50}, 39, 4},
                  {{50, 50}, 31, 4},
                  {{50, 50}, 23, 4},
                  {{50, 50}, 15, 4},
                  {{50, 50}, 7, 4}}},
        // n = 2.4482758, step = 17.154930: the third ring is 25 inside the second
        RingCase{"moire_space_100_pitch_8_50",
                 true,
                 100,
                 8,
                 50,
                 {{{50, 50}, 71, 4}, {{50, 50}, 63, 4}, {{50, 50}, 38, 13}}},
        // equal pitches: the radii of the circles, the pen rounded from 7 / 2 after ring one
        RingCase{"moire_equal_pitches",
                 true,
                 100,
                 7,
                 7,
                 {{{50, 50}, 71, 3},
                  {{50, 50}, 64, 4},
                  {{50, 50}, 57, 4},
                  {{50, 50}, 50, 4},
                  {{50, 50}, 43, 4},
                  {{50, 50}, 36, 4},
                  {{50, 50}, 29, 4},
                  {{50, 50}, 22, 4},
                  {{50, 50}, 15, 4},
                  {{50, 50}, 8, 4},
                  {{50, 50}, 1, 4}}},
        RingCase{"circles_smallest_tiles", false, 10, 8, 50, {{{5, 5}, 7, 4}}}),
    [](const auto& row) { return std::string(row.param.name); });

struct StripeCase {
  const char* name;
  std::int32_t width, height, space, pitch;
  std::int32_t tile_columns, tile_rows;
  std::size_t stripes_per_tile;
  std::vector<Point> first_vertical;    // tile (0, 0)
  std::vector<Point> first_horizontal;  // tile (1, 0)
};

class StripeTiles : public ::testing::TestWithParam<StripeCase> {};

// Polygons of both stripe drawers that touch the window: draw_stripes paints an extra row and
// column beyond it, and nothing else may differ.
std::vector<std::vector<Point>> visible_polygons(const RecordingCanvas& canvas) {
  std::vector<std::vector<Point>> out;
  for (const auto& p : canvas.polygons()) {
    bool visible = false;
    for (const Point& q : p.points) visible |= q.x < canvas.width() && q.y < canvas.height();
    if (visible) out.push_back(p.points);
  }
  return out;
}

TEST_P(StripeTiles, BothWalksPaintTheSameStripes) {
  const StripeCase& c = GetParam();
  RecordingCanvas walked(c.width, c.height), looped(c.width, c.height);
  ChartState state;
  ChartPainter(walked, state, "unused.INI", {}).recursive_draw_stripes(c.space, c.pitch, 0, 0);
  ChartPainter(looped, state, "unused.INI", {}).draw_stripes(c.space, c.pitch);

  const auto polygons = walked.polygons();
  ASSERT_EQ(polygons.size(), std::size_t(c.tile_columns * c.tile_rows) * c.stripes_per_tile);
  EXPECT_EQ(polygons[0].points, c.first_vertical);
  EXPECT_EQ(polygons[c.stripes_per_tile].points, c.first_horizontal);
  EXPECT_EQ(polygons[0].tools.brush_colour, kBlack);
  EXPECT_EQ(visible_polygons(walked), visible_polygons(looped));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StripeTiles,
    ::testing::Values(StripeCase{"default_window", 832, 533, 100, 8, 9, 6, 13,
                                 closed({0, 0}, {3, 0}, {3, 100}, {0, 100}),
                                 closed({100, 0}, {200, 0}, {200, 3}, {100, 3})},
                      // the column starting exactly at the right edge is still walked
                      StripeCase{"width_multiple_of_space", 800, 533, 100, 8, 9, 6, 13,
                                 closed({0, 0}, {3, 0}, {3, 100}, {0, 100}),
                                 closed({100, 0}, {200, 0}, {200, 3}, {100, 3})},
                      StripeCase{"pitch_2_lines", 832, 533, 100, 2, 9, 6, 50,
                                 closed({0, 0}, {0, 0}, {0, 100}, {0, 100}),
                                 closed({100, 0}, {200, 0}, {200, 0}, {100, 0})},
                      StripeCase{"pitch_3_lines", 832, 533, 100, 3, 9, 6, 34,
                                 closed({0, 0}, {0, 0}, {0, 100}, {0, 100}),
                                 closed({100, 0}, {200, 0}, {200, 0}, {100, 0})}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(StripeTiles, TileParityAlternatesLikeAChessboard) {
  RecordingCanvas canvas(300, 200);
  ChartState state;
  ChartPainter(canvas, state, "unused.INI", {}).recursive_draw_stripes(100, 50, 0, 0);
  // two stripes per tile; vertical stripes have equal x at their first two points
  std::vector<bool> vertical;
  const auto polygons = canvas.polygons();
  for (std::size_t k = 0; k < polygons.size(); k += 2)
    vertical.push_back(polygons[k].points[0].y == polygons[k].points[1].y &&
                       polygons[k].points[1].x - polygons[k].points[0].x == 24);
  EXPECT_EQ(vertical, (std::vector<bool>{true, false, true, false,  //
                                         false, true, false, true,  //
                                         true, false, true, false}));
}

struct GuardCase {
  const char* name;
  std::int32_t space, pitch;
};

class TileGuards : public ::testing::TestWithParam<GuardCase> {};

TEST_P(TileGuards, ValuesThatCannotEndDrawNothing) {
  const GuardCase& c = GetParam();
  RecordingCanvas canvas(832, 533);
  ChartState state;
  ChartPainter painter(canvas, state, "unused.INI", {});
  painter.recursive_draw_stripes(c.space, c.pitch, 0, 0);
  painter.draw_stripes(c.space, c.pitch);
  painter.recursive_draw_circle(c.space, c.pitch, 0, 0);
  painter.recursive_draw_circle_Moire_pattern(c.space, c.pitch, 50, 0, 0);
  EXPECT_TRUE(canvas.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, TileGuards,
                         ::testing::Values(GuardCase{"space_zero", 0, 8},
                                           GuardCase{"space_negative", -100, 8},
                                           GuardCase{"pitch_zero", 100, 0},
                                           GuardCase{"pitch_negative", 100, -8}),
                         [](const auto& row) { return std::string(row.param.name); });

// Counts shapes without keeping them, for the largest windows.
class CountingCanvas : public Canvas {
 public:
  std::int32_t width() const override { return 7680; }
  std::int32_t height() const override { return 4320; }
  void FillRect(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
  void Polygon(std::span<const Point>) override { ++shapes; }
  void Ellipse(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override { ++shapes; }
  void TextOut(std::int32_t, std::int32_t, std::string_view) override {}
  std::size_t shapes = 0;
};

struct WalkCase {
  const char* name;
  std::int32_t pattern;
  std::size_t shapes_per_tile;
};

class LargestWindowWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(LargestWindowWalk, SmallestTilesAreAllPainted) {
  CountingCanvas canvas;
  ChartState state;
  ChartPainter painter(canvas, state, "unused.INI",
                       {[] {
                          return LivePatternValues{10, 8, 50};
                        },
                        {}});
  painter.image_Pattern(GetParam().pattern);
  EXPECT_EQ(canvas.shapes, std::size_t(769 * 433) * GetParam().shapes_per_tile);
}

INSTANTIATE_TEST_SUITE_P(Cases, LargestWindowWalk,
                         ::testing::Values(WalkCase{"stripes", 2, 2}, WalkCase{"circles", 3, 1},
                                           WalkCase{"moire", 5, 1}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
