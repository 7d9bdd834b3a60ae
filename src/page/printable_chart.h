#pragma once
// The printable test chart: a grid of moire tiles over the whole page and a one-line caption.
#include <cstdint>
#include <string>

#include "base/progress.h"
#include "page/tile_grid.h"
#include "surface/canvas.h"
#include "surface/surface.h"

namespace lumigrid {

// "W x H, circle dim=S, line width:P ~ P2  " (two trailing blanks).
std::string printable_chart_caption(std::int32_t page_width, std::int32_t page_height,
                                    const ChartParameters& parameters);
// One point per hundred pixels of page height; 0 leaves the face's default height.
std::int32_t caption_font_size(std::int32_t page_height);

// The black bar and the caption of a page_width x page_height page, drawn with the page's row
// `first_row` at the canvas's row 0, so that a strip of the page's top rows can be drawn alone.
void draw_chart_caption(Canvas& canvas, std::int32_t page_width, std::int32_t page_height,
                        const ChartParameters& parameters, std::int32_t first_row = 0);
// The tiles alone, as draw_printable_chart paints them.
void draw_chart_tiles(Canvas& page, const ChartParameters& parameters,
                      const ProgressCallback& progress = {});

// Draws the chart over the canvas as the drawing operations of each tile, in walk order (rows
// from the top, tiles from the left), then the caption. Leaves a black brush and a white font.
// Throws lumigrid::Error when Space is below 1: the walk would never end.
void draw_printable_chart(Canvas& page, std::int32_t space, std::int32_t pitch, std::int32_t pitch2,
                          const ProgressCallback& progress = {});

// The largest scratch surface one tile may be painted in; beyond it (Space in the thousands
// with very wide pens) the fast path draws the tiles one by one instead.
inline constexpr std::uint64_t kMaxTileStampBytes = 48ull << 20;

// The same pixels as draw_printable_chart on a page that is still one colour everywhere (as
// make_page leaves it), much faster: one tile is painted once into a scratch surface and copied
// through the mask of the pixels it paints, a composed row of tiles serves every tile row, and
// rows that repeat one tile height further down are copied whole.
void draw_printable_chart_fast(Surface& page, std::int32_t space, std::int32_t pitch,
                               std::int32_t pitch2, const ProgressCallback& progress = {});

}  // namespace lumigrid
