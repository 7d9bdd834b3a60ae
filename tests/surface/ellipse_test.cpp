#include <gtest/gtest.h>

#include <climits>

#include "surface/raster/ellipse_raster.h"
#include "surface/surface.h"
#include "surface_test_support.h"

namespace lumigrid {
namespace {

using test::Box;

struct ThinCase {
  const char* name;
  std::int32_t x1, y1, x2, y2;
  Box extent;  // pen and brush pixels together
};

class ThinEllipseTest : public ::testing::TestWithParam<ThinCase> {};

// With a one-pixel pen the shape stays inside its box (right and bottom excluded), the outline
// is 8-connected and separates the brush from the outside, and widths 0 and 1 agree.
TEST_P(ThinEllipseTest, OutlineInsideBoxAroundBrush) {
  const ThinCase& c = GetParam();
  Surface reference(32, 24, PixelFormat::Rgb32, test::kGreen);
  for (std::int32_t pen_width : {1, 0}) {
    Surface s(32, 24, PixelFormat::Rgb32, test::kGreen);
    s.setPenColour(test::kRed);
    s.setBrushColour(test::kBlue);
    s.setPenWidth(pen_width);
    s.Ellipse(c.x1, c.y1, c.x2, c.y2);
    const Box drawn = test::bounding_box(s, test::kRed);
    EXPECT_EQ(drawn, c.extent) << test::picture(s, test::kRed);
    EXPECT_TRUE(test::eight_connected(s, test::kRed)) << test::picture(s, test::kRed);
    // No brush pixel touches the outside: the outline encloses the interior.
    for (const Point p : test::pixels_of(s, test::kBlue)) {
      for (const Point d : {Point{1, 0}, Point{-1, 0}, Point{0, 1}, Point{0, -1}}) {
        EXPECT_NE(s.pixel(p.x + d.x, p.y + d.y), test::kGreen) << p.x << "," << p.y;
      }
    }
    if (pen_width == 1) {
      reference = std::move(s);
    } else {
      for (std::int32_t y = 0; y < 24; ++y) {
        for (std::int32_t x = 0; x < 32; ++x) ASSERT_EQ(s.pixel(x, y), reference.pixel(x, y));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Boxes, ThinEllipseTest,
                         ::testing::Values(ThinCase{"Circle10", 10, 10, 20, 20, {10, 10, 19, 19}},
                                           ThinCase{"Reversed", 20, 20, 10, 10, {10, 10, 19, 19}},
                                           ThinCase{"WideFlat", 2, 5, 30, 12, {2, 5, 29, 11}},
                                           ThinCase{"TallNarrow", 4, 1, 9, 23, {4, 1, 8, 22}},
                                           ThinCase{"OddCircle", 3, 3, 14, 14, {3, 3, 13, 13}},
                                           ThinCase{"OnePixel", 6, 7, 7, 8, {6, 7, 6, 7}},
                                           ThinCase{"TwoByTwo", 6, 7, 8, 9, {6, 7, 7, 8}},
                                           ThinCase{"EmptyBox", 6, 7, 6, 12, {}},
                                           ThinCase{"VeryFlat", 1, 4, 31, 6, {1, 4, 30, 5}},
                                           ThinCase{"VeryTall", 5, 0, 7, 23, {5, 0, 6, 22}},
                                           ThinCase{"OneRow", 2, 9, 29, 10, {2, 9, 28, 9}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ThinEllipseTest, InteriorReplacesWhatWasThere) {
  Surface s(20, 20, PixelFormat::Rgb32, test::kGreen);
  s.setBrushColour(kWhite);
  s.Ellipse(2, 2, 18, 18);
  EXPECT_EQ(s.pixel(10, 10), kWhite);
  EXPECT_EQ(s.pixel(3, 10), kWhite);
  EXPECT_EQ(s.pixel(2, 10), kBlack);
  EXPECT_EQ(s.pixel(1, 10), test::kGreen);
}

struct ClipCase {
  const char* name;
  std::int32_t x1, y1, x2, y2;
  std::size_t red, blue;  // pen and brush pixels on a 16 x 16 surface
};

class ClippedEllipseTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClippedEllipseTest, PaintsOnlyTheVisiblePart) {
  const ClipCase& c = GetParam();
  Surface s(16, 16, PixelFormat::Rgb32, test::kGreen);
  s.setPenColour(test::kRed);
  s.setBrushColour(test::kBlue);
  s.Ellipse(c.x1, c.y1, c.x2, c.y2);
  EXPECT_EQ(test::pixels_of(s, test::kRed).size(), c.red) << test::picture(s, test::kRed);
  EXPECT_EQ(test::pixels_of(s, test::kBlue).size(), c.blue) << test::picture(s, test::kBlue);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ClippedEllipseTest,
                         ::testing::Values(ClipCase{"WhollyOutside", 20, 20, 40, 40, 0, 0},
                                           ClipCase{"CoversSurface", -2000000000, -2000000000,
                                                    2000000000, 2000000000, 0, 256},
                                           ClipCase{"ExtremeBox", INT32_MIN, INT32_MIN, INT32_MAX,
                                                    INT32_MAX, 0, 256},
                                           // A circle of radius 10^9 whose top touches row 0 at x =
                                           // 8: the outline crosses the surface along its top row.
                                           ClipCase{"HugeTouchingTop", 8 - 1000000000, 0,
                                                    8 + 1000000000, 2000000000, 16, 240}),
                         [](const auto& row) { return std::string(row.param.name); });

struct HugeWideCase {
  const char* name;
  std::int32_t x1, y1, x2, y2;
  std::size_t pen, brush;  // on a 16 x 16 surface with a pen 6 wide
};

class HugeWideEllipseTest : public ::testing::TestWithParam<HugeWideCase> {};

// Boxes whose grown ellipse passes 2^32 doubled units take the long double path.
TEST_P(HugeWideEllipseTest, ClipsWithoutOverflow) {
  const HugeWideCase& c = GetParam();
  Surface s(16, 16, PixelFormat::Gray8, test::kGreen);
  s.setPenWidth(6);
  s.setBrushColour(kWhite);
  s.Ellipse(c.x1, c.y1, c.x2, c.y2);
  EXPECT_EQ(test::pixels_of(s, kBlack).size(), c.pen) << test::picture(s, kBlack);
  EXPECT_EQ(test::pixels_of(s, kWhite).size(), c.brush) << test::picture(s, kWhite);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, HugeWideEllipseTest,
    ::testing::Values(
        HugeWideCase{"CoversSurface", INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 256},
        // The top of the curve runs along row 0: the band covers rows 0 to 2.
        HugeWideCase{"TopCrossesSurface", INT32_MIN, 0, INT32_MAX, INT32_MAX, 48, 208},
        HugeWideCase{"FarAway", INT32_MIN, INT32_MIN, INT32_MIN + 10, INT32_MIN + 10, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClippedEllipseTest, QuarterAtTheCornerMatchesTheWholeCircle) {
  Surface whole(40, 40, PixelFormat::Rgb32, test::kGreen);
  Surface corner(12, 12, PixelFormat::Rgb32, test::kGreen);
  for (Surface* s : {&whole, &corner}) {
    s->setPenColour(test::kRed);
    s->setBrushColour(test::kBlue);
    s->setPenWidth(3);
  }
  whole.Ellipse(8, 8, 32, 32);
  corner.Ellipse(-12, -12, 12, 12);
  for (std::int32_t y = 0; y < 12; ++y) {
    for (std::int32_t x = 0; x < 12; ++x) {
      ASSERT_EQ(corner.pixel(x, y), whole.pixel(x + 20, y + 20)) << x << "," << y;
    }
  }
}

struct RingCase {
  const char* name;
  std::int32_t radius, pen_width;
  std::int32_t band_first, band_last;  // band columns right of the centre on the centre row
};

class WideCircleTest : public ::testing::TestWithParam<RingCase> {};

// A wide pen paints a band w pixels across centred on the ideal circle (the box's edge line),
// with the brush inside it, in both pixel formats alike.
TEST_P(WideCircleTest, BandIsPenWidthCentredOnRadius) {
  const RingCase& c = GetParam();
  constexpr std::int32_t kCentre = 100;
  for (PixelFormat format : {PixelFormat::Rgb32, PixelFormat::Gray8}) {
    Surface s(200, 200, format, test::kGreen);
    s.setPenColour(kBlack);
    s.setBrushColour(kWhite);
    s.setPenWidth(c.pen_width);
    s.Ellipse(kCentre - c.radius, kCentre - c.radius, kCentre + c.radius, kCentre + c.radius);
    // Row kCentre and column kCentre are the nearest pixel centres below / right of the centre.
    for (std::int32_t d = 0; d < 100; ++d) {
      const bool band = d >= c.band_first && d <= c.band_last;
      const bool inside = d < c.band_first;
      const Colour expected = band ? kBlack : inside ? kWhite : s.pixel(0, 0);
      ASSERT_EQ(s.pixel(kCentre + d, kCentre), expected) << "right " << d;
      ASSERT_EQ(s.pixel(kCentre - 1 - d, kCentre), expected) << "left " << d;
      ASSERT_EQ(s.pixel(kCentre, kCentre + d), expected) << "down " << d;
      ASSERT_EQ(s.pixel(kCentre, kCentre - 1 - d), expected) << "up " << d;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rings, WideCircleTest,
                         ::testing::Values(RingCase{"R71W4", 71, 4, 69, 72},
                                           RingCase{"R71W3", 71, 3, 69, 71},
                                           RingCase{"R38W13", 38, 13, 31, 43},
                                           RingCase{"R5W2", 5, 2, 4, 5},
                                           RingCase{"R2W6", 2, 6, 0, 4}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(WideCircleTest, RingOutlineIsEightConnectedAndRound) {
  Surface s(100, 100, PixelFormat::Rgb32, kWhite);
  s.setPenWidth(4);
  s.Ellipse(20, 20, 80, 80);
  EXPECT_TRUE(test::eight_connected(s, kBlack));
  // Equal extent in all four directions.
  EXPECT_EQ(test::bounding_box(s, kBlack), (Box{18, 18, 81, 81}));
}

// Repeated rings reuse the spans of an earlier ring of the same size and pen; even
// and odd sizes, clipped edges and interleaved shapes must give exactly what computing each row
// gives.
TEST(WideRingTableTest, MatchesComputingEveryRow) {
  struct Ring {
    std::int32_t x1, y1, x2, y2, pen_width;
  };
  const Ring rings[] = {{10, 10, 24, 24, 4}, {31, 12, 46, 27, 4},  {-5, 40, 9, 54, 4},
                        {50, -3, 65, 11, 3}, {20, 50, 40, 66, 13}, {70, 70, 90, 90, 2},
                        {71, 20, 86, 35, 4}, {20, 51, 40, 67, 13}, {80, 80, 130, 130, 7},
                        {33, 33, 34, 34, 5}, {60, 40, 62, 47, 6}};
  auto paint = [&](bool table) {
    raster::set_ring_table_enabled(table);
    Surface s(100, 100, PixelFormat::Gray8, kWhite);
    for (int pass = 0; pass < 2; ++pass) {
      for (const Ring& r : rings) {
        s.setPenColour(pass == 0 ? kBlack : 0x808080);
        s.setBrushColour(pass == 0 ? kWhite : 0x404040);
        s.setPenWidth(r.pen_width);
        s.Ellipse(r.x1 + pass, r.y1 + pass, r.x2 + pass, r.y2 + pass);
      }
    }
    raster::set_ring_table_enabled(true);
    return s;
  };
  const std::uint64_t reuses_before = raster::ring_table_reuses();
  const Surface with_table = paint(true);
  // Four rings repeat an earlier size and pen; each must come from the table, or the comparison
  // below would hold a broken table against itself.
  EXPECT_GE(raster::ring_table_reuses() - reuses_before, 4u);
  const std::uint64_t reuses_with_table = raster::ring_table_reuses();
  const Surface every_row = paint(false);
  EXPECT_EQ(raster::ring_table_reuses(), reuses_with_table);
  for (std::int32_t y = 0; y < 100; ++y) {
    for (std::int32_t x = 0; x < 100; ++x) {
      ASSERT_EQ(with_table.pixel(x, y), every_row.pixel(x, y)) << x << "," << y;
    }
  }
}

struct HalfSpanCase {
  const char* name;
  std::uint64_t a, b;
};

class HalfSpanTest : public ::testing::TestWithParam<HalfSpanCase> {};

// Circles take a 64-bit shortcut and other ellipses a 128-bit one; both must find the same
// span end as a plain search over every candidate.
TEST_P(HalfSpanTest, MatchesExhaustiveSearch) {
  const HalfSpanCase& c = GetParam();
  for (std::uint64_t v = 0; v <= c.b; ++v) {
    for (int parity : {0, 1}) {
      for (bool strict : {false, true}) {
        std::int64_t expected = -1;
        for (std::uint64_t u = 0; u <= c.a; ++u) {
          if (int(u & 1) != parity) continue;
          const std::uint64_t lhs = u * u * c.b * c.b, rhs = c.a * c.a * (c.b * c.b - v * v);
          if (strict ? lhs < rhs : lhs <= rhs) expected = std::int64_t(u);
        }
        ASSERT_EQ(raster::ellipse_half_span(c.a, c.b, v, parity, strict), expected)
            << "v " << v << " parity " << parity << " strict " << strict;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Axes, HalfSpanTest,
    ::testing::Values(HalfSpanCase{"CircleOne", 1, 1}, HalfSpanCase{"CircleSeven", 7, 7},
                      HalfSpanCase{"Circle142", 142, 142}, HalfSpanCase{"Circle1001", 1001, 1001},
                      HalfSpanCase{"Flat", 90, 13}, HalfSpanCase{"Tall", 12, 150},
                      HalfSpanCase{"NearCircle", 300, 301}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
