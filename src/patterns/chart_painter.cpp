#include "patterns/chart_painter.h"

#include <utility>

namespace lumigrid {

ChartPainter::ChartPainter(Canvas& canvas, ChartState& state, SettingsLocation settings,
                           Hooks hooks, char decimal_separator)
    : canvas_(canvas),
      state_(state),
      settings_(std::move(settings)),
      hooks_(std::move(hooks)),
      decimal_separator_(decimal_separator) {}

void ChartPainter::image_Pattern(std::int32_t pattern_Num) {
  // Remembered before drawing, also for numbers that draw nothing, so a later redraw of the
  // current pattern repeats exactly this call.
  if (pattern_Num != 0) state_.current_pattern = pattern_Num;
  // A pattern paints over the test screen: the next press of a letter starts its first variant.
  state_.display_test_key = 0;
  state_.display_test_variant = 0;
  state_.ruler_shown = false;

  const auto live = [this] {
    return hooks_.live_values ? hooks_.live_values() : LivePatternValues{};
  };
  const auto fill = [this](Colour colour) {
    canvas_.setBrushColour(colour);
    canvas_.FillRect(0, 0, canvas_.width(), canvas_.height());
  };

  switch (pattern_Num) {
    case 0:
      fill(kWhite);
      break;
    case 1:
      draw_color_chart("", "Dynamic Range");
      break;
    case 2: {
      const LivePatternValues v = live();
      recursive_draw_stripes(v.space, v.pitch, 0, 0);
      break;
    }
    case 3: {
      const LivePatternValues v = live();
      recursive_draw_circle(v.space, v.pitch, 0, 0);
      break;
    }
    case 4:
      fill(kWhite);
      if (state_.toggle_count % 2 != 0) {
        draw_tilted_square_grid(state_.line_H);
      } else {
        draw_square_grid(state_.line_H, state_.ratio_HP);
      }
      // Only a drawing that completed flips the variant.
      state_.toggle_count = std::int32_t(std::uint32_t(state_.toggle_count) + 1u);
      break;
    case 5: {
      const LivePatternValues v = live();
      recursive_draw_circle_Moire_pattern(v.space, v.pitch, v.pitch2, 0, 0);
      break;
    }
    case 6:
      draw_color_chart("", "color checker");
      break;
    case 7: {
      const LivePatternValues v = live();
      draw_stripes(v.space, v.pitch);
      break;
    }
    case 8:
      draw_dot_grid(state_.line_H, state_.line_V, state_.ratio_HP, state_.ratio_VP);
      break;
    case 9:
      fill(kBlack);
      break;
    default:
      break;
  }
}

void ChartPainter::showDisplayTest(DisplayTest test) {
  const DisplayTestInfo& info = display_test_info(test);
  const std::int32_t variant = state_.display_test_key == info.key
                                   ? next_display_test_variant(test, state_.display_test_variant)
                                   : 1;
  state_.display_test_key = info.key;
  state_.display_test_variant = variant;
  state_.ruler_shown = false;
  draw_display_test(canvas_, test, variant);
}

void ChartPainter::showRulerScreen(double mm_per_pixel, std::string caption) {
  state_.display_test_key = 0;
  state_.display_test_variant = 0;
  state_.ruler_shown = true;
  state_.ruler_mm_per_pixel = mm_per_pixel;
  state_.ruler_caption = std::move(caption);
  draw_ruler_screen(canvas_, mm_per_pixel, state_.ruler_caption);
}

bool ChartPainter::redrawDisplayTest() {
  if (state_.ruler_shown) {
    draw_ruler_screen(canvas_, state_.ruler_mm_per_pixel, state_.ruler_caption);
    return true;
  }
  const std::optional<DisplayTest> test = display_test_for_letter(state_.display_test_key);
  if (!test) return false;
  draw_display_test(canvas_, *test, state_.display_test_variant);
  return true;
}

}  // namespace lumigrid
