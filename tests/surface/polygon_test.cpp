#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "surface/raster/polygon_fill.h"
#include "surface/surface.h"
#include "surface_test_support.h"

namespace lumigrid {
namespace {

using test::Box;

struct SolidCase {
  const char* name;
  std::int32_t width, height;
  std::vector<Point> points;
  Box painted;
  std::size_t count;
};

class SolidPolygonTest : public ::testing::TestWithParam<SolidCase> {};

// With pen and brush of one colour a polygon is a solid shape; pen widths 0 and 1 must agree,
// in both pixel formats.
TEST_P(SolidPolygonTest, PaintsCornersInclusive) {
  const SolidCase& c = GetParam();
  for (PixelFormat format : {PixelFormat::Rgb32, PixelFormat::Gray8}) {
    for (std::int32_t pen_width : {0, 1}) {
      Surface s(c.width, c.height, format, kWhite);
      s.setPenColour(kBlack);
      s.setBrushColour(kBlack);
      s.setPenWidth(pen_width);
      s.Polygon(c.points);
      EXPECT_EQ(test::bounding_box(s, kBlack), c.painted) << "pen width " << pen_width << "\n"
                                                          << test::picture(s, kBlack);
      EXPECT_EQ(test::pixels_of(s, kBlack).size(), c.count) << "pen width " << pen_width;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SolidPolygonTest,
    ::testing::Values(
        SolidCase{"Block4x101",
                  20,
                  110,
                  {{10, 0}, {13, 0}, {13, 100}, {10, 100}, {10, 0}},
                  {10, 0, 13, 100},
                  404},
        SolidCase{"VerticalLine",
                  20,
                  110,
                  {{10, 0}, {10, 0}, {10, 100}, {10, 100}, {10, 0}},
                  {10, 0, 10, 100},
                  101},
        SolidCase{"HorizontalLine",
                  20,
                  10,
                  {{2, 5}, {12, 5}, {12, 5}, {2, 5}, {2, 5}},
                  {2, 5, 12, 5},
                  11},
        SolidCase{
            "AllPointsCoincide", 10, 10, {{4, 6}, {4, 6}, {4, 6}, {4, 6}, {4, 6}}, {4, 6, 4, 6}, 1},
        SolidCase{
            "CounterClockwise", 10, 10, {{2, 2}, {2, 5}, {6, 5}, {6, 2}, {2, 2}}, {2, 2, 6, 5}, 20},
        SolidCase{
            "FourPointsNotClosed", 10, 10, {{6, 5}, {2, 5}, {2, 2}, {6, 2}}, {2, 2, 6, 5}, 20},
        SolidCase{"PartlyOutside",
                  10,
                  10,
                  {{-5, -5}, {3, -5}, {3, 3}, {-5, 3}, {-5, -5}},
                  {0, 0, 3, 3},
                  16},
        SolidCase{"WhollyOutside", 10, 10, {{11, 2}, {15, 2}, {15, 8}, {11, 8}, {11, 2}}, {}, 0},
        SolidCase{"ExtremeCorners",
                  6,
                  4,
                  {{INT32_MIN, INT32_MIN},
                   {INT32_MAX, INT32_MIN},
                   {INT32_MAX, INT32_MAX},
                   {INT32_MIN, INT32_MAX},
                   {INT32_MIN, INT32_MIN}},
                  {0, 0, 5, 3},
                  24},
        SolidCase{"TwoPointsSegment", 10, 10, {{1, 1}, {7, 4}}, {1, 1, 7, 4}, 7},
        SolidCase{"Empty", 10, 10, {}, {}, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PolygonTest, OutlineInPenInteriorInBrush) {
  Surface s(8, 6, PixelFormat::Rgb32, kWhite);
  s.setPenColour(test::kRed);
  s.setBrushColour(test::kBlue);
  const Point rect[] = {{1, 1}, {5, 1}, {5, 4}, {1, 4}, {1, 1}};
  s.Polygon(rect);
  EXPECT_EQ(test::pixels_of(s, test::kRed).size(), 14u) << test::picture(s, test::kRed);
  EXPECT_EQ(test::bounding_box(s, test::kBlue), (Box{2, 2, 4, 3}));
  EXPECT_EQ(test::pixels_of(s, test::kBlue).size(), 6u);
}

TEST(PolygonTest, TiltedOutlineIsClosedAndTouchesEveryVertex) {
  Surface s(14, 14, PixelFormat::Rgb32, kWhite);
  s.setPenColour(test::kRed);
  s.setBrushColour(test::kBlue);
  const Point square[] = {{3, 2}, {10, 3}, {9, 10}, {2, 9}, {3, 2}};
  s.Polygon(square);
  EXPECT_TRUE(test::eight_connected(s, test::kRed)) << test::picture(s, test::kRed);
  EXPECT_EQ(test::bounding_box(s, test::kRed), (Box{2, 2, 10, 10}));
  for (const Point p : square) EXPECT_EQ(s.pixel(p.x, p.y), test::kRed) << p.x << "," << p.y;
  // The brush shows inside and nowhere outside the outline's box.
  EXPECT_FALSE(test::pixels_of(s, test::kBlue).empty());
  EXPECT_EQ(s.pixel(6, 6), test::kBlue);
}

TEST(PolygonTest, NegativePenWidthIsIgnored) {
  Surface s(4, 4, PixelFormat::Rgb32);
  s.setPenWidth(4);
  s.setPenWidth(-1);
  EXPECT_EQ(s.tools().pen_width, 4);
}

struct RectCase {
  const char* name;
  std::int32_t x0, y0, x1, y1;
  Colour pen, brush;
};

class RectanglePathTest : public ::testing::TestWithParam<RectCase> {};

// Rectangles take shortcuts for thin and wide pens; inserting a point in the middle of the first
// edge sends the same shape down the general path, which must paint the very same pixels.
TEST_P(RectanglePathTest, ShortcutMatchesGeneralPath) {
  const RectCase& c = GetParam();
  for (std::int32_t pen_width : {0, 1, 2, 3, 4, 7}) {
    Surface fast(16, 12, PixelFormat::Rgb32, test::kGreen);
    Surface general(16, 12, PixelFormat::Rgb32, test::kGreen);
    for (Surface* s : {&fast, &general}) {
      s->setPenColour(c.pen);
      s->setBrushColour(c.brush);
      s->setPenWidth(pen_width);
    }
    const Point corners[] = {{c.x0, c.y0}, {c.x1, c.y0}, {c.x1, c.y1}, {c.x0, c.y1}, {c.x0, c.y0}};
    const std::int32_t mid = std::int32_t((std::int64_t(c.x0) + c.x1) / 2);
    const Point with_midpoint[] = {{c.x0, c.y0}, {mid, c.y0},  {c.x1, c.y0},
                                   {c.x1, c.y1}, {c.x0, c.y1}, {c.x0, c.y0}};
    fast.Polygon(corners);
    general.Polygon(with_midpoint);
    for (std::int32_t y = 0; y < 12; ++y) {
      for (std::int32_t x = 0; x < 16; ++x) {
        ASSERT_EQ(fast.pixel(x, y), general.pixel(x, y)) << "at " << x << "," << y << "\n"
                                                         << test::picture(fast, c.pen) << "\n"
                                                         << test::picture(general, c.pen);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, RectanglePathTest,
    ::testing::Values(RectCase{"Inside", 2, 3, 9, 8, test::kRed, test::kBlue},
                      RectCase{"Reversed", 9, 8, 2, 3, test::kRed, test::kBlue},
                      RectCase{"TwoWide", 4, 1, 5, 10, test::kRed, test::kBlue},
                      RectCase{"ThreeWide", 4, 1, 6, 10, test::kRed, test::kBlue},
                      RectCase{"Line", 4, 1, 4, 10, test::kRed, test::kBlue},
                      RectCase{"Point", 4, 4, 4, 4, test::kRed, test::kBlue},
                      RectCase{"SameColours", 2, 3, 9, 8, kBlack, kBlack},
                      RectCase{"CrossesEveryEdge", -3, -2, 20, 15, test::kRed, test::kBlue},
                      RectCase{"LeftEdgeOutside", -5, 2, 6, 7, test::kRed, test::kBlue},
                      RectCase{"Huge", -2000000000, -2000000000, 2000000000, 7, test::kRed,
                               test::kBlue}),
    [](const auto& row) { return std::string(row.param.name); });

// Even-odd membership of the pixel centre, decided per pixel by counting the edges crossed to
// its left: an independent restatement of the sampling rule (edge on a centre counts as left).
bool reference_inside(const std::vector<Point>& poly, std::int32_t x, std::int32_t y) {
  int crossings = 0;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    Point a = poly[i], b = poly[(i + 1) % poly.size()];
    if (a.y == b.y) continue;
    if (a.y > b.y) std::swap(a, b);
    if (!(a.y <= y && y < b.y)) continue;
    // crossing at a.x + (y + 1/2 - a.y) (b.x - a.x) / (b.y - a.y), compared with x + 1/2
    const std::int64_t lhs =
        2 * std::int64_t(a.x) * (b.y - a.y) + std::int64_t(2 * y + 1 - 2 * a.y) * (b.x - a.x);
    if (lhs <= std::int64_t(2 * x + 1) * (b.y - a.y)) ++crossings;
  }
  return crossings % 2 == 1;
}

struct InteriorCase {
  const char* name;
  std::vector<Point> points;
};

class InteriorTest : public ::testing::TestWithParam<InteriorCase> {};

TEST_P(InteriorTest, MatchesPerPixelReference) {
  const InteriorCase& c = GetParam();
  Surface s(24, 20, PixelFormat::Gray8, kWhite);
  raster::fill_polygon_even_odd(raster::raster_target(s), c.points, 0);
  for (std::int32_t y = 0; y < 20; ++y) {
    for (std::int32_t x = 0; x < 24; ++x) {
      ASSERT_EQ(s.pixel(x, y) == kBlack, reference_inside(c.points, x, y))
          << "at " << x << "," << y << "\n"
          << test::picture(s, kBlack);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, InteriorTest,
    ::testing::Values(InteriorCase{"Triangle", {{2, 1}, {20, 7}, {5, 18}}},
                      InteriorCase{"Concave", {{1, 1}, {22, 1}, {12, 9}, {22, 18}, {1, 18}}},
                      InteriorCase{"BowTie", {{1, 1}, {22, 18}, {22, 1}, {1, 18}}},
                      InteriorCase{"Pentagram", {{12, 0}, {19, 19}, {1, 7}, {23, 7}, {5, 19}}},
                      InteriorCase{"SteepSliver", {{10, -5}, {11, 30}, {12, -5}}},
                      InteriorCase{"TiltedSquare", {{3, 2}, {10, 3}, {9, 10}, {2, 9}}},
                      InteriorCase{"PartlyOutside", {{-7, 3}, {30, -4}, {15, 40}}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(InteriorTest, HugeTriangleCoversTheWholeSurface) {
  Surface s(8, 8, PixelFormat::Rgb32, kWhite);
  const Point poly[] = {{-2000000000, -2000000000}, {2000000000, -2000000000}, {0, 2000000000}};
  raster::fill_polygon_even_odd(raster::raster_target(s), poly, pixel_value(kBlack, s.format()));
  // Every edge passes about 10^9 pixels away from the surface.
  EXPECT_EQ(test::pixels_of(s, kBlack).size(), 64u);
}

}  // namespace
}  // namespace lumigrid
