#include "page/tile_grid.h"

#include "base/errors.h"

namespace lumigrid {

void check_space(std::int32_t space) {
  if (space < 1) throw Error("Space must be at least 1");
}

std::int64_t tile_columns(std::int32_t page_width, std::int32_t space) {
  check_space(space);
  return std::int64_t(page_width) / space + 1;
}

std::int64_t tile_rows(std::int32_t page_height, std::int32_t space) {
  check_space(space);
  return std::int64_t(page_height) / space + 1;
}

}  // namespace lumigrid
