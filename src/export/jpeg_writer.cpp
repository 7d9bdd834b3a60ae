// JPEG: colour, quality 90 with baseline tables, sequential, everything else the library's
// defaults, fed a page's grey rows as RGB and a window's rows as they are stored.
//
// A picture of several bands is one scan whose restart interval is a whole number of MCU rows:
// each band is encoded by a compressor of its own as a picture of the band's rows, so its
// entropy-coded bytes are those the band has in the whole picture (the DC predictions restart
// at every marker, and neither the colour conversion nor the chroma downsampling looks beyond
// an MCU row). The bands' bytes are joined with restart markers, numbered as the scan counts
// them; a band equal to an earlier one reuses its bytes with only the marker numbers changed.
// The tables are the library's standard ones in every band, so a reader decodes the same
// pixels as from one call over the whole picture. A picture of one band is exactly that call.
#include <cstdio>  // jpeglib.h needs FILE and size_t first
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/band_encoding.h"
#include "export/export_internal.h"
#include "export/parallel_deflate.h"

namespace lumigrid::export_detail {

namespace {

constexpr int kQuality = 90;
// The largest restart interval the DRI marker holds, in MCUs.
constexpr std::int64_t kMostRestartMcus = 65535;
// Rows handed to the library per call.
constexpr std::int32_t kRowsPerCall = 16;

// The library failed; `memory` when it found no memory.
class JpegFailure : public std::runtime_error {
 public:
  JpegFailure(const std::string& what, bool memory) : std::runtime_error(what), memory_(memory) {}
  bool memory() const { return memory_; }

 private:
  bool memory_;
};

struct JpegErrors {
  jpeg_error_mgr manager;  // first, so the library's pointer converts back to this
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// The compressed bytes of one band, written into a buffer of the band pool (its room comes from
// earlier bands), grown as needed.
struct JpegDestination {
  jpeg_destination_mgr manager;  // first, as above
  std::vector<std::uint8_t>* bytes = nullptr;
};

extern "C" void jpeg_fail(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

extern "C" void jpeg_ignore_message(j_common_ptr, int) {}

extern "C" void jpeg_start_destination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  std::vector<std::uint8_t>& bytes = *destination->bytes;
  destination->manager.next_output_byte = bytes.data();
  destination->manager.free_in_buffer = bytes.size();
}

extern "C" boolean jpeg_grow_buffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  std::vector<std::uint8_t>& bytes = *destination->bytes;
  const std::size_t used = bytes.size();  // the library calls this with the buffer full
  // The library cannot take an exception: a failed growth is its own memory error, raised
  // once the exception is gone.
  bool grown = true;
  try {
    bytes.resize(used * 2);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) {
    cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
    cinfo->err->msg_parm.i[0] = 0;
    (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
  }
  destination->manager.next_output_byte = bytes.data() + used;
  destination->manager.free_in_buffer = bytes.size() - used;
  return TRUE;
}

extern "C" void jpeg_end_destination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  destination->bytes->resize(destination->bytes->size() - destination->manager.free_in_buffer);
}

// A compressor and its buffers, reused from band to band on one thread.
class BandCompressor {
 public:
  BandCompressor(const RowSource& picture, std::int64_t restart_mcus)
      : picture_(picture), restart_mcus_(restart_mcus) {
    cinfo_.err = jpeg_std_error(&errors_.manager);
    errors_.manager.error_exit = jpeg_fail;
    errors_.manager.emit_message = jpeg_ignore_message;
    destination_.manager.init_destination = jpeg_start_destination;
    destination_.manager.empty_output_buffer = jpeg_grow_buffer;
    destination_.manager.term_destination = jpeg_end_destination;
    if (!create()) fail();
    const std::size_t width = std::size_t(picture.width());
    if (picture.format() == PixelFormat::Gray8) rgb_.resize(width * 3 * kRowsPerCall);
    scratch_.resize(picture.rowBytes() * kRowsPerCall);
  }
  ~BandCompressor() { jpeg_destroy_compress(&cinfo_); }
  BandCompressor(const BandCompressor&) = delete;
  BandCompressor& operator=(const BandCompressor&) = delete;

  // Writes the whole JPEG file of rows [begin, end) into `bytes`: headers, entropy-coded data,
  // end marker.
  void encode(std::int32_t begin, std::int32_t end, std::vector<std::uint8_t>& bytes) {
    // About four bits a pixel at first, so that few bands grow the buffer.
    bytes.resize(std::size_t(picture_.width()) * std::size_t(end - begin) / 2 +
                 (std::size_t(1) << 16));
    destination_.bytes = &bytes;
    if (!run(begin, end)) fail();
  }

 private:
  // The library reports errors by longjmp back here, which skips destructors: these two keep
  // only trivially destructible locals. They return false when the library raised an error.
  bool create() {
    if (setjmp(errors_.jump)) return false;
    jpeg_create_compress(&cinfo_);
    return true;
  }

  bool run(std::int32_t begin, std::int32_t end) {
    if (setjmp(errors_.jump)) return false;
    cinfo_.dest = &destination_.manager;
    cinfo_.image_width = JDIMENSION(picture_.width());
    cinfo_.image_height = JDIMENSION(end - begin);
    cinfo_.input_components = picture_.format() == PixelFormat::Gray8 ? 3 : 4;
    // A window's rows go in as they are stored (B, G, R, X); the library converts them to the
    // same samples as from RGB.
    cinfo_.in_color_space = picture_.format() == PixelFormat::Gray8 ? JCS_RGB : JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo_);
    jpeg_set_quality(&cinfo_, kQuality, TRUE);
    cinfo_.restart_interval = unsigned(restart_mcus_);
    jpeg_start_compress(&cinfo_, TRUE);
    const std::size_t width = std::size_t(picture_.width());
    JSAMPROW rows[kRowsPerCall];
    while (cinfo_.next_scanline < cinfo_.image_height) {
      const auto first = std::int32_t(cinfo_.next_scanline);
      const std::int32_t count =
          std::min<std::int32_t>(kRowsPerCall, std::int32_t(cinfo_.image_height) - first);
      for (std::int32_t r = 0; r < count; ++r) {
        const std::uint8_t* pixels =
            picture_.row(begin + first + r, scratch_.data() + picture_.rowBytes() * std::size_t(r));
        if (picture_.format() == PixelFormat::Gray8) {
          std::uint8_t* rgb = rgb_.data() + width * 3 * std::size_t(r);
          row_to_rgb(pixels, PixelFormat::Gray8, picture_.width(), rgb);
          rows[r] = rgb;
        } else {
          // The library only reads its input rows.
          rows[r] = const_cast<JSAMPROW>(pixels);
        }
      }
      jpeg_write_scanlines(&cinfo_, rows, JDIMENSION(count));
    }
    jpeg_finish_compress(&cinfo_);
    return true;
  }

  [[noreturn]] void fail() {
    throw JpegFailure(errors_.message, errors_.manager.msg_code == JERR_OUT_OF_MEMORY);
  }

  const RowSource& picture_;
  const std::int64_t restart_mcus_;
  jpeg_compress_struct cinfo_{};
  JpegErrors errors_{};
  JpegDestination destination_{};
  std::vector<std::uint8_t> rgb_;
  std::vector<std::uint8_t> scratch_;
};

// Bytes up to the end of the start-of-scan segment: the file's headers.
std::size_t header_length(const std::vector<std::uint8_t>& file) {
  std::size_t at = 2;  // after SOI
  while (at + 4 <= file.size() && file[at] == 0xFF) {
    const int marker = file[at + 1];
    at += 2 + (std::size_t(file[at + 2]) << 8 | file[at + 3]);
    if (marker == 0xDA) return at;
  }
  throw JpegFailure("no scan in the encoded band", false);
}

// The place of the frame's height in the headers.
std::size_t height_field(const std::vector<std::uint8_t>& header) {
  std::size_t at = 2;
  while (at + 9 <= header.size() && header[at] == 0xFF) {
    if (header[at + 1] == 0xC0) return at + 5;  // marker, length, precision, then the height
    at += 2 + (std::size_t(header[at + 2]) << 8 | header[at + 3]);
  }
  throw JpegFailure("no frame in the encoded band", false);
}

bool is_restart_marker(const std::uint8_t* at) {
  return at[0] == 0xFF && (at[1] & 0xF8) == 0xD0;
}

}  // namespace

void write_jpeg(const RowSource& picture, AtomicFile& file, ProgressPacer& progress,
                const BandTuning& tuning) {
  const unsigned threads = band_threads(tuning);
  const std::int64_t width = picture.width();
  const std::int64_t mcu_rows_tall = 16;  // the defaults' 2 x 2 chroma sampling
  const std::int64_t mcus_across = (width + 15) / 16;
  // An interval of whole MCU rows, at most what the marker holds; bands are whole intervals.
  const std::int64_t most_interval_rows = mcu_rows_tall * (kMostRestartMcus / mcus_across);
  const std::int64_t row_samples = width * 3;
  const auto rows_for = [&](std::uint64_t bytes) {
    return std::int64_t(std::min<std::uint64_t>(bytes / std::uint64_t(row_samples),
                                                std::uint64_t(picture.height()) + mcu_rows_tall));
  };
  const BandPlan plan = plan_bands(picture, mcu_rows_tall, rows_for(tuning.band_bytes),
                                   rows_for(tuning.most_period_band_bytes), threads);
  const std::size_t bands = plan.size();
  // The interval: the band's MCU rows, or the largest part of them the marker holds.
  std::int64_t interval_rows = 0;
  if (bands > 1) {
    const std::int64_t band_mcu_rows = (plan.endRow(0) - plan.beginRow(0)) / mcu_rows_tall;
    for (std::int64_t d = std::min(band_mcu_rows, most_interval_rows / mcu_rows_tall); d >= 1;
         --d) {
      if (band_mcu_rows % d == 0) {
        interval_rows = d * mcu_rows_tall;
        break;
      }
    }
  }
  const std::int64_t restart_mcus = interval_rows / mcu_rows_tall * mcus_across;
  const std::int64_t intervals_per_band =
      bands > 1 ? (plan.endRow(0) - plan.beginRow(0)) / interval_rows : 1;

  BandBuffers buffers;  // before the compressors' results, which it outlives
  std::vector<std::unique_ptr<BandCompressor>> compressors(threads);
  std::vector<std::uint8_t> header;  // the first band's, written by its compressing thread
  const auto compress = [&](unsigned worker, std::size_t i) {
    if (!compressors[worker]) {
      compressors[worker] = std::make_unique<BandCompressor>(picture, restart_mcus);
    }
    std::shared_ptr<std::vector<std::uint8_t>> whole = buffers.take();
    compressors[worker]->encode(plan.beginRow(i), plan.endRow(i), *whole);
    const std::size_t head = header_length(*whole);
    if (whole->size() < head + 2) throw JpegFailure("a band without its end marker", false);
    if (i == 0) header.assign(whole->begin(), whole->begin() + std::ptrdiff_t(head));
    whole->resize(whole->size() - 2);  // the end marker
    CompressedSegment band{std::move(whole), 1, 0};
    band.offset = head;  // the band's own headers stay where the library wrote them
    return band;
  };
  std::vector<std::uint8_t> numbered;  // a band whose markers take other numbers
  const auto write = [&](std::size_t i, const CompressedSegment& band) {
    // Headers, the band's bytes and the marker after them go to the file in one gathered write,
    // straight from where they lie.
    AtomicFile::Piece pieces[3];
    std::size_t count = 0;
    if (i == 0) {
      // The first band's headers stand for the whole picture: only the height differs.
      const std::size_t at = height_field(header);
      header[at] = std::uint8_t(picture.height() >> 8);
      header[at + 1] = std::uint8_t(picture.height());
      pieces[count++] = {header.data(), header.size()};
    }
    const std::span<const std::uint8_t> bytes(band.bytes->data() + band.offset,
                                              band.bytes->size() - band.offset);
    // The band's own markers count from 0; in the scan they continue from the bands before.
    const std::uint64_t first_number = i * std::uint64_t(intervals_per_band);
    if (intervals_per_band > 1 && first_number % 8 != 0) {
      numbered.assign(bytes.begin(), bytes.end());
      std::uint64_t number = first_number;
      for (std::size_t k = 0; k + 1 < numbered.size(); ++k) {
        if (is_restart_marker(&numbered[k])) numbered[++k] = std::uint8_t(0xD0 | (number++ & 7));
      }
      pieces[count++] = {numbered.data(), numbered.size()};
    } else {
      pieces[count++] = {bytes.data(), bytes.size()};
    }
    const std::uint64_t number = first_number + std::uint64_t(intervals_per_band) - 1;
    const std::uint8_t marker[2] = {0xFF, i + 1 < bands ? std::uint8_t(0xD0 | (number & 7))
                                                        : std::uint8_t(0xD9)};  // or the end
    pieces[count++] = {marker, 2};
    file.writePieces(pieces, count);
    for (std::int32_t y = plan.beginRow(i); y < plan.endRow(i); ++y) progress.advance();
    file.check();
  };
  // Encoded bands in flight: a few per thread, fewer when bands are large.
  const std::uint64_t band_samples =
      std::uint64_t(row_samples) * std::uint64_t(plan.endRow(0) - plan.beginRow(0));
  const std::uint64_t fit =
      (std::uint64_t(64) << 20) / std::max<std::uint64_t>(1, band_samples / 4);
  const auto window = std::size_t(std::clamp<std::uint64_t>(fit, 2, std::uint64_t(threads) + 2));
  try {
    deflate_in_order(plan.source, {threads, tuning.reuse_budget_bytes, window}, compress, write);
  } catch (const JpegFailure& e) {
    file.check();
    if (e.memory()) throw_memory_error(file.target());
    throw_write_error(file.target(), std::string("JPEG encoder: ") + e.what());
  }
  file.check();
}

void write_jpeg(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  write_jpeg(picture, file, progress, BandTuning{});
}

}  // namespace lumigrid::export_detail
