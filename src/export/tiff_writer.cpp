// TIFF through libtiff: one image in strips, written as the rows come, losslessly compressed.
// A page whose pixels are all black or white is stored at one bit a pixel, any other grey page
// at eight; a window capture is RGB. The resolution tags carry the picture's size on paper, so
// a viewer or print dialog shows a page at its true size.
#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "export/export_internal.h"
#include "export/parallel_deflate.h"
#include "export/png_segments.h"
#include "export/row_deflate.h"

namespace lumigrid::export_detail {

namespace {

// Measured on the A4 test-chart page: Deflate writes 67 KiB in about the time LZW takes for
// 823 KiB; PackBits is faster still but writes 3.3 MiB.
constexpr std::uint16_t kCompression = COMPRESSION_ADOBE_DEFLATE;
// Uncompressed bytes a strip holds: big enough for Deflate to find long runs, small enough
// that a reader decodes a strip at a time without strain.
constexpr std::uint64_t kStripBytes = std::uint64_t(256) * 1024;
// libtiff's own Deflate level, which the strips compressed here keep.
constexpr int kDeflateLevel = 6;
// Compressed strips kept for the equal strips that follow.
constexpr std::size_t kReuseBudgetBytes = std::size_t(32) << 20;

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

// The rows a strip holds: the usual strip bytes, in whole periods of a picture that repeats, or
// equal parts of one (its strips then start at a few places of the pattern, so most are equal
// and compressed once).
std::uint32_t strip_rows(std::uint64_t row_bytes, std::int32_t height, std::int32_t period) {
  const std::uint64_t rows = std::max<std::uint64_t>(
      1, std::min<std::uint64_t>(kStripBytes / std::max<std::uint64_t>(row_bytes, 1),
                                 std::uint64_t(height)));
  if (period > 0 && std::uint64_t(period) <= rows) {
    return std::uint32_t(rows / std::uint64_t(period) * std::uint64_t(period));
  }
  // A longer period is cut into equal strips, when a part at least half the usual size divides it.
  for (std::uint64_t part = rows; period > 0 && part * 2 >= rows && part > 1; --part) {
    if (std::uint64_t(period) % part == 0) return std::uint32_t(part);
  }
  return std::uint32_t(rows);
}

// Each compressing thread's zlib state and buffers, reused from strip to strip.
struct StripWorker {
  Deflater deflater{{kDeflateLevel, Z_DEFAULT_STRATEGY}, kZlibWindowBits};
  std::vector<std::uint8_t> strip;
  std::unique_ptr<std::uint8_t[]> scratch;  // a row the picture may fill
};

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

void write_tiff(const RowSource& picture, double pixels_per_inch, AtomicFile& file,
                ProgressPacer& progress, std::span<const std::uint8_t> icc_profile) {
  const std::int32_t width = picture.width(), height = picture.height();
  const bool grey = picture.format() == PixelFormat::Gray8;
  const bool bilevel = grey && black_and_white(picture);
  const std::uint16_t samples = grey ? 1 : 3;
  const std::uint64_t row_bytes = stored_sample_bytes(picture.format(), bilevel, width);
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

  // Rows wider than a strip are written one at a time, holding one row; narrower ones in strips
  // compressed on every core.
  const bool in_strips = row_bytes <= kStripBytes;
  unsigned threads = std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  const bool find_equal_strips = in_strips && height <= kMostSegmentedRows;
  const std::vector<std::uint64_t> hashes =
      find_equal_strips ? row_hashes(picture, threads) : std::vector<std::uint64_t>();
  const std::uint32_t rows_per_strip = strip_rows(row_bytes, height, find_period(hashes));
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
  // An RGB profile describes colour samples only; a grey picture's numbers stay the device's.
  if (ok && !grey && !icc_profile.empty()) {
    if (icc_profile.size() > UINT32_MAX) fail();
    ok = TIFFSetField(t, TIFFTAG_ICCPROFILE, std::uint32_t(icc_profile.size()), icc_profile.data());
  }
  if (!ok) fail();

  // Row y as the file stores it, before the predictor.
  const auto tiff_row = [&](std::int32_t y, std::uint8_t* scratch, std::uint8_t* bytes) {
    store_samples(picture.row(y, scratch), picture.format(), bilevel, width, bytes);
  };

  if (!in_strips) {
    // libtiff applies the predictor, and may encode in place: the row is a scratch copy.
    std::vector<std::uint8_t> row(row_bytes);
    const auto scratch = row_scratch(picture);
    for (std::int32_t y = 0; y < height; ++y) {
      tiff_row(y, scratch.get(), row.data());
      if (TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0) < 0) fail();
      progress.advance();
    }
  } else {
    // Strips are compressed apart, on every core, and equal strips once: each strip's bytes
    // depend on its own rows alone, so the file is the same whatever the number of threads.
    const std::size_t strips = (std::size_t(height) + rows_per_strip - 1) / rows_per_strip;
    std::vector<KeyedRows> ranges(strips);
    for (std::size_t i = 0; i < strips; ++i) {
      const auto start = std::int32_t(i * rows_per_strip);
      ranges[i] = {start, start,
                   std::int32_t(std::min<std::uint64_t>(std::uint64_t(start) + rows_per_strip,
                                                        std::uint64_t(height)))};
    }
    std::vector<std::uint32_t> source(strips);
    if (find_equal_strips) {
      source = first_equal_ranges(picture, hashes, ranges, threads);
    } else {
      std::iota(source.begin(), source.end(), 0U);
    }
    std::vector<std::unique_ptr<StripWorker>> workers(threads);
    const auto compress = [&](unsigned w, std::size_t i) {
      if (!workers[w]) {
        workers[w] = std::make_unique<StripWorker>();
        workers[w]->scratch = row_scratch(picture);
      }
      StripWorker& worker = *workers[w];
      const KeyedRows& range = ranges[i];
      worker.strip.resize(std::size_t(row_bytes) * std::size_t(range.end - range.start));
      std::uint8_t* row = worker.strip.data();
      for (std::int32_t y = range.start; y < range.end; ++y, row += row_bytes) {
        tiff_row(y, worker.scratch.get(), row);
        if (bilevel) continue;
        // The horizontal predictor the file declares: each sample less the one a pixel before.
        for (std::size_t x = std::size_t(row_bytes); x-- > samples;) {
          row[x] = std::uint8_t(row[x] - row[x - samples]);
        }
      }
      z_stream& z = worker.deflater.z;
      if (deflateReset(&z) != Z_OK) throw std::bad_alloc();
      std::vector<std::uint8_t> packed(deflateBound(&z, worker.strip.size()));
      z.next_in = worker.strip.data();
      z.avail_in = uInt(worker.strip.size());
      z.next_out = packed.data();
      z.avail_out = uInt(packed.size());
      if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::bad_alloc();
      packed.resize(packed.size() - z.avail_out);
      // Kept strips are counted by their compressed size, so they hold no more.
      packed.shrink_to_fit();
      return CompressedSegment{std::make_shared<const std::vector<std::uint8_t>>(std::move(packed)),
                               1, worker.strip.size()};
    };
    deflate_in_order(
        source, {threads, kReuseBudgetBytes, 0}, compress,
        [&](std::size_t i, const CompressedSegment& strip) {
          if (TIFFWriteRawStrip(t, std::uint32_t(i), const_cast<std::uint8_t*>(strip.bytes->data()),
                                tmsize_t(strip.bytes->size())) < 0) {
            fail();
          }
          // Row by row, as a reader of the progress sees the rows arrive.
          for (std::int32_t y = ranges[i].start; y < ranges[i].end; ++y) {
            progress.advance();
          }
        });
  }
  if (!TIFFWriteDirectory(t)) fail();
  tiff.reset();
  file.check();
}

}  // namespace lumigrid::export_detail
