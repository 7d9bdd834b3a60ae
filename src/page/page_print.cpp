#include "page/page_print.h"

#include <algorithm>
#include <cstdio>

#include "base/errors.h"
#include "page/page_build.h"

namespace lumigrid {

namespace {

// How far a page side may pass the printable area: the rounding of a paper side to pixels.
constexpr double kRoundingPixels = 0.5;
constexpr double kMillimetresPerInch = 25.4;

bool side_fits(std::int32_t pixels, double printable_inches) {
  return double(pixels) <= printable_inches * kPageDpi + kRoundingPixels;
}

std::string millimetres(double width_mm, double height_mm) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f x %.1f mm", width_mm, height_mm);
  return text;
}

}  // namespace

PageOrientation page_orientation(std::int32_t width, std::int32_t height) {
  return width > height ? PageOrientation::Landscape : PageOrientation::Portrait;
}

double device_units_per_page_pixel(double device_dots_per_inch) {
  if (!(device_dots_per_inch > 0)) throw DivisionByZeroError();
  return device_dots_per_inch / kPageDpi;
}

bool page_fits_printable_area(std::int32_t width, std::int32_t height,
                              double printable_width_inches, double printable_height_inches) {
  return side_fits(width, printable_width_inches) && side_fits(height, printable_height_inches);
}

std::string page_overflow_question(std::int32_t width, std::int32_t height,
                                   double printable_width_inches, double printable_height_inches) {
  const bool wide = !side_fits(width, printable_width_inches);
  const bool tall = !side_fits(height, printable_height_inches);
  const char* cut = wide && tall ? "its right and bottom edges are"
                    : wide       ? "its right edge is"
                                 : "its bottom edge is";
  const double per_pixel = kMillimetresPerInch / kPageDpi;
  return "The page (" + millimetres(width * per_pixel, height * per_pixel) +
         ") is larger than the printable area of the paper (" +
         millimetres(printable_width_inches * kMillimetresPerInch,
                     printable_height_inches * kMillimetresPerInch) +
         "). Printed at 100 %, " + cut + " cut off. Print anyway?";
}

std::vector<PrintBand> print_bands(std::int32_t width, std::int32_t height,
                                   std::uint64_t band_bytes, double units_per_pixel) {
  std::vector<PrintBand> bands;
  if (width < 1 || height < 1) return bands;
  const auto rows_per_band = std::int32_t(
      std::clamp<std::uint64_t>(band_bytes / std::uint64_t(width), 1, std::uint64_t(height)));
  for (std::int32_t first = 0; first < height; first += std::min(rows_per_band, height - first)) {
    const std::int32_t rows = std::min(rows_per_band, height - first);
    bands.push_back({first, rows, first * units_per_pixel, rows * units_per_pixel});
  }
  return bands;
}

}  // namespace lumigrid
