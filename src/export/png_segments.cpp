#include "export/png_segments.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "export/export_internal.h"

namespace lumigrid::export_detail {

namespace {

constexpr std::size_t kDeflateWindow = 32768;
// Rows hashed per task: enough to make the hand-out negligible.
constexpr std::size_t kHashRowsPerTask = 256;
// The period search tries at most this many candidates.
constexpr std::size_t kMaxPeriodCandidates = 256;

std::size_t pixel_bytes(const RowSource& picture) {
  return std::size_t(picture.width()) * bytes_per_pixel(picture.format());
}

void add_candidates(std::span<const std::uint64_t> hashes, std::size_t probe,
                    std::vector<std::size_t>& candidates) {
  const std::size_t longest = hashes.size() / 2;
  std::size_t found = 0;
  for (std::size_t period = 1; period <= longest && period <= probe; ++period) {
    if (hashes[probe - period] != hashes[probe]) continue;
    candidates.push_back(period);
    if (++found == kMaxPeriodCandidates) return;
  }
}

}  // namespace

std::uint64_t png_row_bytes(std::int32_t width) {
  return 1 + 3 * std::uint64_t(width < 0 ? 0 : width);
}

void parallel_for(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& body) {
  if (threads <= 1 || count <= 1) {
    for (std::size_t i = 0; i < count; ++i) body(i);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::exception_ptr error;
  std::mutex error_mutex;
  auto run = [&] {
    try {
      for (std::size_t i = next++; i < count && !stop; i = next++) body(i);
    } catch (...) {
      const std::lock_guard lock(error_mutex);
      if (!error) error = std::current_exception();
      stop = true;
    }
  };
  std::vector<std::jthread> helpers;
  const std::size_t extra = std::min<std::size_t>(threads, count) - 1;
  helpers.reserve(extra);
  try {
    for (std::size_t t = 0; t < extra; ++t) helpers.emplace_back(run);
  } catch (...) {
    // Fewer helpers than asked: the calling thread still does all that remains.
  }
  run();
  helpers.clear();  // joins
  if (error) std::rethrow_exception(error);
}

std::vector<std::uint64_t> row_hashes(const RowSource& picture, unsigned threads) {
  const std::size_t height = std::size_t(picture.height());
  std::vector<std::uint64_t> hashes(height);
  const std::size_t bytes = pixel_bytes(picture);
  // A row of a class met before takes that row's hash: only the first row of a class is read.
  // Until then its entry holds the index of that first row.
  std::vector<bool> read(height, true);
  {
    std::unordered_map<std::uint64_t, std::size_t> first_with;
    for (std::size_t y = 0; y < height; ++y) {
      const std::optional<std::uint64_t> row_class = picture.rowClass(std::int32_t(y));
      if (!row_class) continue;
      const std::size_t first = first_with.emplace(*row_class, y).first->second;
      if (first != y) {
        read[y] = false;
        hashes[y] = first;
      }
    }
  }
  const std::size_t tasks = (height + kHashRowsPerTask - 1) / kHashRowsPerTask;
  parallel_for(tasks, threads, [&](std::size_t task) {
    const auto scratch = row_scratch(picture);
    const std::size_t end = std::min(height, (task + 1) * kHashRowsPerTask);
    for (std::size_t y = task * kHashRowsPerTask; y < end; ++y) {
      if (read[y]) hashes[y] = XXH3_64bits(picture.row(std::int32_t(y), scratch.get()), bytes);
    }
  });
  for (std::size_t y = 0; y < height; ++y) {
    if (!read[y]) hashes[y] = hashes[hashes[y]];
  }
  return hashes;
}

std::int32_t find_period(std::span<const std::uint64_t> hashes) {
  const std::size_t height = hashes.size();
  if (height < 4) return 0;
  // A period shows as equal rows that far apart; probing the rows near the bottom and the
  // middle finds it even when a caption or a frame breaks it somewhere.
  std::vector<std::size_t> candidates;
  for (const std::size_t probe : {height - 1, height * 3 / 4, height / 2}) {
    add_candidates(hashes, probe, candidates);
  }
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  if (candidates.size() > kMaxPeriodCandidates) candidates.resize(kMaxPeriodCandidates);

  // The candidate with the fewest rows breaking it wins, the shorter on a tie, so a page whose
  // rows mostly equal their neighbour still gets its tile period.
  std::size_t best = 0;
  std::size_t best_breaks = 0;
  for (const std::size_t period : candidates) {
    const std::size_t allowed = (height - period) / 4;
    // Stop counting once this candidate cannot beat the best one.
    const std::size_t limit = best == 0 ? allowed : std::min(allowed, best_breaks);
    std::size_t breaks = 0;
    for (std::size_t y = period; y < height && breaks <= limit; ++y) {
      breaks += hashes[y] != hashes[y - period];
    }
    if (breaks > allowed) continue;
    if (best == 0 || breaks < best_breaks) {
      best = period;
      best_breaks = breaks;
      if (breaks == 0) break;
    }
  }
  return std::int32_t(best);
}

std::vector<std::uint32_t> first_equal_ranges(const RowSource& picture,
                                              std::span<const std::uint64_t> hashes,
                                              std::span<const KeyedRows> ranges, unsigned threads) {
  const std::size_t count = ranges.size();
  std::vector<std::uint32_t> source(count);
  std::unordered_map<std::uint64_t, std::uint32_t> first_with_key;
  first_with_key.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const KeyedRows& r = ranges[i];
    XXH3_state_t state;
    XXH3_64bits_reset(&state);
    const std::int64_t shape[2] = {r.start - r.begin, r.end - r.begin};
    XXH3_64bits_update(&state, shape, sizeof shape);
    XXH3_64bits_update(&state, hashes.data() + r.begin,
                       std::size_t(r.end - r.begin) * sizeof(std::uint64_t));
    const auto [it, inserted] =
        first_with_key.emplace(XXH3_64bits_digest(&state), std::uint32_t(i));
    source[i] = it->second;
  }

  // Equal hashes are confirmed pixel by pixel; a range that differs after all keeps its own
  // bytes.
  const std::size_t bytes = pixel_bytes(picture);
  // Rows of one class are equal without reading them.
  const auto same_row = [&](std::int32_t a, std::int32_t b, std::uint8_t* scratch_a,
                            std::uint8_t* scratch_b) {
    const std::optional<std::uint64_t> class_a = picture.rowClass(a);
    if (class_a && class_a == picture.rowClass(b)) return true;
    return std::memcmp(picture.row(a, scratch_a), picture.row(b, scratch_b), bytes) == 0;
  };
  parallel_for(count, threads, [&](std::size_t i) {
    const std::size_t s = source[i];
    if (s == i) return;
    const auto scratch_a = row_scratch(picture);
    const auto scratch_b = row_scratch(picture);
    const KeyedRows& mine = ranges[i];
    const KeyedRows& theirs = ranges[s];
    const std::int64_t rows = mine.end - mine.begin;
    bool same =
        mine.start - mine.begin == theirs.start - theirs.begin && theirs.end - theirs.begin == rows;
    for (std::int64_t r = 0; same && r < rows; ++r) {
      same = same_row(std::int32_t(mine.begin + r), std::int32_t(theirs.begin + r), scratch_a.get(),
                      scratch_b.get());
    }
    if (!same) source[i] = std::uint32_t(i);
  });
  return source;
}

SegmentPlan plan_segments(const RowSource& picture, std::span<const std::uint64_t> hashes,
                          const DeflateTuning& tuning, unsigned threads) {
  return plan_segments(picture, png_row_bytes(picture.width()), hashes, tuning, threads);
}

SegmentPlan plan_segments(const RowSource& picture, std::uint64_t row_bytes,
                          std::span<const std::uint64_t> hashes, const DeflateTuning& tuning,
                          unsigned threads) {
  SegmentPlan plan;
  const std::int64_t height = picture.height();
  plan.dictionary_rows = std::int32_t(
      std::min<std::uint64_t>(std::uint64_t(height), (kDeflateWindow + row_bytes - 1) / row_bytes));
  plan.period = find_period(hashes);

  auto rows_for = [&](std::uint64_t aim) {
    return std::int64_t(std::max<std::uint64_t>(1, aim / row_bytes));
  };
  const std::int64_t period = plan.period;
  if (period == 0) {
    const std::int64_t step = rows_for(tuning.plain_segment_bytes);
    for (std::int64_t y = 0; y < height; y += step) plan.starts.push_back(std::int32_t(y));
  } else if (std::uint64_t(period) * row_bytes <= tuning.periodic_segment_bytes) {
    // Whole periods per segment: every segment begins at the same place of the pattern.
    const std::int64_t step =
        period * std::max<std::int64_t>(1, rows_for(tuning.periodic_segment_bytes) / period);
    for (std::int64_t y = 0; y < height; y += step) plan.starts.push_back(std::int32_t(y));
  } else {
    // Each period cut into equal parts: part k of every period covers the same rows of the pattern.
    const std::int64_t parts = (period + rows_for(tuning.periodic_segment_bytes) - 1) /
                               rows_for(tuning.periodic_segment_bytes);
    const std::int64_t step = (period + parts - 1) / parts;
    for (std::int64_t block = 0; block < height; block += period) {
      for (std::int64_t y = block; y < std::min(height, block + period); y += step) {
        plan.starts.push_back(std::int32_t(y));
      }
    }
  }
  plan.starts.push_back(std::int32_t(height));

  // A segment's compressed bytes depend on its rows and on the dictionary rows before it.
  const std::size_t count = plan.starts.size() - 1;
  std::vector<KeyedRows> ranges(count);
  for (std::size_t i = 0; i < count; ++i) {
    ranges[i] = {std::max<std::int32_t>(0, plan.starts[i] - plan.dictionary_rows), plan.starts[i],
                 plan.starts[i + 1]};
  }
  plan.source = first_equal_ranges(picture, hashes, ranges, threads);
  return plan;
}

}  // namespace lumigrid::export_detail
