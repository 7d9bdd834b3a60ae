#pragma once
// The display lab's test screens: gamma, black level, white saturation, video range,
// uniformity, inversion, sub-pixels and overscan. Each fills the whole canvas at exact device
// pixels; a letter key of the chart window picks one and a second press steps to its next
// variant. The layout (where each patch and label goes) is computed apart from the painting so
// that tests and the painter read the same geometry.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surface/canvas.h"

namespace lumigrid {

enum class DisplayTest : std::uint8_t {
  Gamma,
  BlackLevel,
  WhiteSaturation,
  VideoRange,
  Uniformity,
  Inversion,
  SubPixels,
  Frame,
};

struct DisplayTestInfo {
  DisplayTest test;
  char key;               // the upper-case letter; its virtual-key code is the same number
  std::string_view name;  // as the chart's menu lists it
  std::int32_t variants;  // each press of the key steps to the next, wrapping to 1
};

inline constexpr std::array<DisplayTestInfo, 8> kDisplayTests = {{
    {DisplayTest::Gamma, 'G', "Gamma", 3},
    {DisplayTest::BlackLevel, 'B', "Black level", 2},
    {DisplayTest::WhiteSaturation, 'W', "White saturation", 2},
    {DisplayTest::VideoRange, 'L', "Video range", 1},
    {DisplayTest::Uniformity, 'U', "Uniformity", 10},
    {DisplayTest::Inversion, 'I', "Inversion", 9},
    {DisplayTest::SubPixels, 'S', "Sub-pixels", 1},
    {DisplayTest::Frame, 'F', "Frame and overscan", 1},
}};

const DisplayTestInfo& display_test_info(DisplayTest test);

// The screen a letter picks, upper or lower case; other characters pick none.
std::optional<DisplayTest> display_test_for_letter(char letter);

// The screen a released key picks in the chart window (a Windows virtual-key code: letters are
// their upper-case character codes); other keys pick none.
std::optional<DisplayTest> display_test_for_key(int key);

// The variant after `shown` when the same key is pressed again: 1, 2, ..., variants, 1, ...
std::int32_t next_display_test_variant(DisplayTest test, std::int32_t shown);

// Half-open, as FillRect takes it: left <= x < right, top <= y < bottom.
struct PixelRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::int32_t width() const { return right - left; }
  std::int32_t height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool contains(std::int32_t x, std::int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A solid patch (the sub-pixel screen: the block its lines fill, in the lines' colour).
struct TestPatch {
  PixelRect rect;
  Colour colour = kBlack;
};

// A label: its text drawn with its cell's top-left at the cell's corner, glyphs in text_colour
// on the opaque cell.
struct TestLabel {
  PixelRect cell;
  std::string text;
  Colour text_colour = kBlack;
  Colour cell_colour = kBlack;
};

struct DisplayTestLayout {
  std::vector<TestPatch> patches;
  std::vector<TestLabel> labels;
  // The label text height in pixels: 9 points at the canvas's pixels per inch, so 12 pixels at
  // 96 dots per inch and twice that at a device pixel ratio of 2.
  std::int32_t text_pixels = 0;
};

inline constexpr std::int32_t kDisplayTestLabelPoints = 9;
// Labels stay dim beside the patches they name: never full white next to near-black.
inline constexpr Colour kLabelOnBlack = 0x404040;  // grey 64
inline constexpr Colour kLabelOnWhite = 0xA0A0A0;  // grey 160

// Grey or one channel at a level, as 0x00BBGGRR.
inline constexpr Colour grey(std::uint32_t level) {
  return level | (level << 8) | (level << 16);
}

// The patches and labels of a screen's variant on a width x height canvas whose text is
// `pixels_per_inch`. A label that would not fit its place is left out (only windows far smaller
// than the designed one lose any).
DisplayTestLayout layout_display_test(DisplayTest test, std::int32_t variant, std::int32_t width,
                                      std::int32_t height, std::int32_t pixels_per_inch);

// Paints a screen's variant (1 to its variants) over the whole canvas, and leaves the canvas's
// pen, brush and font as it found them: a pattern drawn next strokes with what the patterns
// before it left.
void draw_display_test(Canvas& canvas, DisplayTest test, std::int32_t variant);

// The frames of the overscan screen, outermost first: each frame's inset from the edges,
// horizontally and vertically, and its colour.
struct OverscanFrame {
  std::int32_t inset_x = 0;
  std::int32_t inset_y = 0;
  Colour colour = kWhite;
  std::string_view label;
};
std::vector<OverscanFrame> overscan_frames(std::int32_t width, std::int32_t height);

}  // namespace lumigrid
