#pragma once
// Cutting a PNG's filtered rows into segments that can be compressed apart and in parallel, and
// finding the segments (or TIFF strips) a picture repeats. A printable page repeats its rows
// every tile, so most of its segments equal an earlier one and their compressed bytes can be
// reused.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "export/deflate_tuning.h"
#include "surface/row_source.h"

namespace lumigrid::export_detail {

// Bytes of one filtered row: the filter type and three bytes a pixel.
std::uint64_t png_row_bytes(std::int32_t width);

// A 64-bit hash of every row's pixels, computed on `threads` threads.
std::vector<std::uint64_t> row_hashes(const RowSource& picture, unsigned threads);

// The smallest vertical period with which at least three quarters of the rows equal the row
// that many rows above, judged by their hashes; 0 when there is none up to half the height.
std::int32_t find_period(std::span<const std::uint64_t> hashes);

// Rows [start, end) whose encoded bytes also depend on the rows [begin, start) before them.
struct KeyedRows {
  std::int32_t begin = 0;
  std::int32_t start = 0;
  std::int32_t end = 0;
};

// For each range, the first range (itself when none) whose rows, the rows before included, hold
// the same pixels: found by the rows' hashes, confirmed by comparing pixels, on `threads` threads.
std::vector<std::uint32_t> first_equal_ranges(const RowSource& picture,
                                              std::span<const std::uint64_t> hashes,
                                              std::span<const KeyedRows> ranges, unsigned threads);

struct SegmentPlan {
  std::int32_t period = 0;
  // Rows before a segment whose filtered bytes prime its compressor: enough for the 32 KiB
  // deflate window.
  std::int32_t dictionary_rows = 0;
  // First row of each segment, then the height.
  std::vector<std::int32_t> starts;
  // For each segment, the first segment whose rows, and dictionary rows, hold the same pixels
  // (itself when none does): their compressed bytes are the same.
  std::vector<std::uint32_t> source;

  std::size_t size() const { return source.size(); }
  std::int32_t beginRow(std::size_t i) const { return starts[i]; }
  std::int32_t endRow(std::size_t i) const { return starts[i + 1]; }
};

// Segments aligned to the period (several periods, or parts of one, of about the aimed size), or
// of the plain size when there is no period. Equal segments are found by hash and confirmed by
// comparing their pixels, on `threads` threads.
// Sizes count `row_bytes` a row.
SegmentPlan plan_segments(const RowSource& picture, std::uint64_t row_bytes,
                          std::span<const std::uint64_t> hashes, const DeflateTuning& tuning,
                          unsigned threads);
// The same for PNG's filtered rows.
SegmentPlan plan_segments(const RowSource& picture, std::span<const std::uint64_t> hashes,
                          const DeflateTuning& tuning, unsigned threads);

// Runs body(i) for i in [0, count) on up to `threads` threads, each taking the next index. The
// first exception thrown is raised on the calling thread after all have stopped.
void parallel_for(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& body);

}  // namespace lumigrid::export_detail
