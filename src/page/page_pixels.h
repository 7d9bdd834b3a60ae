#pragma once
// What the viewer reads of a page: parts of rows, and sums of blocks of pixels. The page's
// description answers both without a page bitmap; a Gray8 surface answers them directly, which
// is the plain reference the description is held to.
#include <cstdint>
#include <span>

#include "surface/surface.h"

namespace lumigrid {

class PagePixels {
 public:
  virtual ~PagePixels() = default;
  virtual std::int32_t width() const = 0;
  virtual std::int32_t height() const = 0;
  // Pixels [left, right) of row y into out[0, right - left).
  virtual void fillRow(std::int32_t y, std::int64_t left, std::int64_t right,
                       std::uint8_t* out) const = 0;
  // For each column block i, the sum of the pixels of columns [firsts[i], lasts[i]) and rows
  // [top, bottom) into sums[i].
  virtual void blockSums(std::int64_t top, std::int64_t bottom,
                         std::span<const std::int64_t> firsts, std::span<const std::int64_t> lasts,
                         std::uint64_t* sums) const = 0;
};

// A Gray8 surface read pixel by pixel.
class SurfacePixels final : public PagePixels {
 public:
  explicit SurfacePixels(const Surface& page) : page_(page) {}
  std::int32_t width() const override { return page_.width(); }
  std::int32_t height() const override { return page_.height(); }
  void fillRow(std::int32_t y, std::int64_t left, std::int64_t right,
               std::uint8_t* out) const override;
  void blockSums(std::int64_t top, std::int64_t bottom, std::span<const std::int64_t> firsts,
                 std::span<const std::int64_t> lasts, std::uint64_t* sums) const override;

 private:
  const Surface& page_;
};

}  // namespace lumigrid
