#pragma once
// Showing a page at any scale without a scaled copy of it: each paint samples only the part of
// the page it exposes. Below 1:1 a shown pixel is the mean grey of the block of page pixels it
// covers, so a reduced page shows the density of its rings without aliasing (a fitted B0 page
// is not a black blot); a few quarter-size reductions (4 x 4 means), made once per page, keep
// that block small however far the page is reduced. They may be made on a worker thread, so that
// a new page shows at once: until they are ready a reduced page shows the mean of a few pixels
// spread over each block.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
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
  explicit PageView(const Surface& page, const ProgressCallback& progress = {});
  // Keeps a reference to `page` as above and shows it at once; the reductions are made on a
  // worker thread, which calls `ready` (on that thread) once render() uses them. Destroying or
  // replacing the view stops the worker.
  static PageView reducedInBackground(const Surface& page, std::function<void()> ready);

  bool empty() const { return page_ == nullptr; }
  bool reductionsReady() const { return reductions_ && reductions_->ready.load(); }
  // Reductions in use, each a quarter of the one before in width and height (none until ready).
  std::size_t reductionCount() const { return reductionsReady() ? reductions_->levels.size() : 0; }

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
  void renderSampled(std::int32_t shown_width, std::int32_t shown_height, std::int64_t x0,
                     std::int64_t y0, std::int64_t x1, std::int64_t y1, const ViewRect& area,
                     std::uint8_t* out, std::size_t out_stride) const;

  // Filled once, by the constructor or by the worker; read only after `ready`.
  struct Reductions {
    std::vector<Level> levels;
    std::atomic<bool> ready{false};
    std::atomic<bool> stop{false};
    std::thread worker;
    Reductions() = default;
    Reductions(const Reductions&) = delete;
    Reductions& operator=(const Reductions&) = delete;
    ~Reductions();
  };
  static void reduce(const Surface& page, const Level& full, Reductions& into,
                     const ProgressCallback& progress);

  const Surface* page_ = nullptr;
  Level full_;
  std::unique_ptr<Reductions> reductions_;
};

}  // namespace lumigrid
