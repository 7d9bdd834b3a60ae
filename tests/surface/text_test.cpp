#include <gtest/gtest.h>

#include <climits>

#include "surface/raster/glyphs.h"
#include "surface/surface.h"
#include "surface_test_support.h"

namespace lumigrid {
namespace {

struct HeightCase {
  const char* name;
  std::int32_t points, ppi, pixels;
};

class TextHeightTest : public ::testing::TestWithParam<HeightCase> {};

TEST_P(TextHeightTest, PointsToPixels) {
  const HeightCase& c = GetParam();
  EXPECT_EQ(raster::text_pixel_height(c.points, c.ppi), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TextHeightTest,
    ::testing::Values(
        HeightCase{"DefaultSize", 0, 96, 11}, HeightCase{"Fourteen", 14, 96, 19},
        HeightCase{"PageCaptionA4", 49, 96, 65}, HeightCase{"HalfRoundsToEven", 3, 60, 2},
        HeightCase{"HalfRoundsUpToEven", 9, 60, 8}, HeightCase{"HighResolution", 10, 144, 20},
        HeightCase{"NegativeTakesMagnitude", -14, 96, 19}, HeightCase{"TinyIsOnePixel", 1, 10, 1},
        HeightCase{"RunawayIsLimited", INT32_MAX, 96, raster::kMaxTextPixelHeight}),
    [](const auto& row) { return std::string(row.param.name); });

class TextOutTest : public ::testing::TestWithParam<PixelFormat> {};

// An opaque cell of the brush colour at (x, y), glyph pixels in the font colour, nothing else:
// no grey levels and no pixel of the cell left as it was.
TEST_P(TextOutTest, OpaqueCellAndMonochromeGlyphs) {
  ASSERT_TRUE(raster::GlyphCache::shared().hasFont()) << "DejaVu Sans is not installed";
  const PixelFormat format = GetParam();
  Surface s(120, 40, format, kBlack);
  s.setBrushColour(kWhite);
  s.setFontColour(kBlack);
  s.setFontSize(14);
  s.TextOut(3, 4, "Hg 255");
  const auto cell = raster::GlyphCache::shared().measure("Hg 255", 19);
  ASSERT_GT(cell.width, 20);
  ASSERT_GE(cell.height, 19);
  std::size_t glyph_pixels = 0;
  for (std::int32_t y = 0; y < 40; ++y) {
    for (std::int32_t x = 0; x < 120; ++x) {
      const Colour p = s.pixel(x, y);
      ASSERT_TRUE(p == kBlack || p == kWhite) << std::hex << p;
      const bool in_cell = x >= 3 && x < 3 + cell.width && y >= 4 && y < 4 + cell.height;
      if (!in_cell) {
        EXPECT_EQ(p, kBlack) << x << "," << y;
      } else if (p == kBlack) {
        ++glyph_pixels;
      }
    }
  }
  EXPECT_GT(glyph_pixels, 30u);
  // The first column and the top row of the cell are background.
  EXPECT_EQ(s.pixel(3, 4), kWhite);
}

INSTANTIATE_TEST_SUITE_P(Formats, TextOutTest,
                         ::testing::Values(PixelFormat::Rgb32, PixelFormat::Gray8),
                         [](const auto& row) {
                           return row.param == PixelFormat::Rgb32 ? "Rgb32" : "Gray8";
                         });

TEST(TextOutTest, GlyphsInFontColourOnBrushColour) {
  Surface s(80, 30, PixelFormat::Rgb32, test::kGreen);
  s.setBrushColour(test::kBlue);
  s.setFontColour(test::kRed);
  s.TextOut(1, 1, "Wm");
  EXPECT_FALSE(test::pixels_of(s, test::kRed).empty());
  EXPECT_EQ(s.pixel(1, 1), test::kBlue);
  const auto allowed = [](Colour p) {
    return p != test::kGreen && p != test::kBlue && p != test::kRed;
  };
  EXPECT_TRUE(test::pixels_where(s, allowed).empty());
}

TEST(TextOutTest, DefaultSizeIsEightPoints) {
  auto& cache = raster::GlyphCache::shared();
  Surface a(100, 30, PixelFormat::Rgb32, test::kGreen);
  Surface b(100, 30, PixelFormat::Rgb32, test::kGreen);
  a.setFontSize(0);
  b.setFontSize(8);
  a.TextOut(0, 0, "Size");
  b.TextOut(0, 0, "Size");
  const auto cell = cache.measure("Size", 11);
  EXPECT_EQ(test::bounding_box(a, kWhite), test::bounding_box(b, kWhite));
  EXPECT_EQ(test::bounding_box(a, kWhite),
            (test::Box{0, 0, std::int32_t(cell.width) - 1, std::int32_t(cell.height) - 1}));
}

TEST(TextOutTest, WithoutFontPaintsTheCellOnly) {
  raster::GlyphCache no_font("");
  EXPECT_FALSE(no_font.hasFont());
  Surface s(40, 20, PixelFormat::Rgb32, test::kGreen);
  no_font.draw(raster::raster_target(s), 2, 3, "abc", 10,
               {0, pixel_value(test::kBlue, s.format())});
  // Three characters of half the height each, one line of the height.
  EXPECT_EQ(test::bounding_box(s, test::kBlue), (test::Box{2, 3, 16, 12}));
  EXPECT_EQ(test::pixels_of(s, test::kBlue).size(), 150u);
}

struct PlacementCase {
  const char* name;
  std::int32_t x, y;
};

class TextPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(TextPlacementTest, AnywhereIsSafe) {
  const PlacementCase& c = GetParam();
  Surface s(30, 20, PixelFormat::Gray8, kBlack);
  s.setBrushColour(kWhite);
  s.setFontSize(20);
  s.TextOut(c.x, c.y, "clip me \xE2\x82\xAC \xFF");
  const auto grey = [](Colour p) { return p != kBlack && p != kWhite; };
  EXPECT_TRUE(test::pixels_where(s, grey).empty());
}

INSTANTIATE_TEST_SUITE_P(Points, TextPlacementTest,
                         ::testing::Values(PlacementCase{"Inside", 2, 2},
                                           PlacementCase{"AboveLeft", -15, -10},
                                           PlacementCase{"BelowRight", 25, 18},
                                           PlacementCase{"FarNegative", INT32_MIN, INT32_MIN},
                                           PlacementCase{"FarPositive", INT32_MAX, INT32_MAX}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
