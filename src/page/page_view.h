#pragma once
// Showing a page at any scale without a scaled copy of it: each paint samples only the part of
// the page it exposes. Below 1:1 a shown pixel is the mean grey of the block of page pixels it
// covers, so a reduced page shows the density of its rings without aliasing (a fitted B0 page
// is not a black blot); a few quarter-size reductions (4 x 4 means), made once per page, keep
// that block small however far the page is reduced.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "page/printable_chart.h"
#include "surface/surface.h"

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
  // Keeps a reference to `page` (a Gray8 surface that must outlive the view and stay unchanged)
  // and makes its reductions. A reduction that cannot get its memory is left out: showing the
  // page far reduced then reads more of it, and nothing else changes.
  explicit PageView(const Surface& page, const PageProgress& progress = {});

  bool empty() const { return page_ == nullptr; }
  // Reductions kept, each a quarter of the one before in width and height.
  std::size_t reductionCount() const { return levels_.size(); }

  // Fills `out` (rows of `area.width` grey bytes, `out_stride` apart) with the part `area` of
  // the page shown at `shown_width` x `shown_height` pixels. Shown pixel (x, y) covers page
  // columns [x * W / shown_width, (x + 1) * W / shown_width) and the rows likewise (at least
  // one of each). Pixels of `area` outside the shown image are left as they are.
  void render(std::int32_t shown_width, std::int32_t shown_height, const ViewRect& area,
              std::uint8_t* out, std::size_t out_stride) const;

 private:
  struct Level {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t shift = 0;            // page pixels per level pixel: 1 << shift along each side
    std::vector<std::uint8_t> pixels;  // empty for the page itself
    std::size_t stride = 0;
  };
  const std::uint8_t* pixelsOf(const Level& level) const {
    return level.shift == 0 ? page_->data() : level.pixels.data();
  }
  const Level& levelFor(std::int64_t shown_width, std::int64_t shown_height) const;

  const Surface* page_ = nullptr;
  Level full_;
  std::vector<Level> levels_;
};

}  // namespace lumigrid
