#pragma once
// The drawing interface every drawer paints through: pen, brush, font and four operations.
// Surface paints pixels; tests can substitute a canvas that records the calls.
#include <cstdint>
#include <span>
#include <string_view>

namespace lumigrid {

// 0x00BBGGRR, red in the low byte.
using Colour = std::uint32_t;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Pen, brush and font belong to the canvas and persist from one drawing to the next.
struct DrawingTools {
  Colour pen_colour = kBlack;
  std::int32_t pen_width = 1;
  Colour brush_colour = kWhite;
  Colour font_colour = kBlack;
  std::int32_t font_size_points = 0;  // 0: the face's default height
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual std::int32_t width() const = 0;
  virtual std::int32_t height() const = 0;

  void setPenColour(Colour c) { tools_.pen_colour = c & 0xFFFFFF; }
  // A negative width is ignored and leaves the width as it was.
  void setPenWidth(std::int32_t w) {
    if (w >= 0) tools_.pen_width = w;
  }
  void setBrushColour(Colour c) { tools_.brush_colour = c & 0xFFFFFF; }
  void setFontColour(Colour c) { tools_.font_colour = c & 0xFFFFFF; }
  void setFontSize(std::int32_t points) { tools_.font_size_points = points; }
  const DrawingTools& tools() const { return tools_; }

  // Screen resolution used to turn font points into pixels (96 on a standard screen).
  void setPixelsPerInch(std::int32_t ppi) { pixels_per_inch_ = ppi > 0 ? ppi : 96; }
  std::int32_t pixelsPerInch() const { return pixels_per_inch_; }

  // Every pixel with left <= x < right and top <= y < bottom, in the brush colour.
  virtual void FillRect(std::int32_t left, std::int32_t top, std::int32_t right,
                        std::int32_t bottom) = 0;
  // Even-odd interior in the brush colour, then the closed outline with the pen.
  virtual void Polygon(std::span<const Point> points) = 0;
  // The ellipse inscribed in the box; right and bottom edges excluded like FillRect.
  virtual void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) = 0;
  // Glyphs in the font colour on an opaque cell of the brush colour, cell top-left at (x, y).
  virtual void TextOut(std::int32_t x, std::int32_t y, std::string_view text) = 0;

 protected:
  DrawingTools tools_;
  std::int32_t pixels_per_inch_ = 96;
};

}  // namespace lumigrid
