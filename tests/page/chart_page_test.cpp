#include "page/chart_page.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/utf.h"
#include "export/image_export.h"
#include "page/page_build.h"
#include "page/page_view.h"

namespace lumigrid {
namespace {

constexpr std::uint64_t kPlenty = std::uint64_t(16) << 30;

// The first row where the description and the bitmap differ, as "row y, column x".
std::string first_difference(const ChartPage& page, const Surface& bitmap) {
  std::vector<std::uint8_t> scratch(std::size_t(page.width()));
  for (std::int32_t y = 0; y < bitmap.height(); ++y) {
    const std::uint8_t* row = page.row(y, scratch.data());
    if (std::memcmp(row, bitmap.rowData(y), scratch.size()) == 0) continue;
    for (std::int32_t x = 0; x < bitmap.width(); ++x) {
      if (row[x] != bitmap.rowData(y)[x]) {
        return "row " + std::to_string(y) + ", column " + std::to_string(x);
      }
    }
  }
  return "";
}

struct PageCase {
  const char* name;
  const char* text;  // a drawing-area text: a list row or a typed size
  ChartParameters chart;
  std::int32_t pixels_per_inch;
};

std::ostream& operator<<(std::ostream& os, const PageCase& c) {
  return os << c.name;
}

class ChartPageRows : public ::testing::TestWithParam<PageCase> {};

// Every row the description gives is the row the page bitmap holds.
TEST_P(ChartPageRows, EqualTheBitmapPage) {
  const PageCase& c = GetParam();
  const std::u16string text = utf16_from_utf8(c.text);
  const PageRequest request{c.chart, c.pixels_per_inch};
  const PageBuild bitmap = build_page(text, request, kPlenty);
  const ChartPageBuild described = build_chart_page(text, request, kPlenty);
  ASSERT_EQ(described.page->width(), bitmap.page.width());
  ASSERT_EQ(described.page->height(), bitmap.page.height());
  EXPECT_EQ(first_difference(*described.page, bitmap.page), "");
}

const PageCase kListRows[] = {
    {"qHD", "qHD", {100, 8, 50}, 96},   {"r1280x720", "1280x720", {100, 8, 50}, 96},
    {"FHD", "FHD", {100, 8, 50}, 96},   {"QHD", "QHD", {100, 8, 50}, 96},
    {"UHD", "UHD-1", {100, 8, 50}, 96}, {"r8K", "8K", {100, 8, 50}, 96},
    {"r16K", "16K", {100, 8, 50}, 96},  {"r24K", "24K", {100, 8, 50}, 96},
    {"r32K", "32K", {100, 8, 50}, 96},  {"A5", "A5", {100, 8, 50}, 96},
    {"A4", "A4", {100, 8, 50}, 96},     {"A3", "A3", {100, 8, 50}, 96},
    {"A2", "A2", {100, 8, 50}, 96},     {"A1", "A1", {100, 8, 50}, 96},
    {"A0", "A0", {100, 8, 50}, 96},     {"B5", "B5", {100, 8, 50}, 96},
    {"B4", "B4", {100, 8, 50}, 96},     {"B3", "B3", {100, 8, 50}, 96},
    {"B2", "B2", {100, 8, 50}, 96},     {"B1", "B1", {100, 8, 50}, 96},
    {"B0", "B0", {100, 8, 50}, 96},
};
INSTANTIATE_TEST_SUITE_P(ListRows, ChartPageRows, ::testing::ValuesIn(kListRows),
                         [](const auto& row) { return std::string(row.param.name); });

const PageCase kTypedSizes[] = {
    {"TilesDivideIt", "2000x1000", {100, 8, 50}, 96},
    {"TilesDoNotDivideIt", "2037x1011", {100, 8, 50}, 96},
    {"SmallerThanATile", "37x23", {100, 8, 50}, 96},
    {"OneRow", "5001x1", {100, 8, 50}, 96},
    {"OneColumn", "1x3001", {100, 8, 50}, 96},
    {"OddSpace", "3333x2222", {37, 3, 11}, 96},
    {"SmallestSpace", "1500x900", {10, 1, 5}, 96},
    {"LargeSpace", "9000x5000", {1500, 20, 700}, 96},
    {"WidePens", "3000x2000", {300, 150, 150}, 96},
    {"CaptionOnHighDpi", "4000x2600", {100, 8, 50}, 192},
    {"CaptionWiderThanThePage", "120x1900", {100, 8, 50}, 96},
};
INSTANTIATE_TEST_SUITE_P(TypedSizes, ChartPageRows, ::testing::ValuesIn(kTypedSizes),
                         [](const auto& row) { return std::string(row.param.name); });

// Parts of rows, single pixels and block sums agree with the bitmap too: they are what the
// viewer reads.
TEST(ChartPage, PartsAndBlockSumsEqualTheBitmap) {
  const std::u16string text = u"3217x2011";
  const PageRequest request{{100, 8, 50}, 96};
  const PageBuild bitmap = build_page(text, request, kPlenty);
  const auto page = build_chart_page(text, request, kPlenty).page;
  ASSERT_LT(page->columns().smallLength(), page->width());  // periods are left out
  std::mt19937 random(7);
  const auto uniform = [&](std::int64_t below) {
    return std::int64_t(random() % std::uint64_t(below));
  };
  std::vector<std::uint8_t> part(std::size_t(page->width()));
  for (int i = 0; i < 300; ++i) {
    const auto y = std::int32_t(i < 40 ? i : uniform(page->height()));  // the caption's rows too
    const std::int64_t left = uniform(page->width());
    const std::int64_t right = left + 1 + uniform(page->width() - left);
    page->fillRow(y, left, right, part.data());
    ASSERT_EQ(std::memcmp(part.data(), bitmap.page.rowData(y) + left, std::size_t(right - left)), 0)
        << "row " << y << " [" << left << ", " << right << ")";
    const auto x = std::int32_t(uniform(page->width()));
    ASSERT_EQ(page->pixel(x, y), bitmap.page.rowData(y)[x]) << x << ", " << y;
  }
  for (int i = 0; i < 200; ++i) {
    const std::int64_t top = i < 50 ? uniform(60) : uniform(page->height());
    const std::int64_t bottom =
        top + 1 + uniform(std::min<std::int64_t>(900, page->height() - top));
    std::vector<std::int64_t> firsts, lasts;
    for (std::int64_t x = uniform(200); x < page->width();) {
      const std::int64_t w = 1 + uniform(700);
      firsts.push_back(x);
      lasts.push_back(std::min<std::int64_t>(page->width(), x + w));
      x += w;
    }
    std::vector<std::uint64_t> sums(firsts.size());
    page->blockSums(top, bottom, firsts, lasts, sums.data());
    for (std::size_t b = 0; b < firsts.size(); ++b) {
      std::uint64_t expected = 0;
      for (std::int64_t y = top; y < bottom; ++y) {
        for (std::int64_t x = firsts[b]; x < lasts[b]; ++x) {
          expected += bitmap.page.rowData(std::int32_t(y))[x];
        }
      }
      ASSERT_EQ(sums[b], expected) << "rows [" << top << ", " << bottom << ") columns ["
                                   << firsts[b] << ", " << lasts[b] << ")";
    }
  }
}

// The viewer's picture read from the description is the picture read from the page bitmap, at
// fit, at 1:1 and at several zooms, for exposed parts anywhere on it.
TEST(ChartPage, ViewerShowsWhatTheBitmapShows) {
  for (const char16_t* text : {u"A4", u"2037x1011"}) {
    const PageRequest request{{100, 8, 50}, 96};
    const PageBuild bitmap = build_page(text, request, kPlenty);
    const auto page = build_chart_page(text, request, kPlenty).page;
    const SurfacePixels reference_pixels(bitmap.page);
    const PageView described(*page), reference(reference_pixels);
    const std::int32_t w = page->width(), h = page->height();
    struct Shown {
      std::int32_t width, height;
    };
    for (const Shown shown :
         {Shown{963, 541}, Shown{w / 7, h / 7}, Shown{w / 2, h / 2}, Shown{w, h},
          Shown{w * 3 / 2, h * 3 / 2}, Shown{w * 4, h * 4}, Shown{37, 29}, Shown{w, h / 3}}) {
      for (const ViewRect area : {ViewRect{0, 0, 700, 500}, ViewRect{123, 45, 300, 200},
                                  ViewRect{shown.width - 200, shown.height - 100, 400, 300}}) {
        std::vector<std::uint8_t> a(std::size_t(area.width) * std::size_t(area.height), 77);
        std::vector<std::uint8_t> b = a;
        described.render(shown.width, shown.height, area, a.data(), std::size_t(area.width));
        reference.render(shown.width, shown.height, area, b.data(), std::size_t(area.width));
        ASSERT_EQ(a, b) << "page " << w << "x" << h << " shown " << shown.width << "x"
                        << shown.height << " at " << area.left << "," << area.top;
      }
    }
  }
}

std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(std::filesystem::file_size(path), '\0');
  in.read(bytes.data(), std::streamsize(bytes.size()));
  return bytes;
}

// Every file type written from the description holds the bytes written from the bitmap; the PNG
// of a page large enough to be compressed in segments reads each class of rows once.
TEST(ChartPage, SavedFilesEqualTheBitmapPages) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("chart-page-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  for (const char16_t* text : {u"3217x2011", u"A3"}) {
    const PageRequest request{{37, 3, 11}, 96};
    const PageBuild bitmap = build_page(text, request, kPlenty);
    const auto page = build_chart_page(text, request, kPlenty).page;
    for (const char* extension : {".png", ".tif", ".pdf", ".bmp", ".jpg", ".gif"}) {
      save_image(bitmap.page, folder / (std::string("bitmap") + extension));
      save_image(*page, folder / (std::string("described") + extension));
      EXPECT_EQ(file_bytes(folder / (std::string("bitmap") + extension)),
                file_bytes(folder / (std::string("described") + extension)))
          << extension;
    }
  }
  std::filesystem::remove_all(folder);
}

// A page far larger than memory is described in little: the small page keeps a few periods.
TEST(ChartPage, HugePageTakesLittleMemory) {
  const auto b0 = ChartPage::make(33402, 23622, {100, 8, 50}, 96, std::uint64_t(64) << 20);
  EXPECT_LT(b0->bytes(), std::uint64_t(64) << 20);
  const auto page = ChartPage::make(200000, 200000, {100, 8, 50}, 96, std::uint64_t(128) << 20);
  EXPECT_LT(page->bytes(), std::uint64_t(64) << 20);
  EXPECT_LT(page->smallPage().width(), 1000);
  const auto widest = ChartPage::make(2147483647, 1, {100, 8, 50}, 96, std::uint64_t(128) << 20);
  EXPECT_LT(widest->bytes(), std::uint64_t(64) << 20);
}

TEST(ChartPage, RefusesWhatItCannotDescribe) {
  EXPECT_THROW(ChartPage::make(-1, 10, {100, 8, 50}, 96, kPlenty), Error);
  EXPECT_THROW(ChartPage::make(10, 10, {0, 8, 50}, 96, kPlenty), Error);
  try {
    (void)ChartPage::make(33402, 23622, {100, 8, 50}, 96, 1000);
    FAIL() << "no memory error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Not enough memory for a page of 33402 x 23622 pixels");
  }
}

}  // namespace
}  // namespace lumigrid
