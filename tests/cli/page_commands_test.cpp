#include "cli/page_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/utf.h"
#include "export/image_export.h"
#include "page/page_build.h"
#include "support/temp_folder.h"

namespace lumigrid::cli {
namespace {

struct AreaCommandCase {
  const char* name;
  std::string text;
  std::int32_t dpi;
  std::string printed;
};

std::ostream& operator<<(std::ostream& os, const AreaCommandCase& c) {
  return os << c.name;
}

class AreaCommand : public ::testing::TestWithParam<AreaCommandCase> {};

TEST_P(AreaCommand, PrintsWidthAndHeight) {
  std::ostringstream out;
  EXPECT_EQ(run_area_command(GetParam().text, GetParam().dpi, out), 0);
  EXPECT_EQ(out.str(), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(Cases, AreaCommand,
                         ::testing::Values(AreaCommandCase{"A4At300", "A4", 300, "3508 2480\n"},
                                           AreaCommandCase{"Utf8Row",
                                                           "8K UHD 7680\xC3\x97"
                                                           "4320",
                                                           600, "7680 4320\n"},
                                           AreaCommandCase{"Empty", "", 600, "1920 1080\n"}),
                         [](const auto& row) { return std::string(row.param.name); });

using PageCommand = testing::TempFolder;

struct OutputCase {
  const char* name;
  const char* file_name;
  std::string signature;
};

class PageOutput : public PageCommand, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(PageOutput, WritesThePageByTheExtension) {
  PageOptions options;
  options.text = "qHD 960x540";
  options.output = folder / GetParam().file_name;
  std::ostringstream err;
  EXPECT_EQ(run_page_command(options, err), 0);
  EXPECT_EQ(err.str(), "");
  std::ifstream file(*options.output, std::ios::binary);
  std::string signature(GetParam().signature.size(), '\0');
  file.read(signature.data(), std::streamsize(signature.size()));
  EXPECT_EQ(signature, GetParam().signature);

  // The same file as the viewer's save of the page built for the same text.
  const PageRequest request{{options.space, options.pitch, options.pitch2}, options.ppi};
  const PageBuild build = build_page(utf16_from_utf8(options.text), request);
  const auto saved = folder / ("saved_" + std::string(GetParam().file_name));
  save_image(build.page, saved);
  EXPECT_EQ(testing::read_file(*options.output), testing::read_file(saved));
}

INSTANTIATE_TEST_SUITE_P(Formats, PageOutput,
                         ::testing::Values(OutputCase{"Png", "page.png", "\x89PNG\r\n\x1A\n"},
                                           OutputCase{"Tiff", "page.tif", std::string("II*\0", 4)},
                                           OutputCase{"Pdf", "page.pdf", "%PDF-"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(PageCommand, BuildsWithoutWritingWhenNoOutputIsNamed) {
  PageOptions options;
  options.text = "qHD";
  std::ostringstream err;
  EXPECT_EQ(run_page_command(options, err), 0);
  EXPECT_EQ(err.str(), "");
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

struct PageErrorCase {
  const char* name;
  std::string text;
  std::int32_t space;
  std::string error_start;
  const char* output = nullptr;  // -o, if any
};

std::ostream& operator<<(std::ostream& os, const PageErrorCase& c) {
  return os << c.name;
}

class PageCommandErrors : public ::testing::TestWithParam<PageErrorCase> {};

TEST_P(PageCommandErrors, PrintsTheErrorAndFails) {
  PageOptions options;
  options.text = GetParam().text;
  options.space = GetParam().space;
  if (GetParam().output != nullptr) options.output = GetParam().output;
  std::ostringstream err;
  EXPECT_EQ(run_page_command(options, err), 1);
  EXPECT_EQ(err.str().rfind(GetParam().error_start, 0), 0u) << err.str();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageCommandErrors,
    ::testing::Values(
        PageErrorCase{"SpaceZero", "qHD", 0, "error: Space must be at least 1\n"},
        // Refused before the page is built: its rows would need 6 GiB of encoder buffer.
        PageErrorCase{"RowsTooWideForTheEncoder", "2147483647x1", 100,
                      "error: Unable to write to nowhere/w.png: an image of 2147483647 x 1 pixels "
                      "is too large for a PNG file (rows of 1 GiB at most)\n",
                      "nowhere/w.png"}),
    [](const auto& row) { return std::string(row.param.name); });

// A page far larger than memory is built from its description in little of it.
TEST_F(PageCommand, PageLargerThanMemoryBuilds) {
  PageOptions options;
  options.text = "200000x200000";
  std::ostringstream err;
  EXPECT_EQ(run_page_command(options, err), 0) << err.str();
}

TEST_F(PageCommand, UnwritableOutputIsAnError) {
  PageOptions options;
  options.text = "qHD";
  options.output = folder / "missing" / "page.png";
  std::ostringstream err;
  EXPECT_EQ(run_page_command(options, err), 1);
  EXPECT_EQ(err.str().rfind("error: ", 0), 0u) << err.str();
}

}  // namespace
}  // namespace lumigrid::cli
