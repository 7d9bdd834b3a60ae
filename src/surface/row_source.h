#pragma once
// A picture read row by row: what the encoders and the printer take, so that a picture made of
// repeated parts (the printable page) can be written without ever being held whole.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "surface/surface.h"

namespace lumigrid {

class RowSource {
 public:
  virtual ~RowSource() = default;

  virtual std::int32_t width() const = 0;
  virtual std::int32_t height() const = 0;
  virtual PixelFormat format() const = 0;
  // The screen resolution a window capture was made at; a Gray8 page is 600 dpi whatever this is.
  virtual std::int32_t pixelsPerInch() const = 0;
  // The resolution the picture is recorded at for paper (TIFF, PDF): a window capture's is its
  // monitor's real one, which need not be a whole number.
  virtual double paperPixelsPerInch() const { return double(pixelsPerInch()); }

  // Row y's pixels (width() * bytes_per_pixel(format()) bytes), either the source's own memory
  // or `scratch` filled with them; `scratch` must hold a row. Safe to call from several threads
  // at once, each with its own scratch.
  virtual const std::uint8_t* row(std::int32_t y, std::uint8_t* scratch) const = 0;

  // Rows of the same class hold the same pixels, so a reader may read a class once; a row
  // without a class (nullopt) may equal any other.
  virtual std::optional<std::uint64_t> rowClass(std::int32_t /*y*/) const { return std::nullopt; }

  std::size_t rowBytes() const { return std::size_t(width()) * bytes_per_pixel(format()); }
};

// A surface read as rows: its own memory, no copying.
class SurfaceRows final : public RowSource {
 public:
  explicit SurfaceRows(const Surface& surface) : surface_(surface) {}
  std::int32_t width() const override { return surface_.width(); }
  std::int32_t height() const override { return surface_.height(); }
  PixelFormat format() const override { return surface_.format(); }
  std::int32_t pixelsPerInch() const override { return surface_.pixelsPerInch(); }
  const std::uint8_t* row(std::int32_t y, std::uint8_t* /*scratch*/) const override {
    return surface_.rowData(y);
  }

 private:
  const Surface& surface_;
};

// A surface read as rows that records `paper_pixels_per_inch` for paper: a window capture at
// its monitor's measured resolution. The surface's own resolution stays the one of its text.
class MeasuredSurfaceRows final : public RowSource {
 public:
  MeasuredSurfaceRows(const Surface& surface, double paper_pixels_per_inch)
      : rows_(surface), paper_pixels_per_inch_(paper_pixels_per_inch) {}
  std::int32_t width() const override { return rows_.width(); }
  std::int32_t height() const override { return rows_.height(); }
  PixelFormat format() const override { return rows_.format(); }
  std::int32_t pixelsPerInch() const override { return rows_.pixelsPerInch(); }
  double paperPixelsPerInch() const override { return paper_pixels_per_inch_; }
  const std::uint8_t* row(std::int32_t y, std::uint8_t* scratch) const override {
    return rows_.row(y, scratch);
  }

 private:
  SurfaceRows rows_;
  double paper_pixels_per_inch_;
};

// Rows [first, first + count) of another row source, as rows 0 to count - 1.
class RowRange final : public RowSource {
 public:
  RowRange(const RowSource& rows, std::int32_t first, std::int32_t count)
      : rows_(rows), first_(first), count_(count) {}
  std::int32_t width() const override { return rows_.width(); }
  std::int32_t height() const override { return count_; }
  PixelFormat format() const override { return rows_.format(); }
  std::int32_t pixelsPerInch() const override { return rows_.pixelsPerInch(); }
  double paperPixelsPerInch() const override { return rows_.paperPixelsPerInch(); }
  const std::uint8_t* row(std::int32_t y, std::uint8_t* scratch) const override {
    return rows_.row(first_ + y, scratch);
  }
  std::optional<std::uint64_t> rowClass(std::int32_t y) const override {
    return rows_.rowClass(first_ + y);
  }

 private:
  const RowSource& rows_;
  std::int32_t first_;
  std::int32_t count_;
};

}  // namespace lumigrid
