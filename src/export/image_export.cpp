#include "export/image_export.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include "base/errors.h"
#include "export/export_internal.h"

namespace lumigrid {

namespace export_detail {

namespace {

const char* encoding_name(ImageEncoding encoding) {
  switch (encoding) {
    case ImageEncoding::Bmp:
      return "BMP";
    case ImageEncoding::Png:
      return "PNG";
    case ImageEncoding::Jpeg:
      return "JPEG";
    case ImageEncoding::Gif:
      return "GIF";
    case ImageEncoding::Tiff:
      return "TIFF";
    case ImageEncoding::Pdf:
      return "PDF";
  }
  return "?";
}

}  // namespace

ProgressPacer::ProgressPacer(const ProgressCallback& callback, std::uint64_t total_steps)
    : callback_(callback), total_(total_steps == 0 ? 1 : total_steps), next_report_(total_ / 100) {}

void ProgressPacer::advance(std::uint64_t steps) {
  done_ += steps;
  if (!callback_ || done_ < next_report_ || done_ >= total_) return;
  callback_(double(done_) / double(total_));
  // The next report waits for another hundredth of the work.
  const std::uint64_t hundredth = total_ / 100 == 0 ? 1 : total_ / 100;
  next_report_ = done_ + hundredth;
}

void ProgressPacer::finish() {
  done_ = total_;
  if (callback_) callback_(1.0);
}

void row_to_rgb(const std::uint8_t* pixels, PixelFormat format, std::int32_t width,
                std::uint8_t* rgb) {
  const std::uint8_t* src = pixels;
  if (format == PixelFormat::Gray8) {
    for (std::int32_t x = 0; x < width; ++x, rgb += 3) rgb[0] = rgb[1] = rgb[2] = src[x];
  } else {
    // Stored as B, G, R, X.
    for (std::int32_t x = 0; x < width; ++x, src += 4, rgb += 3) {
      rgb[0] = src[2];
      rgb[1] = src[1];
      rgb[2] = src[0];
    }
  }
}

std::uint64_t progress_steps(const RowSource& picture, ImageEncoding encoding) {
  const auto rows = std::uint64_t(picture.height());
  return encoding == ImageEncoding::Gif ? 2 * rows : rows;
}

std::uint64_t row_buffer_bytes(std::int64_t width, ImageEncoding encoding) {
  if (width <= 0) return 0;
  // Bytes a pixel takes in the widest row each encoder converts to: the RGB rows of JPEG, TIFF,
  // PDF and PNG (one filter byte ahead), GIF's palette indices. BMP hands rows to the system in
  // pieces of a fixed arena and holds no row buffer.
  std::uint64_t per_pixel = 3, extra = 0;
  switch (encoding) {
    case ImageEncoding::Bmp:
      return 0;
    case ImageEncoding::Png:
      extra = 1;
      break;
    case ImageEncoding::Gif:
      per_pixel = 1;
      break;
    case ImageEncoding::Jpeg:
    case ImageEncoding::Tiff:
    case ImageEncoding::Pdf:
      break;
  }
  const auto pixels = std::uint64_t(width);
  if (pixels > (UINT64_MAX - extra) / per_pixel) return UINT64_MAX;
  return pixels * per_pixel + extra;
}

bool tiff_needs_bigtiff(std::int64_t width, std::int64_t height, int samples) {
  constexpr std::uint64_t kClassicTiffLimit = 0xF0000000ull;
  if (width <= 0 || height <= 0) return false;
  const std::uint64_t row_bytes =
      samples == 0 ? (std::uint64_t(width) + 7) / 8 : std::uint64_t(width) * std::uint64_t(samples);
  return row_bytes > kClassicTiffLimit / std::uint64_t(height);
}

std::string size_problem(std::int64_t width, std::int64_t height, ImageEncoding encoding) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width < 0 || height < 0) return "an image of " + size + " has no valid size";
  if (row_buffer_bytes(width, encoding) > kMostRowBufferBytes) {
    return "an image of " + size + " is too large for a " + encoding_name(encoding) +
           " file (rows of 1 GiB at most)";
  }
  std::int64_t max_side = 0;
  switch (encoding) {
    case ImageEncoding::Bmp: {
      // File size and image size are 32-bit fields: headers plus 4 bytes a pixel must fit.
      // Divided rather than multiplied, so no size can overflow the test.
      constexpr std::uint64_t kMaxPixels = (0xFFFFFFFFull - 54) / 4;
      if (width != 0 && std::uint64_t(height) > kMaxPixels / std::uint64_t(width)) {
        return "an image of " + size + " is too large for a BMP file (4 GiB at most)";
      }
      return {};
    }
    case ImageEncoding::Png:
      max_side = 0x7FFFFFFF;
      break;
    case ImageEncoding::Jpeg:
      max_side = 65500;
      break;
    case ImageEncoding::Gif:
      max_side = 65535;
      break;
    case ImageEncoding::Tiff:
    case ImageEncoding::Pdf:
      max_side = 0x7FFFFFFF;
      break;
  }
  if (width < 1 || height < 1 || width > max_side || height > max_side) {
    return "an image of " + size + " cannot be saved as " + encoding_name(encoding) + " (1 to " +
           std::to_string(max_side) + " pixels a side)";
  }
  return {};
}

}  // namespace export_detail

namespace {

std::string two_digits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

}  // namespace

double paper_pixels_per_inch(const RowSource& picture) {
  return picture.format() == PixelFormat::Gray8 ? kPagePixelsPerInch : picture.paperPixelsPerInch();
}

ImageEncoding encoding_for_file_name(std::string_view file_name) {
  const std::size_t separator = file_name.find_last_of("/\\:");
  const std::string_view last =
      separator == std::string_view::npos ? file_name : file_name.substr(separator + 1);
  const std::size_t dot = last.rfind('.');
  if (dot == std::string_view::npos) return ImageEncoding::Bmp;
  std::string extension(last.substr(dot));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  if (extension == ".jpg" || extension == ".jpeg") return ImageEncoding::Jpeg;
  if (extension == ".png") return ImageEncoding::Png;
  if (extension == ".gif") return ImageEncoding::Gif;
  if (extension == ".tif" || extension == ".tiff") return ImageEncoding::Tiff;
  if (extension == ".pdf") return ImageEncoding::Pdf;
  return ImageEncoding::Bmp;
}

void check_savable_size(std::int64_t width, std::int64_t height, const std::filesystem::path& path,
                        ImageEncoding encoding) {
  if (const std::string problem = export_detail::size_problem(width, height, encoding);
      !problem.empty()) {
    export_detail::throw_write_error(path, problem);
  }
}

void check_savable_size(std::int64_t width, std::int64_t height,
                        const std::filesystem::path& path) {
  check_savable_size(width, height, path, encoding_for_file_name(path.string()));
}

std::uint64_t save_row_buffer_bytes(std::int64_t width, ImageEncoding encoding) {
  const std::uint64_t row = export_detail::row_buffer_bytes(width, encoding);
  const std::uint64_t rows = std::uint64_t(std::thread::hardware_concurrency()) + 1;
  return row > UINT64_MAX / rows ? UINT64_MAX : row * rows;
}

namespace {

void write_image(const RowSource& picture, const std::filesystem::path& path,
                 ImageEncoding encoding, const ProgressCallback& progress, double pixels_per_inch,
                 std::span<const std::uint8_t> icc_profile) {
  // TIFF goes back to patch its header, which a pipe or a device cannot take.
  export_detail::AtomicFile file(path, encoding == ImageEncoding::Tiff);
  export_detail::ProgressPacer pacer(progress, export_detail::progress_steps(picture, encoding));
  switch (encoding) {
    case ImageEncoding::Bmp:
      export_detail::write_bmp(picture, file, pacer);
      break;
    case ImageEncoding::Png:
      export_detail::write_png(picture, file, pacer);
      break;
    case ImageEncoding::Jpeg:
      export_detail::write_jpeg(picture, file, pacer);
      break;
    case ImageEncoding::Gif:
      export_detail::write_gif(picture, file, pacer);
      break;
    case ImageEncoding::Tiff:
      export_detail::write_tiff(picture, pixels_per_inch, file, pacer, icc_profile);
      break;
    case ImageEncoding::Pdf:
      export_detail::write_pdf(picture, pixels_per_inch, file, pacer, icc_profile);
      break;
  }
  file.commit();
  pacer.finish();
}

void save_tagged(const RowSource& picture, const std::filesystem::path& path,
                 ImageEncoding encoding, const ProgressCallback& progress, double pixels_per_inch,
                 std::span<const std::uint8_t> icc_profile) {
  // Sizes the format cannot hold are refused before any file is touched.
  check_savable_size(picture.width(), picture.height(), path, encoding);
  // The temporary is gone by the time the memory failure is reported (the file's destructor
  // ran while the exception left write_image).
  try {
    write_image(picture, path, encoding, progress, pixels_per_inch, icc_profile);
  } catch (const std::exception& e) {
    if (export_detail::is_memory_failure(e)) export_detail::throw_memory_error(path);
    throw;
  }
}

}  // namespace

void save_image_as(const RowSource& picture, const std::filesystem::path& path,
                   ImageEncoding encoding, const ProgressCallback& progress) {
  save_tagged(picture, path, encoding, progress, paper_pixels_per_inch(picture), {});
}

void save_sheet_image_as(const RowSource& picture, const std::filesystem::path& path,
                         ImageEncoding encoding, double pixels_per_inch,
                         std::span<const std::uint8_t> icc_profile,
                         const ProgressCallback& progress) {
  if (!(pixels_per_inch > 0)) {
    export_detail::throw_write_error(path, "a sheet needs a resolution above 0");
  }
  save_tagged(picture, path, encoding, progress, pixels_per_inch, icc_profile);
}

void save_sheet_image(const RowSource& picture, const std::filesystem::path& path,
                      double pixels_per_inch, std::span<const std::uint8_t> icc_profile,
                      const ProgressCallback& progress) {
  save_sheet_image_as(picture, path, encoding_for_file_name(path.string()), pixels_per_inch,
                      icc_profile, progress);
}

void save_image(const RowSource& picture, const std::filesystem::path& path,
                const ProgressCallback& progress) {
  save_image_as(picture, path, encoding_for_file_name(path.string()), progress);
}

void save_image_as(const Surface& surface, const std::filesystem::path& path,
                   ImageEncoding encoding, const ProgressCallback& progress) {
  save_image_as(SurfaceRows(surface), path, encoding, progress);
}

void save_image(const Surface& surface, const std::filesystem::path& path,
                const ProgressCallback& progress) {
  save_image(SurfaceRows(surface), path, progress);
}

double paper_pixels_per_inch(const Surface& surface) {
  return paper_pixels_per_inch(SurfaceRows(surface));
}

void save_pdf_sheet(const Surface& surface, const std::filesystem::path& path,
                    const PdfSheet& sheet, const ProgressCallback& progress) {
  save_pdf_sheet(SurfaceRows(surface), path, sheet, progress);
}

void save_pdf_sheet(const RowSource& picture, const std::filesystem::path& path,
                    const PdfSheet& sheet, const ProgressCallback& progress) {
  const auto inside = [](std::int64_t start, std::int64_t length, std::int64_t limit) {
    return start >= 0 && length >= 1 && start + length <= limit;
  };
  if (!inside(sheet.source_x, sheet.source_width, picture.width()) ||
      !inside(sheet.source_y, sheet.source_height, picture.height()) || sheet.left < 0 ||
      sheet.top < 0 || !(sheet.width_points > 0) || !(sheet.height_points > 0)) {
    export_detail::throw_write_error(path, "the part to place is not on the picture or the sheet");
  }
  // As for a whole picture: a memory failure is named once the temporary is gone.
  try {
    export_detail::AtomicFile file(path);
    export_detail::ProgressPacer pacer(progress, std::uint64_t(sheet.source_height));
    export_detail::write_pdf_sheet(picture, paper_pixels_per_inch(picture), sheet, file, pacer);
    file.commit();
    pacer.finish();
  } catch (const std::exception& e) {
    if (export_detail::is_memory_failure(e)) export_detail::throw_memory_error(path);
    throw;
  }
}

std::string default_window_capture_name(const std::tm& local_time) {
  return "Image_" + two_digits(local_time.tm_mon + 1) + "_" + two_digits(local_time.tm_mday) + "_" +
         two_digits(local_time.tm_min) + "_" + two_digits(local_time.tm_sec);
}

std::string default_page_file_name(std::string_view drawing_area_name, const std::tm& local_time) {
  return "Image_" + std::string(drawing_area_name) + "_" + two_digits(local_time.tm_mon + 1) + "_" +
         two_digits(local_time.tm_mday) + "_" + two_digits(local_time.tm_hour) + "_" +
         two_digits(local_time.tm_min) + "_" + two_digits(local_time.tm_sec) + ".png";
}

}  // namespace lumigrid
