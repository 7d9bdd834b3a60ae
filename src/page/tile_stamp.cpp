#include "page/tile_stamp.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "base/errors.h"
#include "base/integer_division.h"
#include "patterns/moire_rings.h"

namespace lumigrid {

namespace {

// Records the extent of the ellipses a drawing asks for and the widest pen it strokes them
// with, without painting anything.
class ExtentCanvas final : public Canvas {
 public:
  std::int32_t width() const override { return 0; }
  std::int32_t height() const override { return 0; }
  void FillRect(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
  void Polygon(std::span<const Point>) override {}
  void TextOut(std::int32_t, std::int32_t, std::string_view) override {}
  void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override {
    any = true;
    left = std::min<std::int64_t>(left, std::min(x1, x2));
    top = std::min<std::int64_t>(top, std::min(y1, y2));
    right = std::max<std::int64_t>(right, std::max(x1, x2));
    bottom = std::max<std::int64_t>(bottom, std::max(y1, y2));
    widest_pen = std::max<std::int64_t>(widest_pen, tools().pen_width);
  }

  bool any = false;
  std::int64_t left = std::numeric_limits<std::int64_t>::max();
  std::int64_t top = std::numeric_limits<std::int64_t>::max();
  std::int64_t right = std::numeric_limits<std::int64_t>::min();
  std::int64_t bottom = std::numeric_limits<std::int64_t>::min();
  std::int64_t widest_pen = 1;
};

// dst takes every src pixel the stamp paints.
void copy_painted(std::uint8_t* __restrict dst, const std::uint8_t* __restrict src,
                  std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t v = src[i];
    dst[i] = v == kUnpainted ? dst[i] : v;
  }
}

struct TileGrid {
  std::int64_t columns;
  std::int64_t rows;
  std::int64_t half;  // a tile's centre lies half a tile (Space div 2) from its corner
  std::int64_t space;
};

TileGrid grid_for(const Surface& page, std::int32_t space) {
  return {tile_columns(page.width(), space), tile_rows(page.height(), space), space / 2, space};
}

void check_stampable(const Surface& page, std::int32_t space) {
  if (page.format() != PixelFormat::Gray8) throw Error("Tiles can only be stamped on a Gray8 page");
  if (space < 1) throw Error("Space must be at least 1");
}

// Stamp row `j` of every tile of one tile row, left to right, into a page row `width` wide.
void stamp_row_across(std::uint8_t* page_row, std::int64_t width, const TileStamp& stamp,
                      std::int64_t j, const TileGrid& grid) {
  const std::uint8_t* stamp_row = stamp.pixels.data() + std::size_t(j) * std::size_t(stamp.width);
  // The first tile whose stamp reaches x = 0.
  std::int64_t c =
      std::max<std::int64_t>(0, floor_div(-(grid.half + stamp.left + stamp.width), grid.space) + 1);
  for (; c < grid.columns; ++c) {
    const std::int64_t x0 = grid.half + c * grid.space + stamp.left;
    if (x0 >= width) break;
    const std::int64_t from = std::max<std::int64_t>(x0, 0);
    const std::int64_t to = std::min<std::int64_t>(x0 + stamp.width, width);
    if (from < to) {
      copy_painted(page_row + from, stamp_row + (from - x0), std::size_t(to - from));
    }
  }
}

}  // namespace

std::optional<TileStamp> paint_tile_stamp(const ChartParameters& parameters,
                                          std::uint64_t max_scratch_bytes) {
  ExtentCanvas extent;
  paint_moire_rings(extent, 0, 0, parameters.space, parameters.pitch, parameters.pitch2);
  TileStamp stamp;
  stamp.final_pen_width = extent.tools().pen_width;
  if (!extent.any) return stamp;

  // A wide pen reaches about half its width beyond an ellipse's box; start with a full width
  // of margin and widen it should the painted pixels still touch the scratch's edge.
  std::int64_t margin = extent.widest_pen + 4;
  for (int attempt = 0; attempt < 4; ++attempt, margin *= 2) {
    const std::int64_t left = extent.left - margin;
    const std::int64_t top = extent.top - margin;
    const std::int64_t width = extent.right - extent.left + 2 * margin;
    const std::int64_t height = extent.bottom - extent.top + 2 * margin;
    if (width > std::numeric_limits<std::int32_t>::max() / 2 ||
        height > std::numeric_limits<std::int32_t>::max() / 2 ||
        std::uint64_t(width) * std::uint64_t(height) > max_scratch_bytes) {
      return std::nullopt;
    }
    Surface scratch(std::int32_t(width), std::int32_t(height), PixelFormat::Gray8);
    std::memset(scratch.data(), kUnpainted, std::size_t(width) * std::size_t(height));
    paint_moire_rings(scratch, std::int32_t(-left), std::int32_t(-top), parameters.space,
                      parameters.pitch, parameters.pitch2);

    // The painted pixels' bounding box, and whether it touches the scratch's edge.
    std::int64_t min_x = width, max_x = -1, min_y = height, max_y = -1;
    for (std::int64_t y = 0; y < height; ++y) {
      const std::uint8_t* row = scratch.rowData(std::int32_t(y));
      std::int64_t first = 0;
      while (first < width && row[first] == kUnpainted) ++first;
      if (first == width) continue;
      std::int64_t last = width - 1;
      while (row[last] == kUnpainted) --last;
      min_x = std::min(min_x, first);
      max_x = std::max(max_x, last);
      min_y = std::min(min_y, y);
      max_y = y;
    }
    if (max_y < 0) return stamp;  // the rings paint nothing
    if (min_x == 0 || min_y == 0 || max_x == width - 1 || max_y == height - 1) continue;

    stamp.left = std::int32_t(left + min_x);
    stamp.top = std::int32_t(top + min_y);
    stamp.width = std::int32_t(max_x - min_x + 1);
    stamp.height = std::int32_t(max_y - min_y + 1);
    stamp.pixels.resize(std::size_t(stamp.width) * std::size_t(stamp.height));
    for (std::int32_t j = 0; j < stamp.height; ++j) {
      std::memcpy(stamp.pixels.data() + std::size_t(j) * std::size_t(stamp.width),
                  scratch.rowData(std::int32_t(min_y + j)) + min_x, std::size_t(stamp.width));
    }
    return stamp;
  }
  return std::nullopt;
}

void stamp_tiles(Surface& page, const TileStamp& stamp, std::int32_t space,
                 const ProgressCallback& progress) {
  check_stampable(page, space);
  if (stamp.width <= 0 || stamp.height <= 0) return;
  const TileGrid grid = grid_for(page, space);
  const std::int64_t width = page.width();
  const std::int64_t height = page.height();
  const std::int64_t report_every = std::max<std::int64_t>(1, height / 100);

  // Page row y meets stamp row y - (half + r * space + top) of every tile row r whose stamp
  // spans it. When all those tile rows exist, row y and row y - space meet the same stamp rows
  // of the same tile columns in the same order, so they end up equal.
  const auto first_tile_row = [&](std::int64_t y) {
    return floor_div(y - grid.half - stamp.top - stamp.height, grid.space) + 1;
  };
  const auto last_tile_row = [&](std::int64_t y) {
    return floor_div(y - grid.half - stamp.top, grid.space);
  };
  const auto all_tile_rows_exist = [&](std::int64_t y) {
    return first_tile_row(y) >= 0 && last_tile_row(y) < grid.rows;
  };

  for (std::int64_t y = 0; y < height; ++y) {
    std::uint8_t* row = page.rowData(std::int32_t(y));
    if (y >= grid.space && all_tile_rows_exist(y) && all_tile_rows_exist(y - grid.space)) {
      std::memcpy(row, page.rowData(std::int32_t(y - grid.space)), std::size_t(width));
    } else {
      const std::int64_t from = std::max<std::int64_t>(first_tile_row(y), 0);
      const std::int64_t to = std::min<std::int64_t>(last_tile_row(y), grid.rows - 1);
      for (std::int64_t r = from; r <= to; ++r) {
        stamp_row_across(row, width, stamp, y - (grid.half + r * grid.space + stamp.top), grid);
      }
    }
    if (progress && (y + 1) % report_every == 0) progress(double(y + 1) / double(height));
  }
  if (progress) progress(1.0);
}

void stamp_tiles_one_by_one(Surface& page, const TileStamp& stamp, std::int32_t space) {
  check_stampable(page, space);
  if (stamp.width <= 0 || stamp.height <= 0) return;
  const TileGrid grid = grid_for(page, space);
  const std::int64_t width = page.width();
  const std::int64_t height = page.height();
  for (std::int64_t r = 0; r < grid.rows; ++r) {
    for (std::int64_t c = 0; c < grid.columns; ++c) {
      const std::int64_t cx = grid.half + c * grid.space;
      const std::int64_t cy = grid.half + r * grid.space;
      for (std::int64_t j = 0; j < stamp.height; ++j) {
        const std::int64_t y = cy + stamp.top + j;
        if (y < 0 || y >= height) continue;
        const std::int64_t x0 = cx + stamp.left;
        const std::int64_t from = std::max<std::int64_t>(x0, 0);
        const std::int64_t to = std::min<std::int64_t>(x0 + stamp.width, width);
        if (from < to) {
          copy_painted(
              page.rowData(std::int32_t(y)) + from,
              stamp.pixels.data() + std::size_t(j) * std::size_t(stamp.width) + (from - x0),
              std::size_t(to - from));
        }
      }
    }
  }
}

}  // namespace lumigrid
