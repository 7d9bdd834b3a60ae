#include "page/drawing_area.h"

#include <gtest/gtest.h>

#include <string>

namespace lumigrid {
namespace {

struct AreaCase {
  const char* name;
  std::u16string text;
  std::int32_t dpi;
  AreaSize expected;
};

std::ostream& operator<<(std::ostream& os, const AreaCase& c) {
  return os << c.name;
}

class DrawingAreaSize : public ::testing::TestWithParam<AreaCase> {};

TEST_P(DrawingAreaSize, GivesTheSizeOfTheText) {
  const AreaCase& c = GetParam();
  const AreaSize size = drawing_area_size(std::u16string_view(c.text), c.dpi);
  EXPECT_EQ(size.width, c.expected.width);
  EXPECT_EQ(size.height, c.expected.height);
}

const std::u16string kBlanks97(97, u' ');

INSTANTIATE_TEST_SUITE_P(
    ListRows, DrawingAreaSize,
    ::testing::Values(
        AreaCase{"qHD", u"qHD 960x540", 600, {960, 540}},
        AreaCase{"HD", u"HD 1280x720", 600, {1280, 720}},
        AreaCase{"FHD", u"FHD 1920x1080", 600, {1920, 1080}},
        AreaCase{"QHD", u"QHD 2560x1080", 600, {2560, 1080}},
        AreaCase{"UHD4K", u"4K UHD 3840\u00D72160", 600, {3840, 2160}},
        AreaCase{"UHD8K", u"8K UHD 7680\u00D74320", 600, {7680, 4320}},
        AreaCase{"K16", u"16K 15360*8640", 600, {15360, 8640}},
        AreaCase{"K24", u"24K 23040*4320", 600, {23040, 12960}},
        AreaCase{"K32", u"32K not working", 600, {30720, 17280}},
        AreaCase{"A4", u"A4 600 dpi 7016x4961", 600, {7016, 4961}},
        AreaCase{"A3", u"A3 600 dpi 9921x7016", 600, {9921, 7016}},
        AreaCase{"A2", u"A2 600 dpi 14032x9921", 600, {14031, 9921}},
        AreaCase{"A1", u"A1 600 dpi  19866x14031", 600, {19866, 14031}},
        AreaCase{"A0", u"A0 not working", 600, {28087, 19866}},
        AreaCase{"B4", u"B4 ", 600, {8598, 6071}}, AreaCase{"B3", u"B3", 600, {11811, 8339}},
        AreaCase{"B2", u"B2", 600, {16701, 11811}}, AreaCase{"B1", u"B1", 600, {23622, 16701}},
        AreaCase{"B0", u"B0", 600, {33402, 23622}}, AreaCase{"EmptyRow", u"", 600, {1920, 1080}},
        AreaCase{"Prompt", u"Create a Drawing Area", 600, {1920, 1080}}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, DrawingAreaSize,
    ::testing::Values(
        AreaCase{"Typed800x600", u"800x600", 600, {800, 600}},
        AreaCase{"Typed10x5", u"10x5", 600, {10, 5}}, AreaCase{"Typing8", u"8", 600, {1920, 1080}},
        AreaCase{"Typing80", u"80", 600, {1920, 1080}},
        AreaCase{"Typing800x", u"800x", 600, {1920, 1080}},
        AreaCase{"Typing800x6", u"800x6", 600, {800, 6}},
        AreaCase{"Typing800x60", u"800x60", 600, {800, 60}},
        AreaCase{"XAtPosition2", u"5x5", 600, {1920, 1080}},
        AreaCase{"BlanksAroundX", u"800 x 600", 600, {1920, 1080}},
        AreaCase{"UpperCaseX", u"1024X768", 600, {1920, 1080}},
        AreaCase{"MultiplicationSign", u"800\u00D7600", 600, {1920, 1080}},
        AreaCase{"HexPrefixAtPosition2", u"0x600", 600, {1920, 1080}},
        AreaCase{"LeftZero", u"00x600", 600, {1920, 1080}},
        AreaCase{"NumbersThenPaperKey", u"640x480 B5", 600, {5906, 4157}},
        AreaCase{"K12Through2K", u"12K", 600, {1920, 1080}},
        AreaCase{"K64Through4K", u"64K", 600, {3840, 2160}},
        AreaCase{"A10IsA1", u"A10", 600, {19866, 14031}},
        AreaCase{"NumbersAndKeyAgree", u"3840x2160", 600, {3840, 2160}},
        AreaCase{"A4At300Dpi", u"A4", 300, {3508, 2480}}, AreaCase{"A5", u"A5", 600, {4961, 3496}},
        AreaCase{"B5", u"B5", 600, {5906, 4157}},
        AreaCase{"LowerCaseKeyDiffers", u"fhd", 600, {1920, 1080}},
        AreaCase{"HexParts", u"$20x$10", 600, {32, 16}},
        AreaCase{"LeadingBlanksAndSign", u"  80x+60", 600, {80, 60}},
        AreaCase{"NegativeRight", u"80x-60", 600, {1920, 1080}},
        AreaCase{"RightBeyond32Bits", u"80x2147483648", 600, {1920, 1080}},
        AreaCase{"Right32BitMaximum", u"80x2147483647", 600, {80, 2147483647}},
        AreaCase{"RightPartOf100Characters", u"80x" + kBlanks97 + u"600", 600, {80, 600}},
        AreaCase{"RightPartCutAt100Characters", u"80x " + kBlanks97 + u"600", 600, {80, 60}},
        AreaCase{"FullWidthDigit",
                 u"\uFF18"
                 u"0x60",
                 600,
                 {1920, 1080}},
        AreaCase{"PaperAtDpi0", u"A4", 0, {1920, 1080}},
        AreaCase{"PaperAtHugeDpiSaturates", u"A0", 2147483647, {2147483647, 2147483647}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DrawingAreaSizeUtf8, ReadsTheSameTextAsUtf16) {
  EXPECT_EQ(drawing_area_size(std::string_view("4K UHD 3840\xC3\x97"
                                               "2160"),
                              600),
            (AreaSize{3840, 2160}));
  EXPECT_EQ(drawing_area_size(std::string_view("640x480 B5"), 600), (AreaSize{5906, 4157}));
}

}  // namespace
}  // namespace lumigrid
