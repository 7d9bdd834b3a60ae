#include "patterns/chart_painter.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "support/recording_canvas.h"
#include "surface/surface.h"

namespace lumigrid {
namespace {

using testing::CanvasCall;
using testing::RecordingCanvas;

class Dispatcher : public ::testing::Test {
 protected:
  RecordingCanvas canvas{832, 533};
  ChartState state;
  // A settings path that cannot exist keeps the colour charts from touching the disk.
  ChartPainter painter{canvas, state, "/nonexistent-folder/lumigrid.INI", {}};
};

TEST_F(Dispatcher, SolidPatternsFillTheWholeWindow) {
  painter.image_Pattern(9);
  painter.image_Pattern(0);
  ASSERT_EQ(canvas.calls.size(), 2u);
  for (const auto& call : canvas.calls) {
    EXPECT_EQ(call.kind, CanvasCall::Kind::FillRect);
    EXPECT_EQ(call.points, (std::vector<Point>{{0, 0}, {832, 533}}));
  }
  EXPECT_EQ(canvas.calls[0].tools.brush_colour, kBlack);
  EXPECT_EQ(canvas.calls[1].tools.brush_colour, kWhite);
  EXPECT_EQ(state.current_pattern, 9);  // 0 leaves it
}

TEST_F(Dispatcher, NumbersOutsideTheTableDrawNothingButAreRemembered) {
  painter.image_Pattern(12);
  EXPECT_EQ(state.current_pattern, 12);
  painter.image_Pattern(-1);
  EXPECT_EQ(state.current_pattern, -1);
  EXPECT_TRUE(canvas.calls.empty());
}

TEST_F(Dispatcher, PatternFourAlternatesItsGridsAfterAWhiteFill) {
  std::vector<bool> tilted;
  for (int k = 0; k < 4; ++k) {
    canvas.calls.clear();
    painter.image_Pattern(4);
    ASSERT_EQ(canvas.calls.front().kind, CanvasCall::Kind::FillRect);
    EXPECT_EQ(canvas.calls.front().tools.brush_colour, kWhite);
    const auto first = canvas.polygons().front().points;
    tilted.push_back(first[0].y != first[1].y);  // a tilted square's top edge slopes
  }
  EXPECT_EQ(tilted, (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(state.toggle_count, 4);
  EXPECT_EQ(state.current_pattern, 4);
}

TEST_F(Dispatcher, AFailedSquareGridKeepsTheWhiteFillAndTheVariant) {
  state.line_H = 700;
  RecordingCanvas narrow(600, 400);
  ChartPainter narrow_painter(narrow, state, "unused.INI", {});
  EXPECT_THROW(narrow_painter.image_Pattern(4), DivisionByZeroError);
  ASSERT_EQ(narrow.calls.size(), 1u);
  EXPECT_EQ(narrow.calls[0].kind, CanvasCall::Kind::FillRect);
  EXPECT_EQ(state.toggle_count, 0);
  EXPECT_THROW(narrow_painter.image_Pattern(8), DivisionByZeroError);
}

TEST_F(Dispatcher, LiveValuesAreReadAtEachCall) {
  LivePatternValues live{100, 8, 50};
  ChartPainter live_painter(canvas, state, "unused.INI", {[&] { return live; }, {}});
  live_painter.image_Pattern(3);
  const auto with_100 = canvas.ellipses().size();
  canvas.calls.clear();
  live.space = 200;
  live_painter.image_Pattern(3);
  EXPECT_EQ(with_100, 9u * 6u * 9u);
  EXPECT_EQ(canvas.ellipses().front().points, (std::vector<Point>{{-41, -41}, {241, 241}}));
}

// Patterns 2 and 7 stroke with whatever pen width the drawing before them left.
struct InheritCase {
  const char* name;
  std::int32_t before;
  std::int32_t stripes;
  std::int32_t pen_width;
};

class PenWidthInheritance : public ::testing::TestWithParam<InheritCase> {};

TEST_P(PenWidthInheritance, StripesKeepThePreviousPen) {
  const InheritCase& c = GetParam();
  RecordingCanvas canvas(832, 533);
  ChartState state;
  ChartPainter painter(canvas, state, "/nonexistent-folder/lumigrid.INI",
                       {[] {
                          return LivePatternValues{100, 8, 50};
                        },
                        {}});
  if (c.before >= 0) {
    try {
      painter.image_Pattern(c.before);
    } catch (const Error&) {
      // the colour charts cannot create their file here; their pen is set before that
    }
  }
  canvas.calls.clear();
  painter.image_Pattern(c.stripes);
  ASSERT_FALSE(canvas.polygons().empty());
  EXPECT_EQ(canvas.polygons().front().tools.pen_width, c.pen_width);
}

INSTANTIATE_TEST_SUITE_P(Cases, PenWidthInheritance,
                         ::testing::Values(InheritCase{"stripes_after_start", -1, 2, 1},
                                           InheritCase{"stripes_after_circles", 3, 2, 4},
                                           InheritCase{"stripes_after_moire", 5, 2, 21},
                                           InheritCase{"stripes_after_grid", 4, 7, 1},
                                           InheritCase{"stripes_after_dots", 8, 7, 1},
                                           InheritCase{"mtf_after_circles", 3, 7, 4}),
                         [](const auto& row) { return std::string(row.param.name); });

// Stripes paint black only: what the window showed before stays between them.
struct UnderStripesCase {
  const char* name;
  std::int32_t before;
  Point probe;
  Colour expected;
};

class StripesKeepTheBackground : public ::testing::TestWithParam<UnderStripesCase> {};

TEST_P(StripesKeepTheBackground, BetweenTheStripes) {
  const UnderStripesCase& c = GetParam();
  Surface surface(832, 533, PixelFormat::Rgb32);
  ChartState state;
  ChartPainter painter(surface, state, "unused.INI", {});
  painter.image_Pattern(c.before);
  painter.image_Pattern(2);
  EXPECT_EQ(surface.pixel(c.probe.x, c.probe.y), c.expected);
  EXPECT_EQ(surface.pixel(1, 50), kBlack);  // inside the first stripe of tile (0, 0)
}

INSTANTIATE_TEST_SUITE_P(Cases, StripesKeepTheBackground,
                         ::testing::Values(UnderStripesCase{"after_black", 9, {5, 50}, kBlack},
                                           UnderStripesCase{"after_white", 0, {5, 50}, kWhite},
                                           UnderStripesCase{
                                               "after_white_horizontal_tile", 0, {150, 5}, kWhite}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
