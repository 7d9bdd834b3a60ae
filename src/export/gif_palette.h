#pragma once
// Choosing the colours of a GIF: the picture's own colours when there are at most 256 of them,
// otherwise an adaptive palette by median cut over a 5-bit-per-channel histogram, and the
// Floyd–Steinberg mapping of pixels onto it.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace lumigrid::export_detail {

struct PaletteColour {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const PaletteColour&, const PaletteColour&) = default;
};

// Gathers the colours of a picture row by row (first pass), all rows in one pixel format.
class ColourCensus {
 public:
  ColourCensus();
  // `pixels` as stored in a 32-bit surface row: B, G, R, X; counted as `times` equal rows.
  void addBgrxRow(const std::uint8_t* pixels, std::int32_t width, std::uint64_t times = 1);
  // Grey rows have at most 256 levels and so always an exact palette: only presence is kept.
  void addGreyRow(const std::uint8_t* pixels, std::int32_t width);

  // True while every distinct colour seen is known exactly (at most 256 of them).
  bool exact() const { return !overflowed_; }
  // The distinct colours, ordered by value; only when exact().
  std::vector<PaletteColour> exactColours() const;
  // At most `limit` colours by median cut of the histogram, each the mean of the pixels it
  // stands for.
  std::vector<PaletteColour> medianCut(std::size_t limit) const;

 private:
  struct Bin {
    std::uint64_t count = 0, r = 0, g = 0, b = 0;
  };
  void noteExact(std::uint32_t rgb);

  std::vector<Bin> bins_;  // 32 x 32 x 32
  std::vector<std::uint32_t> distinct_;
  // Open addressing over 1024 slots, 0xFFFFFFFF empty: membership of distinct_ without a scan.
  std::vector<std::uint32_t> seen_;
  std::array<bool, 256> grey_present_{};
  std::uint32_t last_ = 0xFFFFFFFFu;  // not a colour: the census starts empty
  bool overflowed_ = false;
};

// Maps pixels to palette indices. Exact palettes map each colour to its own entry; adaptive
// ones diffuse the error of each pixel over its unvisited neighbours (Floyd–Steinberg).
class PaletteMapper {
 public:
  PaletteMapper(std::vector<PaletteColour> palette, bool exact, std::int32_t width);
  void mapBgrxRow(const std::uint8_t* pixels, std::uint8_t* indices);
  void mapGreyRow(const std::uint8_t* pixels, std::uint8_t* indices);

 private:
  std::uint8_t nearest(int r, int g, int b);
  std::uint8_t exactIndex(std::uint32_t rgb) const;

  std::vector<PaletteColour> palette_;
  bool exact_;
  std::int32_t width_;
  std::vector<std::uint32_t> sorted_keys_;      // exact: palette colours as 0xRRGGBB, sorted
  std::array<std::uint8_t, 256> grey_index_{};  // exact: palette index of each grey level present
  std::vector<std::int16_t> inverse_;           // adaptive: 6 bits a channel, -1 until looked up
  std::vector<int> error_this_, error_next_;    // adaptive: sixteenths, 3 per pixel plus margins
};

}  // namespace lumigrid::export_detail
