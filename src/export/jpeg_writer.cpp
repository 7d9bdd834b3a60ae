// JPEG: colour, quality 90 with baseline tables, sequential, everything else the library's
// defaults, fed 24-bit RGB rows.
#include <cstdio>  // jpeglib.h needs FILE and size_t first
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <vector>

#include "export/export_internal.h"

namespace lumigrid::export_detail {

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

extern "C" void jpeg_fail(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

extern "C" void jpeg_ignore_message(j_common_ptr, int) {}

extern "C" void jpeg_start_destination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = kOutputChunk;
}

extern "C" boolean jpeg_empty_buffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
  destination->file->write(destination->buffer, kOutputChunk);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = kOutputChunk;
  return TRUE;
}

extern "C" void jpeg_finish_destination(j_compress_ptr cinfo) {
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
  errors.manager.error_exit = jpeg_fail;
  errors.manager.emit_message = jpeg_ignore_message;
  auto destination = std::make_unique<JpegDestination>();
  destination->manager.init_destination = jpeg_start_destination;
  destination->manager.empty_output_buffer = jpeg_empty_buffer;
  destination->manager.term_destination = jpeg_finish_destination;
  destination->file = &file;
  std::vector<std::uint8_t> rgb(std::size_t(picture.width()) * 3);

  const auto scratch = row_scratch(picture);
  const bool encoded =
      encode(cinfo, errors, *destination, picture, progress, rgb.data(), scratch.get());
  file.check();
  if (!encoded) throw_write_error(file.target(), std::string("JPEG encoder: ") + errors.message);
}

}  // namespace lumigrid::export_detail
