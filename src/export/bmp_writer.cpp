// Windows bitmap: 14-byte file header, 40-byte information header, 32 bits a pixel, rows stored
// bottom-up, uncompressed. The page (one byte a pixel) is written at the window's depth too, as
// its capture would hold it.
//
// The file is as large as its pixels, so the writer aims at the disk's own speed: rows go to the
// system in large gathered writes that end on whole MiB of the file, straight from where they
// lie (a window's own rows, a page row expanded once for all the rows of its class), so that
// nearly the only copy is the system's.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

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

// B, G, R, 0xFF for each grey byte, stored as little-endian words. Where the compiler can, it
// is also built for wider vector units and the processor picks the version it runs.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
void expand_grey_row(const std::uint8_t* grey, std::size_t width, std::uint8_t* out) {
  for (std::size_t x = 0; x < width; ++x, out += 4) {
    const std::uint32_t word = 0xFF000000u | std::uint32_t(grey[x]) * 0x010101u;
    std::memcpy(out, &word, 4);
  }
}

// Bytes gathered for one write, and the writes cut so that each ends on a whole multiple of
// kAlign bytes of the file (but the last).
class GatheredWrites {
 public:
  static constexpr std::size_t kArenaBytes = std::size_t(8) << 20;
  static constexpr std::size_t kWriteBytes = std::size_t(32) << 20;
  static constexpr std::size_t kAlign = std::size_t(1) << 20;
  static constexpr std::size_t kMostPieces = 4096;

  explicit GatheredWrites(AtomicFile& file)
      : file_(file), arena_(std::make_unique_for_overwrite<std::uint8_t[]>(kArenaBytes)) {
    pieces_.reserve(kMostPieces + 1);
  }

  // Room for `size` (at most kArenaBytes) bytes to be filled and then passed to add().
  std::uint8_t* room(std::size_t size) {
    if (kArenaBytes - arena_used_ < size) flush();
    return arena_.get() + arena_used_;
  }

  // `size` bytes at `data`: either the room just filled, or memory that outlives the writer.
  void add(const std::uint8_t* data, std::size_t size) {
    if (data == arena_.get() + arena_used_) arena_used_ += size;
    pieces_.push_back({data, size});
    pending_ += size;
    if (pending_ >= kWriteBytes || pieces_.size() >= kMostPieces) flush();
  }

  void finish() { flush(true); }

 private:
  void flush(bool last = false) {
    if (pieces_.empty()) return;
    // The bytes past the last whole kAlign of the file wait for the next write.
    std::size_t keep = last ? 0 : (file_.bytesWritten() + pending_) % kAlign;
    if (keep >= pending_) keep = 0;
    std::vector<AtomicFile::Piece> tail;
    while (keep > 0) {
      AtomicFile::Piece& piece = pieces_.back();
      const std::size_t n = std::min(keep, piece.size);
      tail.push_back({static_cast<const std::uint8_t*>(piece.data) + piece.size - n, n});
      piece.size -= n;
      keep -= n;
      if (piece.size == 0) pieces_.pop_back();
    }
    file_.writePieces(pieces_.data(), pieces_.size());
    pieces_.clear();
    pending_ = 0;
    // The kept bytes move to the start of the arena where they lay in it (they are less than
    // kAlign, and the arena is empty now), and stay where they are otherwise.
    std::vector<std::uint8_t> moved;
    arena_used_ = 0;
    for (auto it = tail.rbegin(); it != tail.rend(); ++it) {
      const auto* bytes = static_cast<const std::uint8_t*>(it->data);
      if (bytes >= arena_.get() && bytes < arena_.get() + kArenaBytes) {
        moved.assign(bytes, bytes + it->size);
        std::memcpy(arena_.get() + arena_used_, moved.data(), moved.size());
        pieces_.push_back({arena_.get() + arena_used_, it->size});
        arena_used_ += it->size;
      } else {
        pieces_.push_back(*it);
      }
      pending_ += it->size;
    }
  }

  AtomicFile& file_;
  std::unique_ptr<std::uint8_t[]> arena_;
  std::size_t arena_used_ = 0;
  std::vector<AtomicFile::Piece> pieces_;
  std::size_t pending_ = 0;
};

// Expanded page rows kept for the rows of their class that follow.
constexpr std::uint64_t kExpandedRowBudget = std::uint64_t(16) << 20;

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

  GatheredWrites out(file);
  // Rows are handed over in pieces the arena holds, whatever their width.
  // Half the arena: the bytes a write keeps back for the next one take less than the rest.
  constexpr std::size_t kPiecePixels = GatheredWrites::kArenaBytes / 8;
  const auto scratch = row_scratch(picture);
  const bool grey = picture.format() == PixelFormat::Gray8;
  // Classes of more than one row are expanded once, the most frequent first while the budget
  // lasts: a caption's rows, each of its own class, never push out the tiles' rows.
  std::unordered_map<std::uint64_t, std::unique_ptr<std::uint8_t[]>> expanded;
  if (grey) {
    std::unordered_map<std::uint64_t, std::uint64_t> rows_of;
    for (std::int32_t y = 0; y < height; ++y) {
      if (const std::optional<std::uint64_t> row_class = picture.rowClass(y)) ++rows_of[*row_class];
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> repeated;  // rows, class
    for (const auto& [row_class, rows] : rows_of) {
      if (rows > 1) repeated.emplace_back(rows, row_class);
    }
    std::sort(repeated.begin(), repeated.end(), std::greater<>());
    const std::uint64_t fitting = row_bytes == 0 ? 0 : kExpandedRowBudget / row_bytes;
    if (repeated.size() > fitting) repeated.resize(std::size_t(fitting));
    for (const auto& entry : repeated) expanded.emplace(entry.second, nullptr);
  }
  for (std::int32_t y = height - 1; y >= 0 && !file.failed(); --y) {
    const std::uint8_t* pixels = picture.row(y, scratch.get());
    if (!grey) {
      // A row the picture lends stays where it is; one made in the scratch is copied.
      for (std::size_t x = 0; x < std::size_t(width); x += kPiecePixels) {
        const std::size_t n = std::min(kPiecePixels, std::size_t(width) - x) * 4;
        if (pixels == scratch.get()) {
          std::uint8_t* room = out.room(n);
          std::memcpy(room, pixels + x * 4, n);
          out.add(room, n);
        } else {
          out.add(pixels + x * 4, n);
        }
      }
    } else if (const auto kept = expanded.find(picture.rowClass(y).value_or(0));
               kept != expanded.end() && picture.rowClass(y)) {
      std::unique_ptr<std::uint8_t[]>& row = kept->second;
      if (!row) {
        row = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(row_bytes));
        expand_grey_row(pixels, std::size_t(width), row.get());
      }
      out.add(row.get(), std::size_t(row_bytes));
    } else {
      for (std::size_t x = 0; x < std::size_t(width); x += kPiecePixels) {
        const std::size_t n = std::min(kPiecePixels, std::size_t(width) - x);
        std::uint8_t* room = out.room(n * 4);
        expand_grey_row(pixels + x, n, room);
        out.add(room, n * 4);
      }
    }
    progress.advance();
  }
  out.finish();
  file.check();
}

}  // namespace lumigrid::export_detail
