#pragma once
// How the PNG and PDF encoders compress rows in segments; read by the writers and the segment
// planner.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace lumigrid::export_detail {

// Taller pictures are compressed without looking for equal rows: the row hashes (8 bytes a row)
// stay within 32 MiB however narrow the rows.
inline constexpr std::int64_t kMostSegmentedRows = std::int64_t(1) << 22;

// How a stream of rows is compressed. Nothing here changes the pixels a reader sees; `threads`,
// `reuse_budget_bytes` and `before_segment` leave the file's bytes unchanged as well.
struct DeflateTuning {
  // Threads compressing segments; 0 takes one per processor.
  unsigned threads = 0;
  // Filtered bytes a segment aims at when the picture repeats with a period, and when it does
  // not. Larger segments cost fewer block headers; smaller ones spread the work more evenly.
  std::size_t periodic_segment_bytes = std::size_t(4) << 20;
  std::size_t plain_segment_bytes = std::size_t(256) << 10;
  // Pictures with fewer filtered bytes are written as one ordinary stream: segments would only
  // add bytes where there is little time to gain.
  std::uint64_t single_stream_below = std::uint64_t(8) << 20;
  // Compressed bytes kept for reuse by later equal segments; a segment that would exceed it is
  // compressed again when it repeats.
  std::size_t reuse_budget_bytes = std::size_t(32) << 20;
  // Called on the compressing thread before segment `index` is compressed (a hook for failures).
  std::function<void(std::size_t index)> before_segment;
};

}  // namespace lumigrid::export_detail
