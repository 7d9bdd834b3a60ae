#pragma once
// Showing a page at any scale without a scaled copy of it: each paint reads only the part of
// the page it exposes. Below 1:1 a shown pixel is the mean grey of the block of page pixels it
// covers, rounded, so a reduced page shows the density of its rings without aliasing (a fitted
// B0 page is not a black blot); the page's description sums any block at once, so no reduced
// copy of the page is ever made.
#include <cstddef>
#include <cstdint>

#include "page/page_pixels.h"

namespace lumigrid {

// A part of the shown image, in its pixels.
struct ViewRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

class PageView {
 public:
  PageView() = default;
  // Keeps a reference to `page`, which must outlive the view and stay unchanged.
  explicit PageView(const PagePixels& page) : page_(&page) {}

  bool empty() const { return page_ == nullptr; }

  // Fills `out` (rows of `area.width` grey bytes, `out_stride` apart) with the part `area` of
  // the page shown at `shown_width` x `shown_height` pixels. Shown pixel (x, y) covers page
  // columns [x * W / shown_width, (x + 1) * W / shown_width) and the rows likewise (at least
  // one of each). Pixels of `area` outside the shown image are left as they are.
  void render(std::int32_t shown_width, std::int32_t shown_height, const ViewRect& area,
              std::uint8_t* out, std::size_t out_stride) const;

 private:
  const PagePixels* page_ = nullptr;
};

}  // namespace lumigrid
