#pragma once
// The printable page as a description rather than a bitmap. Away from its edges the page repeats
// its tiles every Space pixels across and down, so a small page of tiles that keeps the edges and
// one period between them holds every different row and column of it; the caption is kept as
// runs of its rows. Any row, any part of a row and the sum of any block of pixels come from that,
// so a page of any size is saved, printed and shown without ever being held whole.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/progress.h"
#include "page/page_pixels.h"
#include "page/tile_grid.h"
#include "surface/row_source.h"
#include "surface/surface.h"

namespace lumigrid {

// How the positions along one side of the page map onto the small page: positions before
// `start` are the small page's own, the `removed` positions after it repeat the period that
// begins at `start`, and the rest lie `removed` further on than on the small page.
struct PageAxis {
  std::int64_t length = 0;   // the page's side
  std::int64_t start = 0;    // first position of the repeating stretch
  std::int64_t period = 1;   // Space
  std::int64_t removed = 0;  // whole periods the small page leaves out

  std::int64_t smallLength() const { return length - removed; }
  std::int64_t toSmall(std::int64_t position) const {
    if (position < start) return position;
    if (position < start + removed) return start + (position - start) % period;
    return position - removed;
  }
};

// The axis of a page side `length` tiled every `space` pixels by tiles that paint at most `reach`
// pixels from their centre: the most whole periods that can be left out while every position
// still sees the same tiles in the same order as its counterpart on the small page.
PageAxis page_axis(std::int64_t length, std::int32_t space, std::int64_t reach);

// A stretch of small-page positions that a stretch of page positions covers `times` times.
struct AxisPiece {
  std::int64_t from = 0;
  std::int64_t to = 0;
  std::int64_t times = 1;
};
// The page positions [from, to) as at most five pieces of small-page positions.
struct AxisPieces {
  std::array<AxisPiece, 5> pieces{};
  std::size_t count = 0;
  const AxisPiece* begin() const { return pieces.data(); }
  const AxisPiece* end() const { return pieces.data() + count; }
};
AxisPieces axis_pieces(const PageAxis& axis, std::int64_t from, std::int64_t to);

// "Not enough memory for a page of W x H pixels": what a page too big for the memory at hand
// reports, whether it is described or drawn whole.
std::string not_enough_memory_for_page(std::int64_t width, std::int64_t height);

// One run of caption pixels in a row: columns [left, right) painted `value`.
struct CaptionRun {
  std::int32_t left = 0;
  std::int32_t right = 0;
  std::uint8_t value = 0;
};

class ChartPage final : public RowSource, public PagePixels {
 public:
  // The page of width x height for the chart parameters, its caption's font sized at
  // `pixels_per_inch` (the screen's). Throws lumigrid::Error "Not enough memory for a page of
  // W x H pixels" when the description would exceed `available_bytes` or the system refuses the
  // memory, and lumigrid::Error on a negative side or a Space below 1.
  static std::shared_ptr<const ChartPage> make(std::int32_t width, std::int32_t height,
                                               const ChartParameters& parameters,
                                               std::int32_t pixels_per_inch,
                                               std::uint64_t available_bytes,
                                               const ProgressCallback& progress = {});

  std::int32_t width() const override { return width_; }
  std::int32_t height() const override { return height_; }
  PixelFormat format() const override { return PixelFormat::Gray8; }
  std::int32_t pixelsPerInch() const override { return pixels_per_inch_; }
  const std::uint8_t* row(std::int32_t y, std::uint8_t* scratch) const override;
  // Rows below the caption with the same small-page row are equal; caption rows each have
  // their own class.
  std::optional<std::uint64_t> rowClass(std::int32_t y) const override;

  void fillRow(std::int32_t y, std::int64_t left, std::int64_t right,
               std::uint8_t* out) const override;
  std::uint8_t pixel(std::int32_t x, std::int32_t y) const;

  void blockSums(std::int64_t top, std::int64_t bottom, std::span<const std::int64_t> firsts,
                 std::span<const std::int64_t> lasts, std::uint64_t* sums) const override;

  const ChartParameters& parameters() const { return parameters_; }
  const PageAxis& columns() const { return columns_; }
  const PageAxis& rows() const { return rows_; }
  const Surface& smallPage() const { return small_; }
  // Bytes the description holds: what a page of any size costs in memory.
  std::uint64_t bytes() const;

 private:
  ChartPage(std::int32_t width, std::int32_t height, const ChartParameters& parameters,
            std::int32_t pixels_per_inch, Surface small);
  void expandRow(std::int64_t small_y, std::int64_t left, std::int64_t right,
                 std::uint8_t* out) const;
  // Sum of the small page's row `small_y` over the page columns [left, right).
  std::uint64_t tileRowSum(std::int64_t small_y, std::int64_t left, std::int64_t right) const;
  std::span<const CaptionRun> captionRuns(std::int64_t y) const;

  std::int32_t width_;
  std::int32_t height_;
  ChartParameters parameters_;
  std::int32_t pixels_per_inch_;
  PageAxis columns_;
  PageAxis rows_;
  Surface small_;  // the tiles of the small page, without the caption
  // Sums of the small page's pixels above and left of each corner, (W' + 1) x (H' + 1), made
  // when a block is first summed: only the viewer sums blocks.
  const std::uint64_t* cornerSums() const;
  mutable std::once_flag corner_sums_made_;
  mutable std::vector<std::uint64_t> corner_sums_;
  // Caption rows 0 .. caption_run_starts_.size() - 2, each its runs left to right.
  std::vector<CaptionRun> caption_runs_;
  std::vector<std::size_t> caption_run_starts_;
  // Every small-page row expanded to the page's width, when they fit kRowCacheBytes.
  std::vector<std::uint8_t> expanded_rows_;
};

// The most bytes of expanded rows a page keeps, so that writers read most rows in place.
inline constexpr std::uint64_t kRowCacheBytes = std::uint64_t(32) << 20;

}  // namespace lumigrid
