// PNG: truecolour 8 bits a channel, no alpha, not interlaced, deflate level 7, the Sub filter on
// every row, IDAT chunks of at most 65535 bytes, and no chunks besides IHDR, IDAT and IEND.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "export/export_internal.h"

namespace lumigrid::export_detail {

namespace {

constexpr std::size_t kIdatBytes = 65535;

struct PngSession {
  png_structp png = nullptr;
  png_infop info = nullptr;
  char message[200] = {};
  PngSession() = default;
  PngSession(const PngSession&) = delete;
  PngSession& operator=(const PngSession&) = delete;
  ~PngSession() { png_destroy_write_struct(&png, &info); }
};

extern "C" void png_write_to_file(png_structp png, png_bytep data, size_t size) {
  static_cast<AtomicFile*>(png_get_io_ptr(png))->write(data, size);
}

extern "C" void png_flush_nothing(png_structp) {}

extern "C" void png_fail(png_structp png, png_const_charp message) {
  auto* session = static_cast<PngSession*>(png_get_error_ptr(png));
  std::strncpy(session->message, message, sizeof session->message - 1);
  png_longjmp(png, 1);
}

extern "C" void png_ignore_warning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp back here, which skips destructors: this function keeps
// only trivially destructible locals. Returns false when libpng raised an error.
bool encode(PngSession& session, const Surface& surface, AtomicFile& file, ProgressPacer& progress,
            std::uint8_t* row) {
  if (setjmp(png_jmpbuf(session.png))) return false;
  png_set_write_fn(session.png, &file, png_write_to_file, png_flush_nothing);
  png_set_IHDR(session.png, session.info, png_uint_32(surface.width()),
               png_uint_32(surface.height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(session.png, 7);
  png_set_filter(session.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  // libpng emits an IDAT each time its compression buffer fills.
  png_set_compression_buffer_size(session.png, kIdatBytes);
  png_write_info(session.png, session.info);
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    row_to_rgb(surface, y, row);
    png_write_row(session.png, row);
    progress.advance();
    if (file.failed()) return true;
  }
  png_write_end(session.png, nullptr);
  return true;
}

}  // namespace

void write_png(const Surface& surface, AtomicFile& file, ProgressPacer& progress) {
  PngSession session;
  session.png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &session, png_fail, png_ignore_warning);
  if (session.png != nullptr) session.info = png_create_info_struct(session.png);
  if (session.png == nullptr || session.info == nullptr) {
    throw_write_error(file.target(), "out of memory for the PNG encoder");
  }
  std::vector<std::uint8_t> row(std::size_t(surface.width()) * 3);
  const bool encoded = encode(session, surface, file, progress, row.data());
  file.check();
  if (!encoded) throw_write_error(file.target(), std::string("PNG encoder: ") + session.message);
}

}  // namespace lumigrid::export_detail
