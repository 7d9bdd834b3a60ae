#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "export/image_export.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using testing_support::read_bytes;
using testing_support::rgb_at;
using testing_support::ScratchFolder;

// The example tables of the JPEG standard (Annex K), natural order, which quality scales.
constexpr int kLuminance[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
constexpr int kChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                  24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Quality 90 scales the examples to 20 %.
int quality_90(int base) {
  return std::clamp((base * 20 + 50) / 100, 1, 255);
}

struct Decoded {
  int width = 0, height = 0, components = 0;
  J_COLOR_SPACE colour_space = JCS_UNKNOWN;
  std::vector<std::vector<int>> tables;  // quantisation tables in natural order
  std::vector<std::uint8_t> rgb;
};

Decoded decode(const std::vector<std::uint8_t>& file) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), file.size());
  jpeg_read_header(&cinfo, TRUE);
  Decoded d;
  d.components = cinfo.num_components;
  d.colour_space = cinfo.jpeg_color_space;
  for (JQUANT_TBL* table : cinfo.quant_tbl_ptrs) {
    if (table == nullptr) continue;
    d.tables.emplace_back(table->quantval, table->quantval + 64);
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  d.width = int(cinfo.output_width);
  d.height = int(cinfo.output_height);
  d.rgb.resize(std::size_t(d.width) * std::size_t(d.height) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &d.rgb[std::size_t(cinfo.output_scanline) * std::size_t(d.width) * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return d;
}

// The frame markers present, stopping at the first scan.
std::vector<int> frame_markers(const std::vector<std::uint8_t>& file) {
  std::vector<int> markers;
  std::size_t at = 2;
  while (at + 4 <= file.size() && file[at] == 0xFF) {
    const int marker = file[at + 1];
    markers.push_back(marker);
    if (marker == 0xDA) break;  // start of scan
    at += 2 + (std::size_t(file[at + 2]) << 8 | file[at + 3]);
  }
  return markers;
}

// Smooth in every channel, as JPEG expects of a photograph-like picture.
Surface smooth_surface(PixelFormat format, std::int32_t width, std::int32_t height) {
  Surface s(width, height, format);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint32_t r = std::uint32_t(x * 255 / (width - 1));
      const std::uint32_t g = std::uint32_t(y * 255 / (height - 1));
      const std::uint32_t b = std::uint32_t((x + y) * 255 / (width + height - 2));
      testing_support::put_pixel(s, x, y,
                                 format == PixelFormat::Gray8 ? (r + g) / 2 : r << 16 | g << 8 | b);
    }
  }
  return s;
}

struct JpegCase {
  const char* row;
  PixelFormat format;
};

class JpegEncoding : public ::testing::TestWithParam<JpegCase> {};

TEST_P(JpegEncoding, BaselineColourQuality90RoundTrip) {
  ScratchFolder folder;
  const auto path = folder.path() / "out.JPG";
  const Surface surface = smooth_surface(GetParam().format, 67, 45);
  save_image(surface, path);
  const auto file = read_bytes(path);
  ASSERT_GE(file.size(), 4u);
  EXPECT_EQ(file[0], 0xFF);
  EXPECT_EQ(file[1], 0xD8);

  const auto markers = frame_markers(file);
  EXPECT_NE(std::find(markers.begin(), markers.end(), 0xC0), markers.end()) << "no SOF0";
  for (int sof : {0xC1, 0xC2, 0xC3, 0xC9, 0xCA}) {
    EXPECT_EQ(std::find(markers.begin(), markers.end(), sof), markers.end()) << sof;
  }
  // A single scan: sequential, one start-of-scan marker in the whole file.
  int scans = 0;
  for (std::size_t i = 0; i + 1 < file.size(); ++i) scans += file[i] == 0xFF && file[i + 1] == 0xDA;
  EXPECT_EQ(scans, 1);

  const Decoded d = decode(file);
  EXPECT_EQ(d.components, 3);  // colour even for the grey page
  EXPECT_EQ(d.colour_space, JCS_YCbCr);
  ASSERT_EQ(d.tables.size(), 2u);
  for (std::size_t i = 0; i < 64; ++i) {
    EXPECT_EQ(d.tables[0][i], quality_90(kLuminance[i])) << "luminance " << i;
    EXPECT_EQ(d.tables[1][i], quality_90(kChrominance[i])) << "chrominance " << i;
  }

  ASSERT_EQ(d.width, surface.width());
  ASSERT_EQ(d.height, surface.height());
  double total_error = 0;
  int worst = 0;
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      const auto want = rgb_at(surface, x, y);
      const std::uint8_t* got =
          &d.rgb[(std::size_t(y) * std::size_t(d.width) + std::size_t(x)) * 3];
      for (int c = 0; c < 3; ++c) {
        const int expected = c == 0 ? want.r : c == 1 ? want.g : want.b;
        const int error = std::abs(int(got[c]) - expected);
        total_error += error;
        worst = std::max(worst, error);
      }
    }
  }
  EXPECT_LT(total_error / (surface.width() * surface.height() * 3.0), 1.5);
  EXPECT_LE(worst, 12);
}

INSTANTIATE_TEST_SUITE_P(Formats, JpegEncoding,
                         ::testing::Values(JpegCase{"window", PixelFormat::Rgb32},
                                           JpegCase{"page", PixelFormat::Gray8}),
                         [](const auto& row) { return row.param.row; });

}  // namespace
}  // namespace lumigrid
