#pragma once
// Saving a surface as BMP, PNG, JPEG, GIF, TIFF or PDF, chosen by the file name's extension.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "base/progress.h"
#include "export/image_encoding.h"
#include "surface/row_source.h"
#include "surface/surface.h"

namespace lumigrid {

// The printable page's resolution. TIFF and PDF record a picture's size on paper: a grey
// surface is a printable page at this resolution, a colour one a window capture at its own
// paperPixelsPerInch() (its monitor's, measured: MeasuredSurfaceRows).
inline constexpr std::int32_t kPagePixelsPerInch = 600;
double paper_pixels_per_inch(const RowSource& picture);
double paper_pixels_per_inch(const Surface& surface);

// The extension after the last "." of the final name component, ASCII-lower-cased:
// ".jpg" JPEG, ".png" PNG, ".gif" GIF, ".tif" and ".tiff" TIFF, ".pdf" PDF, anything else
// (".jpeg", none ...) BMP.
ImageEncoding encoding_for_file_name(std::string_view file_name);

// Writes the whole surface to `path` in `encoding`, streaming rows. The file appears only when
// complete (written beside the target, then renamed over it); on failure the target is left as
// it was and a lumigrid::WriteError names the path and the reason; when the system refuses
// memory or a thread, the message is "Not enough memory to write PATH".
void save_image_as(const RowSource& picture, const std::filesystem::path& path,
                   ImageEncoding encoding, const ProgressCallback& progress = {});
void save_image_as(const Surface& surface, const std::filesystem::path& path,
                   ImageEncoding encoding, const ProgressCallback& progress = {});
// Throws the lumigrid::WriteError save_image_as() would raise for a picture of that size before
// touching any file (a side the format cannot hold, a row buffer past its limit), so a caller
// can refuse before building the picture.
void check_savable_size(std::int64_t width, std::int64_t height, const std::filesystem::path& path,
                        ImageEncoding encoding);
void check_savable_size(std::int64_t width, std::int64_t height, const std::filesystem::path& path);
// Bytes the encoder's row buffers take beside the picture while a `width` pixels wide picture is
// saved in `encoding`: one row for the writer and one for each compressing thread, counted in
// 64 bits (UINT64_MAX when they cannot be).
std::uint64_t save_row_buffer_bytes(std::int64_t width, ImageEncoding encoding);
// The same, with the encoding picked from the path's extension.
void save_image(const RowSource& picture, const std::filesystem::path& path,
                const ProgressCallback& progress = {});
void save_image(const Surface& surface, const std::filesystem::path& path,
                const ProgressCallback& progress = {});

// Writes a sheet drawn for paper at `pixels_per_inch`, whatever the surface's own resolution:
// TIFF and PDF record that resolution and, given `icc_profile`, carry it as the profile a colour
// sheet's numbers are in (TIFF's ICC tag, PDF's ICC-based colour space); without one they are
// the device's own values, untagged. BMP, PNG, JPEG and GIF are written as save_image_as writes
// them.
void save_sheet_image(const RowSource& picture, const std::filesystem::path& path,
                      double pixels_per_inch, std::span<const std::uint8_t> icc_profile,
                      const ProgressCallback& progress = {});
void save_sheet_image_as(const RowSource& picture, const std::filesystem::path& path,
                         ImageEncoding encoding, double pixels_per_inch,
                         std::span<const std::uint8_t> icc_profile,
                         const ProgressCallback& progress = {});

// Writes that sheet as a PDF file, as save_image_as writes a PDF (same image encoding, file
// appearing only when complete). A part outside the picture, an empty one or a sheet of no
// size is refused with a WriteError before any file is touched.
void save_pdf_sheet(const RowSource& picture, const std::filesystem::path& path,
                    const PdfSheet& sheet, const ProgressCallback& progress = {});
void save_pdf_sheet(const Surface& surface, const std::filesystem::path& path,
                    const PdfSheet& sheet, const ProgressCallback& progress = {});

// "Image_" + "mm_dd_nn_ss" (month, day, minute, second), no extension.
std::string default_window_capture_name(const std::tm& local_time);
// "Image_" + area name + "_" + "mm_dd_hh_nn_ss" + ".png".
std::string default_page_file_name(std::string_view drawing_area_name, const std::tm& local_time);

}  // namespace lumigrid
