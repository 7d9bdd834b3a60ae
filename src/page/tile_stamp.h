#pragma once
// Painting the moire tiles of a page by copying: every tile's rings are the same, so one tile is
// painted once and stamped everywhere through the mask of the pixels it paints.
#include <cstdint>
#include <optional>
#include <vector>

#include "base/progress.h"
#include "page/tile_grid.h"
#include "surface/surface.h"

namespace lumigrid {

// Stamp value of a pixel the tile does not paint. The tile paints only black (0) and white
// (255), so any other level can mark the pixels outside its footprint.
inline constexpr std::uint8_t kUnpainted = 128;

// One tile's pixels. Pixel (i, j) of `pixels` lies at (left + i, top + j) relative to the
// tile's centre; kUnpainted outside the footprint.
struct TileStamp {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;
  // Pen width the tile's drawing leaves on the canvas.
  std::int32_t final_pen_width = 1;
};

// Paints the rings of one tile into a scratch Gray8 surface with the surface's own rasteriser
// and keeps the painted pixels. Gives nothing when the scratch would need more than
// `max_scratch_bytes`, or when the rings reach beyond every margin tried.
std::optional<TileStamp> paint_tile_stamp(const ChartParameters& parameters,
                                          std::uint64_t max_scratch_bytes);

// Stamps the tiles of a Space grid over a Gray8 page in walk order (rows from the top, tiles
// from the left), each one overwriting the pixels it paints. Rows that see the same tile rows
// as the row one tile height above are copied from it, which is exact only when the page
// started as one colour.
void stamp_tiles(Surface& page, const TileStamp& stamp, std::int32_t space,
                 const ProgressCallback& progress = {});

// The same, one tile after the other over the whole page, for any starting page: the reference
// the row copying is held to.
void stamp_tiles_one_by_one(Surface& page, const TileStamp& stamp, std::int32_t space);

}  // namespace lumigrid
