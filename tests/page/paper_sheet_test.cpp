// A pattern's sheet: the papers by name, their size at the sheet resolutions, and the strip
// whose bars a ruler checks.
#include "page/paper_sheet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "surface/surface.h"

namespace lumigrid {
namespace {

struct SheetSizeCase {
  const char* row;
  const char* name;
  std::int32_t dpi;
  std::int32_t width;  // 0: no such paper
  std::int32_t height;
};

const SheetSizeCase kSheetSizes[] = {
    {"A4_300", "A4", 300, 2480, 3508},
    {"A4_600_as_the_drawing_area", "A4", 600, 4961, 7016},
    {"a4_lower_case", "a4", 300, 2480, 3508},
    {"A0_600", "A0", 600, 19866, 28087},
    {"B4_is_JIS", "B4", 300, 3035, 4299},
    {"B0_600", "B0", 600, 23622, 33402},
    {"Letter_600", "Letter", 600, 5100, 6600},
    {"LEGAL_300", "LEGAL", 300, 2550, 4200},
    {"Tabloid_300", "tabloid", 300, 3300, 5100},
    {"A6_is_none", "A6", 300, 0, 0},
    {"drawing_area_text_is_none", "A4 600 dpi 7016x4961", 600, 0, 0},
    {"empty_is_none", "", 300, 0, 0},
    {"longer_name_is_none", "Letters", 300, 0, 0},
};

class SheetSize : public ::testing::TestWithParam<SheetSizeCase> {};

TEST_P(SheetSize, PortraitWholePaperAtTheResolution) {
  const SheetSizeCase& c = GetParam();
  const std::optional<PaperSize> paper = sheet_paper(c.name);
  ASSERT_EQ(paper.has_value(), c.width != 0);
  if (!paper) return;
  EXPECT_EQ(sheet_size(*paper, c.dpi), (AreaSize{c.width, c.height}));
}

INSTANTIATE_TEST_SUITE_P(Papers, SheetSize, ::testing::ValuesIn(kSheetSizes),
                         [](const auto& row) { return std::string(row.param.row); });

// The strip on an A5 sheet at 300 dpi filled with a colour: the bars are exactly 100 mm.
class SheetStrip : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(SheetStrip, BarsAreOneHundredMillimetresAndToolsAreKept) {
  const std::int32_t dpi = GetParam();
  const AreaSize size = sheet_size(*sheet_paper("A5"), dpi);
  Surface sheet(size.width, size.height, PixelFormat::Rgb32, 0x3050C0);
  sheet.setPixelsPerInch(96);
  sheet.setBrushColour(0x123456);
  sheet.setFontSize(14);
  sheet.setFontColour(0xABCDEF);
  draw_sheet_strip(sheet, dpi, "lumigrid 1.0.0.0: pattern 6 on A5 at 300 dpi");

  const std::int32_t bar = sheet_pixels(100, dpi);
  const std::int32_t band_top = size.height - sheet_pixels(kStripMillimetres, dpi);
  // Across: a row through the bar, black for exactly 100 mm from 5 mm in.
  const std::int32_t across_y = band_top + sheet_pixels(7, dpi);
  const std::int32_t left = sheet_pixels(5, dpi);
  std::int32_t black = 0;
  for (std::int32_t x = 0; x < size.width; ++x) black += sheet.pixel(x, across_y) == kBlack;
  EXPECT_EQ(black, bar);
  EXPECT_EQ(sheet.pixel(left, across_y), kBlack);
  EXPECT_EQ(sheet.pixel(left - 1, across_y), kWhite);
  // Down: a column through the bar, black for exactly 100 mm, ending at the band.
  const std::int32_t down_x = size.width - sheet_pixels(5.5, dpi);
  std::int32_t down = 0;
  for (std::int32_t y = 0; y < size.height; ++y) down += sheet.pixel(down_x, y) == kBlack;
  EXPECT_EQ(down, bar);
  EXPECT_EQ(sheet.pixel(down_x, band_top - 1), kBlack);
  EXPECT_EQ(sheet.pixel(down_x, band_top), kWhite);
  // The pattern above the strip is left alone.
  EXPECT_EQ(sheet.pixel(size.width / 2, size.height / 2), Colour(0x3050C0));
  // The next drawing finds the canvas as the patterns left it.
  EXPECT_EQ(sheet.pixelsPerInch(), 96);
  EXPECT_EQ(sheet.tools().brush_colour, Colour(0x123456));
  EXPECT_EQ(sheet.tools().font_size_points, 14);
  EXPECT_EQ(sheet.tools().font_colour, Colour(0xABCDEF));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, SheetStrip, ::testing::Values(300, 600),
                         [](const auto& row) { return std::to_string(row.param) + "_dpi"; });

TEST(SheetStripLine, SaysWhatWasPrinted) {
  const SheetStripText text{"6", "A4", 600, "sRGB", "2026-12-11 14:20 UTC", "1.4.0.0"};
  EXPECT_EQ(
      sheet_strip_line(text),
      "lumigrid 1.4.0.0: pattern 6 on A4 at 600 dpi, sRGB, 2026-12-11 14:20 UTC; bars 100 mm");
}

}  // namespace
}  // namespace lumigrid
