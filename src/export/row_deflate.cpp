#include "export/row_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "export/parallel_deflate.h"
#include "export/png_segments.h"

namespace lumigrid::export_detail {

namespace {

constexpr int kMemLevel = 8;
constexpr std::size_t kDeflateWindow = 32768;
// Wider rows go into one plain stream: a segment's length must stay countable by zlib everywhere.
constexpr std::uint64_t kLargestSegmentRow = std::uint64_t(1) << 30;
// Segments compressed but not yet written hold at most about this much; on many processors
// with large, incompressible segments fewer of them run at once.
constexpr std::uint64_t kInFlightBytes = std::uint64_t(24) << 20;

// The two-byte zlib stream header that zlib itself would write for these settings: the window
// size, the level class (0 fastest ... 3 best) and the check bits, no dictionary.
std::array<std::uint8_t, 2> zlib_header(int window_bits, int level, int strategy) {
  const unsigned cmf = (unsigned(window_bits - 8) << 4) | 8U;
  const unsigned level_class = strategy >= Z_HUFFMAN_ONLY || level < 2 ? 0U
                               : level < 6                             ? 1U
                               : level == 6                            ? 2U
                                                                       : 3U;
  unsigned flg = level_class << 6;
  flg += 31U - (cmf * 256U + flg) % 31U;
  return {std::uint8_t(cmf), std::uint8_t(flg)};
}

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

using Sink = std::function<void(const std::uint8_t*, std::size_t)>;

// Small pictures: one ordinary zlib stream, row after row.
void write_single_stream(const EncodedRows& rows, const ZlibChoice& zlib, const Sink& sink,
                         AtomicFile& file, ProgressPacer& progress) {
  Deflater deflater(zlib, kZlibWindowBits);
  const std::uint64_t row_bytes = rows.row_bytes;
  std::vector<std::uint8_t> row(row_bytes);
  std::vector<std::uint8_t> out(65536);
  const auto scratch = row_scratch(rows.picture);
  for (std::int32_t y = 0; y < rows.picture.height(); ++y) {
    rows.encode(y, scratch.get(), row.data());
    // Rows longer than zlib counts at once go in parts.
    for (std::uint64_t done = 0; done < row_bytes;) {
      const std::size_t part = std::size_t(std::min<std::uint64_t>(row_bytes - done, 1u << 30));
      std::size_t used = 0;
      deflate_into(deflater.z, row.data() + done, part, Z_NO_FLUSH, out, used);
      sink(out.data(), used);
      done += part;
    }
    progress.advance();
    if (file.failed()) return;
  }
  std::size_t used = 0;
  deflate_into(deflater.z, nullptr, 0, Z_FINISH, out, used);
  sink(out.data(), used);
}

// Each compressing thread's zlib state and row buffers, reused from segment to segment.
struct SegmentWorker {
  Deflater deflater;  // raw deflate: the stream's header and check are written once
  std::vector<std::uint8_t> row;
  std::vector<std::uint8_t> dictionary;
  std::unique_ptr<std::uint8_t[]> scratch;  // a row the picture may fill
  explicit SegmentWorker(const ZlibChoice& zlib) : deflater(zlib, -kZlibWindowBits) {}
};

CompressedSegment compress_segment(const EncodedRows& rows, const SegmentPlan& plan,
                                   std::size_t index, SegmentWorker& worker) {
  const std::uint64_t row_bytes = rows.row_bytes;
  z_stream& z = worker.deflater.z;
  if (deflateReset(&z) != Z_OK) throw DeflateError("deflate reset failed");
  const std::int32_t begin = plan.beginRow(index), end = plan.endRow(index);
  // Primed with the end of the rows before, as one stream would have them in its window.
  const std::int32_t primed = std::min(begin, plan.dictionary_rows);
  if (primed > 0) {
    worker.dictionary.resize(std::size_t(row_bytes) * std::size_t(primed));
    for (std::int32_t r = 0; r < primed; ++r) {
      rows.encode(begin - primed + r, worker.scratch.get(),
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
    rows.encode(y, worker.scratch.get(), worker.row.data());
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

void write_segments(const EncodedRows& rows, const ZlibChoice& zlib, const DeflateTuning& tuning,
                    unsigned threads, const Sink& sink, AtomicFile& file, ProgressPacer& progress) {
  const RowSource& picture = rows.picture;
  const std::vector<std::uint64_t> hashes = row_hashes(picture, threads);
  const SegmentPlan plan = plan_segments(picture, rows.row_bytes, hashes, tuning, threads);

  const std::array<std::uint8_t, 2> header =
      zlib_header(kZlibWindowBits, zlib.level, zlib.strategy);
  sink(header.data(), header.size());
  std::vector<std::unique_ptr<SegmentWorker>> workers(threads);
  std::int64_t tallest = 1;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    tallest = std::max<std::int64_t>(tallest, plan.endRow(i) - plan.beginRow(i));
  }
  const std::uint64_t fit = kInFlightBytes / (rows.row_bytes * std::uint64_t(tallest));
  const std::size_t window =
      std::size_t(std::clamp<std::uint64_t>(fit, 2, 2 * std::uint64_t(threads) + 2));
  uLong adler = adler32(0, nullptr, 0);
  deflate_in_order(
      plan.source, {threads, tuning.reuse_budget_bytes, window},
      [&](unsigned w, std::size_t i) {
        if (tuning.before_segment) tuning.before_segment(i);
        if (!workers[w]) {
          workers[w] = std::make_unique<SegmentWorker>(zlib);
          workers[w]->scratch = row_scratch(picture);
        }
        return compress_segment(rows, plan, i, *workers[w]);
      },
      [&](std::size_t i, const CompressedSegment& segment) {
        sink(segment.bytes->data(), segment.bytes->size());
        adler = adler32_combine(adler, segment.adler, z_off_t(segment.length));
        progress.advance(std::uint64_t(plan.endRow(i) - plan.beginRow(i)));
        file.check();
      });
  // An empty final block closes the deflate data; the Adler-32 of all rows ends the stream.
  std::uint8_t tail[6] = {0x03, 0x00};
  put_be32(tail + 2, std::uint32_t(adler));
  sink(tail, sizeof tail);
}

}  // namespace

Deflater::Deflater(const ZlibChoice& zlib, int window_bits) {
  if (deflateInit2(&z, zlib.level, Z_DEFLATED, window_bits, kMemLevel, zlib.strategy) != Z_OK) {
    throw std::bad_alloc();
  }
}

Deflater::~Deflater() {
  deflateEnd(&z);
}

void deflate_rows(const EncodedRows& rows, const ZlibChoice& zlib, const DeflateTuning& tuning,
                  const Sink& out, AtomicFile& file, ProgressPacer& progress) {
  unsigned threads = tuning.threads != 0 ? tuning.threads : std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  const std::uint64_t total = rows.row_bytes * std::uint64_t(rows.picture.height());
  if (total < tuning.single_stream_below || rows.row_bytes > kLargestSegmentRow ||
      rows.picture.height() > kMostSegmentedRows) {
    write_single_stream(rows, zlib, out, file, progress);
  } else {
    write_segments(rows, zlib, tuning, threads, out, file, progress);
  }
}

}  // namespace lumigrid::export_detail
