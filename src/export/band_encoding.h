#pragma once
// JPEG and GIF cut a picture into horizontal bands that encode apart: JPEG's restart markers
// and GIF's clear codes make each band's coded bytes depend on its own pixels alone. Bands are
// encoded on every core, and a band whose pixels equal an earlier band's reuses its bytes, as a
// printable page repeats its rows every tile. Nothing here changes the pixels a reader decodes,
// and the file's bytes never depend on the number of threads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "export/export_internal.h"

namespace lumigrid::export_detail {

struct BandTuning {
  // Threads encoding bands; 0 takes one per processor.
  unsigned threads = 0;
  // Bytes of samples a band aims at (three a pixel for JPEG, one for GIF); a picture that
  // repeats takes whole periods instead, up to `most_period_band_bytes`.
  std::uint64_t band_bytes = std::uint64_t(4) << 20;
  std::uint64_t most_period_band_bytes = std::uint64_t(64) << 20;
  // Encoded bytes kept for the later bands equal to one already encoded.
  std::size_t reuse_budget_bytes = std::size_t(16) << 20;
};

// Bands of whole units of `unit_rows` rows (the last one may be shorter).
struct BandPlan {
  // First row of each band, then the height.
  std::vector<std::int32_t> starts;
  // For each band, the first band holding the same pixels (itself when none does).
  std::vector<std::uint32_t> source;

  std::size_t size() const { return source.size(); }
  std::int32_t beginRow(std::size_t i) const { return starts[i]; }
  std::int32_t endRow(std::size_t i) const { return starts[i + 1]; }
};

// Bands of about `aim_rows` rows, a multiple of `unit_rows`; where the picture repeats with a
// period, bands of whole multiples of both the period and the unit (as long as one holds at
// most `most_rows`), so that most bands begin at the same place of the pattern and equal
// each other. Equal bands are found by the rows' hashes and confirmed by their pixels.
BandPlan plan_bands(const RowSource& picture, std::int64_t unit_rows, std::int64_t aim_rows,
                    std::int64_t most_rows, unsigned threads);

// Byte buffers for encoded bands, taken back when the last holder of a band lets it go, so that
// later bands reuse memory already touched instead of asking the system for fresh pages. The
// pool must outlive every buffer it hands out.
class BandBuffers {
 public:
  BandBuffers() = default;
  BandBuffers(const BandBuffers&) = delete;
  BandBuffers& operator=(const BandBuffers&) = delete;

  // An empty buffer, holding room for earlier bands' bytes.
  std::shared_ptr<std::vector<std::uint8_t>> take();

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<std::vector<std::uint8_t>>> free_;
};

// The thread count `tuning` asks for, at least one.
unsigned band_threads(const BandTuning& tuning);

void write_jpeg(const RowSource& picture, AtomicFile& file, ProgressPacer& progress,
                const BandTuning& tuning);
void write_gif(const RowSource& picture, AtomicFile& file, ProgressPacer& progress,
               const BandTuning& tuning);

}  // namespace lumigrid::export_detail
