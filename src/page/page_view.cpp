#include "page/page_view.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace lumigrid {

namespace {

constexpr std::int64_t kReductionShift = 2;  // each reduction is a quarter of the one before

// The sum of a block of rows, element by element, into `into` (at most 2^24 rows of bytes fit).
void sum_of_rows(const std::uint8_t* first_row, std::size_t stride, std::int64_t rows,
                 std::int64_t count, std::uint32_t* into) {
  for (std::int64_t i = 0; i < count; ++i) into[i] = first_row[i];
  for (std::int64_t r = 1; r < rows; ++r) {
    const std::uint8_t* row = first_row + stride * std::size_t(r);
    for (std::int64_t i = 0; i < count; ++i) into[i] += row[i];
  }
}

// The rounded mean of `count` sums, each over `rows` values.
std::uint8_t mean_of(const std::uint32_t* sums, std::int64_t count, std::int64_t rows) {
  std::uint64_t total = 0;
  for (std::int64_t i = 0; i < count; ++i) total += sums[i];
  const std::uint64_t n = std::uint64_t(count) * std::uint64_t(rows);
  return std::uint8_t((total + n / 2) / n);
}

}  // namespace

PageView::Reductions::~Reductions() {
  stop = true;
  if (worker.joinable()) worker.join();
}

void PageView::reduce(const Surface& page, const Level& full, Reductions& into,
                      const ProgressCallback& progress) {
  if (full.width <= 0 || full.height <= 0) return;
  auto pixels_of = [&](const Level& level) {
    return level.shift == 0 ? page.data() : level.pixels.data();
  };
  // The first reduction reads the whole page; the later ones together read a fifteenth of it.
  const double total_rows = double(std::max<std::int64_t>(1, (full.height + 3) / 4));
  const Level* from = &full;
  std::vector<std::uint32_t> row_sums;
  std::vector<Level>& levels = into.levels;
  while (from->width > 1 || from->height > 1) {
    Level level;
    level.shift = from->shift + kReductionShift;
    level.width = (from->width + 3) >> kReductionShift;
    level.height = (from->height + 3) >> kReductionShift;
    level.stride = std::size_t(level.width);
    try {
      level.pixels.resize(std::size_t(level.width * level.height));
      row_sums.resize(std::size_t(from->width));
    } catch (const std::bad_alloc&) {
      break;
    }
    for (std::int64_t y = 0; y < level.height; ++y) {
      if ((y & 63) == 0 && into.stop) return;
      const std::int64_t top = y << kReductionShift;
      const std::int64_t rows = std::min<std::int64_t>(4, from->height - top);
      sum_of_rows(pixels_of(*from) + from->stride * std::size_t(top), from->stride, rows,
                  from->width, row_sums.data());
      std::uint8_t* out = level.pixels.data() + level.stride * std::size_t(y);
      for (std::int64_t x = 0; x < level.width; ++x) {
        const std::int64_t left = x << kReductionShift;
        const std::int64_t right = std::min(from->width, left + 4);
        out[x] = mean_of(row_sums.data() + left, right - left, rows);
      }
      if (progress && from == &full && (y & 255) == 0) progress(double(y) / total_rows);
    }
    levels.push_back(std::move(level));
    from = &levels.back();
  }
  if (progress) progress(1.0);
}

PageView::PageView(const Surface& page, const ProgressCallback& progress)
    : page_(&page), reductions_(std::make_unique<Reductions>()) {
  full_.width = page.width();
  full_.height = page.height();
  full_.stride = page.stride();
  // Levels are appended while earlier ones are read: room for all of them first, so none moves.
  reductions_->levels.reserve(32);
  reduce(page, full_, *reductions_, progress);
  reductions_->ready = true;
}

PageView PageView::reducedInBackground(const Surface& page, std::function<void()> ready) {
  PageView view;
  view.page_ = &page;
  view.full_.width = page.width();
  view.full_.height = page.height();
  view.full_.stride = page.stride();
  view.reductions_ = std::make_unique<Reductions>();
  Reductions* reductions = view.reductions_.get();
  reductions->levels.reserve(32);
  reductions->worker =
      std::thread([&page, full = view.full_, reductions, ready = std::move(ready)] {
        reduce(page, full, *reductions, {});
        if (reductions->stop) return;
        reductions->ready = true;
        if (ready) ready();
      });
  return view;
}

const PageView::Level& PageView::levelFor(std::int64_t shown_width,
                                          std::int64_t shown_height) const {
  // The coarsest reduction whose pixel is at most a quarter of the block a shown pixel covers:
  // a block's edges then cut through reduced pixels by little, and black spreads by little.
  const Level* best = &full_;
  if (!reductionsReady()) return *best;
  for (const Level& level : reductions_->levels) {
    if ((shown_width << (level.shift + kReductionShift)) > full_.width) break;
    if ((shown_height << (level.shift + kReductionShift)) > full_.height) break;
    best = &level;
  }
  return *best;
}

void PageView::render(std::int32_t shown_width, std::int32_t shown_height, const ViewRect& area,
                      std::uint8_t* out, std::size_t out_stride) const {
  if (page_ == nullptr || shown_width <= 0 || shown_height <= 0) return;
  if (full_.width <= 0 || full_.height <= 0) return;
  const std::int64_t x0 = std::max<std::int64_t>(0, area.left);
  const std::int64_t y0 = std::max<std::int64_t>(0, area.top);
  const std::int64_t x1 = std::min<std::int64_t>(shown_width, std::int64_t(area.left) + area.width);
  const std::int64_t y1 =
      std::min<std::int64_t>(shown_height, std::int64_t(area.top) + area.height);
  if (x0 >= x1 || y0 >= y1) return;

  const Level& level = levelFor(shown_width, shown_height);
  const std::int64_t page_w = full_.width, page_h = full_.height;
  // Without its reductions a far reduced page would read every pixel for each paint.
  if (&level == &full_ && !reductionsReady() &&
      (page_w >= 8 * std::int64_t(shown_width) || page_h >= 8 * std::int64_t(shown_height))) {
    renderSampled(shown_width, shown_height, x0, y0, x1, y1, area, out, out_stride);
    return;
  }

  // Level pixels [first, last) under each shown column, relative to the first column's.
  const std::int64_t columns = x1 - x0;
  std::vector<std::int64_t> column_first(static_cast<std::size_t>(columns));
  std::vector<std::int64_t> column_last(static_cast<std::size_t>(columns));
  for (std::int64_t x = x0; x < x1; ++x) {
    const std::int64_t a = x * page_w / shown_width;
    const std::int64_t b = std::max(a + 1, (x + 1) * page_w / shown_width);
    column_first[std::size_t(x - x0)] = a >> level.shift;
    column_last[std::size_t(x - x0)] = std::min(level.width, ((b - 1) >> level.shift) + 1);
  }
  const std::int64_t base = column_first.front();
  const std::int64_t span = column_last.back() - base;
  std::vector<std::uint32_t> row_sums(static_cast<std::size_t>(span));

  std::int64_t previous_first = -1, previous_last = -1;
  std::uint8_t* previous_out = nullptr;
  for (std::int64_t y = y0; y < y1; ++y) {
    std::uint8_t* row_out =
        out + out_stride * std::size_t(y - area.top) + std::size_t(x0 - area.left);
    const std::int64_t a = y * page_h / shown_height;
    const std::int64_t b = std::max(a + 1, (y + 1) * page_h / shown_height);
    const std::int64_t first = a >> level.shift;
    const std::int64_t last = std::min(level.height, ((b - 1) >> level.shift) + 1);
    if (first == previous_first && last == previous_last) {
      std::memcpy(row_out, previous_out, std::size_t(columns));  // enlarged: the same page row
      continue;
    }
    const std::uint8_t* source =
        pixelsOf(level) + level.stride * std::size_t(first) + std::size_t(base);
    const std::int64_t rows = last - first;
    if (rows == 1 && shown_width == page_w) {
      std::memcpy(row_out, source, std::size_t(columns));  // one to one: the page row itself
    } else {
      sum_of_rows(source, level.stride, rows, span, row_sums.data());
      for (std::int64_t i = 0; i < columns; ++i) {
        const std::int64_t from = column_first[std::size_t(i)] - base;
        const std::int64_t count = column_last[std::size_t(i)] - column_first[std::size_t(i)];
        row_out[i] = mean_of(row_sums.data() + from, count, rows);
      }
    }
    previous_first = first;
    previous_last = last;
    previous_out = row_out;
  }
}

void PageView::renderSampled(std::int32_t shown_width, std::int32_t shown_height, std::int64_t x0,
                             std::int64_t y0, std::int64_t x1, std::int64_t y1,
                             const ViewRect& area, std::uint8_t* out,
                             std::size_t out_stride) const {
  // A small block is read whole; a larger one at two pairs of neighbouring pixels, a quarter
  // and three quarters across, so that one-pixel stripes still average to their grey.
  static constexpr std::int64_t kSamples = 4;
  const std::int64_t page_w = full_.width, page_h = full_.height;
  auto samples = [](std::int64_t index, std::int64_t shown, std::int64_t page, std::int64_t* at) {
    const std::int64_t a = index * page / shown;
    const std::int64_t b = std::max(a + 1, (index + 1) * page / shown);
    if (b - a <= kSamples) {
      for (std::int64_t k = 0; k < b - a; ++k) at[k] = a + k;
      return b - a;
    }
    at[0] = a + (b - a) / 4;
    at[1] = at[0] + 1;
    at[2] = a + 3 * (b - a) / 4;
    at[3] = at[2] + 1;
    return kSamples;
  };
  const std::int64_t columns = x1 - x0;
  std::vector<std::int64_t> column_at(static_cast<std::size_t>(columns * kSamples));
  std::vector<std::int64_t> column_count(static_cast<std::size_t>(columns));
  for (std::int64_t x = x0; x < x1; ++x) {
    column_count[std::size_t(x - x0)] =
        samples(x, shown_width, page_w, &column_at[std::size_t((x - x0) * kSamples)]);
  }
  for (std::int64_t y = y0; y < y1; ++y) {
    std::int64_t row_at[kSamples];
    const std::int64_t rows = samples(y, shown_height, page_h, row_at);
    std::uint8_t* row_out =
        out + out_stride * std::size_t(y - area.top) + std::size_t(x0 - area.left);
    for (std::int64_t i = 0; i < columns; ++i) {
      const std::int64_t count = column_count[std::size_t(i)];
      std::uint32_t total = 0;
      for (std::int64_t r = 0; r < rows; ++r) {
        const std::uint8_t* row = page_->rowData(std::int32_t(row_at[r]));
        for (std::int64_t c = 0; c < count; ++c) {
          total += row[column_at[std::size_t(i * kSamples + c)]];
        }
      }
      const std::uint32_t n = std::uint32_t(rows * count);
      row_out[i] = std::uint8_t((total + n / 2) / n);
    }
  }
}

}  // namespace lumigrid
