#pragma once
// Compressing independent segments on several threads while the calling thread writes them in
// order. Which thread compresses what never shows in the result: each segment's bytes depend on
// its own input alone.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace lumigrid::export_detail {

struct CompressedSegment {
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;
  std::uint32_t adler = 1;   // Adler-32 of the segment's uncompressed bytes
  std::uint64_t length = 0;  // uncompressed bytes
  // For codes that end inside a byte (GIF's): the bits of `bytes` that count, and the code
  // width the segment ends with.
  std::uint64_t bit_length = 0;
  std::uint32_t code_width = 0;
  // Bytes at the start of `bytes` that are not the segment's (a JPEG band's own headers).
  std::size_t offset = 0;
};

struct OrderedDeflateSettings {
  unsigned threads = 1;
  // Compressed bytes kept for segments that repeat later.
  std::size_t reuse_budget_bytes = 0;
  // Segments handed out beyond the one being written; 0 takes two per thread and two more.
  std::size_t window = 0;
};

// For each segment i in order, calls write(i, bytes) on the calling thread. Segment i equals
// segment source[i] (source[i] <= i); its bytes are compress(worker, i), run on worker thread
// `worker` (0 <= worker < threads), unless the bytes of an equal earlier segment are still kept.
// Threads compress at most a few segments ahead of the one being written, so memory stays
// bounded whatever the number of segments. An exception from compress is raised here after
// every thread has stopped; one from write stops the threads and propagates.
void deflate_in_order(
    const std::vector<std::uint32_t>& source, const OrderedDeflateSettings& settings,
    const std::function<CompressedSegment(unsigned worker, std::size_t i)>& compress,
    const std::function<void(std::size_t i, const CompressedSegment&)>& write);

}  // namespace lumigrid::export_detail
