#include "page/printable_chart.h"

#include <cstdio>

#include "base/errors.h"
#include "page/tile_stamp.h"
#include "patterns/moire_rings.h"

namespace lumigrid {

std::string printable_chart_caption(std::int32_t page_width, std::int32_t page_height,
                                    const ChartParameters& parameters) {
  char text[128];
  std::snprintf(text, sizeof text, "%d x %d, circle dim=%d, line width:%d ~ %d  ", page_width,
                page_height, parameters.space, parameters.pitch, parameters.pitch2);
  return text;
}

std::int32_t caption_font_size(std::int32_t page_height) {
  return page_height / 100;
}

void draw_chart_caption(Canvas& canvas, std::int32_t page_width, std::int32_t page_height,
                        const ChartParameters& parameters, std::int32_t first_row) {
  canvas.setBrushColour(kBlack);
  canvas.FillRect(0, -first_row, 150, 10 - first_row);
  canvas.setFontColour(kWhite);
  canvas.setFontSize(caption_font_size(page_height));
  canvas.TextOut(0, -first_row, printable_chart_caption(page_width, page_height, parameters));
}

void draw_chart_tiles(Canvas& page, const ChartParameters& parameters,
                      const ProgressCallback& progress) {
  const std::int32_t space = parameters.space;
  const std::int64_t columns = tile_columns(page.width(), space);
  const std::int64_t rows = tile_rows(page.height(), space);
  for (std::int64_t row = 0; row < rows; ++row) {
    const std::int64_t cy = space / 2 + row * space;
    for (std::int64_t col = 0; col < columns; ++col) {
      const std::int64_t cx = space / 2 + col * space;
      paint_moire_rings(page, std::int32_t(cx), std::int32_t(cy), space, parameters.pitch,
                        parameters.pitch2);
    }
    if (progress) progress(double(row + 1) / double(rows));
  }
}

void draw_printable_chart(Canvas& page, std::int32_t space, std::int32_t pitch, std::int32_t pitch2,
                          const ProgressCallback& progress) {
  const ChartParameters parameters{space, pitch, pitch2};
  draw_chart_tiles(page, parameters, progress);
  draw_chart_caption(page, page.width(), page.height(), parameters);
}

void draw_printable_chart_fast(Surface& page, std::int32_t space, std::int32_t pitch,
                               std::int32_t pitch2, const ProgressCallback& progress) {
  check_space(space);
  const ChartParameters parameters{space, pitch, pitch2};
  const std::optional<TileStamp> stamp = paint_tile_stamp(parameters, kMaxTileStampBytes);
  if (!stamp || page.format() != PixelFormat::Gray8) {
    draw_printable_chart(page, space, pitch, pitch2, progress);
    return;
  }
  stamp_tiles(page, *stamp, space, progress);
  // The canvas keeps what the last tile's drawing left on it.
  page.setBrushColour(kWhite);
  page.setPenColour(kBlack);
  page.setPenWidth(stamp->final_pen_width);
  draw_chart_caption(page, page.width(), page.height(), parameters);
}

}  // namespace lumigrid
