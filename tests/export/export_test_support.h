#pragma once
// Shared by the export tests: scratch folders (support/temp_folder.h) and small surfaces with
// known pixels.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "surface/surface.h"

namespace lumigrid::testing_support {

using testing::read_bytes;
using testing::ScratchFolder;
using testing::write_file;

// Stores `rgb`, given as 0xRRGGBB (its low byte for a grey surface), at (x, y).
inline void put_pixel(Surface& s, std::int32_t x, std::int32_t y, std::uint32_t rgb) {
  if (s.format() == PixelFormat::Gray8) {
    s.rowData(y)[x] = std::uint8_t(rgb & 0xFF);
  } else {
    const std::uint32_t v = 0xFF000000u | rgb;
    std::memcpy(s.rowData(y) + std::size_t(x) * 4, &v, 4);
  }
}

// The (R, G, B) of a pixel as the encoders should see it.
struct Rgb {
  std::uint8_t r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline Rgb rgb_at(const Surface& s, std::int32_t x, std::int32_t y) {
  const std::uint8_t* row = s.rowData(y);
  if (s.format() == PixelFormat::Gray8) return {row[x], row[x], row[x]};
  const std::uint8_t* p = row + std::size_t(x) * 4;
  return {p[2], p[1], p[0]};
}

// A picture whose rows, columns and channels all differ, so flips, swaps and offsets show; in
// Rgb32 it has thousands of colours.
inline Surface gradient_surface(PixelFormat format, std::int32_t width, std::int32_t height) {
  Surface s(width, height, format);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint32_t r = std::uint32_t(x * 255 / (width > 1 ? width - 1 : 1));
      const std::uint32_t g = std::uint32_t(y * 255 / (height > 1 ? height - 1 : 1));
      const std::uint32_t b = std::uint32_t((x + 2 * y) * 7 % 256);
      put_pixel(s, x, y, format == PixelFormat::Gray8 ? (r + g) / 2 : (r << 16) | (g << 8) | b);
    }
  }
  return s;
}

// Black and white blocks, as on a page.
inline Surface page_like_surface(PixelFormat format, std::int32_t width, std::int32_t height) {
  Surface s(width, height, format);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const bool black = ((x / 3) + (y / 2)) % 2 == 0 || x == y;
      // Black is 0 in both formats; white is one grey byte or three colour bytes.
      put_pixel(s, x, y, black ? 0u : (format == PixelFormat::Gray8 ? 255u : 0xFFFFFFu));
    }
  }
  return s;
}

}  // namespace lumigrid::testing_support

namespace lumigrid::testing_support {

// Colours that compress badly: many IDAT chunks, many palette entries.
inline Surface noise_surface(std::int32_t width, std::int32_t height, std::uint32_t seed) {
  Surface s(width, height, PixelFormat::Rgb32);
  std::uint32_t state = seed;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      put_pixel(s, x, y, state >> 8);
    }
  }
  return s;
}

}  // namespace lumigrid::testing_support
