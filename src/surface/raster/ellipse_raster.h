#pragma once
// Ellipses inscribed in a box whose right and bottom edges are excluded.
#include <cstdint>

#include "surface/raster/span_fill.h"

namespace lumigrid::raster {

// Paints the ellipse inscribed in [x1, x2) x [y1, y2) (a reversed box is taken as its mirror).
// Pen width <= 1: the pixels whose centres lie in the ellipse form the shape; those with a
// 4-neighbour outside it are the 8-connected outline in `pen`, the rest take `brush`.
// Wider pens: a band `pen_width` pixels across centred on the ideal curve, exact for circles,
// and `brush` inside it. Spans are decided in exact integer arithmetic up to semi-axes of 2^31
// pixels; every 32-bit box is safe and the work is bounded by the visible rows.
void draw_ellipse(const RasterTarget& target, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                  std::int32_t y2, std::int32_t pen_width, std::uint32_t pen, std::uint32_t brush);

// Wide rings of up to 2048 pixels' radius reuse the spans of the last few rings of the same
// size and pen; tests switch that off to check it against computing every row.
void set_ring_table_enabled(bool enabled);

// How many rings on this thread were drawn from the table rather than computed; lets tests
// show that the table is really taken, not silently bypassed.
std::uint64_t ring_table_reuses();

// Largest u >= 0 of the given parity with u^2 B^2 <= A^2 (B^2 - v^2) (or < when `strict`),
// -1 when there is none. All of A, B, v are doubled lengths with |v| <= B.
std::int64_t ellipse_half_span(std::uint64_t a, std::uint64_t b, std::uint64_t v_abs, int parity,
                               bool strict);

}  // namespace lumigrid::raster
