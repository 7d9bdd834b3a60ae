#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "surface/surface.h"
#include "surface_test_support.h"

namespace lumigrid {
namespace {

using test::Box;

struct BandCase {
  const char* name;
  std::int32_t pen_width;
  std::int32_t left_first, left_last;    // band around the edge x = 20
  std::int32_t right_first, right_last;  // band around the edge x = 40
};

class WideRectangleTest : public ::testing::TestWithParam<BandCase> {};

// An axis-aligned band is exactly w pixels across: centred on the one-pixel outline for odd w,
// on the edge line itself for even w.
TEST_P(WideRectangleTest, BandIsPenWidthAcrossAndCentred) {
  const BandCase& c = GetParam();
  for (PixelFormat format : {PixelFormat::Rgb32, PixelFormat::Gray8}) {
    Surface s(60, 60, format, test::kGreen);
    s.setPenColour(kBlack);
    s.setBrushColour(kWhite);
    s.setPenWidth(c.pen_width);
    const Point rect[] = {{20, 20}, {40, 20}, {40, 40}, {20, 40}, {20, 20}};
    s.Polygon(rect);
    for (std::int32_t x = 0; x < 60; ++x) {
      const bool in_band =
          (x >= c.left_first && x <= c.left_last) || (x >= c.right_first && x <= c.right_last);
      const Colour expected =
          in_band ? kBlack : (x > c.left_last && x < c.right_first ? kWhite : s.pixel(0, 0));
      // Row 30 crosses the vertical edges; column 30 the horizontal ones the same way.
      EXPECT_EQ(s.pixel(x, 30), expected) << "row 30, column " << x;
      EXPECT_EQ(s.pixel(30, x), expected) << "column 30, row " << x;
    }
    EXPECT_EQ(test::bounding_box(s, kBlack),
              (Box{c.left_first, c.left_first, c.right_last, c.right_last}));
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, WideRectangleTest,
                         ::testing::Values(BandCase{"Two", 2, 19, 20, 39, 40},
                                           BandCase{"Three", 3, 19, 21, 39, 41},
                                           BandCase{"Four", 4, 18, 21, 38, 41},
                                           BandCase{"Five", 5, 18, 22, 38, 42},
                                           BandCase{"Thirteen", 13, 14, 26, 34, 46}),
                         [](const auto& row) { return std::string(row.param.name); });

struct RoundCase {
  const char* name;
  std::int32_t pen_width;
  Point pixel;
  bool painted;
};

class RoundEndsTest : public ::testing::TestWithParam<RoundCase> {};

// Ends and joins are round: the corners of the square around a vertex stay unpainted.
TEST_P(RoundEndsTest, VertexNeighbourhood) {
  const RoundCase& c = GetParam();
  Surface s(40, 40, PixelFormat::Rgb32, kWhite);
  s.setPenColour(kBlack);
  s.setPenWidth(c.pen_width);
  // An open segment (10,20)-(30,20) and an L joint at (10,20) going up to (10,5).
  const Point path[] = {{30, 20}, {10, 20}, {10, 5}, {10, 20}};
  s.Polygon(path);
  EXPECT_EQ(s.pixel(c.pixel.x, c.pixel.y) == kBlack, c.painted) << test::picture(s, kBlack);
}

INSTANTIATE_TEST_SUITE_P(Pixels, RoundEndsTest,
                         ::testing::Values(RoundCase{"OddCapTip", 5, {32, 20}, true},
                                           RoundCase{"OddCapBeyondTip", 5, {33, 20}, false},
                                           RoundCase{"OddCapCorner", 5, {32, 22}, false},
                                           RoundCase{"OddCapShoulder", 5, {32, 21}, true},
                                           RoundCase{"OddJoinOuterCorner", 5, {8, 22}, false},
                                           RoundCase{"OddJoinShoulder", 5, {8, 21}, true},
                                           RoundCase{"EvenCapTip", 4, {31, 20}, true},
                                           RoundCase{"EvenCapCorner", 4, {31, 21}, false},
                                           RoundCase{"EvenCapShoulder", 4, {31, 19}, true},
                                           RoundCase{"EvenJoinOuterCorner", 4, {8, 21}, false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(WidePolygonTest, AllPointsCoincidePaintsARoundDot) {
  Surface s(20, 20, PixelFormat::Rgb32, kWhite);
  s.setPenColour(kBlack);
  s.setPenWidth(5);
  const Point dot[] = {{10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}};
  s.Polygon(dot);
  // The disc of diameter 5 around the centre of pixel (10, 10): 21 pixels.
  EXPECT_EQ(test::pixels_of(s, kBlack).size(), 21u) << test::picture(s, kBlack);
  EXPECT_EQ(test::bounding_box(s, kBlack), (Box{8, 8, 12, 12}));
}

// Distance test of one pixel centre against one edge, in doubled coordinates with 64-bit
// integers: the plain per-pixel statement of the band.
bool near_edge(Point a, Point b, std::int32_t width, std::int32_t x, std::int32_t y) {
  const std::int64_t o = width % 2;
  const std::int64_t ax = 2 * a.x + o, ay = 2 * a.y + o, bx = 2 * b.x + o, by = 2 * b.y + o;
  const std::int64_t px = 2 * x + 1, py = 2 * y + 1, r2 = std::int64_t(width) * width;
  const std::int64_t dx = bx - ax, dy = by - ay, apx = px - ax, apy = py - ay;
  const std::int64_t along = apx * dx + apy * dy, length2 = dx * dx + dy * dy;
  if (along <= 0) return apx * apx + apy * apy <= r2;
  if (along >= length2) return (px - bx) * (px - bx) + (py - by) * (py - by) <= r2;
  const std::int64_t cross = dx * apy - dy * apx;
  return cross * cross <= r2 * length2;
}

struct TiltedCase {
  const char* name;
  std::int32_t pen_width;
  std::vector<Point> points;
};

class WideOutlineTest : public ::testing::TestWithParam<TiltedCase> {};

TEST_P(WideOutlineTest, MatchesPerPixelDistance) {
  const TiltedCase& c = GetParam();
  Surface s(40, 40, PixelFormat::Rgb32, kWhite);
  s.setPenColour(kBlack);
  s.setBrushColour(test::kBlue);
  s.setPenWidth(c.pen_width);
  s.Polygon(c.points);
  for (std::int32_t y = 0; y < 40; ++y) {
    for (std::int32_t x = 0; x < 40; ++x) {
      bool expected = false;
      for (std::size_t i = 0; i < c.points.size() && !expected; ++i) {
        expected = near_edge(c.points[i], c.points[(i + 1) % c.points.size()], c.pen_width, x, y);
      }
      ASSERT_EQ(s.pixel(x, y) == kBlack, expected) << "at " << x << "," << y << "\n"
                                                   << test::picture(s, kBlack);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WideOutlineTest,
    ::testing::Values(TiltedCase{"TiltedSquareW2", 2, {{12, 5}, {33, 10}, {28, 31}, {7, 26}}},
                      TiltedCase{"TiltedSquareW5", 5, {{12, 5}, {33, 10}, {28, 31}, {7, 26}}},
                      TiltedCase{"ThinTriangleW3", 3, {{2, 2}, {37, 9}, {5, 14}}},
                      TiltedCase{"SteepW4", 4, {{20, -10}, {23, 50}}},
                      TiltedCase{"ShallowW7", 7, {{-10, 17}, {50, 23}}},
                      TiltedCase{"StarW6", 6, {{20, 2}, {30, 36}, {3, 14}, {37, 14}, {9, 36}}}),
    [](const auto& row) { return std::string(row.param.name); });

struct HugeCase {
  const char* name;
  std::int32_t pen_width;
  std::vector<Point> points;
  std::size_t pen_pixels;  // on a 16 x 16 surface
};

class HugeWideTest : public ::testing::TestWithParam<HugeCase> {};

TEST_P(HugeWideTest, ClipsWithoutOverflow) {
  const HugeCase& c = GetParam();
  Surface s(16, 16, PixelFormat::Rgb32, kWhite);
  s.setPenColour(kBlack);
  s.setBrushColour(test::kBlue);
  s.setPenWidth(c.pen_width);
  s.Polygon(c.points);
  EXPECT_EQ(test::pixels_of(s, kBlack).size(), c.pen_pixels) << test::picture(s, kBlack);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, HugeWideTest,
    ::testing::Values(
        HugeCase{"SegmentAcross", 3, {{-2000000000, 5}, {2000000000, 5}}, 48},
        HugeCase{"HugePen", INT32_MAX, {{3, 3}, {4, 4}}, 256},
        HugeCase{"ExtremeRectangle",
                 4,
                 {{INT32_MIN, INT32_MIN},
                  {INT32_MAX, INT32_MIN},
                  {INT32_MAX, INT32_MAX},
                  {INT32_MIN, INT32_MAX}},
                 0},
        HugeCase{"EdgeThroughSurface",
                 2,
                 {{8, INT32_MIN}, {8, INT32_MAX}, {INT32_MAX, INT32_MAX}, {INT32_MAX, INT32_MIN}},
                 32}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
