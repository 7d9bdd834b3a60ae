#pragma once
// Pieces shared by the six encoders: the output file that appears only when complete, the
// progress pacing, and reading a surface row by row as 24-bit RGB.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_replace.h"
#include "base/progress.h"
#include "export/image_encoding.h"
#include "surface/row_source.h"

namespace lumigrid::export_detail {

// Writes into a temporary file beside the target and renames it over the target on commit();
// a target that exists and is not a regular file (a device, a FIFO) is written straight into,
// or, for a writer that goes back to patch what it wrote (`needs_seeking`, TIFF), spooled
// whole into an unnamed file of the system's temporary folder and copied into it on commit(),
// so a pipe never receives an unfinished picture.
// SIGINT and SIGTERM remove the temporary; a later save removes those of killed processes.
// Write failures are remembered rather than thrown, so the encoders' C callbacks never unwind
// through the libraries; callers poll failed() and call check() to raise the error.
class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path target, bool needs_seeking = false);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void write(const void* data, std::size_t size) noexcept;
  // Bytes held elsewhere, written in as few system calls as the system takes (the buffer's
  // bytes first), without copying them through the buffer.
  struct Piece {
    const void* data;
    std::size_t size;
  };
  void writePieces(const Piece* pieces, std::size_t count) noexcept;
  // Room for `size` bytes to be filled in place and then passed to commitReserved(), saving a
  // copy; null when the buffer cannot hold that many or a write has failed.
  std::uint8_t* reserve(std::size_t size) noexcept;
  void commitReserved(std::size_t size) noexcept;
  // Overwrites `size` bytes already written, starting at `offset`: for formats whose header
  // points at data that comes later (TIFF). Writing past the bytes written so far fails.
  void writeAt(std::uint64_t offset, const void* data, std::size_t size) noexcept;
  bool failed() const { return error_ != 0; }
  // Throws WriteError with the system's reason when a write has failed.
  void check() const;
  // Flushes and closes the temporary file (syncing it to disk when it replaces a file), then
  // renames it over the target.
  void commit();

  const std::filesystem::path& target() const { return target_; }
  std::uint64_t bytesWritten() const { return bytes_written_; }

 private:
  bool flushBuffer() noexcept;
  bool writeAll(const Piece* pieces, std::size_t count) noexcept;
  void discard() noexcept;
  void copySpoolToTarget();

  std::filesystem::path target_;                // as the operator named it, for messages
  std::optional<FileReplacement> replacement_;  // the temporary renamed over the target
  int fd_ = -1;
  bool direct_ = false;  // writing into the target itself (or into the spool for it)
  int target_fd_ = -1;   // the non-regular target, while fd_ is the spool it is copied from
  int error_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::size_t buffered_ = 0;
  std::uint64_t bytes_written_ = 0;
};

// "Unable to write to PATH: REASON" — the text every export failure carries.
[[noreturn]] void throw_write_error(const std::filesystem::path& path, std::string_view reason);
// "Not enough memory to write PATH": what a save reports when the system refuses memory or a
// compressing thread.
[[noreturn]] void throw_memory_error(const std::filesystem::path& path);
// Whether `error` is the system refusing memory: std::bad_alloc, or a thread that could not be
// started (std::system_error with resource_unavailable_try_again).
bool is_memory_failure(const std::exception& error);

// The most bytes one row buffer of an encoder may take; wider pictures are refused before any
// file is touched, so that a save never asks for gigabytes beside its picture.
inline constexpr std::uint64_t kMostRowBufferBytes = std::uint64_t(1) << 30;
// Bytes of the largest row buffer an encoder holds for a picture `width` pixels wide, for any
// pixel format, or UINT64_MAX when it cannot be counted in 64 bits.
std::uint64_t row_buffer_bytes(std::int64_t width, ImageEncoding encoding);

// Calls the callback at most about a hundred times per save, with the fraction done.
class ProgressPacer {
 public:
  ProgressPacer(const ProgressCallback& callback, std::uint64_t total_steps);
  void advance(std::uint64_t steps = 1);
  void finish();

 private:
  ProgressCallback callback_;  // a copy: callers may pass a temporary
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  std::uint64_t next_report_ = 0;
};

// Stores `value` at `at` most significant byte first, as PNG and zlib count.
inline void put_be32(std::uint8_t* at, std::uint32_t value) {
  at[0] = std::uint8_t(value >> 24);
  at[1] = std::uint8_t(value >> 16);
  at[2] = std::uint8_t(value >> 8);
  at[3] = std::uint8_t(value);
}

// Fills `rgb` (3 bytes per pixel, R,G,B) from a row of `width` pixels of either format.
void row_to_rgb(const std::uint8_t* pixels, PixelFormat format, std::int32_t width,
                std::uint8_t* rgb);

// Room for one row of `picture` that RowSource::row may fill; a picture that lends its own rows
// never touches it, so it costs no memory then.
inline std::unique_ptr<std::uint8_t[]> row_scratch(const RowSource& picture) {
  return std::make_unique_for_overwrite<std::uint8_t[]>(picture.rowBytes());
}

void write_bmp(const RowSource& picture, AtomicFile& file, ProgressPacer& progress);
void write_png(const RowSource& picture, AtomicFile& file, ProgressPacer& progress);
void write_jpeg(const RowSource& picture, AtomicFile& file, ProgressPacer& progress);
// The GIF encoder reads the surface twice (palette, then pixels): two progress steps per row.
void write_gif(const RowSource& picture, AtomicFile& file, ProgressPacer& progress);
// Whether every pixel of a grey surface is 0 or 255, so one bit a pixel holds it.
bool black_and_white(const RowSource& picture);
// Packs a grey row to one bit a pixel, most significant bit first, 1 for white (255); the last
// byte is padded with zeros.
void pack_row_bits(const std::uint8_t* grey, std::int32_t width, std::uint8_t* out);
// `width` pixels from `pixels` as TIFF and PDF store their samples: packed bits when
// `bilevel`, otherwise one grey byte or three RGB bytes a pixel.
void store_samples(const std::uint8_t* pixels, PixelFormat format, bool bilevel, std::int32_t width,
                   std::uint8_t* out);
// Bytes store_samples writes.
inline std::uint64_t stored_sample_bytes(PixelFormat format, bool bilevel, std::int32_t width) {
  const auto pixels = std::uint64_t(width < 0 ? 0 : width);
  return bilevel ? (pixels + 7) / 8 : format == PixelFormat::Gray8 ? pixels : pixels * 3;
}

// TIFF and PDF record the picture's size on paper: `pixels_per_inch` pixels make an inch. A
// colour picture given `icc_profile` carries it as the profile its numbers are in (TIFF's ICC
// tag, PDF's ICC-based colour space); without one its numbers are the device's own.
void write_tiff(const RowSource& picture, double pixels_per_inch, AtomicFile& file,
                ProgressPacer& progress, std::span<const std::uint8_t> icc_profile = {});
void write_pdf(const RowSource& picture, double pixels_per_inch, AtomicFile& file,
               ProgressPacer& progress, std::span<const std::uint8_t> icc_profile = {});
// The part of the picture `sheet` names, placed on a page of the sheet's size.
void write_pdf_sheet(const RowSource& picture, double pixels_per_inch, const PdfSheet& sheet,
                     AtomicFile& file, ProgressPacer& progress,
                     std::span<const std::uint8_t> icc_profile = {});

// Whether a TIFF of width x height pixels of `samples` bytes each (0: one bit a pixel) might
// pass the 4 GiB that classic TIFF offsets reach: its raw rows, which compression does not
// always shrink, exceed 3.75 GiB. Only then is BigTIFF written, which fewer readers take.
bool tiff_needs_bigtiff(std::int64_t width, std::int64_t height, int samples);

// Why a width x height image cannot be written in `encoding` (its header fields or the
// library's limits cannot hold it), or empty when it can.
std::string size_problem(std::int64_t width, std::int64_t height, ImageEncoding encoding);

// Progress steps a save of `surface` in `encoding` takes.
std::uint64_t progress_steps(const RowSource& picture, ImageEncoding encoding);

}  // namespace lumigrid::export_detail
