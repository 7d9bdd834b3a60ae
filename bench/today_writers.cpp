// Copies of the writers the band encoders replaced (see today_writers.h), unchanged but for
// their namespace.
#include "today_writers.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t first
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "export/gif_palette.h"

namespace lumigrid::bench::today {

using export_detail::AtomicFile;
using export_detail::ColourCensus;
using export_detail::PaletteColour;
using export_detail::PaletteMapper;
using export_detail::ProgressPacer;
using export_detail::row_scratch;
using export_detail::row_to_rgb;
using export_detail::throw_write_error;

namespace jpeg {

namespace {

constexpr std::size_t kOutputChunk = 1u << 16;

struct JpegErrors {
  jpeg_error_mgr manager;  // first, so the library's pointer converts back to this
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

struct JpegDestination {
  jpeg_destination_mgr manager;  // first, as above
  AtomicFile* file;
  JOCTET buffer[kOutputChunk];
};

extern "C" void today_jpeg_fail(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

extern "C" void today_jpeg_ignore_message(j_common_ptr, int) {}

extern "C" void today_jpeg_start_destination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = kOutputChunk;
}

extern "C" boolean today_jpeg_empty_buffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  destination->file->write(destination->buffer, kOutputChunk);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = kOutputChunk;
  return TRUE;
}

extern "C" void today_jpeg_finish_destination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  destination->file->write(destination->buffer, kOutputChunk - destination->manager.free_in_buffer);
}

// The library reports errors by longjmp back here, which skips destructors: this function keeps
// only trivially destructible locals. Returns false when the library raised an error.
bool encode(jpeg_compress_struct& cinfo, JpegErrors& errors, JpegDestination& destination,
            const RowSource& picture, ProgressPacer& progress, std::uint8_t* rgb,
            std::uint8_t* scratch) {
  if (setjmp(errors.jump)) return false;
  jpeg_create_compress(&cinfo);
  cinfo.dest = &destination.manager;
  cinfo.image_width = JDIMENSION(picture.width());
  cinfo.image_height = JDIMENSION(picture.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    row_to_rgb(picture.row(std::int32_t(cinfo.next_scanline), scratch), picture.format(),
               picture.width(), rgb);
    JSAMPROW rows[1] = {rgb};
    jpeg_write_scanlines(&cinfo, rows, 1);
    progress.advance();
    if (destination.file->failed()) return true;
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

}  // namespace

void write_jpeg(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  jpeg_compress_struct cinfo{};
  // Releases the compressor also when the progress callback throws.
  struct Release {
    jpeg_compress_struct& cinfo;
    ~Release() { jpeg_destroy_compress(&cinfo); }
  } release{cinfo};
  JpegErrors errors{};
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = today_jpeg_fail;
  errors.manager.emit_message = today_jpeg_ignore_message;
  auto destination = std::make_unique<JpegDestination>();
  destination->manager.init_destination = today_jpeg_start_destination;
  destination->manager.empty_output_buffer = today_jpeg_empty_buffer;
  destination->manager.term_destination = today_jpeg_finish_destination;
  destination->file = &file;
  std::vector<std::uint8_t> rgb(std::size_t(picture.width()) * 3);

  const auto scratch = row_scratch(picture);
  const bool encoded =
      encode(cinfo, errors, *destination, picture, progress, rgb.data(), scratch.get());
  file.check();
  if (!encoded) throw_write_error(file.target(), std::string("JPEG encoder: ") + errors.message);
}

}  // namespace jpeg

namespace gif {

namespace {

extern "C" int today_gif_write_to_file(GifFileType* gif, const GifByteType* data, int size) {
  static_cast<AtomicFile*>(gif->UserData)->write(data, std::size_t(size));
  return size;  // failures are polled by the caller between rows
}

[[noreturn]] void throw_gif_error(const AtomicFile& file, int code) {
  file.check();
  const char* text = GifErrorString(code);
  throw_write_error(file.target(), std::string("GIF encoder: ") + (text ? text : "failure"));
}

struct GifSession {
  GifFileType* gif = nullptr;
  ColorMapObject* colour_map = nullptr;
  GifSession() = default;
  GifSession(const GifSession&) = delete;
  GifSession& operator=(const GifSession&) = delete;
  ~GifSession() {
    if (gif != nullptr) EGifCloseFile(gif, nullptr);
    if (colour_map != nullptr) GifFreeMapObject(colour_map);
  }
};

}  // namespace

void write_gif(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  const std::int32_t width = picture.width(), height = picture.height();
  const bool grey = picture.format() == PixelFormat::Gray8;

  const auto scratch = row_scratch(picture);
  ColourCensus census;
  for (std::int32_t y = 0; y < height; ++y) {
    if (grey) {
      census.addGreyRow(picture.row(y, scratch.get()), width);
    } else {
      census.addBgrxRow(picture.row(y, scratch.get()), width);
    }
    progress.advance();
  }
  const bool exact = census.exact();
  std::vector<PaletteColour> palette = exact ? census.exactColours() : census.medianCut(256);
  if (palette.empty()) throw_write_error(file.target(), "GIF encoder: the picture has no colours");

  // The format's colour tables hold a power of two entries, at least two; the unused ones
  // repeat the first colour, so the table holds no colour the picture lacks.
  int table_size = 2;
  while (table_size < int(palette.size())) table_size *= 2;
  std::vector<GifColorType> table(static_cast<std::size_t>(table_size));
  for (std::size_t i = 0; i < table.size(); ++i) {
    const PaletteColour& c = palette[i < palette.size() ? i : 0];
    table[i] = {c.r, c.g, c.b};
  }

  GifSession session;
  session.colour_map = GifMakeMapObject(table_size, table.data());
  int error = 0;
  session.gif = EGifOpen(&file, today_gif_write_to_file, &error);
  if (session.colour_map == nullptr || session.gif == nullptr) throw_gif_error(file, error);
  if (EGifPutScreenDesc(session.gif, width, height, session.colour_map->BitsPerPixel, 0,
                        session.colour_map) == GIF_ERROR ||
      EGifPutImageDesc(session.gif, 0, 0, width, height, false, nullptr) == GIF_ERROR) {
    throw_gif_error(file, session.gif->Error);
  }

  PaletteMapper mapper(std::move(palette), exact, width);
  std::vector<GifPixelType> indices(static_cast<std::size_t>(width));
  for (std::int32_t y = 0; y < height; ++y) {
    if (grey) {
      mapper.mapGreyRow(picture.row(y, scratch.get()), indices.data());
    } else {
      mapper.mapBgrxRow(picture.row(y, scratch.get()), indices.data());
    }
    if (EGifPutLine(session.gif, indices.data(), width) == GIF_ERROR) {
      throw_gif_error(file, session.gif->Error);
    }
    progress.advance();
    file.check();
  }
  GifFileType* gif = session.gif;
  session.gif = nullptr;
  if (EGifCloseFile(gif, &error) == GIF_ERROR) throw_gif_error(file, error);
  file.check();
}

}  // namespace gif

namespace bmp {

namespace {

void put16(std::uint8_t* at, std::uint16_t v) {
  at[0] = std::uint8_t(v);
  at[1] = std::uint8_t(v >> 8);
}

void put32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = std::uint8_t(v >> (8 * i));
}

// B, G, R, 0xFF for each grey byte, stored as little-endian words. This loop is most of a page
// save's own work: where the compiler can, it is also built for wider vector units and the
// processor picks the version it runs.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
void expand_grey_row(const std::uint8_t* grey, std::int32_t width, std::uint8_t* out) {
  for (std::int32_t x = 0; x < width; ++x, out += 4) {
    const std::uint32_t word = 0xFF000000u | std::uint32_t(grey[x]) * 0x010101u;
    std::memcpy(out, &word, 4);
  }
}

}  // namespace

static_assert(std::endian::native == std::endian::little, "pixel words are stored as bytes");

void write_bmp(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  constexpr std::uint32_t kHeaderBytes = 14 + 40;
  const std::int32_t width = picture.width(), height = picture.height();
  const std::uint64_t row_bytes = std::uint64_t(width) * 4;  // already a multiple of 4
  const std::uint64_t image_bytes = row_bytes * std::uint64_t(height);
  // save_image has refused anything whose file size does not fit 32 bits.
  const auto file_bytes = std::uint32_t(kHeaderBytes + image_bytes);

  std::array<std::uint8_t, kHeaderBytes> header{};
  header[0] = 'B';
  header[1] = 'M';
  put32(&header[2], file_bytes);
  put32(&header[10], kHeaderBytes);  // offset of the pixels
  put32(&header[14], 40);
  put32(&header[18], std::uint32_t(width));
  put32(&header[22], std::uint32_t(height));  // positive: bottom-up
  put16(&header[26], 1);                      // planes
  put16(&header[28], 32);                     // bits per pixel
  put32(&header[30], 0);                      // uncompressed
  put32(&header[34], std::uint32_t(image_bytes));
  file.write(header.data(), header.size());

  // A grey row is expanded straight into the file's buffer, a piece at a time, so that no row
  // buffer is held whatever the width.
  constexpr std::int32_t kPiecePixels = 64 * 1024;
  const auto scratch = row_scratch(picture);
  for (std::int32_t y = height - 1; y >= 0 && !file.failed(); --y) {
    if (picture.format() == PixelFormat::Rgb32) {
      file.write(picture.row(y, scratch.get()), std::size_t(row_bytes));
    } else {
      const std::uint8_t* grey = picture.row(y, scratch.get());
      for (std::int32_t x = 0; x < width;) {
        const std::int32_t n = std::min(kPiecePixels, width - x);
        std::uint8_t* reserved = file.reserve(std::size_t(n) * 4);
        if (reserved == nullptr) break;  // a write failed: check() below reports it
        expand_grey_row(grey + x, n, reserved);
        file.commitReserved(std::size_t(n) * 4);
        x += n;
      }
    }
    progress.advance();
  }
  file.check();
}

}  // namespace bmp

void write_jpeg(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  jpeg::write_jpeg(picture, file, progress);
}
void write_gif(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  gif::write_gif(picture, file, progress);
}
void write_bmp(const RowSource& picture, AtomicFile& file, ProgressPacer& progress) {
  bmp::write_bmp(picture, file, progress);
}

}  // namespace lumigrid::bench::today
