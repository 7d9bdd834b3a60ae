#pragma once
// Printing a page at its true size, as pure arithmetic: the paper's orientation, the scale from
// page pixels to a printer's device units, whether the page fits the printable area, and the
// bands the page is handed to the printer in. The window only applies the results.
#include <cstdint>
#include <string>
#include <vector>

namespace lumigrid {

enum class PageOrientation { Portrait, Landscape };

// Landscape for a page wider than tall, else portrait.
PageOrientation page_orientation(std::int32_t width, std::int32_t height);

// Device units one page pixel covers on a device of `device_dots_per_inch`: a page pixel is
// 1/600 inch whatever the device. Throws the division-by-zero error for a device of no units.
double device_units_per_page_pixel(double device_dots_per_inch);

// Whether a page of width x height pixels fits, at 100 %, a printable area of the given sides in
// inches. The paper sizes' pixels are rounded to the nearest whole pixel, so a page up to half a
// pixel over the area (A4's 7016 pixels on 297 mm) still fits it.
bool page_fits_printable_area(std::int32_t width, std::int32_t height,
                              double printable_width_inches, double printable_height_inches);

// The question asked before a page that does not fit is printed: its size, the printable
// area's, and which of its edges are cut off.
std::string page_overflow_question(std::int32_t width, std::int32_t height,
                                   double printable_width_inches, double printable_height_inches);

// A strip of whole page rows handed to the printer at once, and where it lands in device units
// below the printable area's origin.
struct PrintBand {
  std::int32_t first_row = 0;
  std::int32_t rows = 0;
  double device_top = 0;
  double device_height = 0;
  friend bool operator==(const PrintBand&, const PrintBand&) = default;
};

// The bands covering a page of width x height, each of at most `band_bytes` pixels (at least one
// row), top to bottom, placed at `units_per_pixel` device units per page pixel. The printer
// converts and compresses one band at a time, so a B0 page is never copied whole.
std::vector<PrintBand> print_bands(std::int32_t width, std::int32_t height,
                                   std::uint64_t band_bytes, double units_per_pixel);

}  // namespace lumigrid
