#include <gtest/gtest.h>

#include <climits>

#include "surface/surface.h"
#include "surface_test_support.h"

namespace lumigrid {
namespace {

using test::Box;

struct FillRectCase {
  const char* name;
  std::int32_t left, top, right, bottom;
  Box painted;  // empty box: nothing painted
  std::size_t count;
};

class FillRectTest : public ::testing::TestWithParam<FillRectCase> {};

TEST_P(FillRectTest, PaintsTheHalfOpenRectangleClipped) {
  const FillRectCase& c = GetParam();
  for (PixelFormat format : {PixelFormat::Rgb32, PixelFormat::Gray8}) {
    Surface s(8, 6, format, kWhite);
    s.setBrushColour(kBlack);
    s.FillRect(c.left, c.top, c.right, c.bottom);
    EXPECT_EQ(test::bounding_box(s, kBlack), c.painted) << test::picture(s, kBlack);
    EXPECT_EQ(test::pixels_of(s, kBlack).size(), c.count);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, FillRectTest,
    ::testing::Values(
        FillRectCase{"WholeSurface", 0, 0, 8, 6, {0, 0, 7, 5}, 48},
        FillRectCase{"ZeroWidth", 0, 0, 0, 6, {}, 0},
        FillRectCase{"RightAndBottomExcluded", 2, 1, 5, 3, {2, 1, 4, 2}, 6},
        FillRectCase{"OnePixel", 3, 3, 4, 4, {3, 3, 3, 3}, 1},
        FillRectCase{"ReversedIsEmpty", 5, 3, 2, 1, {}, 0},
        FillRectCase{"PartlyOutside", -3, -2, 2, 2, {0, 0, 1, 1}, 4},
        FillRectCase{"WhollyOutside", 9, 0, 12, 6, {}, 0},
        FillRectCase{
            "ExtremeCoordinates", INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, {0, 0, 7, 5}, 48}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FillRectTest, UsesTheBrushNotThePen) {
  Surface s(4, 4, PixelFormat::Rgb32, kWhite);
  s.setPenColour(test::kRed);
  s.setBrushColour(test::kBlue);
  s.setPenWidth(3);
  s.FillRect(0, 0, 4, 4);
  EXPECT_EQ(test::pixels_of(s, test::kBlue).size(), 16u);
}

// An empty surface owns no memory: filling, painting on it and growing or shrinking through it
// must not hand a null pointer to the memory routines.
TEST(EmptySurfaceTest, FillsPaintsAndResizesThroughZeroSize) {
  for (PixelFormat format : {PixelFormat::Rgb32, PixelFormat::Gray8}) {
    Surface s(0, 5, format, kBlack);
    s.FillRect(0, 0, 10, 10);
    s.Ellipse(-2, -2, 4, 4);
    s.resize(3, 2, kBlack);
    EXPECT_EQ(test::pixels_of(s, kBlack).size(), 6u);
    s.resize(3, 0);
    s.fill(kWhite);
    s.resize(2, 2, kWhite);
    EXPECT_EQ(s.pixel(1, 1), kWhite);
  }
}

}  // namespace
}  // namespace lumigrid
