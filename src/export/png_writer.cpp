// PNG: truecolour 8 bits a channel, no alpha, not interlaced, deflate level 7, the Sub filter on
// every row, IDAT chunks of at most 65535 bytes, and no chunks besides IHDR, IDAT and IEND.
//
// The image data is one zlib stream of the filtered rows, compressed in segments on every
// processor (row_deflate).
#include "export/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "export/export_internal.h"
#include "export/png_segments.h"
#include "export/row_deflate.h"

namespace lumigrid::export_detail {

namespace {

constexpr std::size_t kIdatBytes = 65535;
constexpr int kLevel = 7;
// Filtered rows compress best with the strategy made for them.
constexpr int kStrategy = Z_FILTERED;

void put_be32(std::uint8_t* at, std::uint32_t value) {
  at[0] = std::uint8_t(value >> 24);
  at[1] = std::uint8_t(value >> 16);
  at[2] = std::uint8_t(value >> 8);
  at[3] = std::uint8_t(value);
}

// The chunks around the image data, and the data cut into IDAT chunks as it comes.
class PngContainer {
 public:
  explicit PngContainer(AtomicFile& file) : file_(file) { idat_.reserve(kIdatBytes); }

  void begin(std::int32_t width, std::int32_t height) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    file_.write(kSignature, sizeof kSignature);
    std::uint8_t header[13] = {};
    put_be32(header, std::uint32_t(width));
    put_be32(header + 4, std::uint32_t(height));
    header[8] = 8;  // bits per channel
    header[9] = 2;  // truecolour; compression, filter method and interlace stay 0
    chunk("IHDR", header, sizeof header);
  }

  void data(const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
      const std::size_t n = std::min(size, kIdatBytes - idat_.size());
      idat_.insert(idat_.end(), bytes, bytes + n);
      bytes += n;
      size -= n;
      if (idat_.size() == kIdatBytes) flush();
    }
  }

  void end() {
    if (!idat_.empty()) flush();
    chunk("IEND", nullptr, 0);
  }

 private:
  void flush() {
    chunk("IDAT", idat_.data(), idat_.size());
    idat_.clear();
  }

  void chunk(const char (&type)[5], const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[8];
    put_be32(head, std::uint32_t(size));
    std::memcpy(head + 4, type, 4);
    file_.write(head, sizeof head);
    if (size > 0) file_.write(data, size);
    uLong crc = crc32(0, head + 4, 4);
    if (size > 0) crc = crc32_z(crc, data, size);
    std::uint8_t tail[4];
    put_be32(tail, std::uint32_t(crc));
    file_.write(tail, sizeof tail);
  }

  AtomicFile& file_;
  std::vector<std::uint8_t> idat_;
};

// Row y as stored in the stream: the filter type, then each byte minus the same channel of the
// pixel to its left. A one-pixel row has nothing to its left and is stored unfiltered.
void filter_row(const RowSource& picture, std::int32_t y, std::uint8_t* scratch,
                std::uint8_t* out) {
  const std::int32_t width = picture.width();
  out[0] = width == 1 ? 0 : 1;
  std::uint8_t* rgb = out + 1;
  const std::uint8_t* pixels = picture.row(y, scratch);
  if (picture.format() == PixelFormat::Gray8) {
    const std::uint8_t* grey = pixels;
    rgb[0] = rgb[1] = rgb[2] = grey[0];
    for (std::int32_t x = 1; x < width; ++x) {
      const std::uint8_t d = std::uint8_t(grey[x] - grey[x - 1]);
      std::uint8_t* p = rgb + std::size_t(x) * 3;
      p[0] = p[1] = p[2] = d;
    }
    return;
  }
  row_to_rgb(pixels, picture.format(), width, rgb);
  for (std::size_t i = std::size_t(width) * 3; i-- > 3;) rgb[i] = std::uint8_t(rgb[i] - rgb[i - 3]);
}

}  // namespace

void write_png(const RowSource& picture, AtomicFile& file, ProgressPacer& progress,
               const PngTuning& tuning) {
  PngContainer png(file);
  png.begin(picture.width(), picture.height());
  const EncodedRows rows{picture, png_row_bytes(picture.width()),
                         [&picture](std::int32_t y, std::uint8_t* scratch, std::uint8_t* out) {
                           filter_row(picture, y, scratch, out);
                         }};
  try {
    deflate_rows(
        rows, {kLevel, kStrategy}, tuning,
        [&png](const std::uint8_t* bytes, std::size_t size) { png.data(bytes, size); }, file,
        progress);
  } catch (const DeflateError& e) {
    throw_write_error(file.target(), std::string("PNG encoder: ") + e.what());
  } catch (const std::exception& e) {
    // A compressor that found no memory, or a thread that could not be started.
    if (is_memory_failure(e)) throw_memory_error(file.target());
    throw;
  }
  png.end();
  file.check();
}

void write_png(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  write_png(picture, file, progress, PngTuning{});
}

}  // namespace lumigrid::export_detail
