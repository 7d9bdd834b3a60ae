#include "page/page_view.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lumigrid {

void SurfacePixels::fillRow(std::int32_t y, std::int64_t left, std::int64_t right,
                            std::uint8_t* out) const {
  if (left < right) std::memcpy(out, page_.rowData(y) + left, std::size_t(right - left));
}

void SurfacePixels::blockSums(std::int64_t top, std::int64_t bottom,
                              std::span<const std::int64_t> firsts,
                              std::span<const std::int64_t> lasts, std::uint64_t* sums) const {
  for (std::size_t i = 0; i < firsts.size(); ++i) {
    std::uint64_t total = 0;
    for (std::int64_t y = top; y < bottom; ++y) {
      const std::uint8_t* row = page_.rowData(std::int32_t(y));
      for (std::int64_t x = firsts[i]; x < lasts[i]; ++x) total += row[x];
    }
    sums[i] = total;
  }
}

namespace {

// The page pixels [first, last) shown pixel `index` covers along a side.
std::int64_t first_covered(std::int64_t index, std::int64_t page, std::int64_t shown) {
  return index * page / shown;
}
std::int64_t last_covered(std::int64_t index, std::int64_t page, std::int64_t shown) {
  return std::max(first_covered(index, page, shown) + 1, (index + 1) * page / shown);
}

}  // namespace

void PageView::render(std::int32_t shown_width, std::int32_t shown_height, const ViewRect& area,
                      std::uint8_t* out, std::size_t out_stride) const {
  if (page_ == nullptr || shown_width <= 0 || shown_height <= 0) return;
  const std::int64_t page_w = page_->width(), page_h = page_->height();
  if (page_w <= 0 || page_h <= 0) return;
  const std::int64_t x0 = std::max<std::int64_t>(0, area.left);
  const std::int64_t y0 = std::max<std::int64_t>(0, area.top);
  const std::int64_t x1 = std::min<std::int64_t>(shown_width, std::int64_t(area.left) + area.width);
  const std::int64_t y1 =
      std::min<std::int64_t>(shown_height, std::int64_t(area.top) + area.height);
  if (x0 >= x1 || y0 >= y1) return;

  const auto columns = std::size_t(x1 - x0);
  std::vector<std::int64_t> firsts(columns), lasts(columns);
  for (std::int64_t x = x0; x < x1; ++x) {
    firsts[std::size_t(x - x0)] = first_covered(x, page_w, shown_width);
    lasts[std::size_t(x - x0)] = last_covered(x, page_w, shown_width);
  }
  const bool one_to_one_or_more = shown_width >= page_w && shown_height >= page_h;
  const std::int64_t base = firsts.front();
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint64_t> sums;
  if (one_to_one_or_more) {
    pixels.resize(std::size_t(lasts.back() - base));
  } else {
    sums.resize(columns);
  }

  std::int64_t previous_top = -1, previous_bottom = -1;
  const std::uint8_t* previous_out = nullptr;
  for (std::int64_t y = y0; y < y1; ++y) {
    std::uint8_t* row_out =
        out + out_stride * std::size_t(y - area.top) + std::size_t(x0 - area.left);
    const std::int64_t top = first_covered(y, page_h, shown_height);
    const std::int64_t bottom = last_covered(y, page_h, shown_height);
    if (top == previous_top && bottom == previous_bottom) {
      std::memcpy(row_out, previous_out, columns);  // enlarged: the same page rows
      continue;
    }
    if (one_to_one_or_more) {
      // Each shown pixel is one page pixel.
      page_->fillRow(std::int32_t(top), base, lasts.back(), pixels.data());
      for (std::size_t i = 0; i < columns; ++i) row_out[i] = pixels[std::size_t(firsts[i] - base)];
    } else {
      page_->blockSums(top, bottom, firsts, lasts, sums.data());
      const auto rows = std::uint64_t(bottom - top);
      for (std::size_t i = 0; i < columns; ++i) {
        const std::uint64_t n = std::uint64_t(lasts[i] - firsts[i]) * rows;
        row_out[i] = std::uint8_t((sums[i] + n / 2) / n);
      }
    }
    previous_top = top;
    previous_bottom = bottom;
    previous_out = row_out;
  }
}

}  // namespace lumigrid
