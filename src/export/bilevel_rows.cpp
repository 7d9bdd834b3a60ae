// One bit a pixel for pages that are black and white only: an eighth of the data to compress.
#include <cstring>
#include <unordered_set>

#include "export/export_internal.h"

namespace lumigrid::export_detail {

bool black_and_white(const RowSource& picture) {
  if (picture.format() != PixelFormat::Gray8) return false;
  // A row of a class already seen holds the same pixels.
  std::unordered_set<std::uint64_t> classes_seen;
  const auto scratch = row_scratch(picture);
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    if (const auto row_class = picture.rowClass(y)) {
      if (!classes_seen.insert(*row_class).second) continue;
    }
    const std::uint8_t* row = picture.row(y, scratch.get());
    // Wrapping 0 to 1 and 255 to 0 leaves every other level above 1; the flag is ORed rather
    // than tested per pixel so the loop vectorises.
    std::uint8_t other = 0;
    for (std::int32_t x = 0; x < picture.width(); ++x) other |= std::uint8_t(row[x] + 1) & 0xFE;
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

void store_samples(const std::uint8_t* pixels, PixelFormat format, bool bilevel, std::int32_t width,
                   std::uint8_t* out) {
  if (bilevel) {
    pack_row_bits(pixels, width, out);
  } else if (format == PixelFormat::Gray8) {
    std::memcpy(out, pixels, std::size_t(width));
  } else {
    row_to_rgb(pixels, format, width, out);
  }
}

}  // namespace lumigrid::export_detail
