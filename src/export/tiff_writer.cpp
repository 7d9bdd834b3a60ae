// TIFF through libtiff: one image in strips, written as the rows come, losslessly compressed.
// A page whose pixels are all black or white is stored at one bit a pixel, any other grey page
// at eight; a window capture is RGB. The resolution tags carry the picture's size on paper, so
// a viewer or print dialog shows a page at its true size.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "export/export_internal.h"

namespace lumigrid::export_detail {

namespace {

// Measured on the A4 test-chart page: Deflate writes 67 KiB in about the time LZW takes for
// 823 KiB; PackBits is faster still but writes 3.3 MiB.
constexpr std::uint16_t kCompression = COMPRESSION_ADOBE_DEFLATE;
// Uncompressed bytes a strip holds: big enough for Deflate to find long runs, small enough
// that a reader decodes a strip at a time without strain.
constexpr std::uint64_t kStripBytes = std::uint64_t(256) * 1024;

// The libtiff handle's view of the output: a write position over the atomic file, which
// takes appends at its end and overwrites of what is already written (libtiff patches the
// header's directory offset last).
struct Output {
  AtomicFile* file;
  std::uint64_t position = 0;
  std::string error;  // libtiff's first error message
};

tmsize_t read_proc(thandle_t, void*, tmsize_t) {
  return -1;  // the writer never reads back
}

tmsize_t write_proc(thandle_t handle, void* data, tmsize_t size) {
  auto& out = *static_cast<Output*>(handle);
  if (size < 0) return -1;
  AtomicFile& file = *out.file;
  const std::uint64_t end = file.bytesWritten();
  const auto bytes = std::uint64_t(size);
  if (out.position >= end) {
    // libtiff aligns a directory to an even offset, which may leave a one-byte gap.
    static constexpr std::uint8_t kZeros[16] = {};
    for (std::uint64_t gap = out.position - end; gap > 0;) {
      const std::uint64_t n = gap < sizeof kZeros ? gap : sizeof kZeros;
      file.write(kZeros, std::size_t(n));
      gap -= n;
    }
    file.write(data, std::size_t(size));
  } else if (bytes <= end - out.position) {
    file.writeAt(out.position, data, std::size_t(size));
  } else {
    // Part overwrite, part append.
    const std::uint64_t head = end - out.position;
    file.writeAt(out.position, data, head);
    file.write(static_cast<const std::uint8_t*>(data) + head, bytes - head);
  }
  if (file.failed()) return -1;
  out.position += bytes;
  return size;
}

toff_t seek_proc(thandle_t handle, toff_t offset, int whence) {
  auto& out = *static_cast<Output*>(handle);
  switch (whence) {
    case SEEK_SET:
      out.position = offset;
      break;
    case SEEK_CUR:
      out.position += offset;
      break;
    case SEEK_END:
      out.position = out.file->bytesWritten() + offset;
      break;
    default:
      return toff_t(-1);
  }
  return out.position;
}

int close_proc(thandle_t) {
  return 0;
}

toff_t size_proc(thandle_t handle) {
  return static_cast<Output*>(handle)->file->bytesWritten();
}

int map_proc(thandle_t, void**, toff_t*) {
  return 0;
}

void unmap_proc(thandle_t, void*, toff_t) {}

int error_handler(TIFF*, void* user_data, const char* module, const char* format, va_list args) {
  auto& out = *static_cast<Output*>(user_data);
  if (out.error.empty()) {
    char text[512];
    // libtiff's own format string and arguments.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::vsnprintf(text, sizeof text, format, args);
#pragma GCC diagnostic pop
    out.error = std::string(module ? module : "libtiff") + ": " + text;
  }
  return 1;
}

int warning_handler(TIFF*, void*, const char*, const char*, va_list) {
  return 1;  // warnings change nothing in the file
}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

void write_tiff(const RowSource& picture, double pixels_per_inch, AtomicFile& file,
                ProgressPacer& progress) {
  const std::int32_t width = picture.width(), height = picture.height();
  const bool grey = picture.format() == PixelFormat::Gray8;
  const bool bilevel = grey && black_and_white(picture);
  const std::uint16_t samples = grey ? 1 : 3;
  const std::uint64_t row_bytes =
      bilevel ? (std::uint64_t(width) + 7) / 8 : std::uint64_t(width) * samples;
  const bool big = tiff_needs_bigtiff(width, height, bilevel ? 0 : samples);

  Output out{&file, 0, {}};
  std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
  if (!options) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), error_handler, &out);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), warning_handler, &out);
  // "m": no memory mapping, the output is not a plain file.
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFClientOpenExt(
      file.target().string().c_str(), big ? "w8m" : "wm", &out, read_proc, write_proc, seek_proc,
      close_proc, size_proc, map_proc, unmap_proc, options.get()));
  const auto fail = [&] {
    file.check();  // a system error says more than libtiff's echo of it
    throw_write_error(file.target(), out.error.empty() ? "the TIFF library failed" : out.error);
  };
  if (!tiff) fail();

  const auto rows_per_strip = std::uint32_t(std::max<std::uint64_t>(
      1, std::min<std::uint64_t>(kStripBytes / row_bytes, std::uint64_t(height))));
  TIFF* t = tiff.get();
  bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(width)) &&
            TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(height)) &&
            TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples) &&
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8) &&
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) &&
            TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(t, TIFFTAG_COMPRESSION, kCompression) &&
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rows_per_strip) &&
            TIFFSetField(t, TIFFTAG_XRESOLUTION, pixels_per_inch) &&
            TIFFSetField(t, TIFFTAG_YRESOLUTION, pixels_per_inch) &&
            TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  // Differences between neighbours help Deflate on grey and colour levels, not on packed bits.
  if (ok && !bilevel) ok = TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (!ok) fail();

  std::vector<std::uint8_t> row(row_bytes == 0 ? 1 : row_bytes);
  const auto scratch = row_scratch(picture);
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* source = picture.row(y, scratch.get());
    if (bilevel) {
      pack_row_bits(source, width, row.data());
    } else if (grey) {
      std::memcpy(row.data(), source, std::size_t(width));
    } else {
      row_to_rgb(source, picture.format(), width, row.data());
    }
    // libtiff may encode in place, so the row passed is always a scratch copy.
    if (TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0) < 0) fail();
    progress.advance();
  }
  if (!TIFFWriteDirectory(t)) fail();
  tiff.reset();
  file.check();
}

}  // namespace lumigrid::export_detail
