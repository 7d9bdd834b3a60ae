// GIF: one image, no transparency, LZW. The picture is read twice: once to learn its colours
// (a row class once, counted as often as it occurs), once to map and compress it.
//
// A picture whose colours all fit the palette maps each pixel on its own, so its rows can be
// compressed in bands: each band's LZW codes start from an empty table and the band before it
// ends with a clear code, so bands compress apart on every core and a band equal to an earlier
// one reuses its codes, shifted to where the bit stream has come. One band gives the bytes
// giflib writes. A picture whose colours need error diffusion maps its rows in order and goes
// through giflib as one stream.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "export/band_encoding.h"
#include "export/export_internal.h"
#include "export/gif_palette.h"
#include "export/parallel_deflate.h"
#include "export/png_segments.h"

namespace lumigrid::export_detail {

namespace {

extern "C" int gif_write_to_file(GifFileType* gif, const GifByteType* data, int size) {
  static_cast<AtomicFile*>(gif->UserData)->write(data, std::size_t(size));
  return size;  // failures are polled by the caller between rows
}

[[noreturn]] void throw_gif_error(const AtomicFile& file, int code) {
  file.check();
  const char* text = GifErrorString(code);
  throw_write_error(file.target(), std::string("GIF encoder: ") + (text ? text : "failure"));
}

struct GifSession {
  GifFileType* gif = nullptr;
  ColorMapObject* colour_map = nullptr;
  GifSession() = default;
  GifSession(const GifSession&) = delete;
  GifSession& operator=(const GifSession&) = delete;
  ~GifSession() {
    if (gif != nullptr) EGifCloseFile(gif, nullptr);
    if (colour_map != nullptr) GifFreeMapObject(colour_map);
  }
};

// The format's codes are at most 12 bits; the encoder clears its table before using the last.
constexpr std::uint32_t kLastCode = 4095;

// The LZW codes of one band, from an empty table: the band's pixels, the pending code written,
// and nothing after it (the joiner adds the clear or end code at the width reached). The rules
// for widening codes and clearing a full table are giflib's, so one band gives its bytes.
class LzwBand {
 public:
  explicit LzwBand(int min_code_bits)
      : min_bits_(min_code_bits),
        clear_(1u << min_code_bits),
        table_(std::size_t(kLastCode + 1) << min_code_bits, 0) {}

  void start(std::size_t expected_bytes) {
    bytes_.clear();
    bytes_.reserve(expected_bytes);
    acc_ = 0;
    pending_bits_ = 0;
    total_bits_ = 0;
    current_ = -1;
    restart();
  }

  void pixels(const std::uint8_t* indices, std::size_t count) {
    std::size_t i = 0;
    if (current_ < 0 && count > 0) current_ = indices[i++];
    auto current = std::uint32_t(current_);
    for (; i < count; ++i) {
      const std::uint32_t pixel = indices[i];
      const std::size_t key = std::size_t(current) << min_bits_ | pixel;
      const std::uint32_t entry = table_[key];
      if (entry >> 12 == stamp_) {
        current = entry & 0xFFFu;
        continue;
      }
      put(current);
      current = pixel;
      if (running_code_ >= kLastCode) {
        put(clear_);
        restart();
      } else {
        table_[key] = stamp_ << 12 | running_code_++;
      }
    }
    current_ = std::int32_t(current);
  }

  // Writes the pending code; the band's bytes then hold its codes, the last byte partly.
  CompressedSegment finish(BandBuffers& buffers) {
    if (current_ >= 0) put(std::uint32_t(current_));
    if (pending_bits_ > 0) bytes_.push_back(std::uint8_t(acc_));
    CompressedSegment band;
    std::shared_ptr<std::vector<std::uint8_t>> bytes = buffers.take();
    bytes->assign(bytes_.begin(), bytes_.end());
    band.bytes = std::move(bytes);
    band.bit_length = total_bits_;
    band.code_width = std::uint32_t(running_bits_);
    return band;
  }

 private:
  void put(std::uint32_t code) {
    acc_ |= std::uint64_t(code) << pending_bits_;
    pending_bits_ += running_bits_;
    total_bits_ += std::uint64_t(running_bits_);
    while (pending_bits_ >= 8) {
      bytes_.push_back(std::uint8_t(acc_));
      acc_ >>= 8;
      pending_bits_ -= 8;
    }
    if (running_code_ >= max_code_ && code <= kLastCode) max_code_ = 1u << ++running_bits_;
  }

  // An empty table: a new stamp makes every entry stale without touching them.
  void restart() {
    running_code_ = clear_ + 2;
    running_bits_ = min_bits_ + 1;
    max_code_ = 1u << running_bits_;
    if (++stamp_ == (1u << 20)) {
      std::fill(table_.begin(), table_.end(), 0u);
      stamp_ = 1;
    }
  }

  const int min_bits_;
  const std::uint32_t clear_;
  std::vector<std::uint32_t> table_;  // (stamp << 12 | code) for each (code, pixel)
  std::uint32_t stamp_ = 0;
  std::uint32_t running_code_ = 0;
  int running_bits_ = 0;
  std::uint32_t max_code_ = 0;
  std::int32_t current_ = -1;  // the code of the pixels read but not yet written
  std::vector<std::uint8_t> bytes_;
  std::uint64_t acc_ = 0;
  int pending_bits_ = 0;
  std::uint64_t total_bits_ = 0;
};

// The image data as the file holds it: codes packed from the least significant bit, in
// sub-blocks of at most 255 bytes, ended by an empty one.
class GifDataBlocks {
 public:
  explicit GifDataBlocks(AtomicFile& file) : file_(file) {}

  void code(std::uint32_t value, std::uint32_t width) {
    acc_ |= std::uint64_t(value) << pending_bits_;
    pending_bits_ += width;
    while (pending_bits_ >= 8) {
      byte(std::uint8_t(acc_));
      acc_ >>= 8;
      pending_bits_ -= 8;
    }
  }

  // `bits` bits of `bytes`, from the first byte's least significant bit on.
  void bits(const std::vector<std::uint8_t>& bytes, std::uint64_t bits) {
    const std::size_t whole = bits / 8;
    const auto rest = std::uint32_t(bits % 8);
    if (pending_bits_ == 0) {
      for (std::size_t i = 0; i < whole;) {
        const std::size_t n = std::min(whole - i, std::size_t(255) - used_);
        std::memcpy(block_.data() + 1 + used_, bytes.data() + i, n);
        used_ += n;
        i += n;
        if (used_ == 255) flushBlock();
      }
    } else {
      for (std::size_t i = 0; i < whole; ++i) {
        acc_ |= std::uint64_t(bytes[i]) << pending_bits_;
        byte(std::uint8_t(acc_));
        acc_ >>= 8;
      }
    }
    if (rest > 0) code(bytes[whole] & ((1u << rest) - 1), rest);
  }

  void finish() {
    if (pending_bits_ > 0) byte(std::uint8_t(acc_));
    acc_ = 0;
    pending_bits_ = 0;
    if (used_ > 0) flushBlock();
    const std::uint8_t end = 0;
    file_.write(&end, 1);
  }

 private:
  void byte(std::uint8_t value) {
    block_[1 + used_++] = value;
    if (used_ == 255) flushBlock();
  }
  void flushBlock() {
    block_[0] = std::uint8_t(used_);
    file_.write(block_.data(), used_ + 1);
    used_ = 0;
  }

  AtomicFile& file_;
  std::array<std::uint8_t, 256> block_{};
  std::size_t used_ = 0;
  std::uint64_t acc_ = 0;
  std::uint32_t pending_bits_ = 0;
};

void put_le16(std::vector<std::uint8_t>& out, std::int32_t value) {
  out.push_back(std::uint8_t(value));
  out.push_back(std::uint8_t(value >> 8));
}

// Header, screen descriptor with the global colour table, image descriptor and LZW code size,
// as giflib writes them for one image without extensions.
std::vector<std::uint8_t> gif_head(std::int32_t width, std::int32_t height,
                                   const std::vector<GifColorType>& table, int table_bits) {
  std::vector<std::uint8_t> head = {'G', 'I', 'F', '8', '7', 'a'};
  put_le16(head, width);
  put_le16(head, height);
  // A global table; colour resolution and table size both `table_bits`.
  head.push_back(std::uint8_t(0x80 | (table_bits - 1) << 4 | (table_bits - 1)));
  head.push_back(0);  // background colour
  head.push_back(0);  // pixel aspect ratio
  for (const GifColorType& c : table) {
    head.push_back(c.Red);
    head.push_back(c.Green);
    head.push_back(c.Blue);
  }
  head.push_back(',');
  put_le16(head, 0);
  put_le16(head, 0);
  put_le16(head, width);
  put_le16(head, height);
  head.push_back(0);  // no local table, not interlaced
  head.push_back(std::uint8_t(std::max(table_bits, 2)));
  return head;
}

// Each compressing thread's mapper, index rows and LZW table, reused from band to band.
struct GifBandWorker {
  GifBandWorker(const std::vector<PaletteColour>& palette, std::int32_t width, int min_bits,
                std::size_t row_bytes)
      : mapper(palette, true, width), lzw(min_bits), scratch(row_bytes) {}
  PaletteMapper mapper;
  LzwBand lzw;
  std::vector<std::uint8_t> scratch;
  std::vector<std::uint8_t> indices;
};

void write_in_bands(const RowSource& picture, const std::vector<PaletteColour>& palette,
                    const std::vector<GifColorType>& table, int table_bits, AtomicFile& file,
                    ProgressPacer& progress, const BandTuning& tuning) {
  const std::int32_t width = picture.width(), height = picture.height();
  const bool grey = picture.format() == PixelFormat::Gray8;
  const unsigned threads = band_threads(tuning);
  const int min_bits = std::max(table_bits, 2);
  const auto rows_for = [&](std::uint64_t bytes) {
    return std::int64_t(
        std::min<std::uint64_t>(bytes / std::uint64_t(width), std::uint64_t(height) + 1));
  };
  const BandPlan plan = plan_bands(picture, 1, rows_for(tuning.band_bytes),
                                   rows_for(tuning.most_period_band_bytes), threads);

  BandBuffers buffers;  // before the bands' results, which it outlives
  std::vector<std::unique_ptr<GifBandWorker>> workers(threads);
  const auto compress = [&](unsigned w, std::size_t i) {
    if (!workers[w]) {
      workers[w] = std::make_unique<GifBandWorker>(palette, width, min_bits, picture.rowBytes());
      workers[w]->indices.resize(std::size_t(width));
    }
    GifBandWorker& worker = *workers[w];
    const auto rows = std::size_t(plan.endRow(i) - plan.beginRow(i));
    worker.lzw.start(rows * std::size_t(width) / 16);
    for (std::int32_t y = plan.beginRow(i); y < plan.endRow(i); ++y) {
      const std::uint8_t* pixels = picture.row(y, worker.scratch.data());
      if (grey) {
        worker.mapper.mapGreyRow(pixels, worker.indices.data());
      } else {
        worker.mapper.mapBgrxRow(pixels, worker.indices.data());
      }
      worker.lzw.pixels(worker.indices.data(), worker.indices.size());
    }
    return worker.lzw.finish(buffers);
  };

  const std::vector<std::uint8_t> head = gif_head(width, height, table, table_bits);
  file.write(head.data(), head.size());
  GifDataBlocks data(file);
  const std::uint32_t clear = 1u << min_bits;
  data.code(clear, std::uint32_t(min_bits + 1));
  // Bands in flight: a few per thread, fewer when bands are large (codes of noise may take
  // half as much again as its pixels).
  const std::uint64_t band_pixels =
      std::uint64_t(width) * std::uint64_t(plan.endRow(0) - plan.beginRow(0));
  const std::uint64_t fit =
      (std::uint64_t(64) << 20) / std::max<std::uint64_t>(1, band_pixels * 3 / 2);
  const auto window =
      std::size_t(std::clamp<std::uint64_t>(fit, 2, 2 * std::uint64_t(threads) + 2));
  deflate_in_order(plan.source, {threads, tuning.reuse_budget_bytes, window}, compress,
                   [&](std::size_t i, const CompressedSegment& band) {
                     data.bits(*band.bytes, band.bit_length);
                     // The next band starts from an empty table; the last one ends the data.
                     data.code(i + 1 < plan.size() ? clear : clear + 1, band.code_width);
                     for (std::int32_t y = plan.beginRow(i); y < plan.endRow(i); ++y) {
                       progress.advance();
                     }
                     file.check();
                   });
  data.finish();
  const std::uint8_t trailer = ';';
  file.write(&trailer, 1);
  file.check();
}

// The pixels mapped in order, Floyd–Steinberg carrying each row's error to the next, and
// compressed by giflib as one stream.
void write_in_order(const RowSource& picture, std::vector<PaletteColour> palette, bool exact,
                    std::vector<GifColorType>& table, AtomicFile& file, ProgressPacer& progress) {
  const std::int32_t width = picture.width(), height = picture.height();
  const bool grey = picture.format() == PixelFormat::Gray8;
  GifSession session;
  session.colour_map = GifMakeMapObject(int(table.size()), table.data());
  int error = 0;
  session.gif = EGifOpen(&file, gif_write_to_file, &error);
  if (session.colour_map == nullptr || session.gif == nullptr) throw_gif_error(file, error);
  if (EGifPutScreenDesc(session.gif, width, height, session.colour_map->BitsPerPixel, 0,
                        session.colour_map) == GIF_ERROR ||
      EGifPutImageDesc(session.gif, 0, 0, width, height, false, nullptr) == GIF_ERROR) {
    throw_gif_error(file, session.gif->Error);
  }

  PaletteMapper mapper(std::move(palette), exact, width);
  std::vector<GifPixelType> indices(static_cast<std::size_t>(width));
  const auto scratch = row_scratch(picture);
  for (std::int32_t y = 0; y < height; ++y) {
    if (grey) {
      mapper.mapGreyRow(picture.row(y, scratch.get()), indices.data());
    } else {
      mapper.mapBgrxRow(picture.row(y, scratch.get()), indices.data());
    }
    if (EGifPutLine(session.gif, indices.data(), width) == GIF_ERROR) {
      throw_gif_error(file, session.gif->Error);
    }
    progress.advance();
    file.check();
  }
  GifFileType* gif = session.gif;
  session.gif = nullptr;
  if (EGifCloseFile(gif, &error) == GIF_ERROR) throw_gif_error(file, error);
  file.check();
}

// For each set of equal rows, its first row and how many rows it holds, in the order of the
// first rows.
std::vector<std::pair<std::int32_t, std::uint64_t>> distinct_rows_of(const RowSource& picture,
                                                                     unsigned threads) {
  const std::int32_t height = picture.height();
  std::vector<std::pair<std::int32_t, std::uint64_t>> distinct;
  bool classed = true;
  for (std::int32_t y = 0; y < height && classed; ++y) classed = picture.rowClass(y).has_value();
  if (classed) {
    std::unordered_map<std::uint64_t, std::size_t> class_at;
    for (std::int32_t y = 0; y < height; ++y) {
      const auto [it, inserted] = class_at.emplace(*picture.rowClass(y), distinct.size());
      if (inserted) {
        distinct.emplace_back(y, 1);
      } else {
        ++distinct[it->second].second;
      }
    }
    return distinct;
  }
  // Rows of equal hashes are compared with the first row of each set of that hash.
  const std::vector<std::uint64_t> hashes = row_hashes(picture, threads);
  std::unordered_multimap<std::uint64_t, std::size_t> sets_with;
  const auto scratch_a = row_scratch(picture);
  const auto scratch_b = row_scratch(picture);
  const std::size_t bytes = picture.rowBytes();
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = nullptr;
    bool found = false;
    const auto [first, last] = sets_with.equal_range(hashes[std::size_t(y)]);
    for (auto it = first; it != last && !found; ++it) {
      if (row == nullptr) row = picture.row(y, scratch_a.get());
      const std::int32_t other = distinct[it->second].first;
      if (std::memcmp(row, picture.row(other, scratch_b.get()), bytes) == 0) {
        ++distinct[it->second].second;
        found = true;
      }
    }
    if (!found) {
      sets_with.emplace(hashes[std::size_t(y)], distinct.size());
      distinct.emplace_back(y, 1);
    }
  }
  return distinct;
}

}  // namespace

void write_gif(const RowSource& picture, AtomicFile& file, ProgressPacer& progress,
               const BandTuning& tuning) {
  const std::int32_t width = picture.width();
  const bool grey = picture.format() == PixelFormat::Gray8;

  // Equal rows are read once and counted as often as they occur: rows of one class, and rows
  // of equal hashes whose pixels are confirmed equal.
  const std::vector<std::pair<std::int32_t, std::uint64_t>> distinct_rows =
      distinct_rows_of(picture, band_threads(tuning));
  const auto scratch = row_scratch(picture);
  ColourCensus census;
  for (const auto& [y, times] : distinct_rows) {
    if (grey) {
      census.addGreyRow(picture.row(y, scratch.get()), width);
    } else {
      census.addBgrxRow(picture.row(y, scratch.get()), width, times);
    }
    progress.advance(times);
  }
  const bool exact = census.exact();
  std::vector<PaletteColour> palette = exact ? census.exactColours() : census.medianCut(256);
  if (palette.empty()) throw_write_error(file.target(), "GIF encoder: the picture has no colours");

  // The format's colour tables hold a power of two entries, at least two; the unused ones
  // repeat the first colour, so the table holds no colour the picture lacks.
  int table_bits = 1;
  while ((1 << table_bits) < int(palette.size())) ++table_bits;
  std::vector<GifColorType> table(std::size_t(1) << table_bits);
  for (std::size_t i = 0; i < table.size(); ++i) {
    const PaletteColour& c = palette[i < palette.size() ? i : 0];
    table[i] = {c.r, c.g, c.b};
  }
  if (exact) {
    write_in_bands(picture, palette, table, table_bits, file, progress, tuning);
  } else {
    write_in_order(picture, std::move(palette), exact, table, file, progress);
  }
}

void write_gif(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  write_gif(picture, file, progress, BandTuning{});
}

}  // namespace lumigrid::export_detail
