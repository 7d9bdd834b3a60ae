#pragma once
// The chart state shared by the chart window, the adjust window and the drawers.
#include <cstdint>
#include <string>

namespace lumigrid {

// The chart window's client area as designed, in pixels: the window opens at this size, and
// lumigrid-render simulates it when no --size is given.
inline constexpr std::int32_t kChartClientWidth = 832;
inline constexpr std::int32_t kChartClientHeight = 533;

struct ChartState {
  std::int32_t current_pattern = 0;  // last non-zero pattern drawn; saved at exit
  bool is_full_screen = false;       // F11 / Escape toggle memory
  std::int32_t line_H = 40;          // grid columns
  std::int32_t line_V = 20;          // grid rows
  float ratio_HP = 0.3f;             // gap fraction, kept in single precision on purpose
  float ratio_VP = 0.2f;
  std::int32_t latest_cnt = 0;    // colour charts' rotating section index
  std::int32_t toggle_count = 0;  // alternates pattern 4's two grids
  std::string drawing_area_name;  // drawing-area text of the last page build
  // The test screen the chart shows, by its letter key (0 while a pattern is shown), and its
  // variant: a second press of the same letter steps on from it. Never saved.
  char display_test_key = 0;
  std::int32_t display_test_variant = 0;
  // The ruler screen, while the chart shows it: the size of a device pixel it is drawn at and
  // its caption (where that size comes from). Never saved here; a calibration is the monitor's.
  bool ruler_shown = false;
  double ruler_mm_per_pixel = 0;
  std::string ruler_caption;
};

// H, HP, V and VP as the adjust window shows them, HP and VP in percent; the defaults are the
// chart state's own.
struct GridValues {
  std::int32_t h = 40;
  std::int32_t hp = 30;
  std::int32_t v = 20;
  std::int32_t vp = 20;
};

// Copies them into the chart state as every drawing reads them: HP and VP become fractions held
// in single precision, so that the grids fall on the same pixels wherever the values come from.
inline void set_grid_values(ChartState& state, const GridValues& values) {
  state.line_H = values.h;
  state.ratio_HP = static_cast<float>(double(values.hp) / 100.0);
  state.line_V = values.v;
  state.ratio_VP = static_cast<float>(double(values.vp) / 100.0);
}

// Read from the adjust window's spin boxes at the moment of each drawing.
struct LivePatternValues {
  std::int32_t space = 100;
  std::int32_t pitch = 8;
  std::int32_t pitch2 = 50;
};

}  // namespace lumigrid
