// PNG: truecolour 8 bits a channel, no alpha, not interlaced, deflate level 7, the Sub filter on
// every row, IDAT chunks of at most 65535 bytes, and no chunks besides IHDR, IDAT and IEND.
//
// The image data is one zlib stream. A large picture's stream is made of segments of whole rows,
// each compressed on its own (primed with the rows before it, ended on a byte boundary), so that
// segments compress on every processor and a segment equal to an earlier one reuses its bytes:
// a printable page repeats its rows every tile. The bytes depend on the picture alone, never on
// the number of threads.
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
#include "export/parallel_deflate.h"
#include "export/png_segments.h"

namespace lumigrid::export_detail {

namespace {

constexpr std::size_t kIdatBytes = 65535;
constexpr int kLevel = 7;
constexpr int kWindowBits = 15;
constexpr int kMemLevel = 8;
// Filtered rows compress best with the strategy made for them.
constexpr int kStrategy = Z_FILTERED;
constexpr std::size_t kDeflateWindow = 32768;
// Wider rows go into one plain stream: a segment's length must stay countable by zlib everywhere.
constexpr std::uint64_t kLargestSegmentRow = std::uint64_t(1) << 30;
// Taller pictures go into one plain stream too: the row hashes (8 bytes a row) stay within
// 32 MiB however narrow the rows.
constexpr std::int64_t kMostSegmentedRows = std::int64_t(1) << 22;
// Segments compressed but not yet written hold at most about this much; on many processors
// with large, incompressible segments fewer of them run at once.
constexpr std::uint64_t kInFlightBytes = std::uint64_t(24) << 20;

// The two-byte zlib stream header that zlib itself would write for these settings: the window
// size, the level class of kLevel (0 fastest ... 3 best) and the check bits, no dictionary.
constexpr std::array<std::uint8_t, 2> zlib_header(int window_bits, int level, int strategy) {
  const unsigned cmf = (unsigned(window_bits - 8) << 4) | 8U;
  const unsigned level_class = strategy >= Z_HUFFMAN_ONLY || level < 2 ? 0U
                               : level < 6                             ? 1U
                               : level == 6                            ? 2U
                                                                       : 3U;
  unsigned flg = level_class << 6;
  flg += 31U - (cmf * 256U + flg) % 31U;
  return {std::uint8_t(cmf), std::uint8_t(flg)};
}
constexpr std::array<std::uint8_t, 2> kZlibHeader = zlib_header(kWindowBits, kLevel, kStrategy);
static_assert((kZlibHeader[0] * 256 + kZlibHeader[1]) % 31 == 0);

// zlib refused something; the save fails with its reason.
class DeflateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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

struct Deflater {
  z_stream z{};
  bool open = false;
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  explicit Deflater(int window_bits) {
    if (deflateInit2(&z, kLevel, Z_DEFLATED, window_bits, kMemLevel, kStrategy) != Z_OK) {
      throw std::bad_alloc();
    }
    open = true;
  }
  ~Deflater() {
    if (open) deflateEnd(&z);
  }
};

// Feeds `size` bytes (or none, to flush) and appends what comes out to `out` from `used` on.
void deflate_into(z_stream& z, const std::uint8_t* bytes, std::size_t size, int flush,
                  std::vector<std::uint8_t>& out, std::size_t& used) {
  z.next_in = const_cast<Bytef*>(bytes);
  z.avail_in = uInt(size);
  for (;;) {
    if (out.size() - used < 4096) out.resize(std::max<std::size_t>(out.size() * 2, 65536));
    const std::size_t room = std::min<std::size_t>(out.size() - used, 1u << 30);
    z.next_out = out.data() + used;
    z.avail_out = uInt(room);
    const int status = deflate(&z, flush);
    used += room - z.avail_out;
    if (status == Z_STREAM_END) return;
    if (status != Z_OK && status != Z_BUF_ERROR) throw DeflateError("deflate failed");
    if (z.avail_in == 0 && z.avail_out != 0) return;
  }
}

// Small pictures: one ordinary zlib stream, row after row.
void write_single_stream(const RowSource& picture, PngContainer& png, AtomicFile& file,
                         ProgressPacer& progress) {
  Deflater deflater(kWindowBits);
  const std::uint64_t row_bytes = png_row_bytes(picture.width());
  std::vector<std::uint8_t> row(row_bytes);
  std::vector<std::uint8_t> out(65536);
  const auto scratch = row_scratch(picture);
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    filter_row(picture, y, scratch.get(), row.data());
    // Rows longer than zlib counts at once go in parts.
    for (std::uint64_t done = 0; done < row_bytes;) {
      const std::size_t part = std::size_t(std::min<std::uint64_t>(row_bytes - done, 1u << 30));
      std::size_t used = 0;
      deflate_into(deflater.z, row.data() + done, part, Z_NO_FLUSH, out, used);
      png.data(out.data(), used);
      done += part;
    }
    progress.advance();
    if (file.failed()) return;
  }
  std::size_t used = 0;
  deflate_into(deflater.z, nullptr, 0, Z_FINISH, out, used);
  png.data(out.data(), used);
}

// Each compressing thread's zlib state and row buffers, reused from segment to segment.
struct SegmentWorker {
  Deflater deflater{-kWindowBits};  // raw deflate: the stream's header and check are written once
  std::vector<std::uint8_t> row;
  std::vector<std::uint8_t> dictionary;
  std::unique_ptr<std::uint8_t[]> scratch;  // a row the picture may fill
};

CompressedSegment compress_segment(const RowSource& picture, const SegmentPlan& plan,
                                   std::size_t index, SegmentWorker& worker) {
  const std::uint64_t row_bytes = png_row_bytes(picture.width());
  z_stream& z = worker.deflater.z;
  if (deflateReset(&z) != Z_OK) throw DeflateError("deflate reset failed");
  const std::int32_t begin = plan.beginRow(index), end = plan.endRow(index);
  // Primed with the end of the rows before, as one stream would have them in its window.
  const std::int32_t primed = std::min(begin, plan.dictionary_rows);
  if (primed > 0) {
    worker.dictionary.resize(std::size_t(row_bytes) * std::size_t(primed));
    for (std::int32_t r = 0; r < primed; ++r) {
      filter_row(picture, begin - primed + r, worker.scratch.get(),
                 worker.dictionary.data() + std::size_t(row_bytes) * std::size_t(r));
    }
    const std::size_t take = std::min(worker.dictionary.size(), kDeflateWindow);
    if (deflateSetDictionary(&z, worker.dictionary.data() + worker.dictionary.size() - take,
                             uInt(take)) != Z_OK) {
      throw DeflateError("deflate dictionary refused");
    }
  }
  worker.row.resize(std::size_t(row_bytes));
  const std::uint64_t length = row_bytes * std::uint64_t(end - begin);
  std::vector<std::uint8_t> out(std::size_t(std::min<std::uint64_t>(length / 4 + 4096, 1u << 20)));
  std::size_t used = 0;
  uLong adler = adler32(0, nullptr, 0);
  for (std::int32_t y = begin; y < end; ++y) {
    filter_row(picture, y, worker.scratch.get(), worker.row.data());
    adler = adler32_z(adler, worker.row.data(), worker.row.size());
    deflate_into(z, worker.row.data(), worker.row.size(), Z_NO_FLUSH, out, used);
  }
  // Ends on a byte boundary with every block closed, so the next segment's bytes follow as is.
  deflate_into(z, nullptr, 0, Z_SYNC_FLUSH, out, used);
  out.resize(used);
  out.shrink_to_fit();
  return {std::make_shared<const std::vector<std::uint8_t>>(std::move(out)), std::uint32_t(adler),
          length};
}

void write_segments(const RowSource& picture, const PngTuning& tuning, unsigned threads,
                    PngContainer& png, AtomicFile& file, ProgressPacer& progress) {
  const std::vector<std::uint64_t> hashes = row_hashes(picture, threads);
  const SegmentPlan plan = plan_segments(picture, hashes, tuning, threads);

  png.data(kZlibHeader.data(), kZlibHeader.size());
  std::vector<std::unique_ptr<SegmentWorker>> workers(threads);
  const std::uint64_t row_bytes = png_row_bytes(picture.width());
  std::int64_t tallest = 1;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    tallest = std::max<std::int64_t>(tallest, plan.endRow(i) - plan.beginRow(i));
  }
  const std::uint64_t fit = kInFlightBytes / (row_bytes * std::uint64_t(tallest));
  const std::size_t window =
      std::size_t(std::clamp<std::uint64_t>(fit, 2, 2 * std::uint64_t(threads) + 2));
  uLong adler = adler32(0, nullptr, 0);
  deflate_in_order(
      plan.source, {threads, tuning.reuse_budget_bytes, window},
      [&](unsigned w, std::size_t i) {
        if (tuning.before_segment) tuning.before_segment(i);
        if (!workers[w]) {
          workers[w] = std::make_unique<SegmentWorker>();
          workers[w]->scratch = row_scratch(picture);
        }
        return compress_segment(picture, plan, i, *workers[w]);
      },
      [&](std::size_t i, const CompressedSegment& segment) {
        png.data(segment.bytes->data(), segment.bytes->size());
        adler = adler32_combine(adler, segment.adler, z_off_t(segment.length));
        progress.advance(std::uint64_t(plan.endRow(i) - plan.beginRow(i)));
        file.check();
      });
  // An empty final block closes the deflate data; the Adler-32 of all rows ends the stream.
  std::uint8_t tail[6] = {0x03, 0x00};
  put_be32(tail + 2, std::uint32_t(adler));
  png.data(tail, sizeof tail);
}

}  // namespace

void write_png(const RowSource& picture, AtomicFile& file, ProgressPacer& progress,
               const PngTuning& tuning) {
  unsigned threads = tuning.threads != 0 ? tuning.threads : std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  PngContainer png(file);
  png.begin(picture.width(), picture.height());
  const std::uint64_t row_bytes = png_row_bytes(picture.width());
  const std::uint64_t total = row_bytes * std::uint64_t(picture.height());
  try {
    if (total < tuning.single_stream_below || row_bytes > kLargestSegmentRow ||
        picture.height() > kMostSegmentedRows) {
      write_single_stream(picture, png, file, progress);
    } else {
      write_segments(picture, tuning, threads, png, file, progress);
    }
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
