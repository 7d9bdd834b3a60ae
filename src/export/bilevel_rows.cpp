// One bit a pixel for pages that are black and white only: an eighth of the data to compress.
#include "export/export_internal.h"

namespace lumigrid::export_detail {

bool black_and_white(const Surface& surface) {
  if (surface.format() != PixelFormat::Gray8) return false;
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    const std::uint8_t* row = surface.rowData(y);
    // Wrapping 0 to 1 and 255 to 0 leaves every other level above 1; the flag is ORed rather
    // than tested per pixel so the loop vectorises.
    std::uint8_t other = 0;
    for (std::int32_t x = 0; x < surface.width(); ++x) other |= std::uint8_t(row[x] + 1) & 0xFE;
    if (other != 0) return false;
  }
  return true;
}

void pack_row_bits(const std::uint8_t* grey, std::int32_t width, std::uint8_t* out) {
  std::int32_t x = 0;
  for (; x + 8 <= width; x += 8, ++out) {
    std::uint8_t byte = 0;
    for (int bit = 0; bit < 8; ++bit) byte = std::uint8_t(byte << 1 | (grey[x + bit] >> 7));
    *out = byte;
  }
  if (x < width) {
    std::uint8_t byte = 0;
    for (int bit = 0; bit < 8; ++bit) {
      byte = std::uint8_t(byte << 1 | (x + bit < width ? grey[x + bit] >> 7 : 0));
    }
    *out = byte;
  }
}

}  // namespace lumigrid::export_detail
