// JPEG and GIF written in bands on several threads, and BMP written in gathered pieces: read back
// through libjpeg-turbo, giflib and Pillow, compared with one plain library call over the whole
// picture, and the same bytes whatever the number of threads.
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/band_encoding.h"
#include "export/export_internal.h"
#include "export/image_export.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using export_detail::BandTuning;
using testing_support::put_pixel;
using testing_support::read_bytes;
using testing_support::ScratchFolder;

// A surface read as rows, optionally with row classes: rows whose pixels are equal share a
// class, as a printable page's rows do.
class ClassedRows final : public RowSource {
 public:
  ClassedRows(const Surface& surface, bool classes) : surface_(surface), classes_(classes) {}
  std::int32_t width() const override { return surface_.width(); }
  std::int32_t height() const override { return surface_.height(); }
  PixelFormat format() const override { return surface_.format(); }
  std::int32_t pixelsPerInch() const override { return 96; }
  const std::uint8_t* row(std::int32_t y, std::uint8_t* scratch) const override {
    // Filled into the scratch, as a page made on the fly fills it.
    std::memcpy(scratch, surface_.rowData(y), rowBytes());
    return scratch;
  }
  std::optional<std::uint64_t> rowClass(std::int32_t y) const override {
    if (!classes_) return std::nullopt;
    for (std::int32_t other = 0; other < y; ++other) {
      if (std::memcmp(surface_.rowData(other), surface_.rowData(y), rowBytes()) == 0) {
        return std::uint64_t(other);
      }
    }
    return std::uint64_t(y);
  }

 private:
  const Surface& surface_;
  bool classes_;
};

// Rows repeating every `period` rows, with `odd_rows` rows of their own from row `odd_at`: a
// page's tiles with a caption.
Surface repeating(PixelFormat format, std::int32_t width, std::int32_t height, std::int32_t period,
                  std::int32_t odd_at = -1, std::int32_t odd_rows = 0, int colours = 256) {
  Surface s(width, height, format);
  for (std::int32_t y = 0; y < height; ++y) {
    const bool odd = y >= odd_at && y < odd_at + odd_rows;
    const std::int32_t t = y % period;
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint32_t v = std::uint32_t((x * 7 + t * 13 + (odd ? x * y : 0)) % colours);
      if (format == PixelFormat::Gray8) {
        put_pixel(s, x, y, v * 255 / std::uint32_t(colours > 1 ? colours - 1 : 1));
      } else {
        put_pixel(s, x, y, (v * 37 % 256) << 16 | (v * 11 % 256) << 8 | v);
      }
    }
  }
  return s;
}

using Write = std::function<void(const RowSource&, export_detail::AtomicFile&,
                                 export_detail::ProgressPacer&, const BandTuning&)>;

std::vector<std::uint8_t> encode(const Write& write, const RowSource& picture,
                                 const BandTuning& tuning, const std::filesystem::path& path) {
  {
    export_detail::AtomicFile file(path);
    export_detail::ProgressPacer progress({}, std::uint64_t(picture.height()) * 2);
    write(picture, file, progress, tuning);
    file.commit();
  }
  return read_bytes(path);
}

// --- read-back helpers ------------------------------------------------------------------------

struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
};

Pixels decode_jpeg(const std::vector<std::uint8_t>& file) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), file.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  Pixels p{int(cinfo.output_width), int(cinfo.output_height), {}};
  p.rgb.resize(std::size_t(p.width) * std::size_t(p.height) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &p.rgb[std::size_t(cinfo.output_scanline) * std::size_t(p.width) * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  // A restart marker out of sequence makes the library warn and guess: none may occur.
  EXPECT_EQ(errors.num_warnings, 0);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return p;
}

// One plain library call over the whole picture: RGB rows, quality 90, the defaults.
std::vector<std::uint8_t> plain_jpeg(const Surface& surface) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(surface.width());
  cinfo.image_height = JDIMENSION(surface.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> rgb(std::size_t(surface.width()) * 3);
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    export_detail::row_to_rgb(surface.rowData(y), surface.format(), surface.width(), rgb.data());
    JSAMPROW row = rgb.data();
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

// The restart markers' numbers in the order they come, after the start of scan.
std::vector<int> restart_numbers(const std::vector<std::uint8_t>& file) {
  std::vector<int> numbers;
  bool in_scan = false;
  for (std::size_t i = 0; i + 1 < file.size(); ++i) {
    if (file[i] != 0xFF) continue;
    if (!in_scan) {
      if (file[i + 1] == 0xDA) in_scan = true;
      continue;
    }
    if ((file[i + 1] & 0xF8) == 0xD0) numbers.push_back(file[i + 1] - 0xD0);
  }
  return numbers;
}

// Where two files first differ, or "same"; the whole bytes would say too little.
std::string first_difference(const std::vector<std::uint8_t>& a,
                             const std::vector<std::uint8_t>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) {
      return "byte " + std::to_string(i) + " of " + std::to_string(a.size()) + "/" +
             std::to_string(b.size()) + ": " + std::to_string(a[i]) + " against " +
             std::to_string(b[i]);
    }
  }
  return a.size() == b.size()
             ? "same"
             : "sizes " + std::to_string(a.size()) + "/" + std::to_string(b.size());
}

std::string quoted(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

// The RGB bytes Pillow decodes from `path`; fails the test when Pillow cannot be run.
std::vector<std::uint8_t> pillow_rgb(const std::filesystem::path& path) {
  const auto out = path.parent_path() / "pillow.rgb";
  std::optional<std::string> python;
  // The first Python on the search path may be a private one without the system's Pillow.
  for (const char* candidate : {"python3", "/usr/bin/python3"}) {
    if (std::system((std::string(candidate) + " -c 'import PIL' >/dev/null 2>&1").c_str()) == 0) {
      python = candidate;
      break;
    }
  }
  EXPECT_TRUE(python) << "python3 with Pillow (python3-pil) is needed";
  if (!python) return {};
  const std::string script =
      "import sys\nfrom PIL import Image\nImage.MAX_IMAGE_PIXELS = None\n"
      "open(sys.argv[2], 'wb').write(Image.open(sys.argv[1]).convert('RGB').tobytes())\n";
  EXPECT_EQ(
      std::system((*python + " -c \"" + script + "\" " + quoted(path) + " " + quoted(out)).c_str()),
      0);
  return read_bytes(out);
}

std::vector<std::uint8_t> surface_rgb(const Surface& surface) {
  std::vector<std::uint8_t> rgb(std::size_t(surface.width()) * std::size_t(surface.height()) * 3);
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    export_detail::row_to_rgb(surface.rowData(y), surface.format(), surface.width(),
                              &rgb[std::size_t(y) * std::size_t(surface.width()) * 3]);
  }
  return rgb;
}

// --- JPEG -------------------------------------------------------------------------------------

struct JpegBandCase {
  const char* row;
  Surface (*make)();
  std::uint64_t band_bytes;  // what a band aims at
  bool restarts;             // whether the scan holds restart markers
};

const JpegBandCase kJpegBands[] = {
    // Bands of 16 rows (one MCU row), every band its own.
    {"bands_of_one_mcu_row",
     [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 96, 80); }, 96 * 3 * 16,
     true},
    // A period of 24 rows: bands of 48, most of them equal, one with rows of its own.
    {"a_band_repeated", [] { return repeating(PixelFormat::Gray8, 70, 400, 24, 150, 5); },
     70 * 3 * 40, true},
    {"a_band_repeated_colour", [] { return repeating(PixelFormat::Rgb32, 50, 300, 32, 100, 3); },
     50 * 3 * 40, true},
    // 100 rows in bands of 32: the last band holds 4 rows, the last MCU row is cut short.
    {"last_short_band",
     [] { return testing_support::gradient_surface(PixelFormat::Gray8, 40, 100); }, 40 * 3 * 32,
     true},
    // Wide enough that a band's MCUs exceed what one restart interval holds: bands of several
    // intervals, whose markers take the numbers of their place in the scan.
    // 60000 pixels across take 3750 MCUs, so an interval holds at most 17 MCU rows; bands of
    // 18 (the period) are two intervals of 9.
    {"bands_of_several_intervals", [] { return repeating(PixelFormat::Gray8, 60000, 600, 288); },
     std::uint64_t(60000) * 3 * 288, true},
    {"one_band", [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 67, 45); },
     std::uint64_t(1) << 30, false},
    {"one_pixel", [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 1, 1); }, 1,
     false},
    {"odd_sizes", [] { return testing_support::gradient_surface(PixelFormat::Gray8, 33, 71); },
     33 * 3 * 16, true},
    {"one_column", [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 1, 90); }, 48,
     true},
};

class JpegBands : public ::testing::TestWithParam<JpegBandCase> {};

TEST_P(JpegBands, DecodeAsOnePlainCallAndIndependentOfThreads) {
  const JpegBandCase& c = GetParam();
  ScratchFolder folder;
  const Surface surface = c.make();
  const SurfaceRows rows(surface);
  const Write write = [](const RowSource& p, export_detail::AtomicFile& f,
                         export_detail::ProgressPacer& g,
                         const BandTuning& t) { export_detail::write_jpeg(p, f, g, t); };
  BandTuning tuning;
  tuning.band_bytes = c.band_bytes;
  tuning.most_period_band_bytes = c.band_bytes * 2;
  tuning.threads = 1;
  const auto path = folder.path() / "out.jpg";
  const std::vector<std::uint8_t> file = encode(write, rows, tuning, path);
  for (const unsigned threads : {2u, 8u}) {
    tuning.threads = threads;
    EXPECT_EQ(encode(write, rows, tuning, folder.path() / "again.jpg"), file)
        << threads << " threads";
  }
  // Rows the picture fills into the scratch, and row classes, change nothing.
  EXPECT_EQ(encode(write, ClassedRows(surface, true), tuning, folder.path() / "classed.jpg"), file);

  const std::vector<int> numbers = restart_numbers(file);
  EXPECT_EQ(!numbers.empty(), c.restarts);
  for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], int(i % 8)) << i;

  const std::vector<std::uint8_t> plain = plain_jpeg(surface);
  if (!c.restarts) {
    EXPECT_EQ(first_difference(file, plain), "same") << "one band is one plain call";
  }
  const Pixels mine = decode_jpeg(file);
  const Pixels reference = decode_jpeg(plain);
  ASSERT_EQ(mine.width, surface.width());
  ASSERT_EQ(mine.height, surface.height());
  EXPECT_TRUE(mine.rgb == reference.rgb) << "decoded pixels differ from one plain call's";
  EXPECT_TRUE(pillow_rgb(path) == reference.rgb) << "Pillow decodes other pixels";
}

INSTANTIATE_TEST_SUITE_P(Pictures, JpegBands, ::testing::ValuesIn(kJpegBands),
                         [](const auto& row) { return std::string(row.param.row); });

// --- GIF --------------------------------------------------------------------------------------

struct GifImage {
  int width = 0, height = 0;
  std::vector<GifColorType> colours;
  std::vector<GifByteType> indices;
};

GifImage decode_gif(const std::filesystem::path& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  GifImage image;
  EXPECT_NE(gif, nullptr) << GifErrorString(error);
  if (gif == nullptr) return image;
  EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  EXPECT_EQ(gif->ImageCount, 1);
  if (gif->ImageCount == 1 && gif->SColorMap != nullptr) {
    const SavedImage& saved = gif->SavedImages[0];
    image.width = saved.ImageDesc.Width;
    image.height = saved.ImageDesc.Height;
    image.colours.assign(gif->SColorMap->Colors,
                         gif->SColorMap->Colors + gif->SColorMap->ColorCount);
    image.indices.assign(saved.RasterBits,
                         saved.RasterBits + std::size_t(image.width) * std::size_t(image.height));
  }
  DGifCloseFile(gif, &error);
  return image;
}

std::vector<std::uint8_t> gif_rgb(const GifImage& image) {
  std::vector<std::uint8_t> rgb;
  for (const GifByteType index : image.indices) {
    const GifColorType& c = image.colours.at(index);
    rgb.insert(rgb.end(), {c.Red, c.Green, c.Blue});
  }
  return rgb;
}

extern "C" int append_to_vector(GifFileType* gif, const GifByteType* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + size);
  return size;
}

// What giflib writes for the same colours and indices in one stream.
std::vector<std::uint8_t> giflib_bytes(const GifImage& image) {
  std::vector<std::uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, append_to_vector, &error);
  ColorMapObject* map =
      GifMakeMapObject(int(image.colours.size()), const_cast<GifColorType*>(image.colours.data()));
  EGifPutScreenDesc(gif, image.width, image.height, map->BitsPerPixel, 0, map);
  EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr);
  std::vector<GifByteType> row(std::size_t(image.width));
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(row.data(), &image.indices[std::size_t(y) * std::size_t(image.width)], row.size());
    EGifPutLine(gif, row.data(), image.width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

struct GifBandCase {
  const char* row;
  Surface (*make)();
  std::uint64_t band_bytes;
  bool one_band;
};

const GifBandCase kGifBands[] = {
    {"page_bands_repeated", [] { return repeating(PixelFormat::Gray8, 90, 500, 20, 230, 7, 2); },
     90 * 30, false},
    {"colour_bands_repeated", [] { return repeating(PixelFormat::Rgb32, 64, 300, 16, 40, 9, 12); },
     64 * 20, false},
    // 256 colours in noise: codes reach 12 bits and the table is cleared inside bands.
    {"full_tables_inside_bands", [] { return repeating(PixelFormat::Gray8, 300, 200, 200); },
     300 * 70, false},
    {"last_short_band", [] { return repeating(PixelFormat::Gray8, 41, 103, 103, -1, 0, 5); },
     41 * 10, false},
    {"bands_of_one_row", [] { return repeating(PixelFormat::Rgb32, 17, 23, 5, 7, 2, 3); }, 1,
     false},
    {"one_band", [] { return repeating(PixelFormat::Rgb32, 77, 55, 9, 20, 4, 100); },
     std::uint64_t(1) << 30, true},
    {"one_colour", [] { return Surface(13, 7, PixelFormat::Gray8, kWhite); },
     std::uint64_t(1) << 30, true},
    {"one_pixel", [] { return Surface(1, 1, PixelFormat::Rgb32, kWhite); }, 1, true},
};

class GifBands : public ::testing::TestWithParam<GifBandCase> {};

TEST_P(GifBands, PixelsKeptAndIndependentOfThreads) {
  const GifBandCase& c = GetParam();
  ScratchFolder folder;
  const Surface surface = c.make();
  const SurfaceRows rows(surface);
  const Write write = [](const RowSource& p, export_detail::AtomicFile& f,
                         export_detail::ProgressPacer& g,
                         const BandTuning& t) { export_detail::write_gif(p, f, g, t); };
  BandTuning tuning;
  tuning.band_bytes = c.band_bytes;
  tuning.most_period_band_bytes = c.band_bytes * 2;
  tuning.threads = 1;
  const auto path = folder.path() / "out.gif";
  const std::vector<std::uint8_t> file = encode(write, rows, tuning, path);
  for (const unsigned threads : {2u, 8u}) {
    tuning.threads = threads;
    EXPECT_EQ(encode(write, rows, tuning, folder.path() / "again.gif"), file)
        << threads << " threads";
  }
  EXPECT_EQ(encode(write, ClassedRows(surface, true), tuning, folder.path() / "classed.gif"), file);

  const GifImage image = decode_gif(path);
  ASSERT_EQ(image.width, surface.width());
  ASSERT_EQ(image.height, surface.height());
  const std::vector<std::uint8_t> expected = surface_rgb(surface);
  EXPECT_TRUE(gif_rgb(image) == expected) << "giflib decodes other pixels";
  EXPECT_TRUE(pillow_rgb(path) == expected) << "Pillow decodes other pixels";
  const std::vector<std::uint8_t> giflib = giflib_bytes(image);
  if (c.one_band) {
    EXPECT_EQ(first_difference(file, giflib), "same") << "one band is giflib's stream";
  } else {
    EXPECT_NE(file, giflib) << "bands are cut by clear codes";
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, GifBands, ::testing::ValuesIn(kGifBands),
                         [](const auto& row) { return std::string(row.param.row); });

// More colours than a palette holds: the error diffuses from row to row, so the rows are mapped
// in order in one stream, and a row class read once counts as often as it occurs.
TEST(GifDiffusedError, RowClassesGiveTheSameFile) {
  ScratchFolder folder;
  const Surface surface = repeating(PixelFormat::Rgb32, 120, 90, 10, 40, 20, 4096);
  const Write write = [](const RowSource& p, export_detail::AtomicFile& f,
                         export_detail::ProgressPacer& g,
                         const BandTuning& t) { export_detail::write_gif(p, f, g, t); };
  BandTuning tuning;
  tuning.band_bytes = 120 * 10;
  const auto plain = encode(write, SurfaceRows(surface), tuning, folder.path() / "plain.gif");
  tuning.threads = 8;
  EXPECT_EQ(encode(write, ClassedRows(surface, true), tuning, folder.path() / "classed.gif"),
            plain);
  const GifImage image = decode_gif(folder.path() / "plain.gif");
  EXPECT_EQ(first_difference(giflib_bytes(image), plain), "same")
      << "one stream, as giflib writes it";
}

// --- BMP --------------------------------------------------------------------------------------

struct BmpCase {
  const char* row;
  Surface (*make)();
  bool classes;
};

const BmpCase kBmpPictures[] = {
    {"capture", [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 301, 207); },
     false},
    {"capture_filled_rows",
     [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 77, 31); }, true},
    {"page", [] { return repeating(PixelFormat::Gray8, 333, 250, 17, 100, 9); }, false},
    {"page_with_row_classes", [] { return repeating(PixelFormat::Gray8, 333, 250, 17, 100, 9); },
     true},
    // Rows longer than one gathered piece, and files many MiB long: the writes' cuts fall inside
    // rows.
    {"page_rows_wider_than_a_piece", [] { return repeating(PixelFormat::Gray8, 1100000, 5, 2); },
     false},
    {"tall_page", [] { return repeating(PixelFormat::Gray8, 1000, 3000, 7, 1000, 500); }, true},
};

class BmpGathered : public ::testing::TestWithParam<BmpCase> {};

TEST_P(BmpGathered, PillowReadsThePicture) {
  ScratchFolder folder;
  const Surface surface = GetParam().make();
  const auto path = folder.path() / "out.bmp";
  if (GetParam().classes) {
    save_image(ClassedRows(surface, true), path);
  } else {
    save_image(surface, path);
  }
  EXPECT_EQ(std::filesystem::file_size(path),
            54 + std::uint64_t(surface.width()) * std::uint64_t(surface.height()) * 4);
  EXPECT_TRUE(pillow_rgb(path) == surface_rgb(surface)) << "Pillow reads other pixels";
}

INSTANTIATE_TEST_SUITE_P(Pictures, BmpGathered, ::testing::ValuesIn(kBmpPictures),
                         [](const auto& row) { return std::string(row.param.row); });

// --- failures ---------------------------------------------------------------------------------

// A picture whose row `failing_row` cannot be made from its `failing_read`-th read on, as a page
// made on the fly fails when the system refuses memory: the encoders read a row again on a band's
// thread after the palette pass or the row hashes.
class FailingRows final : public RowSource {
 public:
  FailingRows(const Surface& surface, std::int32_t failing_row, int failing_read)
      : surface_(surface), failing_row_(failing_row), failing_read_(failing_read) {}
  std::int32_t width() const override { return surface_.width(); }
  std::int32_t height() const override { return surface_.height(); }
  PixelFormat format() const override { return surface_.format(); }
  std::int32_t pixelsPerInch() const override { return 96; }
  const std::uint8_t* row(std::int32_t y, std::uint8_t* /*scratch*/) const override {
    if (y == failing_row_ && ++reads_ >= failing_read_) throw std::bad_alloc();
    return surface_.rowData(y);
  }

 private:
  const Surface& surface_;
  std::int32_t failing_row_;
  int failing_read_;
  mutable std::atomic<int> reads_{0};
};

struct FailureCase {
  const char* row;
  const char* file_name;
  std::int32_t failing_row;
  int failing_read;
};

const FailureCase kFailures[] = {
    {"jpeg_first_read", "out.jpg", 0, 1},
    {"jpeg_on_a_band_thread", "out.jpg", 150, 2},  // hashed, then encoded
    {"gif_palette_pass", "out.gif", 40, 1},
    {"gif_on_a_band_thread", "out.gif", 150, 3},  // hashed, compared with an equal row, mapped
    {"bmp", "out.bmp", 100, 1},
};

class BandFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(BandFailure, MemoryRefusedKeepsTheOldFileAndSaysSo) {
  ScratchFolder folder;
  const auto path = folder.path() / GetParam().file_name;
  testing_support::write_file(path, "old contents");
  const Surface surface = repeating(PixelFormat::Gray8, 200, 300, 300, -1, 0, 4);
  std::string message = "no error";
  try {
    save_image(FailingRows(surface, GetParam().failing_row, GetParam().failing_read), path);
  } catch (const std::exception& e) {
    message = e.what();
  }
  EXPECT_EQ(message, "Not enough memory to write " + path.string());
  const auto bytes = read_bytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old contents");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{GetParam().file_name});
}

INSTANTIATE_TEST_SUITE_P(Failures, BandFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& row) { return std::string(row.param.row); });

}  // namespace
}  // namespace lumigrid
