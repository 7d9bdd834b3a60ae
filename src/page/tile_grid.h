#pragma once
// The grid of moire tiles that covers a printable page: its parameters and how many tiles it
// has. Shared by the tile walk and the stamped tiles.
#include <cstdint>

namespace lumigrid {

struct ChartParameters {
  std::int32_t space = 100;  // tile size in pixels
  std::int32_t pitch = 8;    // ring spacing at a tile's rim
  std::int32_t pitch2 = 50;  // ring spacing aimed at towards a tile's centre
};

// Throws lumigrid::Error when Space is below 1: a walk over the tiles would never end.
void check_space(std::int32_t space);

// Tiles per row and per column: every tile whose left (top) edge is at most the page's width
// (height), so W div Space + 1 of them. Space must be at least 1.
std::int64_t tile_columns(std::int32_t page_width, std::int32_t space);
std::int64_t tile_rows(std::int32_t page_height, std::int32_t space);

}  // namespace lumigrid
