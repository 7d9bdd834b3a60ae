// The four painting operations of Surface, each reduced to span fills by the stages in
// polygon_fill, thin_line, wide_stroke, ellipse_raster and glyphs.
#include <algorithm>

#include "surface/raster/ellipse_raster.h"
#include "surface/raster/glyphs.h"
#include "surface/raster/polygon_fill.h"
#include "surface/raster/span_fill.h"
#include "surface/raster/thin_line.h"
#include "surface/raster/wide_stroke.h"
#include "surface/surface.h"

namespace lumigrid {

namespace {

// The corners of an axis-aligned rectangle given as four points in cyclic order (a fifth equal
// to the first may close it); false for any other shape.
bool axis_aligned_corners(std::span<const Point> points, std::int64_t& left, std::int64_t& top,
                          std::int64_t& right, std::int64_t& bottom) {
  if (points.size() == 5 && points[4] != points[0]) return false;
  if (points.size() != 4 && points.size() != 5) return false;
  const Point p0 = points[0], p1 = points[1], p2 = points[2], p3 = points[3];
  const bool horizontal_first = p0.y == p1.y && p1.x == p2.x && p2.y == p3.y && p3.x == p0.x;
  const bool vertical_first = p0.x == p1.x && p1.y == p2.y && p2.x == p3.x && p3.y == p0.y;
  if (!horizontal_first && !vertical_first) return false;
  left = std::min(p0.x, p2.x);
  right = std::max(p0.x, p2.x);
  top = std::min(p0.y, p2.y);
  bottom = std::max(p0.y, p2.y);
  return true;
}

// With a one-pixel pen such a rectangle is its border in the pen and the pixels strictly
// inside in the brush: a few span fills instead of the general edge walk.
void paint_thin_rectangle(const raster::RasterTarget& t, std::int64_t left, std::int64_t top,
                          std::int64_t right, std::int64_t bottom, std::uint32_t pen,
                          std::uint32_t brush) {
  if (pen == brush || right - left < 2 || bottom - top < 2) {
    raster::fill_rect_clipped(t, left, top, right + 1, bottom + 1, pen);
    return;
  }
  raster::fill_span_clipped(t, top, left, right, pen);
  raster::fill_span_clipped(t, bottom, left, right, pen);
  const std::int64_t first_row = std::max<std::int64_t>(top + 1, 0);
  const std::int64_t last_row = std::min<std::int64_t>(bottom - 1, std::int64_t(t.height) - 1);
  for (std::int64_t y = first_row; y <= last_row; ++y) {
    raster::fill_span_clipped(t, y, left, left, pen);
    raster::fill_span_clipped(t, y, left + 1, right - 1, brush);
    raster::fill_span_clipped(t, y, right, right, pen);
  }
}

}  // namespace

void Surface::FillRect(std::int32_t left, std::int32_t top, std::int32_t right,
                       std::int32_t bottom) {
  raster::fill_rect_clipped(raster::raster_target(*this), left, top, right, bottom,
                            pixel_value(tools_.brush_colour, format_));
}

void Surface::Polygon(std::span<const Point> points) {
  if (points.empty()) return;
  const raster::RasterTarget t = raster::raster_target(*this);
  const std::uint32_t pen = pixel_value(tools_.pen_colour, format_);
  const std::uint32_t brush = pixel_value(tools_.brush_colour, format_);
  const bool thin = tools_.pen_width <= 1;
  std::int64_t left, top, right, bottom;
  if (axis_aligned_corners(points, left, top, right, bottom)) {
    if (thin) {
      paint_thin_rectangle(t, left, top, right, bottom, pen, brush);
    } else {
      raster::fill_rect_clipped(t, left, top, right, bottom, brush);
      raster::stroke_wide_rectangle(t, left, top, right, bottom, tools_.pen_width, pen);
    }
    return;
  }
  raster::fill_polygon_even_odd(t, points, brush);
  if (!thin) {
    raster::stroke_wide_outline(t, points, tools_.pen_width, pen);
    return;
  }
  bool all_coincide = true;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point from = points[i], to = points[(i + 1) % points.size()];
    all_coincide = all_coincide && from == points[0];
    raster::stroke_thin_line(t, from, to, pen);
  }
  // Every edge has zero length, so no edge paints; the outline still marks its one point.
  if (all_coincide) raster::fill_span_clipped(t, points[0].y, points[0].x, points[0].x, pen);
}

void Surface::Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  raster::draw_ellipse(raster::raster_target(*this), x1, y1, x2, y2, tools_.pen_width,
                       pixel_value(tools_.pen_colour, format_),
                       pixel_value(tools_.brush_colour, format_));
}

void Surface::TextOut(std::int32_t x, std::int32_t y, std::string_view text) {
  raster::GlyphCache::shared().draw(
      raster::raster_target(*this), x, y, text,
      raster::text_pixel_height(tools_.font_size_points, pixels_per_inch_),
      {pixel_value(tools_.font_colour, format_), pixel_value(tools_.brush_colour, format_)});
}

}  // namespace lumigrid
