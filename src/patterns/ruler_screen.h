#pragma once
// The ruler screen: millimetre rulers along the top and left edges, a 10 mm grid and, in the
// middle, the outline of an ID-1 card (the size of every bank card) at a given size of a device
// pixel. A card laid on the screen shows whether that size is right; the chart window's R key
// shows the screen and its arrow keys calibrate it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "patterns/display_tests.h"
#include "surface/canvas.h"

namespace lumigrid {

inline constexpr char kRulerKey = 'R';  // its virtual-key code is the same number
inline constexpr double kCardWidthMm = 85.60;
inline constexpr double kCardHeightMm = 53.98;
inline constexpr std::int32_t kRulerLabelPoints = 9;
inline constexpr Colour kRulerGridColour = 0xC0C0C0;

// The device pixel a length from the top-left corner ends in: lengths are rounded to the
// nearest pixel, so no mark is more than half a pixel off.
std::int32_t millimetre_pixel(double millimetres, double mm_per_pixel);

// One tick of a ruler: its place along the edge and how far it reaches in from it.
struct RulerTick {
  std::int32_t at = 0;
  std::int32_t length = 0;
  friend bool operator==(const RulerTick&, const RulerTick&) = default;
};

struct RulerLayout {
  std::vector<RulerTick> top;              // x of each millimetre along the top edge
  std::vector<RulerTick> left;             // y of each millimetre down the left edge
  std::vector<std::int32_t> grid_columns;  // x of each 10 mm line, 10 mm onwards
  std::vector<std::int32_t> grid_rows;     // y of each 10 mm line
  PixelRect card;                          // the card's outline: its outer pixels are the outline
  std::vector<TestLabel> labels;           // the rulers' numbers, the card's size, the caption
};

// The screen on a width x height canvas of `mm_per_pixel` whose text is `pixels_per_inch`:
// a tick every millimetre (1.5 mm long), longer every 5 (2.5 mm) and 10 (4 mm), each 10 numbered;
// the card's size and `caption` inside the card, and the calibration keys under it. A label
// that would not fit is left out.
RulerLayout layout_ruler_screen(std::int32_t width, std::int32_t height, double mm_per_pixel,
                                std::int32_t pixels_per_inch, std::string_view caption);

// Paints the screen over the whole canvas; leaves the canvas's pen, brush and font as they were.
void draw_ruler_screen(Canvas& canvas, double mm_per_pixel, std::string_view caption);

}  // namespace lumigrid
