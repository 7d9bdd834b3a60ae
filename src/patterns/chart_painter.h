#pragma once
// The pattern dispatcher and its drawers: everything the chart window paints, without a window.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "patterns/chart_state.h"
#include "patterns/display_tests.h"
#include "patterns/ruler_screen.h"
#include "settings/settings.h"
#include "surface/canvas.h"

namespace lumigrid {

// A colour chart's patch grid on the canvas, in pixels.
struct ColourChartGeometry {
  std::int64_t columns = 0, rows = 0;
  std::int64_t border = 0;  // gap before each patch, left and top
  std::int64_t cell_width = 0, cell_height = 0;
  std::int64_t font_points = 0;
  bool labels = false;  // each patch's R G B printed under it
};

class ChartPainter {
 public:
  struct Hooks {
    // Space, Pitch and Pitch2 as the adjust window's spin boxes hold them right now.
    std::function<LivePatternValues()> live_values;
    // Appends one line to the chart window's hidden log.
    std::function<void(const std::string&)> log;
  };

  // `canvas` is the chart window's client area; its size is read afresh by every drawer.
  // `settings` is where the colour charts read the settings file; `decimal_separator` is the
  // locale's, used for the real values in it.
  ChartPainter(Canvas& canvas, ChartState& state, SettingsLocation settings, Hooks hooks,
               char decimal_separator = '.');

  ChartState& state() { return state_; }
  Canvas& canvas() { return canvas_; }
  void setSettingsPath(SettingsLocation settings) { settings_ = std::move(settings); }
  void setDecimalSeparator(char separator) { decimal_separator_ = separator; }

  // Draws pattern 0 to 9; a non-zero number is remembered in current_pattern first.
  void image_Pattern(std::int32_t pattern_Num);

  // Shows a test screen: its first variant, or the next one when it is already shown. The
  // screen is not a pattern: current_pattern keeps the last pattern drawn.
  void showDisplayTest(DisplayTest test);
  // Shows the ruler screen at `mm_per_pixel`, `caption` saying where that size comes from. Like
  // a test screen it is not a pattern: current_pattern keeps the last pattern drawn.
  void showRulerScreen(double mm_per_pixel, std::string caption);
  // Draws the test screen or ruler screen the chart shows again, at the canvas's present size;
  // false when a pattern is shown instead.
  bool redrawDisplayTest();

  void draw_square_grid(std::int32_t H, float HP);
  void draw_tilted_square_grid(std::int32_t H);
  void draw_dot_grid(std::int32_t H, std::int32_t V, float HP, float VP);
  void recursive_draw_stripes(std::int32_t space, std::int32_t pitch, std::int32_t X,
                              std::int32_t Y);
  void draw_stripes(std::int32_t space, std::int32_t pitch);
  void recursive_draw_circle(std::int32_t space, std::int32_t pitch, std::int32_t X,
                             std::int32_t Y);
  void recursive_draw_circle_Moire_pattern(std::int32_t space, std::int32_t pitch,
                                           std::int32_t pitch2, std::int32_t X, std::int32_t Y);
  // ini_path empty: the settings file.
  void draw_color_chart(const std::string& ini_path, const std::string& keyword);

 private:
  // The colour chart's steps: the section a press shows (stepping latest_cnt), the patch grid
  // for the canvas's size (setting the labels' font size), and the patches themselves.
  std::string chooseChartSection(const std::vector<std::string>& names, const std::string& keyword);
  ColourChartGeometry layOutColourChart(const ColourChartLayout& layout);
  void paintColourChart(const ColourChartSettings& ini, const std::string& section,
                        const ColourChartGeometry& geometry);

  Canvas& canvas_;
  ChartState& state_;
  SettingsLocation settings_;
  Hooks hooks_;
  char decimal_separator_;
};

}  // namespace lumigrid
