#include "page/paper_sheet.h"

#include <cmath>

namespace lumigrid {

namespace {

constexpr double kMillimetresPerInch = 25.4;
// The strip's insides, from the sheet's edges, in millimetres.
constexpr double kInset = 5;
constexpr double kBarLength = 100;
constexpr double kBarThickness = 1;
constexpr double kTextTop = 1.5;
constexpr double kBarTop = 6.5;
constexpr std::int32_t kTextPoints = 6;

}  // namespace

std::int32_t sheet_pixels(double millimetres, std::int32_t dpi) {
  // Papers of at most 1414 mm at a few hundred dpi: far inside 32 bits.
  return std::int32_t(std::nearbyint(millimetres * dpi / kMillimetresPerInch));
}

AreaSize sheet_size(const PaperSize& paper, std::int32_t dpi) {
  return {sheet_pixels(paper.short_mm, dpi), sheet_pixels(paper.long_mm, dpi)};
}

std::string sheet_strip_line(const SheetStripText& text) {
  return "lumigrid " + text.version + ": pattern " + text.pattern + " on " + text.paper + " at " +
         std::to_string(text.dpi) + " dpi, " + text.route + ", " + text.date + "; bars 100 mm";
}

void draw_sheet_strip(Canvas& canvas, std::int32_t dpi, const std::string& line) {
  const DrawingTools tools = canvas.tools();
  const std::int32_t ppi = canvas.pixelsPerInch();
  const auto mm = [dpi](double millimetres) { return sheet_pixels(millimetres, dpi); };
  const std::int32_t width = canvas.width();
  const std::int32_t height = canvas.height();
  const std::int32_t band_top = height - mm(kStripMillimetres);

  canvas.setBrushColour(kWhite);
  canvas.FillRect(0, band_top, width, height);
  // The bar down the right edge on its own white ground, ending where the band begins.
  const std::int32_t down_left = width - mm(kInset) - mm(kBarThickness);
  canvas.FillRect(down_left - mm(2), band_top - mm(kBarLength) - mm(2), width, band_top);

  // The type is sized for the paper, whatever resolution the pattern's labels were sized for.
  canvas.setPixelsPerInch(dpi);
  canvas.setFontSize(kTextPoints);
  canvas.setFontColour(kBlack);
  canvas.TextOut(mm(kInset), band_top + mm(kTextTop), line);

  canvas.setBrushColour(kBlack);
  const std::int32_t across_top = band_top + mm(kBarTop);
  canvas.FillRect(mm(kInset), across_top, mm(kInset) + mm(kBarLength),
                  across_top + mm(kBarThickness));
  canvas.FillRect(down_left, band_top - mm(kBarLength), down_left + mm(kBarThickness), band_top);

  canvas.setPixelsPerInch(ppi);
  canvas.setBrushColour(tools.brush_colour);
  canvas.setFontColour(tools.font_colour);
  canvas.setFontSize(tools.font_size_points);
}

}  // namespace lumigrid
