#pragma once
// Monochrome text: FreeType glyphs without anti-aliasing, cached per pixel height.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "surface/raster/span_fill.h"

namespace lumigrid::raster {

// Character height in pixels for a font size in points at a screen resolution:
// Round(|points| * ppi / 72), ties to even, at least 1. Size 0 takes the default of 8 points.
// The result is limited to kMaxTextPixelHeight so that a runaway size cannot exhaust memory.
inline constexpr std::int32_t kDefaultFontPoints = 8;
inline constexpr std::int32_t kMaxTextPixelHeight = 4096;
std::int32_t text_pixel_height(std::int32_t points, std::int32_t pixels_per_inch);

struct TextExtent {
  std::int64_t width;
  std::int64_t height;
};

struct TextColours {
  std::uint32_t glyph;
  std::uint32_t cell;
};

// One font file and its rendered glyphs, per pixel height. Every member locks, so surfaces on
// different threads may share one cache.
class GlyphCache {
 public:
  // The face is loaded on first use; an empty or unreadable path gives a cache without font.
  explicit GlyphCache(std::string font_file);
  ~GlyphCache();
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  // The default face (DejaVu Sans, found through fontconfig), shared by every surface.
  static GlyphCache& shared();

  bool hasFont();
  // The cell that draw paints: total advance width by line height. Without a font each
  // character is half the pixel height wide and the line is the pixel height.
  TextExtent measure(std::string_view text, std::int32_t pixel_height);
  // Paints the cell in colours.cell with its top-left at (x, y), then the glyph pixels in
  // colours.glyph.
  void draw(const RasterTarget& target, std::int32_t x, std::int32_t y, std::string_view text,
            std::int32_t pixel_height, TextColours colours);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace lumigrid::raster
