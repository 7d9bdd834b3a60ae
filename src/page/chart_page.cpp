#include "page/chart_page.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <system_error>

#include "base/errors.h"
#include "base/integer_division.h"
#include "page/printable_chart.h"
#include "page/tile_stamp.h"
#include "surface/raster/glyphs.h"

namespace lumigrid {

namespace {

// The caption is drawn in strips of at most this many bytes to find its runs.
constexpr std::uint64_t kCaptionStripBytes = std::uint64_t(8) << 20;
// Caption rows are told from the small page's rows by this bit of their class.
constexpr std::uint64_t kCaptionRowClass = std::uint64_t(1) << 63;

// The farthest a stamped tile paints from its centre, along either side.
std::int64_t stamp_reach(const TileStamp& stamp) {
  if (stamp.width <= 0 || stamp.height <= 0) return 0;
  return std::max({std::int64_t(0), -std::int64_t(stamp.left),
                   std::int64_t(stamp.left) + stamp.width - 1, -std::int64_t(stamp.top),
                   std::int64_t(stamp.top) + stamp.height - 1});
}

struct CaptionRows {
  std::vector<CaptionRun> runs;
  std::vector<std::size_t> starts{0};
};

// The runs of the caption's painted pixels, row by row: the caption drawn in strips over a
// background no drawing paints, within a box widened until nothing painted touches its far edges.
CaptionRows caption_rows(std::int32_t width, std::int32_t height, const ChartParameters& parameters,
                         std::int32_t pixels_per_inch) {
  const std::string text = printable_chart_caption(width, height, parameters);
  const std::int32_t pixel_height =
      raster::text_pixel_height(caption_font_size(height), pixels_per_inch);
  const raster::TextExtent cell = raster::GlyphCache::shared().measure(text, pixel_height);
  // Glyphs may reach a little beyond their cell; the box grows until none touches its far edges.
  std::int64_t margin = std::int64_t(pixel_height) + 16;
  for (;;) {
    const std::int64_t box_width =
        std::min<std::int64_t>(width, std::max<std::int64_t>(150, cell.width) + margin);
    const std::int64_t box_height =
        std::min<std::int64_t>(height, std::max<std::int64_t>(10, cell.height) + margin);
    CaptionRows rows;
    bool touches_edge = false;
    if (box_width <= 0 || box_height <= 0) return rows;
    const std::int64_t strip_rows = std::max<std::int64_t>(
        1, std::min<std::int64_t>(box_height, std::int64_t(kCaptionStripBytes) / box_width));
    Surface strip(std::int32_t(box_width), std::int32_t(strip_rows), PixelFormat::Gray8);
    strip.setPixelsPerInch(pixels_per_inch);
    for (std::int64_t top = 0; top < box_height; top += strip_rows) {
      std::memset(strip.data(), kUnpainted, strip.stride() * std::size_t(strip_rows));
      draw_chart_caption(strip, width, height, parameters, std::int32_t(top));
      const std::int64_t count = std::min(strip_rows, box_height - top);
      for (std::int64_t r = 0; r < count; ++r) {
        const std::uint8_t* row = strip.rowData(std::int32_t(r));
        std::int64_t x = 0;
        while (x < box_width) {
          if (row[x] == kUnpainted) {
            ++x;
            continue;
          }
          const std::int64_t left = x;
          const std::uint8_t value = row[x];
          while (x < box_width && row[x] == value) ++x;
          rows.runs.push_back({std::int32_t(left), std::int32_t(x), value});
        }
        touches_edge = touches_edge || (box_width < width && row[box_width - 1] != kUnpainted);
        if (top + r == box_height - 1 && box_height < height) {
          touches_edge = touches_edge || std::any_of(row, row + box_width, [](std::uint8_t v) {
                           return v != kUnpainted;
                         });
        }
        rows.starts.push_back(rows.runs.size());
      }
    }
    if (!touches_edge) {
      // Rows at the bottom without runs need no caption row of their own.
      while (rows.starts.size() > 1 && rows.starts[rows.starts.size() - 2] == rows.starts.back()) {
        rows.starts.pop_back();
      }
      return rows;
    }
    margin *= 4;
  }
}

}  // namespace

std::string not_enough_memory_for_page(std::int64_t width, std::int64_t height) {
  return "Not enough memory for a page of " + std::to_string(width) + " x " +
         std::to_string(height) + " pixels";
}

PageAxis page_axis(std::int64_t length, std::int32_t space, std::int64_t reach) {
  PageAxis axis;
  axis.length = length;
  axis.period = space;
  const std::int64_t half = space / 2;
  const std::int64_t tiles = length / space + 1;
  // A position after `start` sees no tile of the first period; one before `last_end` sees no
  // tile beyond the last: between them each period sees the tiles the one before saw.
  axis.start = std::max<std::int64_t>(half + reach + 1, space);
  const std::int64_t last_end = half + tiles * space - reach;
  const std::int64_t periods = std::min(floor_div(last_end - axis.start, std::int64_t(space)),
                                        floor_div(length - axis.start, std::int64_t(space))) -
                               1;
  axis.removed = std::max<std::int64_t>(0, periods) * space;
  return axis;
}

AxisPieces axis_pieces(const PageAxis& axis, std::int64_t from, std::int64_t to) {
  AxisPieces out;
  const auto add = [&](std::int64_t a, std::int64_t b, std::int64_t times) {
    if (a < b && times > 0) out.pieces[out.count++] = {a, b, times};
  };
  // Before the repeating stretch: the small page's own positions.
  add(from, std::min(to, axis.start), 1);
  // The repeating stretch: a part of a period, whole periods, a part of a period.
  const std::int64_t a = std::max(from, axis.start);
  const std::int64_t b = std::min(to, axis.start + axis.removed);
  if (a < b) {
    const std::int64_t phase = (a - axis.start) % axis.period;
    const std::int64_t n = b - a;
    if (phase + n <= axis.period) {
      add(axis.start + phase, axis.start + phase + n, 1);
    } else {
      add(axis.start + phase, axis.start + axis.period, 1);
      const std::int64_t rest = n - (axis.period - phase);
      add(axis.start, axis.start + axis.period, rest / axis.period);
      add(axis.start, axis.start + rest % axis.period, 1);
    }
  }
  // After it: the small page's positions, the left-out periods further on.
  add(std::max(from, axis.start + axis.removed) - axis.removed, to - axis.removed, 1);
  return out;
}

ChartPage::ChartPage(std::int32_t width, std::int32_t height, const ChartParameters& parameters,
                     std::int32_t pixels_per_inch, Surface small)
    : width_(width),
      height_(height),
      parameters_(parameters),
      pixels_per_inch_(pixels_per_inch),
      small_(std::move(small)) {}

std::shared_ptr<const ChartPage> ChartPage::make(std::int32_t width, std::int32_t height,
                                                 const ChartParameters& parameters,
                                                 std::int32_t pixels_per_inch,
                                                 std::uint64_t available_bytes,
                                                 const ProgressCallback& progress) {
  if (width < 0 || height < 0) {
    throw Error("Invalid page size " + std::to_string(width) + " x " + std::to_string(height));
  }
  check_space(parameters.space);
  try {
    const std::optional<TileStamp> stamp = paint_tile_stamp(parameters, kMaxTileStampBytes);
    // Without a stamp the tiles are drawn one by one over the whole page, as ever.
    const std::int64_t reach =
        stamp ? stamp_reach(*stamp) : std::int64_t(std::numeric_limits<std::int32_t>::max());
    const PageAxis columns = page_axis(width, parameters.space, reach);
    const PageAxis rows = page_axis(height, parameters.space, reach);
    const auto small_width = std::uint64_t(columns.smallLength());
    const auto small_height = std::uint64_t(rows.smallLength());
    const std::uint64_t small_bytes = small_width * small_height;
    // The corner sums the viewer makes later count too.
    const std::uint64_t sum_bytes = (small_width + 1) * (small_height + 1) * 8;
    if (small_bytes > available_bytes || sum_bytes > available_bytes - small_bytes) {
      throw Error(not_enough_memory_for_page(width, height));
    }

    Surface small(std::int32_t(small_width), std::int32_t(small_height), PixelFormat::Gray8,
                  kWhite);
    if (stamp) {
      stamp_tiles(small, *stamp, parameters.space, progress);
    } else {
      draw_chart_tiles(small, parameters, progress);
    }
    std::shared_ptr<ChartPage> page(
        new ChartPage(width, height, parameters, pixels_per_inch, std::move(small)));
    page->columns_ = columns;
    page->rows_ = rows;

    CaptionRows caption = caption_rows(width, height, parameters, pixels_per_inch);
    page->caption_runs_ = std::move(caption.runs);
    page->caption_run_starts_ = std::move(caption.starts);

    const std::uint64_t cache_bytes = small_height * std::uint64_t(width);
    if (cache_bytes <= kRowCacheBytes && cache_bytes <= available_bytes - small_bytes - sum_bytes) {
      page->expanded_rows_.resize(std::size_t(cache_bytes));
      for (std::size_t y = 0; y < small_height; ++y) {
        page->expandRow(std::int64_t(y), 0, width,
                        page->expanded_rows_.data() + std::size_t(width) * y);
      }
    }
    if (progress) progress(1.0);
    return page;
  } catch (const std::bad_alloc&) {
    throw Error(not_enough_memory_for_page(width, height));
  } catch (const std::system_error& e) {
    // A drawing thread the system could not start.
    if (e.code() != std::errc::resource_unavailable_try_again) throw;
    throw Error(not_enough_memory_for_page(width, height));
  }
}

const std::uint64_t* ChartPage::cornerSums() const {
  std::call_once(corner_sums_made_, [this] {
    const auto small_width = std::size_t(small_.width());
    const auto small_height = std::size_t(small_.height());
    const std::size_t stride = small_width + 1;
    corner_sums_.assign(stride * (small_height + 1), 0);
    for (std::size_t y = 0; y < small_height; ++y) {
      const std::uint8_t* pixels = small_.rowData(std::int32_t(y));
      const std::uint64_t* above = corner_sums_.data() + stride * y;
      std::uint64_t* here = corner_sums_.data() + stride * (y + 1);
      std::uint64_t row_total = 0;
      for (std::size_t x = 0; x < small_width; ++x) {
        row_total += pixels[x];
        here[x + 1] = above[x + 1] + row_total;
      }
    }
  });
  return corner_sums_.data();
}

std::uint64_t ChartPage::bytes() const {
  return small_.stride() * std::uint64_t(small_.height()) +
         corner_sums_.size() * sizeof(std::uint64_t) + caption_runs_.size() * sizeof(CaptionRun) +
         caption_run_starts_.size() * sizeof(std::size_t) + expanded_rows_.size();
}

std::span<const CaptionRun> ChartPage::captionRuns(std::int64_t y) const {
  if (y < 0 || std::size_t(y) + 1 >= caption_run_starts_.size()) return {};
  return {caption_runs_.data() + caption_run_starts_[std::size_t(y)],
          caption_runs_.data() + caption_run_starts_[std::size_t(y) + 1]};
}

void ChartPage::expandRow(std::int64_t small_y, std::int64_t left, std::int64_t right,
                          std::uint8_t* out) const {
  const std::uint8_t* source = small_.rowData(std::int32_t(small_y));
  const PageAxis& axis = columns_;
  std::int64_t x = left;
  const auto put = [&](const std::uint8_t* from, std::int64_t count) {
    std::memcpy(out + (x - left), from, std::size_t(count));
    x += count;
  };
  if (x < std::min(right, axis.start)) put(source + x, std::min(right, axis.start) - x);
  const std::int64_t repeat_end = std::min(right, axis.start + axis.removed);
  if (x < repeat_end) {
    // Up to the next period's start, then whole periods doubled by copying what is done.
    const std::int64_t phase = (x - axis.start) % axis.period;
    put(source + axis.start + phase, std::min(repeat_end - x, axis.period - phase));
    if (x < repeat_end) {
      std::uint8_t* periods = out + (x - left);
      const std::int64_t total = repeat_end - x;
      std::int64_t done = std::min(total, axis.period);
      std::memcpy(periods, source + axis.start, std::size_t(done));
      while (done < total) {
        const std::int64_t count = std::min(done, total - done);
        std::memcpy(periods + done, periods, std::size_t(count));
        done += count;
      }
      x = repeat_end;
    }
  }
  if (x < right) put(source + (x - axis.removed), right - x);
}

void ChartPage::fillRow(std::int32_t y, std::int64_t left, std::int64_t right,
                        std::uint8_t* out) const {
  if (left >= right) return;
  const std::int64_t small_y = rows_.toSmall(y);
  if (!expanded_rows_.empty()) {
    std::memcpy(out, expanded_rows_.data() + std::size_t(small_y) * std::size_t(width_) + left,
                std::size_t(right - left));
  } else {
    expandRow(small_y, left, right, out);
  }
  for (const CaptionRun& run : captionRuns(y)) {
    const std::int64_t a = std::max<std::int64_t>(run.left, left);
    const std::int64_t b = std::min<std::int64_t>(run.right, right);
    if (a < b) std::memset(out + (a - left), run.value, std::size_t(b - a));
  }
}

const std::uint8_t* ChartPage::row(std::int32_t y, std::uint8_t* scratch) const {
  if (!expanded_rows_.empty() && captionRuns(y).empty()) {
    return expanded_rows_.data() + std::size_t(rows_.toSmall(y)) * std::size_t(width_);
  }
  fillRow(y, 0, width_, scratch);
  return scratch;
}

std::optional<std::uint64_t> ChartPage::rowClass(std::int32_t y) const {
  if (!captionRuns(y).empty()) return kCaptionRowClass | std::uint64_t(y);
  return std::uint64_t(rows_.toSmall(y));
}

std::uint8_t ChartPage::pixel(std::int32_t x, std::int32_t y) const {
  for (const CaptionRun& run : captionRuns(y)) {
    if (x >= run.left && x < run.right) return run.value;
  }
  return small_.rowData(std::int32_t(rows_.toSmall(y)))[columns_.toSmall(x)];
}

std::uint64_t ChartPage::tileRowSum(std::int64_t small_y, std::int64_t left,
                                    std::int64_t right) const {
  const std::size_t stride = std::size_t(small_.width()) + 1;
  const std::uint64_t* above = cornerSums() + stride * std::size_t(small_y);
  const std::uint64_t* below = above + stride;
  std::uint64_t total = 0;
  for (const AxisPiece& piece : axis_pieces(columns_, left, right)) {
    const auto f = std::size_t(piece.from), t = std::size_t(piece.to);
    total += std::uint64_t(piece.times) * ((below[t] - above[t]) - (below[f] - above[f]));
  }
  return total;
}

void ChartPage::blockSums(std::int64_t top, std::int64_t bottom,
                          std::span<const std::int64_t> firsts, std::span<const std::int64_t> lasts,
                          std::uint64_t* sums) const {
  const std::size_t count = firsts.size();
  std::fill(sums, sums + count, 0);
  if (top >= bottom || count == 0) return;
  // The tiles' sum over the rows, for every small-page column boundary: the rows' pieces
  // weighted by how often each repeats.
  const std::size_t stride = std::size_t(small_.width()) + 1;
  thread_local std::vector<std::uint64_t> across;
  across.assign(stride, 0);
  for (const AxisPiece& piece : axis_pieces(rows_, top, bottom)) {
    const std::uint64_t* upper = cornerSums() + stride * std::size_t(piece.from);
    const std::uint64_t* lower = cornerSums() + stride * std::size_t(piece.to);
    const auto times = std::uint64_t(piece.times);
    for (std::size_t x = 0; x < stride; ++x) across[x] += times * (lower[x] - upper[x]);
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::uint64_t total = 0;
    for (const AxisPiece& piece : axis_pieces(columns_, firsts[i], lasts[i])) {
      total += std::uint64_t(piece.times) *
               (across[std::size_t(piece.to)] - across[std::size_t(piece.from)]);
    }
    sums[i] = total;
  }
  // The caption's runs replace the tiles' pixels under them.
  const std::int64_t caption_end =
      std::min<std::int64_t>(bottom, std::int64_t(caption_run_starts_.size()) - 1);
  for (std::int64_t y = top; y < caption_end; ++y) {
    const std::span<const CaptionRun> runs = captionRuns(y);
    if (runs.empty()) continue;
    const std::int64_t small_y = rows_.toSmall(y);
    for (std::size_t i = 0; i < count; ++i) {
      const std::int64_t first = firsts[i], last = lasts[i];
      auto run = std::upper_bound(runs.begin(), runs.end(), first,
                                  [](std::int64_t x, const CaptionRun& r) { return x < r.right; });
      for (; run != runs.end() && run->left < last; ++run) {
        const std::int64_t a = std::max<std::int64_t>(run->left, first);
        const std::int64_t b = std::min<std::int64_t>(run->right, last);
        sums[i] += std::uint64_t(run->value) * std::uint64_t(b - a);
        sums[i] -= tileRowSum(small_y, a, b);
      }
    }
  }
}

}  // namespace lumigrid
