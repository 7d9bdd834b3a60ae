#include <gtest/gtest.h>

#include "base/errors.h"
#include "patterns/chart_painter.h"
#include "support/recording_canvas.h"

namespace lumigrid {
namespace {

using testing::closed;
using testing::RecordingCanvas;

enum class Grid { Square, Tilted, Dot };

struct GridCase {
  const char* name;
  std::int32_t width, height;
  Grid grid;
  std::int32_t H, V;
  float HP, VP;
  std::size_t shapes;
  std::vector<Point> first, last;
};

class GridDrawers : public ::testing::TestWithParam<GridCase> {};

void draw(ChartPainter& painter, const GridCase& c) {
  switch (c.grid) {
    case Grid::Square:
      painter.draw_square_grid(c.H, c.HP);
      break;
    case Grid::Tilted:
      painter.draw_tilted_square_grid(c.H);
      break;
    case Grid::Dot:
      painter.draw_dot_grid(c.H, c.V, c.HP, c.VP);
      break;
  }
}

TEST_P(GridDrawers, CountsFirstAndLastShapes) {
  const GridCase& c = GetParam();
  RecordingCanvas canvas(c.width, c.height);
  ChartState state;
  ChartPainter painter(canvas, state, "unused.INI", {});
  draw(painter, c);

  const auto shapes = canvas.polygons();
  ASSERT_EQ(shapes.size(), c.shapes);
  EXPECT_EQ(shapes.front().points, c.first);
  EXPECT_EQ(shapes.back().points, c.last);
  for (const auto& s : {shapes.front(), shapes.back()}) {
    EXPECT_EQ(s.tools.pen_width, 1);
    EXPECT_EQ(s.tools.pen_colour, kBlack);
    EXPECT_EQ(s.tools.brush_colour, kBlack);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridDrawers,
    ::testing::Values(
        // cell 20, half 6 (1 - 0.3f is just below 0.7), cols 42, rows 27
        GridCase{"square_default_window", 832, 533, Grid::Square, 40, 20, 0.3f, 0.2f, 43 * 28,
                 closed({-6, -6}, {6, -6}, {6, 6}, {-6, 6}),
                 closed({834, 534}, {846, 534}, {846, 546}, {834, 546})},
        // 1 - 0.1f is below 0.9: half 8, not 9
        GridCase{"square_single_precision_gap", 800, 400, Grid::Square, 40, 20, 0.1f, 0.2f, 41 * 21,
                 closed({-8, -8}, {8, -8}, {8, 8}, {-8, 8}),
                 closed({792, 392}, {808, 392}, {808, 408}, {792, 408})},
        // no gap: even cell 20 gives squares 21 wide, odd cell 21 gives 21
        GridCase{"square_no_gap_even_cell", 800, 400, Grid::Square, 40, 20, 0.0f, 0.0f, 41 * 21,
                 closed({-10, -10}, {10, -10}, {10, 10}, {-10, 10}),
                 closed({790, 390}, {810, 390}, {810, 410}, {790, 410})},
        GridCase{"square_no_gap_odd_cell", 840, 420, Grid::Square, 40, 20, 0.0f, 0.0f, 41 * 21,
                 closed({-10, -10}, {10, -10}, {10, 10}, {-10, 10}),
                 closed({830, 410}, {850, 410}, {850, 430}, {830, 430})},
        // full gap: one-pixel points
        GridCase{"square_full_gap", 832, 533, Grid::Square, 40, 20, 1.0f, 0.2f, 43 * 28,
                 closed({0, 0}, {0, 0}, {0, 0}, {0, 0}),
                 closed({840, 540}, {840, 540}, {840, 540}, {840, 540})},
        // s 8, c 1, cell 20, rows 26, columns 0 to 40: the last squares end at x = 808
        GridCase{"tilted_default_window", 832, 533, Grid::Tilted, 40, 20, 0.3f, 0.2f, 27 * 41,
                 closed({-7, -8}, {8, -7}, {7, 8}, {-8, 7}),
                 closed({793, 512}, {808, 513}, {807, 528}, {792, 527})},
        // more columns than pixels: every shape lands on the origin, without a division error
        GridCase{"tilted_more_columns_than_pixels", 600, 400, Grid::Tilted, 700, 20, 0.3f, 0.2f, 1,
                 closed({0, 0}, {0, 0}, {0, 0}, {0, 0}), closed({0, 0}, {0, 0}, {0, 0}, {0, 0})},
        // halfW 7, dotH 21, cellX 20, cellY 26, cols 42, rows 20: 15 x 22 rectangles
        GridCase{"dot_default_window", 832, 533, Grid::Dot, 40, 20, 0.3f, 0.2f, 43 * 21,
                 closed({-7, 0}, {7, 0}, {7, 21}, {-7, 21}),
                 closed({833, 520}, {847, 520}, {847, 541}, {833, 541})},
        GridCase{"dot_full_gaps", 832, 533, Grid::Dot, 40, 20, 1.0f, 1.0f, 43 * 21,
                 closed({0, 0}, {0, 0}, {0, 0}, {0, 0}),
                 closed({840, 520}, {840, 520}, {840, 520}, {840, 520})}),
    [](const auto& row) { return std::string(row.param.name); });

struct DivisionCase {
  const char* name;
  std::int32_t width, height;
  Grid grid;
  std::int32_t H, V;
};

class GridDivisionByZero : public ::testing::TestWithParam<DivisionCase> {};

TEST_P(GridDivisionByZero, RaisesBeforeAnyShape) {
  const DivisionCase& c = GetParam();
  RecordingCanvas canvas(c.width, c.height);
  ChartState state;
  ChartPainter painter(canvas, state, "unused.INI", {});
  try {
    draw(painter, {c.name, c.width, c.height, c.grid, c.H, c.V, 0.3f, 0.2f, 0, {}, {}});
    FAIL() << "no error raised";
  } catch (const DivisionByZeroError& e) {
    EXPECT_STREQ(e.what(), "Floating point division by zero");
  }
  EXPECT_TRUE(canvas.polygons().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridDivisionByZero,
    ::testing::Values(DivisionCase{"square_narrower_than_H", 600, 400, Grid::Square, 700, 20},
                      DivisionCase{"dot_narrower_than_H", 600, 400, Grid::Dot, 700, 20},
                      DivisionCase{"dot_lower_than_V", 600, 100, Grid::Dot, 40, 200},
                      DivisionCase{"square_H_zero", 600, 400, Grid::Square, 0, 20},
                      DivisionCase{"tilted_H_zero", 600, 400, Grid::Tilted, 0, 20},
                      DivisionCase{"tilted_zero_width", 0, 400, Grid::Tilted, 40, 20}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
