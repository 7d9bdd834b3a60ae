#pragma once
// A pattern drawn for paper: the sheet's size in pixels at a printing resolution, and the strip
// at its bottom edge that says what was printed and carries 100 mm bars, across and down, for a
// ruler to check the scale.
#include <cstdint>
#include <string>

#include "page/drawing_area.h"
#include "surface/canvas.h"

namespace lumigrid {

// The resolutions a sheet is drawn at.
inline constexpr std::int32_t kSheetDpiLow = 300;
inline constexpr std::int32_t kSheetDpiHigh = 600;

// The paper's whole area, portrait, at `dpi`: each side Round(dpi x side in inches), as the
// drawing areas' paper sizes are counted (A4 at 600 dpi: 4961 x 7016).
AreaSize sheet_size(const PaperSize& paper, std::int32_t dpi);

// Pixels of `millimetres` at `dpi`, rounded to the nearest.
std::int32_t sheet_pixels(double millimetres, std::int32_t dpi);

// What the strip says.
struct SheetStripText {
  std::string pattern;  // "6", "G,B"
  std::string paper;    // "A4"
  std::int32_t dpi = 0;
  std::string route;    // "device values", "sRGB"
  std::string date;     // "2026-12-11 14:20 UTC"
  std::string version;  // "1.4.0.0"
};

// "lumigrid 1.4.0.0: pattern 6 on A4 at 600 dpi, device values, 2026-12-11 14:20 UTC;
// bars 100 mm".
std::string sheet_strip_line(const SheetStripText& text);

// The strip's height from the sheet's bottom edge.
inline constexpr double kStripMillimetres = 10;

// Paints the strip over the bottom edge of a sheet drawn at `dpi`: a white band
// kStripMillimetres high with the line in black 6-point type, a black bar 100 mm long and 1 mm
// thick across it, and a black bar 100 mm long down the sheet's right edge on a white ground,
// ending at the band. Leaves the canvas's drawing tools and resolution as it found them. A
// sheet too small for the bars gets them cut at its edges.
void draw_sheet_strip(Canvas& canvas, std::int32_t dpi, const std::string& line);

}  // namespace lumigrid
