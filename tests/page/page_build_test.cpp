#include "page/page_build.h"

#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"

namespace lumigrid {
namespace {

struct MemoryCase {
  const char* name;
  std::int32_t width, height;
  std::uint64_t available;
  const char* error;  // nullptr: the page is made
};

std::ostream& operator<<(std::ostream& os, const MemoryCase& c) {
  return os << c.name;
}

class MakePage : public ::testing::TestWithParam<MemoryCase> {};

// The limit is checked before anything is allocated: a page that the system would give is
// still refused when it exceeds what the caller says is available.
TEST_P(MakePage, RefusesWhatMemoryCannotHold) {
  const MemoryCase& c = GetParam();
  if (c.error == nullptr) {
    const Surface page = make_page(c.width, c.height, c.available);
    EXPECT_EQ(page.width(), c.width);
    EXPECT_EQ(page.height(), c.height);
    EXPECT_EQ(page.format(), PixelFormat::Gray8);
    if (c.width > 0 && c.height > 0) {
      EXPECT_EQ(page.pixel(c.width - 1, c.height - 1), kWhite);
    }
    return;
  }
  try {
    make_page(c.width, c.height, c.available);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MakePage,
    ::testing::Values(MemoryCase{"Fits", 2000, 1000, 2000000, nullptr},
                      MemoryCase{"OneByteShort", 2000, 1000, 1999999,
                                 "Not enough memory for a page of 2000 x 1000 pixels"},
                      MemoryCase{"BeyondThisMachine", 200000, 200000, 24ull << 30,
                                 "Not enough memory for a page of 200000 x 200000 pixels"},
                      MemoryCase{"ByteCountBeyond32Bits", 2147483647, 2147483647, 1ull << 40,
                                 "Not enough memory for a page of 2147483647 x 2147483647 pixels"},
                      MemoryCase{"NegativeSide", -5, 10, 1ull << 30, "Invalid page size -5 x 10"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(MakePage, TypedHugeSizeIsRefusedByWhatTheSystemHasAvailable) {
  if (page_byte_count(200000, 200000) <= available_page_memory()) {
    GTEST_SKIP() << "this machine could hold a 40 GB page";
  }
  EXPECT_THROW(make_page(200000, 200000), Error);
}

TEST(BuildPage, SizesNamesAndDrawsThePage) {
  const PageRequest request{{100, 8, 50}, 120};
  const PageBuild build = build_page(u"qHD 960x540", request);
  EXPECT_EQ(build.page.width(), 960);
  EXPECT_EQ(build.page.height(), 540);
  EXPECT_TRUE(build.name == u"qHD 960x540");
  EXPECT_EQ(build.page.pixelsPerInch(), 120);
  // The caption's font is left on the page's canvas.
  EXPECT_EQ(build.page.tools().font_size_points, 5);
  EXPECT_EQ(build.page.tools().font_colour, kWhite);

  const PageBuild empty_row = build_page(u"", request);
  EXPECT_EQ(empty_row.page.width(), 1920);
  EXPECT_EQ(empty_row.page.height(), 1080);
  EXPECT_TRUE(empty_row.name.empty());
}

TEST(BuildPage, AsksForTheSizeOfTheListNotOfTheRowText) {
  try {
    build_page(u"24K 23040*4320", {}, 1 << 20);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Not enough memory for a page of 23040 x 12960 pixels");
  }
}

TEST(BuildPage, AFailedBuildLeavesThePreviousPage) {
  PageBuild current = build_page(u"qHD", {});
  EXPECT_THROW(current = build_page(u"B0", {}, 1 << 20), Error);
  EXPECT_EQ(current.page.width(), 960);
  EXPECT_EQ(current.page.height(), 540);
  EXPECT_TRUE(current.name == u"qHD");
  EXPECT_EQ(current.page.pixel(959, 539), kWhite);
}

}  // namespace
}  // namespace lumigrid
