#include <algorithm>
#include <numeric>
#include <thread>

#include "export/band_encoding.h"
#include "export/deflate_tuning.h"
#include "export/png_segments.h"

namespace lumigrid::export_detail {

unsigned band_threads(const BandTuning& tuning) {
  const unsigned threads =
      tuning.threads != 0 ? tuning.threads : std::thread::hardware_concurrency();
  return threads == 0 ? 1 : threads;
}

std::shared_ptr<std::vector<std::uint8_t>> BandBuffers::take() {
  std::unique_ptr<std::vector<std::uint8_t>> buffer;
  {
    const std::lock_guard lock(mutex_);
    if (!free_.empty()) {
      buffer = std::move(free_.back());
      free_.pop_back();
    }
  }
  if (!buffer) buffer = std::make_unique<std::vector<std::uint8_t>>();
  buffer->clear();
  return {buffer.release(), [this](std::vector<std::uint8_t>* given_back) {
            std::unique_ptr<std::vector<std::uint8_t>> owned(given_back);
            try {
              const std::lock_guard lock(mutex_);
              free_.push_back(std::move(owned));
            } catch (...) {
              // No room to keep it: it is freed.
            }
          }};
}

BandPlan plan_bands(const RowSource& picture, std::int64_t unit_rows, std::int64_t aim_rows,
                    std::int64_t most_rows, unsigned threads) {
  const std::int64_t height = picture.height();
  unit_rows = std::max<std::int64_t>(1, unit_rows);
  // Very tall pictures are cut without looking for equal rows: the hashes stay bounded.
  const bool look_for_equal = height <= kMostSegmentedRows;
  const std::vector<std::uint64_t> hashes =
      look_for_equal ? row_hashes(picture, threads) : std::vector<std::uint64_t>();
  const std::int64_t period = look_for_equal ? find_period(hashes) : 0;

  std::int64_t rows = std::max(unit_rows, aim_rows / unit_rows * unit_rows);
  if (period > 0) {
    const std::int64_t whole = std::lcm(period, unit_rows);  // both at most the height
    if (whole <= std::max(most_rows, unit_rows))
      rows = whole * std::max<std::int64_t>(1, aim_rows / whole);
  }
  // A picture no taller than a band is one band, whatever its period.
  if (aim_rows >= height) rows = height;
  BandPlan plan;
  for (std::int64_t y = 0; y < height; y += rows) plan.starts.push_back(std::int32_t(y));
  plan.starts.push_back(std::int32_t(height));

  const std::size_t count = plan.starts.size() - 1;
  if (!look_for_equal) {
    plan.source.resize(count);
    std::iota(plan.source.begin(), plan.source.end(), 0U);
    return plan;
  }
  std::vector<KeyedRows> ranges(count);
  for (std::size_t i = 0; i < count; ++i) {
    ranges[i] = {plan.starts[i], plan.starts[i], plan.starts[i + 1]};
  }
  plan.source = first_equal_ranges(picture, hashes, ranges, threads);
  return plan;
}

}  // namespace lumigrid::export_detail
