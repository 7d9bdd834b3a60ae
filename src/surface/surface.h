#pragma once
// The drawing surface: a pixel grid painted in horizontal spans by one rasteriser, in either of
// two pixel formats.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "surface/canvas.h"

namespace lumigrid {

enum class PixelFormat : std::uint8_t {
  // One 32-bit word per pixel holding 0xFFRRGGBB: the layout a window shows without conversion.
  Rgb32,
  // One byte per pixel, 0 black to 255 white: the printable page, which is black and white only.
  Gray8,
};

std::size_t bytes_per_pixel(PixelFormat format);

// Bytes needed for a width x height buffer, computed in 64 bits; throws lumigrid::Error when
// a dimension is negative or the count does not fit in 63 bits.
std::uint64_t surface_byte_count(std::int64_t width, std::int64_t height, PixelFormat format);

// Owns the pixel memory. Large buffers come from the system page allocator with transparent
// huge pages requested, which roughly halves the cost of touching a fresh page-sized buffer.
class PixelBuffer {
 public:
  PixelBuffer() = default;
  explicit PixelBuffer(std::uint64_t bytes);
  ~PixelBuffer();
  PixelBuffer(PixelBuffer&& other) noexcept;
  PixelBuffer& operator=(PixelBuffer&& other) noexcept;
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::uint64_t size() const { return size_; }

 private:
  void release() noexcept;
  std::uint8_t* data_ = nullptr;
  std::uint64_t size_ = 0;
  bool mapped_ = false;
};

// The stored pixel value of a colour in a format (Rgb32: 0xFFRRGGBB; Gray8: luminance).
std::uint32_t pixel_value(Colour colour, PixelFormat format);

class Surface final : public Canvas {
 public:
  // A width x height surface filled with `fill`. Throws lumigrid::Error on a negative size and
  // std::bad_alloc when the memory cannot be had.
  Surface(std::int32_t width, std::int32_t height, PixelFormat format, Colour fill = kWhite);

  std::int32_t width() const override { return width_; }
  std::int32_t height() const override { return height_; }
  PixelFormat format() const { return format_; }
  std::size_t stride() const { return stride_; }  // bytes per row
  std::uint8_t* rowData(std::int32_t y) { return buffer_.data() + stride_ * std::size_t(y); }
  const std::uint8_t* rowData(std::int32_t y) const {
    return buffer_.data() + stride_ * std::size_t(y);
  }
  std::uint8_t* data() { return buffer_.data(); }
  const std::uint8_t* data() const { return buffer_.data(); }

  // The colour at (x, y) as 0x00BBGGRR (Gray8 gives grey levels).
  Colour pixel(std::int32_t x, std::int32_t y) const;
  void fill(Colour colour);
  // New size; the overlapping top-left part keeps its pixels and new area takes `fill`.
  void resize(std::int32_t width, std::int32_t height, Colour fill = kWhite);

  void FillRect(std::int32_t left, std::int32_t top, std::int32_t right,
                std::int32_t bottom) override;
  void Polygon(std::span<const Point> points) override;
  void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
  void TextOut(std::int32_t x, std::int32_t y, std::string_view text) override;

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  PixelFormat format_ = PixelFormat::Rgb32;
  std::size_t stride_ = 0;
  PixelBuffer buffer_;
};

}  // namespace lumigrid
