#include "page/page_print.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "base/errors.h"
#include "page/drawing_area.h"

namespace lumigrid {
namespace {

// --- the paper a drawing area names ------------------------------------------------------------

struct PaperCase {
  const char* name;
  std::u16string text;
  std::optional<std::u16string_view> paper;  // nothing: the printer's own paper
  double long_mm;
  double short_mm;
};

std::ostream& operator<<(std::ostream& os, const PaperCase& c) {
  return os << c.name;
}

class DrawingAreaPaper : public ::testing::TestWithParam<PaperCase> {};

TEST_P(DrawingAreaPaper, IsThePaperThatSizesThePage) {
  const PaperCase& c = GetParam();
  const auto paper = drawing_area_paper(c.text);
  ASSERT_EQ(paper.has_value(), c.paper.has_value());
  if (!paper) return;
  EXPECT_EQ(paper->name, *c.paper);
  EXPECT_EQ(paper->long_mm, c.long_mm);
  EXPECT_EQ(paper->short_mm, c.short_mm);
  // The page built for the text is this paper at 600 dpi, landscape.
  const AreaSize size = drawing_area_size(std::u16string_view(c.text), 600);
  EXPECT_EQ(size.width, std::lround(c.long_mm / 25.4 * 600));
  EXPECT_EQ(size.height, std::lround(c.short_mm / 25.4 * 600));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrawingAreaPaper,
    ::testing::Values(PaperCase{"A5", u"A5", u"A5", 210, 148},
                      PaperCase{"A4Row", u"A4 600 dpi 7016x4961", u"A4", 297, 210},
                      PaperCase{"A0", u"A0 not working", u"A0", 1189, 841},
                      PaperCase{"B5", u"B5", u"B5", 250, 176},
                      // B4 is the JIS size, not ISO's 353 x 250 mm.
                      PaperCase{"B4IsJis", u"B4 ", u"B4", 364, 257},
                      PaperCase{"B0", u"B0", u"B0", 1414, 1000},
                      PaperCase{"NumbersThenPaperKey", u"640x480 B5", u"B5", 250, 176},
                      PaperCase{"A10IsA1", u"A10", u"A1", 841, 594},
                      // The list's order decides between two keys, not the text's.
                      PaperCase{"LastKeyOfTheList", u"B0 A4", u"B0", 1414, 1000},
                      PaperCase{"DisplayFormat", u"FHD 1920x1080", std::nullopt, 0, 0},
                      PaperCase{"TypedSize", u"800x600", std::nullopt, 0, 0},
                      PaperCase{"LowerCaseKey", u"a4", std::nullopt, 0, 0},
                      PaperCase{"Empty", u"", std::nullopt, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

// --- orientation and scale ---------------------------------------------------------------------

struct OrientationCase {
  const char* name;
  std::int32_t width, height;
  PageOrientation expected;
};

class PageOrientationOf : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(PageOrientationOf, FollowsTheAspect) {
  const OrientationCase& c = GetParam();
  EXPECT_EQ(page_orientation(c.width, c.height), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageOrientationOf,
    ::testing::Values(OrientationCase{"A4", 7016, 4961, PageOrientation::Landscape},
                      OrientationCase{"Wide", 600, 400, PageOrientation::Landscape},
                      OrientationCase{"Tall", 400, 600, PageOrientation::Portrait},
                      OrientationCase{"Square", 500, 500, PageOrientation::Portrait}),
    [](const auto& row) { return std::string(row.param.name); });

struct ScaleCase {
  const char* name;
  double device_dpi;
  double units_per_pixel;
};

class DeviceUnitsPerPagePixel : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(DeviceUnitsPerPagePixel, MakesAPixelA600thOfAnInch) {
  EXPECT_DOUBLE_EQ(device_units_per_page_pixel(GetParam().device_dpi), GetParam().units_per_pixel);
}

INSTANTIATE_TEST_SUITE_P(Devices, DeviceUnitsPerPagePixel,
                         ::testing::Values(ScaleCase{"At600", 600, 1}, ScaleCase{"At1200", 1200, 2},
                                           ScaleCase{"At300", 300, 0.5},
                                           ScaleCase{"Points", 72, 0.12}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DeviceUnitsPerPagePixel, DeviceWithoutUnitsIsAnError) {
  EXPECT_THROW(device_units_per_page_pixel(0), DivisionByZeroError);
  EXPECT_THROW(device_units_per_page_pixel(-600), DivisionByZeroError);
}

// --- fits or not -------------------------------------------------------------------------------

constexpr double kA4LongInches = 297 / 25.4;
constexpr double kA4ShortInches = 210 / 25.4;

struct FitCase {
  const char* name;
  std::int32_t width, height;
  double printable_width_inches, printable_height_inches;
  bool fits;
  const char* question;  // asked when it does not fit
};

class PageFits : public ::testing::TestWithParam<FitCase> {};

TEST_P(PageFits, ComparesThePageWithThePrintableArea) {
  const FitCase& c = GetParam();
  EXPECT_EQ(page_fits_printable_area(c.width, c.height, c.printable_width_inches,
                                     c.printable_height_inches),
            c.fits);
  if (!c.fits) {
    EXPECT_EQ(page_overflow_question(c.width, c.height, c.printable_width_inches,
                                     c.printable_height_inches),
              c.question);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Papers, PageFits,
    ::testing::Values(
        // 7016 pixels are 297.01 mm: the rounding of the paper's side, not an overflow.
        FitCase{"A4OnWholeA4", 7016, 4961, kA4LongInches, kA4ShortInches, true, ""},
        FitCase{"ExactInches", 600, 400, 1.0, 400 / 600.0, true, ""},
        FitCase{"HalfAPixelOver", 601, 400, 600.5 / 600, 1.0, true, ""},
        FitCase{"OnePixelOver", 601, 400, 1.0, 1.0, false,
                "The page (25.4 x 16.9 mm) is larger than the printable area of the paper "
                "(25.4 x 25.4 mm). Printed at 100 %, its right edge is cut off. Print anyway?"},
        FitCase{"A4InsideMargins", 7016, 4961, (297 - 10) / 25.4, (210 - 10) / 25.4, false,
                "The page (297.0 x 210.0 mm) is larger than the printable area of the paper "
                "(287.0 x 200.0 mm). Printed at 100 %, its right and bottom edges are cut off. "
                "Print anyway?"},
        FitCase{"LandscapePageOnPortraitPaper", 7016, 4961, kA4ShortInches, kA4LongInches, false,
                "The page (297.0 x 210.0 mm) is larger than the printable area of the paper "
                "(210.0 x 297.0 mm). Printed at 100 %, its right edge is cut off. Print anyway?"},
        FitCase{"TooTall", 400, 700, 1.0, 1.0, false,
                "The page (16.9 x 29.6 mm) is larger than the printable area of the paper "
                "(25.4 x 25.4 mm). Printed at 100 %, its bottom edge is cut off. Print anyway?"},
        FitCase{"NoPrintableArea", 1, 1, 0, 0, false,
                "The page (0.0 x 0.0 mm) is larger than the printable area of the paper "
                "(0.0 x 0.0 mm). Printed at 100 %, its right and bottom edges are cut off. "
                "Print anyway?"}),
    [](const auto& row) { return std::string(row.param.name); });

// --- bands -------------------------------------------------------------------------------------

struct BandCase {
  const char* name;
  std::int32_t width, height;
  std::uint64_t band_bytes;
  double units_per_pixel;
  std::vector<PrintBand> expected;
};

class PrintBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(PrintBands, CoverThePageRowByRow) {
  const BandCase& c = GetParam();
  EXPECT_EQ(print_bands(c.width, c.height, c.band_bytes, c.units_per_pixel), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PrintBands,
    ::testing::Values(
        BandCase{"LastBandShort",
                 100,
                 10,
                 300,
                 2,
                 {{0, 3, 0, 6}, {3, 3, 6, 6}, {6, 3, 12, 6}, {9, 1, 18, 2}}},
        BandCase{"RowWiderThanABand", 1000, 2, 10, 0.5, {{0, 1, 0, 0.5}, {1, 1, 0.5, 0.5}}},
        BandCase{"WholePageInOne", 600, 400, 1 << 20, 1, {{0, 400, 0, 400}}},
        BandCase{"EmptyPage", 0, 400, 1 << 20, 1, {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PrintBands, B0PageStaysWithinTheBandSize) {
  constexpr std::int32_t kWidth = 33402, kHeight = 23622;
  constexpr std::uint64_t kBandBytes = 8 << 20;
  const auto bands = print_bands(kWidth, kHeight, kBandBytes, 2);
  std::int32_t next_row = 0;
  for (const PrintBand& band : bands) {
    ASSERT_EQ(band.first_row, next_row);
    EXPECT_LE(std::uint64_t(band.rows) * kWidth, kBandBytes);
    EXPECT_EQ(band.device_top, 2.0 * band.first_row);
    next_row += band.rows;
  }
  EXPECT_EQ(next_row, kHeight);
}

}  // namespace
}  // namespace lumigrid
