#include "page/tile_stamp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/errors.h"
#include "page/printable_chart.h"

namespace lumigrid {
namespace {

// Rows that differ between two pages of the same size, as "y=..." for the failure message.
std::string first_difference(const Surface& a, const Surface& b) {
  for (std::int32_t y = 0; y < a.height(); ++y) {
    if (std::memcmp(a.rowData(y), b.rowData(y), std::size_t(a.width())) != 0) {
      for (std::int32_t x = 0; x < a.width(); ++x) {
        if (a.rowData(y)[x] != b.rowData(y)[x]) {
          return "x=" + std::to_string(x) + " y=" + std::to_string(y);
        }
      }
    }
  }
  return "";
}

struct StampCase {
  const char* name;
  std::int32_t page_width, page_height, space;
  std::int32_t left, top, width, height;
  int hole_every;  // every n-th stamp pixel is left unpainted (0: none)
};

std::ostream& operator<<(std::ostream& os, const StampCase& c) {
  return os << c.name;
}

// A stamp whose pixels all differ from their neighbours, so that a tile copied to the wrong
// place, in the wrong order or through the wrong mask shows.
TileStamp synthetic_stamp(const StampCase& c) {
  TileStamp stamp;
  stamp.left = c.left;
  stamp.top = c.top;
  stamp.width = c.width;
  stamp.height = c.height;
  stamp.pixels.resize(std::size_t(c.width) * std::size_t(c.height));
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < stamp.pixels.size(); ++i) {
    state = state * 1103515245u + 12345u;
    std::uint8_t v = std::uint8_t(state >> 16);
    if (v == kUnpainted) ++v;
    if (c.hole_every != 0 && (state >> 8) % std::uint32_t(c.hole_every) == 0) v = kUnpainted;
    stamp.pixels[i] = v;
  }
  return stamp;
}

class StampTiles : public ::testing::TestWithParam<StampCase> {};

TEST_P(StampTiles, RowCopiesGiveTheTileByTilePage) {
  const StampCase& c = GetParam();
  const TileStamp stamp = synthetic_stamp(c);
  Surface by_rows(c.page_width, c.page_height, PixelFormat::Gray8);
  Surface one_by_one(c.page_width, c.page_height, PixelFormat::Gray8);
  stamp_tiles(by_rows, stamp, c.space);
  stamp_tiles_one_by_one(one_by_one, stamp, c.space);
  EXPECT_EQ(first_difference(by_rows, one_by_one), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StampTiles,
    ::testing::Values(StampCase{"LikeRings", 1000, 700, 100, -75, -75, 151, 151, 0},
                      StampCase{"WithHoles", 530, 370, 100, -75, -75, 151, 151, 7},
                      StampCase{"SmallerThanTile", 203, 177, 20, -3, -4, 5, 9, 0},
                      StampCase{"OffCentre", 640, 480, 64, -50, -2, 30, 90, 5},
                      StampCase{"ReachesSeveralTiles", 307, 211, 10, -25, -31, 51, 63, 3},
                      StampCase{"OddSpace", 401, 299, 37, -28, -28, 57, 57, 0},
                      StampCase{"SpaceLargerThanPage", 120, 90, 300, -212, -212, 425, 425, 0},
                      StampCase{"OnePixelPage", 1, 1, 10, -8, -8, 17, 17, 0},
                      StampCase{"TallNarrowPage", 7, 500, 6, -5, -5, 11, 11, 4},
                      StampCase{"SpaceOne", 40, 30, 1, -1, -1, 3, 3, 2},
                      // The first tile's stamp ends exactly on column 0 and row 0.
                      StampCase{"FirstTileEndsOnTheEdge", 100, 80, 40, -40, -40, 21, 21, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(StampTiles, RefusesAnRgbPageAndSpaceBelowOne) {
  const TileStamp stamp = synthetic_stamp({"", 0, 0, 0, -1, -1, 3, 3, 0});
  Surface rgb(10, 10, PixelFormat::Rgb32);
  EXPECT_THROW(stamp_tiles(rgb, stamp, 10), Error);
  Surface gray(10, 10, PixelFormat::Gray8);
  EXPECT_THROW(stamp_tiles(gray, stamp, 0), Error);
}

TEST(PaintTileStamp, GivesNothingBeyondTheScratchLimit) {
  EXPECT_FALSE(paint_tile_stamp({100, 8, 50}, 100).has_value());
}

struct ChartCase {
  const char* name;
  std::int32_t page_width, page_height;
  ChartParameters chart;
};

std::ostream& operator<<(std::ostream& os, const ChartCase& c) {
  return os << c.name;
}

class FastChart : public ::testing::TestWithParam<ChartCase> {};

// The stamped page and the page drawn ellipse by ellipse with the same rasteriser agree pixel
// for pixel, and leave the same tools on the canvas.
TEST_P(FastChart, PaintsWhatTheTileWalkPaints) {
  const ChartCase& c = GetParam();
  // The fast path falls back to the tile walk when no stamp is made; ordinary parameters must
  // take the stamp, or this comparison would hold the walk against itself.
  ASSERT_TRUE(paint_tile_stamp(c.chart, kMaxTileStampBytes).has_value());
  Surface fast(c.page_width, c.page_height, PixelFormat::Gray8);
  Surface plain(c.page_width, c.page_height, PixelFormat::Gray8);
  draw_printable_chart_fast(fast, c.chart.space, c.chart.pitch, c.chart.pitch2);
  draw_printable_chart(plain, c.chart.space, c.chart.pitch, c.chart.pitch2);
  EXPECT_EQ(first_difference(fast, plain), "");
  EXPECT_EQ(fast.tools().pen_width, plain.tools().pen_width);
  EXPECT_EQ(fast.tools().brush_colour, plain.tools().brush_colour);
  EXPECT_EQ(fast.tools().font_size_points, plain.tools().font_size_points);
}

INSTANTIATE_TEST_SUITE_P(Cases, FastChart,
                         ::testing::Values(ChartCase{"StartValues", 530, 370, {100, 8, 50}},
                                           ChartCase{"SmallSpace", 317, 213, {10, 5, 50}},
                                           ChartCase{"OddSpace", 401, 299, {37, 3, 11}},
                                           ChartCase{"ShrinkingSpacing", 300, 250, {100, 50, 2}},
                                           ChartCase{"ThinRings", 600, 420, {250, 2, 2}},
                                           ChartCase{"WidePitch2", 211, 157, {13, 2, 200}},
                                           ChartCase{
                                               "SpaceLargerThanPage", 150, 120, {400, 20, 60}}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
