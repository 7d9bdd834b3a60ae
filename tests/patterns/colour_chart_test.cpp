#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "base/errors.h"
#include "patterns/chart_painter.h"
#include "settings/ini_file.h"
#include "support/recording_canvas.h"
#include "support/temp_folder.h"
#include "surface/surface.h"

namespace lumigrid {
namespace {

using testing::CanvasCall;
using testing::closed;
using testing::RecordingCanvas;

constexpr Colour kDefaultPatch = 255 + 80 * 256 + 80 * 65536;

class ColourChart : public testing::TempFolder {
 protected:
  void writeSettings(const std::string& text) { testing::write_file(ini, text); }
  std::string settingsText() const { return testing::read_file(ini); }
  ChartPainter painter(char separator = '.') {
    return ChartPainter(canvas, state, ini,
                        {{}, [this](const std::string& line) { log.push_back(line); }}, separator);
  }

  std::filesystem::path ini = folder / "lumigrid.INI";
  RecordingCanvas canvas{832, 533};
  ChartState state;
  std::vector<std::string> log;
};

TEST_F(ColourChart, MissingFileCreatesTheDefaultSectionAndDrawsTheDefaultChart) {
  painter().image_Pattern(1);
  EXPECT_EQ(settingsText(), "[Dynamic Range]\ncolor X=6\ncolor Y=4\nborder=0.1\n");

  ASSERT_EQ(canvas.calls.front().kind, CanvasCall::Kind::FillRect);
  EXPECT_EQ(canvas.calls.front().tools.brush_colour, kBlack);
  const auto blocks = canvas.polygons();
  ASSERT_EQ(blocks.size(), 24u);
  // w0 138, b 13, cw 136, ch 130
  EXPECT_EQ(blocks[0].points, closed({13, 13}, {136, 13}, {136, 130}, {13, 130}));
  EXPECT_EQ(blocks[23].points, closed({693, 403}, {816, 403}, {816, 520}, {693, 520}));
  for (const auto& b : blocks) {
    EXPECT_EQ(b.tools.brush_colour, kDefaultPatch);
    EXPECT_EQ(b.tools.pen_colour, kDefaultPatch);
    EXPECT_EQ(b.tools.pen_width, 0);
    EXPECT_EQ(b.tools.font_size_points, 14);
  }
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(state.latest_cnt, 0);
  EXPECT_EQ(state.current_pattern, 1);
}

TEST_F(ColourChart, SectionsAreSteppedInFileOrderThroughOneIndex) {
  writeSettings("[Dynamic Range A]\n1_R=1\n[color checker]\n1_R=2\n[Dynamic Range B]\n1_R=3\n");
  auto p = painter();
  std::vector<Colour> shown;
  for (int pattern : {1, 1, 6, 1}) {
    canvas.calls.clear();
    p.image_Pattern(pattern);
    shown.push_back(canvas.polygons().front().tools.brush_colour & 0xFF);
  }
  EXPECT_EQ(shown, (std::vector<Colour>{1, 3, 2, 3}));
  EXPECT_EQ(log, (std::vector<std::string>{"Dynamic Range A", "latest cnt=1", "Dynamic Range B",
                                           "latest cnt=3", "latest cnt=0", "color checker",
                                           "latest cnt=2", "Dynamic Range B", "latest cnt=3",
                                           "latest cnt=0"}));
  EXPECT_EQ(state.latest_cnt, 0);
}

struct MatchCase {
  const char* name;
  const char* section;
  bool matches;
};

class SectionKeyword : public ColourChart, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(SectionKeyword, MatchesWithRegardToCaseAnywhereInTheName) {
  writeSettings(std::string("[") + GetParam().section + "]\n1_R=7\n");
  painter().image_Pattern(1);
  EXPECT_EQ(canvas.polygons().front().tools.brush_colour & 0xFF, GetParam().matches ? 7u : 255u);
  EXPECT_EQ(log.empty(), !GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Cases, SectionKeyword,
                         ::testing::Values(MatchCase{"other_case", "my dynamic range", false},
                                           MatchCase{"inside_name", "Test Dynamic Range 2", true},
                                           MatchCase{"exact", "Dynamic Range", true}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ColourChart, AnExistingFileWithoutAMatchingSectionIsLeftAlone) {
  writeSettings("[latest pattern]\nlatest pattern=1\n");
  painter().image_Pattern(6);
  EXPECT_EQ(settingsText(), "[latest pattern]\nlatest pattern=1\n");
  EXPECT_EQ(canvas.polygons().size(), 24u);
}

TEST_F(ColourChart, ComponentsAreTakenModulo256) {
  writeSettings("[Dynamic Range]\ncolor X=3\ncolor Y=1\n3_R=300\n3_G=-1\n3_B=0x10\n2_R=256\n");
  painter().image_Pattern(1);
  const auto blocks = canvas.polygons();
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[1].tools.brush_colour, Colour(0 + 80 * 256 + 80 * 65536));
  EXPECT_EQ(blocks[2].tools.brush_colour, Colour(44 + 255 * 256 + 16 * 65536));
}

TEST_F(ColourChart, ZeroBorderLetsBlocksOverlapWithoutMargin) {
  writeSettings("[Dynamic Range]\nborder=0\n");
  painter().image_Pattern(1);
  // cw = 138, ch = 133: blocks 139 wide starting at x0
  const auto blocks = canvas.polygons();
  EXPECT_EQ(blocks[0].points, closed({0, 0}, {138, 0}, {138, 133}, {0, 133}));
  EXPECT_EQ(blocks[1].points, closed({138, 0}, {276, 0}, {276, 133}, {138, 133}));
}

TEST_F(ColourChart, LabelsGoOnePixelBelowEachBlock) {
  writeSettings("[Dynamic Range]\ntext=1\n1_G=5\n");
  painter().image_Pattern(1);
  const auto labels = canvas.of(CanvasCall::Kind::TextOut);
  ASSERT_EQ(labels.size(), 24u);
  EXPECT_EQ(labels[0].text, "255   5  80 ");
  EXPECT_EQ(labels[1].text, "255  80  80 ");
  EXPECT_EQ(labels[0].points[0], (Point{13, 131}));
  EXPECT_EQ(labels[0].tools.font_colour, kWhite);
  EXPECT_EQ(labels[0].tools.brush_colour, kBlack);
  // each label follows its own block
  EXPECT_EQ(canvas.calls[1].kind, CanvasCall::Kind::Polygon);
  EXPECT_EQ(canvas.calls[2].kind, CanvasCall::Kind::TextOut);
}

struct SeparatorCase {
  const char* name;
  char separator;
  const char* border_text;
  std::int32_t expected_b;  // the left margin of the first block
};

class LocaleSeparator : public ColourChart, public ::testing::WithParamInterface<SeparatorCase> {};

TEST_P(LocaleSeparator, BorderFollowsTheLocalesDecimalSeparator) {
  const SeparatorCase& c = GetParam();
  writeSettings(std::string("[Dynamic Range]\nborder=") + c.border_text + "\n");
  painter(c.separator).image_Pattern(1);
  EXPECT_EQ(canvas.polygons().front().points[0].x, c.expected_b);
}

INSTANTIATE_TEST_SUITE_P(Cases, LocaleSeparator,
                         ::testing::Values(SeparatorCase{"point_reads_point", '.', "0.2", 27},
                                           SeparatorCase{"comma_reads_comma", ',', "0,2", 27},
                                           SeparatorCase{"comma_rejects_point", ',', "0.2", 13},
                                           SeparatorCase{"point_rejects_comma", '.', "0,2", 13}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ColourChart, DefaultBorderIsWrittenWithTheLocalesSeparator) {
  painter(',').image_Pattern(6);
  EXPECT_EQ(settingsText(), "[color checker]\ncolor X=6\ncolor Y=4\nborder=0,1\n");
}

TEST_F(ColourChart, ZeroColumnsRaiseAfterTheBlackClear) {
  writeSettings("[Dynamic Range]\ncolor X=0\n");
  EXPECT_THROW(painter().image_Pattern(1), DivisionByZeroError);
  ASSERT_EQ(canvas.calls.size(), 1u);
  EXPECT_EQ(canvas.calls[0].tools.brush_colour, kBlack);
}

TEST_F(ColourChart, ZeroRowsRaiseAfterTheBlackClear) {
  writeSettings("[Dynamic Range]\ncolor Y=0\n");
  EXPECT_THROW(painter().image_Pattern(1), DivisionByZeroError);
  EXPECT_TRUE(canvas.polygons().empty());
}

TEST_F(ColourChart, NegativeCountsDrawNoPatches) {
  writeSettings("[Dynamic Range]\ncolor X=-3\n");
  painter().image_Pattern(1);
  EXPECT_TRUE(canvas.polygons().empty());
}

TEST_F(ColourChart, UnwritableFolderRaisesAfterTheBlackClear) {
  ini = folder / "missing-folder" / "lumigrid.INI";
  try {
    painter().image_Pattern(1);
    FAIL() << "no error raised";
  } catch (const WriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.string());
  }
  ASSERT_EQ(canvas.calls.size(), 1u);
  EXPECT_EQ(canvas.calls[0].kind, CanvasCall::Kind::FillRect);
  EXPECT_FALSE(std::filesystem::exists(ini));
}

// A location that is only read (lumigrid-render borrowing the program's settings) draws the
// default chart a missing file gives and leaves no file behind, even where one could be written.
struct ReadOnlyCase {
  const char* name;
  const char* file;  // below the test's folder
};
class ReadOnlyLocation : public ColourChart, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyLocation, DrawsTheDefaultChartAndWritesNothing) {
  SettingsLocation location(folder / GetParam().file, folder / "defaults.INI");
  location.read_only = true;
  ChartPainter(canvas, state, location, {}, '.').image_Pattern(1);
  const auto blocks = canvas.polygons();
  ASSERT_EQ(blocks.size(), 24u);
  EXPECT_EQ(blocks[0].points, closed({13, 13}, {136, 13}, {136, 130}, {13, 130}));
  for (const auto& b : blocks) EXPECT_EQ(b.tools.brush_colour, kDefaultPatch);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadOnlyLocation,
                         ::testing::Values(ReadOnlyCase{"writable_folder", "lumigrid.INI"},
                                           ReadOnlyCase{"missing_folder", "config/lumigrid.INI"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ColourChart, StripesAfterAChartStrokeWithAOnePixelPen) {
  auto p = painter();
  p.image_Pattern(6);
  canvas.calls.clear();
  p.image_Pattern(2);
  EXPECT_EQ(canvas.polygons().front().tools.pen_width, 0);
}

// Far more columns and rows than pixels put every patch on the same spot: the chart finishes
// and leaves the tools as its last patch would.
TEST_F(ColourChart, MoreColumnsThanPixelsFinishesWithTheLastPatch) {
  writeSettings("[Dynamic Range]\ncolor X=2000000000\ncolor Y=2000000000\n" +
                std::string("4000000000000000000_R=9\n"));
  painter().image_Pattern(1);
  const auto blocks = canvas.polygons();
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].points, closed({0, 0}, {0, 0}, {0, 0}, {0, 0}));
  EXPECT_EQ(canvas.tools().brush_colour, Colour(9 + 80 * 256 + 80 * 65536));
}

TEST_F(ColourChart, HugeNegativeBorderFinishes) {
  writeSettings("[Dynamic Range]\ncolor X=1\ncolor Y=2000000\nborder=-1e12\n");
  painter().image_Pattern(1);
  EXPECT_FALSE(canvas.polygons().empty());
  EXPECT_LT(canvas.polygons().size(), 100000u);
  EXPECT_EQ(canvas.tools().brush_colour, kDefaultPatch);
}

// Absurd section values: the chart skips patches that cannot show, and the picture must be the
// one that painting every patch in turn gives.
struct AbsurdCase {
  const char* name;
  const char* section;
  std::int32_t width = 60;
  std::int32_t height = 40;
};

class AbsurdSection : public ColourChart, public ::testing::WithParamInterface<AbsurdCase> {};

// Every patch in turn, straight from the drawing's steps.
void paint_every_patch(Canvas& canvas, std::int32_t X, std::int32_t Y, double border,
                       double text_size, bool labels,
                       const std::function<Colour(std::int64_t)>& colour_of) {
  const auto W = canvas.width(), H = canvas.height();
  const std::int64_t w0 = std::int64_t(std::trunc(double(W) / X));
  const std::int64_t b = std::int64_t(std::trunc(double(w0) * border));
  canvas.setFontSize(std::int32_t(std::nearbyint(text_size * double(w0))));
  const std::int64_t cw = std::int64_t(std::trunc(double(W - b) / X));
  const std::int64_t ch = std::int64_t(std::trunc(double(H - b) / Y));
  std::int64_t n = 0;
  for (std::int64_t j = 0; j < Y; ++j) {
    for (std::int64_t i = 0; i < X; ++i) {
      const Colour c = colour_of(++n);
      canvas.setBrushColour(c);
      canvas.setPenColour(c);
      canvas.setPenWidth(0);
      const auto x0 = std::int32_t(i * cw), y0 = std::int32_t(j * ch), bb = std::int32_t(b);
      const std::vector<Point> block =
          closed({x0 + bb, y0 + bb}, {x0 + std::int32_t(cw), y0 + bb},
                 {x0 + std::int32_t(cw), y0 + std::int32_t(ch)}, {x0 + bb, y0 + std::int32_t(ch)});
      canvas.Polygon(block);
      if (labels) {
        canvas.setFontColour(kWhite);
        canvas.setBrushColour(kBlack);
        char text[32];
        std::snprintf(text, sizeof text, "%3d %3d %3d ", int(c & 0xFF), int(c >> 8 & 0xFF),
                      int(c >> 16 & 0xFF));
        canvas.TextOut(x0 + bb, y0 + std::int32_t(ch) + 1, text);
      }
    }
  }
}

TEST_P(AbsurdSection, PaintsWhatEveryPatchInTurnWouldPaint) {
  writeSettings(std::string("[Dynamic Range]\n") + GetParam().section);
  const std::int32_t width = GetParam().width, height = GetParam().height;
  Surface drawn(width, height, PixelFormat::Rgb32), expected(width, height, PixelFormat::Rgb32);
  ChartPainter(drawn, state, ini, {}).image_Pattern(1);

  const IniFile file(ini);
  const std::int32_t X = file.readInteger("Dynamic Range", "color X", 6);
  const std::int32_t Y = file.readInteger("Dynamic Range", "color Y", 4);
  expected.setBrushColour(kBlack);
  expected.FillRect(0, 0, width, height);
  paint_every_patch(expected, X, Y, file.readReal("Dynamic Range", "border", 0.1),
                    file.readReal("Dynamic Range", "text size", 0.1),
                    file.readFlag("Dynamic Range", "text", false), [&](std::int64_t n) {
                      const auto k = std::to_string(n);
                      return Colour(file.readInteger("Dynamic Range", k + "_R", 255) & 0xFF) |
                             Colour(file.readInteger("Dynamic Range", k + "_G", 80) & 0xFF) << 8 |
                             Colour(file.readInteger("Dynamic Range", k + "_B", 80) & 0xFF) << 16;
                    });

  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x)
      ASSERT_EQ(drawn.pixel(x, y), expected.pixel(x, y)) << "at " << x << ", " << y;
  EXPECT_EQ(drawn.tools().pen_colour, expected.tools().pen_colour);
  EXPECT_EQ(drawn.tools().brush_colour, expected.tools().brush_colour);
  EXPECT_EQ(drawn.tools().font_colour, expected.tools().font_colour);
  EXPECT_EQ(drawn.tools().pen_width, expected.tools().pen_width);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AbsurdSection,
    ::testing::Values(
        AbsurdCase{"more_columns_than_pixels", "color X=100\ncolor Y=3\n100_R=1\n200_G=2\n"},
        AbsurdCase{"more_rows_than_pixels_labelled",
                   "color X=3\ncolor Y=90\ntext=1\ntext size=0.5\n"},
        AbsurdCase{"huge_negative_border",
                   "color X=2\ncolor Y=500\nborder=-40\n999_R=1\n1000_B=7\n"},
        AbsurdCase{"negative_border_labelled",
                   "color X=4\ncolor Y=20\nborder=-2\ntext=1\ntext size=0.6\n77_G=9\n"},
        AbsurdCase{"border_wider_than_columns", "color X=3\ncolor Y=2\nborder=3\n4_R=3\n"},
        AbsurdCase{"border_above_one_labelled",
                   "color X=5\ncolor Y=7\nborder=1.5\ntext=1\ntext size=0.4\n"},
        // Every row's block spans the height and its label hangs from above the top, into the
        // gap between the columns; a negative size gives glyphs as tall as its magnitude.
        AbsurdCase{"negative_text_size_labelled",
                   "color X=2\ncolor Y=250\nborder=0.9\ntext=1\ntext size=-0.2\n", 1400, 40}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
