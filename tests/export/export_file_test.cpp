#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "base/errors.h"
#include "export/export_internal.h"
#include "export/image_export.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using testing_support::gradient_surface;
using testing_support::page_like_surface;
using testing_support::read_bytes;
using testing_support::rgb_at;
using testing_support::ScratchFolder;
using testing_support::write_file;

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint16_t(b[at] | b[at + 1] << 8);
}

// An empty progress callback written as {} must not be taken for an encoding: the name's
// extension still decides.
TEST(SaveImageByName, EmptyProgressKeepsTheExtensionsEncoding) {
  ScratchFolder folder;
  const auto path = folder.path() / "page.png";
  save_image(page_like_surface(PixelFormat::Gray8, 4, 3), path, {});
  const auto b = read_bytes(path);
  ASSERT_GE(b.size(), 8u);
  EXPECT_EQ(std::string(b.begin() + 1, b.begin() + 4), "PNG");
}

struct BmpCase {
  const char* row;
  PixelFormat format;
  std::int32_t width, height;
};

class BmpRoundTrip : public ::testing::TestWithParam<BmpCase> {};

TEST_P(BmpRoundTrip, HeadersAndBottomUpPixelsAt32Bits) {
  const BmpCase& c = GetParam();
  ScratchFolder folder;
  const auto path = folder.path() / "out.bmp";
  const Surface surface = gradient_surface(c.format, c.width, c.height);
  save_image_as(surface, path, ImageEncoding::Bmp);

  const auto b = read_bytes(path);
  const std::uint64_t image_bytes = std::uint64_t(c.width) * std::uint64_t(c.height) * 4;
  ASSERT_EQ(b.size(), 54 + image_bytes);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(le32(b, 2), b.size());
  EXPECT_EQ(le32(b, 10), 54u);
  EXPECT_EQ(le32(b, 14), 40u);
  EXPECT_EQ(le32(b, 18), std::uint32_t(c.width));
  EXPECT_EQ(le32(b, 22), std::uint32_t(c.height));
  EXPECT_EQ(le16(b, 26), 1);
  EXPECT_EQ(le16(b, 28), 32);
  EXPECT_EQ(le32(b, 30), 0u);
  EXPECT_EQ(le32(b, 34), image_bytes);
  for (std::int32_t y = 0; y < c.height; ++y) {
    for (std::int32_t x = 0; x < c.width; ++x) {
      const std::size_t at =
          54 + (std::size_t(c.height - 1 - y) * std::size_t(c.width) + std::size_t(x)) * 4;
      const auto expected = rgb_at(surface, x, y);
      ASSERT_EQ((testing_support::Rgb{b[at + 2], b[at + 1], b[at]}), expected)
          << "x " << x << " y " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, BmpRoundTrip,
                         ::testing::Values(BmpCase{"window", PixelFormat::Rgb32, 7, 5},
                                           BmpCase{"page", PixelFormat::Gray8, 7, 5},
                                           BmpCase{"one_pixel", PixelFormat::Rgb32, 1, 1},
                                           BmpCase{"page_row_over_a_mebibyte", PixelFormat::Gray8,
                                                   270000, 2},
                                           BmpCase{"empty", PixelFormat::Rgb32, 0, 0}),
                         [](const auto& row) { return row.param.row; });

struct EncodingCase {
  const char* row;
  ImageEncoding encoding;
  const char* file_name;
};

const auto kAllEncodings = ::testing::Values(EncodingCase{"bmp", ImageEncoding::Bmp, "out.bmp"},
                                             EncodingCase{"png", ImageEncoding::Png, "out.png"},
                                             EncodingCase{"jpeg", ImageEncoding::Jpeg, "out.jpg"},
                                             EncodingCase{"gif", ImageEncoding::Gif, "out.gif"},
                                             EncodingCase{"tiff", ImageEncoding::Tiff, "out.tif"},
                                             EncodingCase{"pdf", ImageEncoding::Pdf, "out.pdf"});

class SaveToFile : public ::testing::TestWithParam<EncodingCase> {};

// A failure half-way leaves the file that was there before, and no temporary file behind.
TEST_P(SaveToFile, ThrowingProgressKeepsExistingFile) {
  ScratchFolder folder;
  const auto path = folder.path() / GetParam().file_name;
  write_file(path, "old contents");
  const Surface surface = gradient_surface(PixelFormat::Rgb32, 40, 300);
  auto stop_half_way = [](double done) {
    if (done >= 0.5) throw std::runtime_error("stopped");
  };
  EXPECT_THROW(save_image_as(surface, path, GetParam().encoding, stop_half_way),
               std::runtime_error);
  const auto bytes = read_bytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old contents");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{GetParam().file_name});
}

// The system refusing memory or a compressing thread half-way through a save: the message names
// the file, an existing file stays as it was and a new one does not appear. Other system errors
// keep their own message.
struct MemoryFailureCase {
  const char* name;
  void (*raise)();
  const char* message;  // what follows the path's text; empty: not turned into a memory error
};

const MemoryFailureCase kMemoryFailures[] = {
    {"allocation", [] { throw std::bad_alloc(); }, "Not enough memory to write "},
    {"thread",
     [] {
       throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
     },
     "Not enough memory to write "},
    {"other_system_error",
     [] { throw std::system_error(std::make_error_code(std::errc::io_error)); }, ""},
};

// Runs `save` with a progress callback that raises each failure half-way: a memory failure is
// named with the file, any other system error passes unchanged, and no partial file is left.
void expect_memory_failures_named(
    const std::string& file_name,
    const std::function<void(const std::filesystem::path&, const ProgressCallback&)>& save) {
  for (const MemoryFailureCase& failure : kMemoryFailures) {
    for (const bool existing : {true, false}) {
      SCOPED_TRACE(std::string(failure.name) + (existing ? ", replacing a file" : ", new file"));
      ScratchFolder folder;
      const auto path = folder.path() / file_name;
      if (existing) write_file(path, "old contents");
      const auto raise = failure.raise;
      auto fail_half_way = [raise](double done) {
        if (done >= 0.5) raise();
      };
      std::string message;
      try {
        save(path, fail_half_way);
      } catch (const WriteError& e) {
        message = e.what();
      } catch (const std::system_error& e) {
        message = std::string("system error: ") + e.what();
      }
      if (failure.message[0] != '\0') {
        EXPECT_EQ(message, failure.message + path.string());
      } else {
        EXPECT_EQ(message.rfind("system error: ", 0), 0u) << message;
      }
      if (existing) {
        const auto bytes = read_bytes(path);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old contents");
        EXPECT_EQ(folder.entries(), std::vector<std::string>{file_name});
      } else {
        EXPECT_TRUE(folder.entries().empty());
      }
    }
  }
}

TEST_P(SaveToFile, MemoryFailureNamesTheFileAndLeavesNoPartialFile) {
  const Surface surface = gradient_surface(PixelFormat::Rgb32, 40, 300);
  expect_memory_failures_named(GetParam().file_name, [&](const std::filesystem::path& path,
                                                         const ProgressCallback& progress) {
    save_image_as(surface, path, GetParam().encoding, progress);
  });
}

// The sheets sent to the printer name a memory failure the same way.
TEST(SaveSheet, MemoryFailureNamesTheFileAndLeavesNoPartialFile) {
  const Surface page = page_like_surface(PixelFormat::Gray8, 40, 300);
  PdfSheet sheet;
  sheet.width_points = 40 * 0.12;
  sheet.height_points = 300 * 0.12;
  sheet.source_width = 40;
  sheet.source_height = 300;
  expect_memory_failures_named(
      "sheet.pdf", [&](const std::filesystem::path& path, const ProgressCallback& progress) {
        save_pdf_sheet(page, path, sheet, progress);
      });
}

// A write the system refuses mid-file (here: the file size limit) is reported, not hidden.
TEST_P(SaveToFile, SystemWriteErrorRaisesWriteErrorAndKeepsExistingFile) {
  ScratchFolder folder;
  const auto path = folder.path() / GetParam().file_name;
  write_file(path, "old contents");
  const Surface surface = gradient_surface(PixelFormat::Rgb32, 300, 300);

  rlimit old_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old_limit;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string message;
  try {
    save_image_as(surface, path, GetParam().encoding);
  } catch (const WriteError& e) {
    message = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(message, "Unable to write to " + path.string() + ": " + std::strerror(EFBIG));
  const auto bytes = read_bytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old contents");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{GetParam().file_name});
}

TEST_P(SaveToFile, ReplacesExistingFileKeepingItsPermissions) {
  ScratchFolder folder;
  const auto path = folder.path() / GetParam().file_name;
  write_file(path, "old contents");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  save_image_as(page_like_surface(PixelFormat::Gray8, 9, 4), path, GetParam().encoding);
  const auto bytes = read_bytes(path);
  EXPECT_NE(std::string(bytes.begin(), bytes.end()), "old contents");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{GetParam().file_name});
}

// A name of the longest length a file system takes still saves: its temporary is cut to fit.
TEST_P(SaveToFile, LongestFileNameSaves) {
  ScratchFolder folder;
  const std::string name = GetParam().file_name;
  const auto path = folder.path() / (std::string(255 - name.size(), 'n') + name);
  save_image_as(page_like_surface(PixelFormat::Gray8, 9, 4), path, GetParam().encoding);
  EXPECT_FALSE(read_bytes(path).empty());
}

// As root too (the test command runs as root): a file nobody may write is never replaced.
TEST_P(SaveToFile, ReadOnlyFileIsRefusedAndKept) {
  ScratchFolder folder;
  const auto path = folder.path() / GetParam().file_name;
  write_file(path, "old contents");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  std::string message;
  try {
    save_image_as(page_like_surface(PixelFormat::Gray8, 9, 4), path, GetParam().encoding);
  } catch (const WriteError& e) {
    message = e.what();
  }
  EXPECT_EQ(message, "Unable to write to " + path.string());
  const auto bytes = read_bytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old contents");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{GetParam().file_name});
}

TEST_P(SaveToFile, ProgressRisesToOneInAboutAHundredCalls) {
  ScratchFolder folder;
  std::vector<double> reports;
  save_image_as(gradient_surface(PixelFormat::Gray8, 8, 1000), folder.path() / "p",
                GetParam().encoding, [&](double done) { reports.push_back(done); });
  ASSERT_FALSE(reports.empty());
  EXPECT_LE(reports.size(), 102u);
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  EXPECT_GT(reports.front(), 0.0);
  EXPECT_EQ(reports.back(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Encodings, SaveToFile, kAllEncodings,
                         [](const auto& row) { return row.param.row; });

struct BadPathCase {
  const char* row;
  const char* relative;  // under the scratch folder
  const char* reason;
};

class UnwritablePath : public ::testing::TestWithParam<BadPathCase> {};

TEST_P(UnwritablePath, RaisesWriteErrorNamingPathAndReason) {
  ScratchFolder folder;
  write_file(folder.path() / "plain_file", "x");
  std::filesystem::create_directory(folder.path() / "a_folder.bmp");
  const auto path = folder.path() / GetParam().relative;
  try {
    save_image(page_like_surface(PixelFormat::Gray8, 4, 4), path);
    FAIL() << "no error";
  } catch (const WriteError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Unable to write to " + path.string() + ": " + GetParam().reason);
  }
  EXPECT_EQ(folder.entries().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnwritablePath,
    ::testing::Values(BadPathCase{"missing_folder", "no_such_folder/a.png", std::strerror(ENOENT)},
                      BadPathCase{"parent_is_file", "plain_file/a.png", std::strerror(ENOTDIR)},
                      BadPathCase{"target_is_folder", "a_folder.bmp", std::strerror(EISDIR)}),
    [](const auto& row) { return row.param.row; });

TEST(UnwritableFolder, ReadOnlyFolderRaisesWriteErrorAndKeepsExistingFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  ScratchFolder folder;
  const auto path = folder.path() / "a.png";
  write_file(path, "old contents");
  std::filesystem::permissions(
      folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_THROW(save_image(page_like_surface(PixelFormat::Gray8, 4, 4), path), WriteError);
  const auto bytes = read_bytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old contents");
}

TEST(SymbolicLinkTarget, FileBehindTheLinkIsReplacedAndLinkKept) {
  ScratchFolder folder;
  write_file(folder.path() / "real.bmp", "old contents");
  std::filesystem::create_symlink("real.bmp", folder.path() / "link.bmp");
  save_image(page_like_surface(PixelFormat::Gray8, 3, 2), folder.path() / "link.bmp");
  EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "link.bmp"));
  EXPECT_EQ(read_bytes(folder.path() / "real.bmp").size(), 54u + 3 * 2 * 4);
}

class EmptyImage : public ::testing::TestWithParam<EncodingCase> {};

// Formats whose headers cannot describe an empty picture refuse it instead of writing garbage.
TEST_P(EmptyImage, RefusedWithoutTouchingTheFolder) {
  ScratchFolder folder;
  const auto path = folder.path() / GetParam().file_name;
  for (const auto& [w, h] : {std::pair{0, 0}, std::pair{5, 0}, std::pair{0, 5}}) {
    try {
      save_image_as(Surface(w, h, PixelFormat::Rgb32), path, GetParam().encoding);
      ADD_FAILURE() << w << " x " << h << " accepted";
    } catch (const WriteError& e) {
      EXPECT_NE(std::string(e.what()).find(std::to_string(w) + " x " + std::to_string(h)),
                std::string::npos)
          << e.what();
    }
  }
  EXPECT_TRUE(folder.entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Encodings, EmptyImage,
                         ::testing::Values(EncodingCase{"png", ImageEncoding::Png, "out.png"},
                                           EncodingCase{"jpeg", ImageEncoding::Jpeg, "out.jpg"},
                                           EncodingCase{"gif", ImageEncoding::Gif, "out.gif"},
                                           EncodingCase{"tiff", ImageEncoding::Tiff, "out.tif"},
                                           EncodingCase{"pdf", ImageEncoding::Pdf, "out.pdf"}),
                         [](const auto& row) { return row.param.row; });

}  // namespace
}  // namespace lumigrid

namespace lumigrid::export_detail {
namespace {

struct SizeCase {
  const char* row;
  ImageEncoding encoding;
  std::int64_t width, height;
  bool fits;
};

class SizeLimits : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeLimits, RefusesWhatTheFormatCannotHold) {
  const SizeCase& c = GetParam();
  EXPECT_EQ(size_problem(c.width, c.height, c.encoding).empty(), c.fits)
      << size_problem(c.width, c.height, c.encoding);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SizeLimits,
    ::testing::Values(
        SizeCase{"bmp_empty", ImageEncoding::Bmp, 0, 0, true},
        SizeCase{"bmp_b0_page", ImageEncoding::Bmp, 33402, 23622, true},
        SizeCase{"bmp_just_below_4gib", ImageEncoding::Bmp, 32767, 32767, true},
        SizeCase{"bmp_above_4gib", ImageEncoding::Bmp, 32768, 32768, false},
        SizeCase{"bmp_one_row_too_wide", ImageEncoding::Bmp, 1073741811, 1, false},
        SizeCase{"bmp_largest_row", ImageEncoding::Bmp, 1073741810, 1, true},
        SizeCase{"bmp_huge_sides", ImageEncoding::Bmp, 2147483647, 2147483647, false},
        SizeCase{"bmp_negative", ImageEncoding::Bmp, -1, 5, false},
        SizeCase{"png_one_pixel", ImageEncoding::Png, 1, 1, true},
        SizeCase{"png_no_rows", ImageEncoding::Png, 5, 0, false},
        SizeCase{"png_b0_page", ImageEncoding::Png, 33402, 23622, true},
        SizeCase{"jpeg_widest", ImageEncoding::Jpeg, 65500, 1, true},
        SizeCase{"jpeg_too_wide", ImageEncoding::Jpeg, 65501, 1, false},
        SizeCase{"jpeg_too_tall", ImageEncoding::Jpeg, 1, 65501, false},
        SizeCase{"gif_widest", ImageEncoding::Gif, 65535, 2, true},
        SizeCase{"gif_too_wide", ImageEncoding::Gif, 65536, 2, false},
        SizeCase{"gif_no_columns", ImageEncoding::Gif, 0, 2, false},
        // Row buffers of 1 GiB at most: PNG's rows are a filter byte and RGB.
        SizeCase{"png_widest_row", ImageEncoding::Png, 357913941, 1, true},
        SizeCase{"png_row_past_buffer_limit", ImageEncoding::Png, 357913942, 1, false},
        SizeCase{"png_widest_side", ImageEncoding::Png, 2147483647, 1, false},
        SizeCase{"tiff_row_past_buffer_limit", ImageEncoding::Tiff, 357913942, 1, false},
        SizeCase{"pdf_row_past_buffer_limit", ImageEncoding::Pdf, 2147483647, 1, false}),
    [](const auto& row) { return row.param.row; });

TEST(SizeLimitMessage, NamesTheSizeAndTheLimit) {
  EXPECT_EQ(size_problem(32768, 32768, ImageEncoding::Bmp),
            "an image of 32768 x 32768 pixels is too large for a BMP file (4 GiB at most)");
  EXPECT_EQ(size_problem(0, 0, ImageEncoding::Png),
            "an image of 0 x 0 pixels cannot be saved as PNG (1 to 2147483647 pixels a side)");
  EXPECT_EQ(size_problem(2147483647, 1, ImageEncoding::Png),
            "an image of 2147483647 x 1 pixels is too large for a PNG file (rows of 1 GiB at "
            "most)");
}

}  // namespace
}  // namespace lumigrid::export_detail
