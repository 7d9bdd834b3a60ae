// TIFF and PDF files read back by other programs' readers: libtiff and Pillow for TIFF,
// poppler's tools for PDF. Each must give the picture pixel for pixel at its size on paper.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "export/export_internal.h"
#include "export/image_export.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using testing_support::gradient_surface;
using testing_support::page_like_surface;
using testing_support::read_bytes;
using testing_support::Rgb;
using testing_support::rgb_at;
using testing_support::ScratchFolder;

bool have_tool(const std::string& probe) {
  return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
}

// Standard output of `command`, or empty when it fails.
std::string run_output(const std::string& command) {
  std::string text;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return text;
  char buffer[4096];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) {
    text.append(buffer, n);
  }
  return text;
}

std::string quoted(const std::filesystem::path& path) {
  std::string text = path.string();
  text.insert(text.begin(), '\'');
  text.push_back('\'');
  return text;
}

// Counts the pixels whose (R, G, B) differ from the surface's, printing the first few.
int count_mismatches(const Surface& surface, const std::vector<std::uint8_t>& rgb) {
  const std::size_t expected = std::size_t(surface.width()) * std::size_t(surface.height()) * 3;
  EXPECT_EQ(rgb.size(), expected);
  if (rgb.size() != expected) return -1;
  int mismatches = 0;
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      const std::uint8_t* p =
          &rgb[(std::size_t(y) * std::size_t(surface.width()) + std::size_t(x)) * 3];
      const Rgb got{p[0], p[1], p[2]};
      if (got == rgb_at(surface, x, y)) continue;
      if (++mismatches <= 3) ADD_FAILURE() << "pixel " << x << "," << y << " differs";
    }
  }
  return mismatches;
}

Surface with_ppi(Surface surface, std::int32_t ppi) {
  surface.setPixelsPerInch(ppi);
  return surface;
}

struct TrueSizeCase {
  const char* row;
  Surface (*make)();
  int bits;    // per sample in the file
  double ppi;  // recorded resolution
  bool colour;
};

// Rows repeating every `period` rows, as a page's tiles do, but for one row in the middle: the
// writers that compress equal runs of rows once must still give every row its own pixels.
Surface repeating_surface(PixelFormat format, std::int32_t width, std::int32_t height,
                          std::int32_t period, bool bilevel) {
  Surface s(width, height, format);
  for (std::int32_t y = 0; y < height; ++y) {
    const std::int32_t phase = y == height / 2 ? period / 2 + 1 : y % period;
    for (std::int32_t x = 0; x < width; ++x) {
      const auto level = std::uint32_t((x * 5 + phase * 40) % 256);
      const std::uint32_t value = bilevel ? ((x / 3 + phase) % 2 == 0 ? 0u : 255u) : level;
      testing_support::put_pixel(
          s, x, y,
          format == PixelFormat::Gray8 ? value : (value << 16) | ((255 - value) << 8) | 77u);
    }
  }
  return s;
}

void PrintTo(const TrueSizeCase& c, std::ostream* os) {
  *os << c.row;
}

const auto kPictures = ::testing::Values(
    // A page of black and white only is stored at one bit a pixel; an odd width pads its rows.
    TrueSizeCase{"bilevel_page", [] { return page_like_surface(PixelFormat::Gray8, 203, 77); }, 1,
                 600, false},
    TrueSizeCase{"grey_page", [] { return gradient_surface(PixelFormat::Gray8, 150, 61); }, 8, 600,
                 false},
    // A window capture keeps its colours and the screen's resolution.
    TrueSizeCase{"capture",
                 [] { return with_ppi(gradient_surface(PixelFormat::Rgb32, 160, 90), 120); }, 8,
                 120, true},
    // Tall enough for several strips and segments, most of them equal, the last one short.
    TrueSizeCase{"repeating_bilevel_page",
                 [] { return repeating_surface(PixelFormat::Gray8, 9000, 1200, 4, true); }, 1, 600,
                 false},
    TrueSizeCase{"repeating_grey_page",
                 [] { return repeating_surface(PixelFormat::Gray8, 9000, 300, 6, false); }, 8, 600,
                 false},
    TrueSizeCase{
        "repeating_capture",
        [] { return with_ppi(repeating_surface(PixelFormat::Rgb32, 3000, 301, 6, false), 120); }, 8,
        120, true});

// --- TIFF ------------------------------------------------------------------------------------

class TiffReadBack : public ::testing::TestWithParam<TrueSizeCase> {};

TEST_P(TiffReadBack, LibtiffGivesThePixelsAndTheResolution) {
  const TrueSizeCase& c = GetParam();
  ScratchFolder folder;
  const auto path = folder.path() / "out.tif";
  const Surface surface = c.make();
  save_image(surface, path);

  std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "r"), TIFFClose);
  ASSERT_TRUE(tiff);
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 0, samples = 0, photometric = 0, compression = 0, unit = 0;
  float x_resolution = 0, y_resolution = 0;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tiff.get(), TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &x_resolution);
  TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &y_resolution);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
  EXPECT_EQ(width, std::uint32_t(surface.width()));
  EXPECT_EQ(height, std::uint32_t(surface.height()));
  EXPECT_EQ(bits, c.bits);
  EXPECT_EQ(samples, c.colour ? 3 : 1);
  EXPECT_EQ(photometric, c.colour ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  EXPECT_EQ(compression, COMPRESSION_ADOBE_DEFLATE);
  EXPECT_EQ(x_resolution, float(c.ppi));
  EXPECT_EQ(y_resolution, float(c.ppi));
  EXPECT_EQ(unit, RESUNIT_INCH);
  EXPECT_EQ(TIFFNumberOfDirectories(tiff.get()), 1);

  std::vector<std::uint8_t> line(std::size_t(TIFFScanlineSize(tiff.get())));
  std::vector<std::uint8_t> rgb;
  for (std::uint32_t y = 0; y < height; ++y) {
    ASSERT_EQ(TIFFReadScanline(tiff.get(), line.data(), y, 0), 1);
    for (std::uint32_t x = 0; x < width; ++x) {
      if (c.colour) {
        rgb.insert(rgb.end(), &line[x * 3], &line[x * 3] + 3);
      } else {
        const std::uint8_t level =
            bits == 1 ? ((line[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0) : line[x];
        rgb.insert(rgb.end(), {level, level, level});
      }
    }
  }
  EXPECT_EQ(count_mismatches(surface, rgb), 0);
}

// The first Python on the search path may be a private one without the system's Pillow.
std::string python_with_pillow() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    if (have_tool(std::string(python) + " -c 'import PIL'")) return python;
  }
  return {};
}

TEST_P(TiffReadBack, PillowGivesThePixelsAndTheResolution) {
  const std::string python = python_with_pillow();
  if (python.empty()) GTEST_SKIP() << "NEEDED TOOL MISSING: python3 with Pillow (python3-pil)";
  const TrueSizeCase& c = GetParam();
  ScratchFolder folder;
  const auto path = folder.path() / "out.tiff";
  const auto pixels = folder.path() / "pixels.rgb";
  const Surface surface = c.make();
  save_image(surface, path);

  const std::string script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "print(im.mode, im.size[0], im.size[1], *['%g' % float(d) for d in im.info['dpi']])\n"
      "open(sys.argv[2], 'wb').write(im.convert('RGB').tobytes())\n";
  const std::string said =
      run_output(python + " -c \"" + script + "\" " + quoted(path) + " " + quoted(pixels));
  std::ostringstream expected;
  expected << (c.colour      ? "RGB"
               : c.bits == 1 ? "1"
                             : "L")
           << ' ' << surface.width() << ' ' << surface.height() << ' ' << c.ppi << ' ' << c.ppi
           << '\n';
  EXPECT_EQ(said, expected.str());
  EXPECT_EQ(count_mismatches(surface, read_bytes(pixels)), 0);
}

INSTANTIATE_TEST_SUITE_P(Pictures, TiffReadBack, kPictures,
                         [](const auto& row) { return row.param.row; });
// Rows longer than a strip's bytes are written one by one.
INSTANTIATE_TEST_SUITE_P(
    WideRows, TiffReadBack,
    ::testing::Values(
        TrueSizeCase{"capture_wider_than_a_strip",
                     [] { return with_ppi(gradient_surface(PixelFormat::Rgb32, 90000, 3), 120); },
                     8, 120, true},
        TrueSizeCase{"bilevel_page_wider_than_a_strip",
                     [] { return repeating_surface(PixelFormat::Gray8, 2100000, 2, 2, true); }, 1,
                     600, false}),
    [](const auto& row) { return row.param.row; });

// --- PDF -------------------------------------------------------------------------------------

bool have_poppler() {
  return have_tool("pdfinfo -v") && have_tool("pdfimages -v") && have_tool("pdftocairo -v");
}

// The page's MediaBox width and height in points as pdfinfo reads them; the size pdfinfo
// gives viewers ("Page size") must agree with it.
std::pair<double, double> page_points(const std::filesystem::path& pdf) {
  const std::string info = run_output("pdfinfo -box " + quoted(pdf));
  double left = 0, bottom = 0, right = 0, top = 0;
  const std::size_t box_at = info.find("MediaBox:");
  if (box_at == std::string::npos || std::sscanf(info.c_str() + box_at, "MediaBox: %lf %lf %lf %lf",
                                                 &left, &bottom, &right, &top) != 4) {
    ADD_FAILURE() << "no MediaBox in\n" << info;
    return {0, 0};
  }
  double width = 0, height = 0;
  const std::size_t size_at = info.find("Page size:");
  if (size_at != std::string::npos) {
    std::sscanf(info.c_str() + size_at, "Page size: %lf x %lf", &width, &height);
  }
  EXPECT_NEAR(width, right - left, 0.01) << info;
  EXPECT_NEAR(height, top - bottom, 0.01) << info;
  return {right - left, top - bottom};
}

// The rows of `pdfimages -list` below its two heading lines, each split into its columns.
std::vector<std::vector<std::string>> listed_images(const std::filesystem::path& pdf) {
  std::istringstream lines(run_output("pdfimages -list " + quoted(pdf)));
  std::vector<std::vector<std::string>> rows;
  std::string line;
  for (int n = 0; std::getline(lines, line); ++n) {
    if (n < 2) continue;
    std::istringstream words(line);
    std::vector<std::string> columns;
    for (std::string word; words >> word;) columns.push_back(word);
    rows.push_back(columns);
  }
  return rows;
}

// pdftocairo's picture of the page at `ppi`, as R, G, B bytes (grey rendering when `grey`).
std::vector<std::uint8_t> rendered(const std::filesystem::path& pdf, double ppi, bool grey,
                                   std::int32_t& width, std::int32_t& height) {
  const auto base = pdf.parent_path() / "rendered";
  std::ostringstream command;
  command << "pdftocairo -png -singlefile -r " << ppi << (grey ? " -gray " : " ") << quoted(pdf)
          << ' ' << quoted(base);
  EXPECT_EQ(std::system(command.str().c_str()), 0) << command.str();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<std::uint8_t> rgb;
  if (!png_image_begin_read_from_file(&image, (base.string() + ".png").c_str())) return rgb;
  image.format = PNG_FORMAT_RGB;
  rgb.resize(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
  width = std::int32_t(image.width);
  height = std::int32_t(image.height);
  return rgb;
}

// The PDF rendered at `ppi` is `expected`, pixel for pixel and size for size.
void expect_rendered_as(const std::filesystem::path& pdf, double ppi, bool grey,
                        const Surface& expected) {
  std::int32_t width = 0, height = 0;
  const auto rgb = rendered(pdf, ppi, grey, width, height);
  EXPECT_EQ(width, expected.width());
  EXPECT_EQ(height, expected.height());
  EXPECT_EQ(count_mismatches(expected, rgb), 0);
}

// A sheet as it should print: white, with the part of `page` at its place.
Surface sheet_picture(const Surface& page, const PdfSheet& sheet) {
  Surface expected(std::int32_t(std::lround(sheet.width_points / 72 * 600)),
                   std::int32_t(std::lround(sheet.height_points / 72 * 600)), PixelFormat::Gray8,
                   kWhite);
  for (std::int32_t y = 0; y < sheet.source_height; ++y) {
    for (std::int32_t x = 0; x < sheet.source_width; ++x) {
      expected.rowData(sheet.top + y)[sheet.left + x] =
          page.rowData(sheet.source_y + y)[sheet.source_x + x];
    }
  }
  if (!sheet.quarter_turn) return expected;
  // Turned counterclockwise onto the paper: the sheet's top-left corner at the paper's
  // bottom-left.
  Surface turned(expected.height(), expected.width(), PixelFormat::Gray8, kWhite);
  for (std::int32_t y = 0; y < expected.height(); ++y) {
    for (std::int32_t x = 0; x < expected.width(); ++x) {
      turned.rowData(expected.width() - 1 - x)[y] = expected.rowData(y)[x];
    }
  }
  return turned;
}

class PdfReadBack : public ::testing::TestWithParam<TrueSizeCase> {};

TEST_P(PdfReadBack, OnePageOfThePaperSizeHoldingOneImageRenderedBackExactly) {
  if (!have_poppler()) GTEST_SKIP() << "NEEDED TOOL MISSING: pdfinfo, pdfimages, pdftocairo";
  const TrueSizeCase& c = GetParam();
  ScratchFolder folder;
  const auto path = folder.path() / "out.pdf";
  const Surface surface = c.make();
  save_image(surface, path);

  const auto [width_pt, height_pt] = page_points(path);
  EXPECT_NEAR(width_pt, surface.width() * 72 / c.ppi, 0.005);
  EXPECT_NEAR(height_pt, surface.height() * 72 / c.ppi, 0.005);

  const auto images = listed_images(path);
  ASSERT_EQ(images.size(), 1u);
  // page num type width height color comp bpc enc interp ...
  ASSERT_GE(images[0].size(), 10u);
  EXPECT_EQ(images[0][2], "image");
  EXPECT_EQ(images[0][3], std::to_string(surface.width()));
  EXPECT_EQ(images[0][4], std::to_string(surface.height()));
  EXPECT_EQ(images[0][5], c.colour ? "rgb" : "gray");
  EXPECT_EQ(images[0][7], std::to_string(c.bits));
  EXPECT_EQ(images[0][9], "no");  // not interpolated

  expect_rendered_as(path, c.ppi, !c.colour, surface);
}

INSTANTIATE_TEST_SUITE_P(Pictures, PdfReadBack, kPictures,
                         [](const auto& row) { return row.param.row; });

// The paper an A4 page is for: 297 x 210 mm within a tenth of a millimetre, and the page's
// 7016 x 4961 pixels coming back one for one at 600 dpi.
TEST(PdfPaperSize, A4PageIsA4Paper) {
  if (!have_poppler()) GTEST_SKIP() << "NEEDED TOOL MISSING: pdfinfo, pdfimages, pdftocairo";
  ScratchFolder folder;
  const auto path = folder.path() / "a4.pdf";
  const Surface page = page_like_surface(PixelFormat::Gray8, 7016, 4961);
  save_image(page, path);
  const auto [width_pt, height_pt] = page_points(path);
  EXPECT_NEAR(width_pt / 72 * 25.4, 297, 0.1);
  EXPECT_NEAR(height_pt / 72 * 25.4, 210, 0.1);
  expect_rendered_as(path, 600, true, page);
}

// A sheet carrying part of a page: the sheet's size, the part's pixels at their place at 600
// dpi, white round them, and one bit a pixel still.
struct SheetCase {
  const char* row;
  PdfSheet sheet;
};

void PrintTo(const SheetCase& c, std::ostream* os) {
  *os << c.row;
}

class PdfSheetReadBack : public ::testing::TestWithParam<SheetCase> {};

TEST_P(PdfSheetReadBack, ThePartLiesOnTheSheetPixelForPixel) {
  if (!have_poppler()) GTEST_SKIP() << "NEEDED TOOL MISSING: pdfinfo, pdfimages, pdftocairo";
  const PdfSheet& sheet = GetParam().sheet;
  ScratchFolder folder;
  const auto path = folder.path() / "sheet.pdf";
  const Surface page = page_like_surface(PixelFormat::Gray8, 203, 77);
  save_pdf_sheet(page, path, sheet);

  const auto [width_pt, height_pt] = page_points(path);
  EXPECT_NEAR(width_pt, sheet.quarter_turn ? sheet.height_points : sheet.width_points, 0.0001);
  EXPECT_NEAR(height_pt, sheet.quarter_turn ? sheet.width_points : sheet.height_points, 0.0001);
  const auto images = listed_images(path);
  ASSERT_EQ(images.size(), 1u);
  ASSERT_GE(images[0].size(), 10u);
  EXPECT_EQ(images[0][3], std::to_string(sheet.source_width));
  EXPECT_EQ(images[0][4], std::to_string(sheet.source_height));
  EXPECT_EQ(images[0][7], "1");

  expect_rendered_as(path, 600, true, sheet_picture(page, sheet));
}

PdfSheet sheet_of(double width_pixels, double height_pixels, std::int32_t left, std::int32_t top,
                  std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  bool quarter_turn = false) {
  return {width_pixels * 0.12, height_pixels * 0.12, left, top, x, y, width, height, quarter_turn};
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, PdfSheetReadBack,
    ::testing::Values(
        SheetCase{"whole_page_in_margins", sheet_of(243, 117, 20, 20, 0, 0, 203, 77)},
        // The page's far part cut off by the sheet; the origin off the sheet's corner.
        SheetCase{"top_left_part", sheet_of(120, 50, 9, 7, 0, 0, 100, 40)},
        SheetCase{"inner_part_at_the_corner", sheet_of(64, 30, 0, 0, 101, 13, 64, 30)},
        // A landscape page on a portrait paper, its margins unequal: the paper is portrait and
        // the page lies on it turned, each margin where the layout put it.
        SheetCase{"turned_onto_portrait_paper", sheet_of(240, 110, 23, 5, 0, 0, 203, 77, true)}),
    [](const auto& row) { return row.param.row; });

// A part large enough to be compressed in segments, most of them equal: every row still comes
// back as drawn, its columns cut at the part's edges.
TEST(PdfSheetReadBackLarge, RepeatingGreyPartComesBackPixelForPixel) {
  if (!have_poppler()) GTEST_SKIP() << "NEEDED TOOL MISSING: pdfinfo, pdfimages, pdftocairo";
  ScratchFolder folder;
  const auto path = folder.path() / "sheet.pdf";
  const Surface page = repeating_surface(PixelFormat::Gray8, 3000, 3000, 6, false);
  const PdfSheet sheet = sheet_of(3000, 3000, 10, 10, 10, 10, 2980, 2980);
  save_pdf_sheet(page, path, sheet);
  expect_rendered_as(path, 600, true, sheet_picture(page, sheet));
}

// A page wider than the 14400 units readers take on a side (here 14640 points: a capture of 6100
// pixels at 30 dpi) is described in units of two points: the same size on paper, the same pixels.
TEST(PdfPaperSize, PageWiderThanReadersTakeUsesLargerUnits) {
  if (!have_poppler()) GTEST_SKIP() << "NEEDED TOOL MISSING: pdfinfo, pdfimages, pdftocairo";
  ScratchFolder folder;
  const auto path = folder.path() / "wide.pdf";
  const Surface page = with_ppi(gradient_surface(PixelFormat::Rgb32, 6100, 40), 30);
  save_image(page, path);
  const auto [width_units, height_units] = page_points(path);
  EXPECT_NEAR(width_units, 6100 * 72 / 30.0 / 2, 0.01);
  EXPECT_NEAR(height_units, 40 * 72 / 30.0 / 2, 0.01);
  const std::string info = run_output("pdfinfo " + quoted(path));
  double version = 0;
  const std::size_t version_at = info.find("PDF version:");
  ASSERT_NE(version_at, std::string::npos) << info;
  std::sscanf(info.c_str() + version_at, "PDF version: %lf", &version);
  EXPECT_GE(version, 1.6) << info;
  // The page's dictionary is written uncompressed.
  std::ifstream file(path, std::ios::binary);
  std::string bytes(std::filesystem::file_size(path), '\0');
  file.read(bytes.data(), std::streamsize(bytes.size()));
  EXPECT_NE(bytes.find("/UserUnit 2"), std::string::npos);
  // Pixels come back one for one at twice the resolution of the units.
  expect_rendered_as(path, 60, false, page);
}

// BigTIFF only where a classic TIFF's offsets might not reach: a black-and-white page of more
// than 4 G pixels packs into far less than 4 GiB.
struct BigTiffCase {
  const char* row;
  std::int64_t width, height;
  int samples;
  bool big;
};

class BigTiffChoice : public ::testing::TestWithParam<BigTiffCase> {};

TEST_P(BigTiffChoice, OnlyWhereTheRawRowsPassTheClassicLimit) {
  const BigTiffCase& c = GetParam();
  EXPECT_EQ(export_detail::tiff_needs_bigtiff(c.width, c.height, c.samples), c.big);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BigTiffChoice,
    ::testing::Values(BigTiffCase{"BilevelB0", 33402, 23622, 0, false},
                      BigTiffCase{"BilevelOver4GPixels", 70000, 70000, 0, false},
                      BigTiffCase{"BilevelOver30GPixels", 200000, 200000, 0, true},
                      BigTiffCase{"GreyOver4GPixels", 70000, 70000, 1, true},
                      BigTiffCase{"GreyJustBelow", 0xF0000000ll / 65536, 65536, 1, false},
                      BigTiffCase{"GreyJustAbove", 0xF0000000ll / 65536 + 1, 65536, 1, true},
                      BigTiffCase{"ColourCapture", 1920, 1080, 3, false}),
    [](const auto& row) { return std::string(row.param.row); });

// A part that is not on the page, or a sheet of no size, is refused before anything is written.
TEST(PdfSheetRefused, PartOutsideThePageWritesNothing) {
  ScratchFolder folder;
  const auto path = folder.path() / "sheet.pdf";
  const Surface page = page_like_surface(PixelFormat::Gray8, 20, 10);
  for (const PdfSheet& sheet :
       {sheet_of(30, 30, 0, 0, 15, 0, 10, 10), sheet_of(30, 30, 0, 0, 0, 0, 20, 11),
        sheet_of(30, 30, 0, 0, -1, 0, 5, 5), sheet_of(30, 30, 0, 0, 0, 0, 0, 5),
        sheet_of(0, 30, 0, 0, 0, 0, 5, 5), sheet_of(30, 30, -2, 0, 0, 0, 5, 5)}) {
    EXPECT_THROW(save_pdf_sheet(page, path, sheet), WriteError);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

}  // namespace
}  // namespace lumigrid
