#include "surface/raster/thin_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>

#include "surface/surface.h"
#include "surface_test_support.h"

namespace lumigrid {
namespace {

struct LineCase {
  const char* name;
  Point from, to;
};

class ThinLineTest : public ::testing::TestWithParam<LineCase> {};

// One pixel per step of the major axis, start painted and end not, 8-connected, and each pixel
// within half a pixel of the ideal line along the minor axis.
TEST_P(ThinLineTest, StepsFromStartToJustBeforeEnd) {
  const LineCase& c = GetParam();
  Surface s(24, 24, PixelFormat::Rgb32, kWhite);
  raster::stroke_thin_line(raster::raster_target(s), c.from, c.to, pixel_value(kBlack, s.format()));
  const std::int64_t dx = c.to.x - c.from.x, dy = c.to.y - c.from.y;
  const auto painted = test::pixels_of(s, kBlack);
  ASSERT_EQ(painted.size(), std::size_t(std::max(std::llabs(dx), std::llabs(dy))))
      << test::picture(s, kBlack);
  EXPECT_EQ(s.pixel(c.from.x, c.from.y), kBlack);
  EXPECT_NE(s.pixel(c.to.x, c.to.y), kBlack);
  EXPECT_TRUE(test::eight_connected(s, kBlack)) << test::picture(s, kBlack);
  const bool x_major = std::llabs(dx) >= std::llabs(dy);
  for (const Point p : painted) {
    const double t =
        x_major ? double(p.x - c.from.x) / double(dx) : double(p.y - c.from.y) / double(dy);
    const double ideal = x_major ? c.from.y + t * double(dy) : c.from.x + t * double(dx);
    EXPECT_LE(std::fabs((x_major ? p.y : p.x) - ideal), 0.5) << p.x << "," << p.y;
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, ThinLineTest,
                         ::testing::Values(LineCase{"Right", {2, 5}, {20, 5}},
                                           LineCase{"Left", {20, 5}, {2, 5}},
                                           LineCase{"Down", {7, 1}, {7, 22}},
                                           LineCase{"Up", {7, 22}, {7, 1}},
                                           LineCase{"Diagonal", {1, 1}, {21, 21}},
                                           LineCase{"AntiDiagonal", {21, 1}, {1, 21}},
                                           LineCase{"ShallowRight", {1, 3}, {22, 9}},
                                           LineCase{"ShallowLeftUp", {22, 9}, {1, 3}},
                                           LineCase{"SteepDown", {4, 1}, {9, 22}},
                                           LineCase{"SteepUpLeft", {9, 22}, {4, 1}},
                                           LineCase{"OneStep", {5, 5}, {6, 6}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ThinLineTest, ZeroLengthPaintsNothing) {
  Surface s(8, 8, PixelFormat::Rgb32, kWhite);
  raster::stroke_thin_line(raster::raster_target(s), {3, 3}, {3, 3}, 0);
  EXPECT_TRUE(test::pixels_of(s, kBlack).empty());
}

struct ClipCase {
  const char* name;
  Point from, to;
};

class ClippedLineTest : public ::testing::TestWithParam<ClipCase> {};

// A line drawn on a small surface must show exactly the part that the same line shows inside
// that window of a larger surface.
TEST_P(ClippedLineTest, SmallSurfaceShowsItsWindowOfTheLine) {
  const ClipCase& c = GetParam();
  constexpr std::int32_t kOffset = 40;
  Surface big(100, 100, PixelFormat::Rgb32, kWhite);
  Surface small(20, 16, PixelFormat::Rgb32, kWhite);
  raster::stroke_thin_line(raster::raster_target(big), {c.from.x + kOffset, c.from.y + kOffset},
                           {c.to.x + kOffset, c.to.y + kOffset}, pixel_value(kBlack, big.format()));
  raster::stroke_thin_line(raster::raster_target(small), c.from, c.to,
                           pixel_value(kBlack, small.format()));
  for (std::int32_t y = 0; y < 16; ++y) {
    for (std::int32_t x = 0; x < 20; ++x) {
      ASSERT_EQ(small.pixel(x, y), big.pixel(x + kOffset, y + kOffset))
          << "at " << x << "," << y << "\n"
          << test::picture(small, kBlack);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, ClippedLineTest,
                         ::testing::Values(ClipCase{"EntersLeft", {-30, -7}, {15, 12}},
                                           ClipCase{"LeavesRight", {3, 2}, {55, 14}},
                                           ClipCase{"LeavesTopSteep", {12, 15}, {-3, -38}},
                                           ClipCase{"CrossesCorner", {-25, 30}, {30, -25}},
                                           ClipCase{"PassesBy", {-30, 20}, {50, 18}},
                                           ClipCase{"StartsRightGoesLeft", {45, 3}, {-35, 13}}),
                         [](const auto& row) { return std::string(row.param.name); });

struct HugeCase {
  const char* name;
  Point from, to;
  std::size_t count;  // pixels expected on a 16 x 16 surface
};

class HugeLineTest : public ::testing::TestWithParam<HugeCase> {};

TEST_P(HugeLineTest, ClipsWithoutOverflow) {
  const HugeCase& c = GetParam();
  Surface s(16, 16, PixelFormat::Gray8, kWhite);
  raster::stroke_thin_line(raster::raster_target(s), c.from, c.to, 0);
  EXPECT_EQ(test::pixels_of(s, kBlack).size(), c.count) << test::picture(s, kBlack);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HugeLineTest,
    ::testing::Values(
        HugeCase{"HorizontalAcross", {-2000000000, 3}, {2000000000, 3}, 16},
        HugeCase{"VerticalExtremes", {5, INT32_MIN}, {5, INT32_MAX}, 16},
        HugeCase{"MainDiagonal", {-2000000000, -2000000000}, {2000000000, 2000000000}, 16},
        HugeCase{"ExtremeCorners", {INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, 16},
        HugeCase{"FarAway", {INT32_MIN, INT32_MAX}, {INT32_MIN + 5, INT32_MIN}, 0},
        HugeCase{"BackwardsAcross", {2000000000, 8}, {-2000000000, 8}, 16}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
