// Windows bitmap: 14-byte file header, 40-byte information header, 32 bits a pixel, rows stored
// bottom-up, uncompressed. The page (one byte a pixel) is written at the window's depth too, as
// its capture would hold it.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "export/export_internal.h"

namespace lumigrid::export_detail {

namespace {

void put16(std::uint8_t* at, std::uint16_t v) {
  at[0] = std::uint8_t(v);
  at[1] = std::uint8_t(v >> 8);
}

void put32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = std::uint8_t(v >> (8 * i));
}

// B, G, R, 0xFF for each grey byte, stored as little-endian words. This loop is most of a page
// save's own work: where the compiler can, it is also built for wider vector units and the
// processor picks the version it runs.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
void expand_grey_row(const std::uint8_t* grey, std::int32_t width, std::uint8_t* out) {
  for (std::int32_t x = 0; x < width; ++x, out += 4) {
    const std::uint32_t word = 0xFF000000u | std::uint32_t(grey[x]) * 0x010101u;
    std::memcpy(out, &word, 4);
  }
}

}  // namespace

static_assert(std::endian::native == std::endian::little, "pixel words are stored as bytes");

void write_bmp(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  constexpr std::uint32_t kHeaderBytes = 14 + 40;
  const std::int32_t width = picture.width(), height = picture.height();
  const std::uint64_t row_bytes = std::uint64_t(width) * 4;  // already a multiple of 4
  const std::uint64_t image_bytes = row_bytes * std::uint64_t(height);
  // save_image has refused anything whose file size does not fit 32 bits.
  const auto file_bytes = std::uint32_t(kHeaderBytes + image_bytes);

  std::array<std::uint8_t, kHeaderBytes> header{};
  header[0] = 'B';
  header[1] = 'M';
  put32(&header[2], file_bytes);
  put32(&header[10], kHeaderBytes);  // offset of the pixels
  put32(&header[14], 40);
  put32(&header[18], std::uint32_t(width));
  put32(&header[22], std::uint32_t(height));  // positive: bottom-up
  put16(&header[26], 1);                      // planes
  put16(&header[28], 32);                     // bits per pixel
  put32(&header[30], 0);                      // uncompressed
  put32(&header[34], std::uint32_t(image_bytes));
  file.write(header.data(), header.size());

  // A grey row is expanded straight into the file's buffer, a piece at a time, so that no row
  // buffer is held whatever the width.
  constexpr std::int32_t kPiecePixels = 64 * 1024;
  const auto scratch = row_scratch(picture);
  for (std::int32_t y = height - 1; y >= 0 && !file.failed(); --y) {
    if (picture.format() == PixelFormat::Rgb32) {
      file.write(picture.row(y, scratch.get()), std::size_t(row_bytes));
    } else {
      const std::uint8_t* grey = picture.row(y, scratch.get());
      for (std::int32_t x = 0; x < width;) {
        const std::int32_t n = std::min(kPiecePixels, width - x);
        std::uint8_t* reserved = file.reserve(std::size_t(n) * 4);
        if (reserved == nullptr) break;  // a write failed: check() below reports it
        expand_grey_row(grey + x, n, reserved);
        file.commitReserved(std::size_t(n) * 4);
        x += n;
      }
    }
    progress.advance();
  }
  file.check();
}

}  // namespace lumigrid::export_detail
