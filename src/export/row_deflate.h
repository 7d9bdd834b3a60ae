#pragma once
// One zlib stream of a picture's rows, each row turned into bytes by the caller: PNG's filtered
// rows, a PDF image's samples. A large picture's stream is made of segments of whole rows, each
// compressed on its own (primed with the rows before it, ended on a byte boundary), so that
// segments compress on every processor and a segment equal to an earlier one reuses its bytes:
// a printable page repeats its rows every tile. The bytes depend on the picture alone, never on
// the number of threads.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>

#include "export/deflate_tuning.h"
#include "export/export_internal.h"
#include "surface/row_source.h"

namespace lumigrid::export_detail {

// zlib refused something; the save fails with its reason.
class DeflateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the stream holds: for each row y of `picture`, `row_bytes` bytes that encode(y, scratch,
// out) writes to `out`; `scratch` holds a row of the picture for RowSource::row. Rows the picture
// says are equal must give equal bytes.
struct EncodedRows {
  const RowSource& picture;
  std::uint64_t row_bytes = 0;
  std::function<void(std::int32_t y, std::uint8_t* scratch, std::uint8_t* out)> encode;
};

// zlib's level and strategy for the stream.
struct ZlibChoice {
  int level = 6;
  int strategy = 0;  // Z_DEFAULT_STRATEGY
};

// The full 32 KiB window; negative for raw deflate without the zlib header and check.
inline constexpr int kZlibWindowBits = 15;

// A zlib compressor, ended when it goes; std::bad_alloc when zlib finds no memory for it.
struct Deflater {
  z_stream z{};
  Deflater(const ZlibChoice& zlib, int window_bits);
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
};

// Writes the whole zlib stream (header, compressed rows, Adler-32) to `out` in order, advancing
// `progress` a step a row and stopping at the first failed write of `file`.
void deflate_rows(const EncodedRows& rows, const ZlibChoice& zlib, const DeflateTuning& tuning,
                  const std::function<void(const std::uint8_t*, std::size_t)>& out,
                  AtomicFile& file, ProgressPacer& progress);

}  // namespace lumigrid::export_detail
