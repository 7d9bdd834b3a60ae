#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "export/image_export.h"

namespace lumigrid {
namespace {

struct ExtensionCase {
  const char* row;
  const char* file_name;
  ImageEncoding expected;
};

class EncodingForFileName : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(EncodingForFileName, PicksByLowerCasedLastExtension) {
  EXPECT_EQ(encoding_for_file_name(GetParam().file_name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, EncodingForFileName,
    ::testing::Values(ExtensionCase{"jpg", "/tmp/a.jpg", ImageEncoding::Jpeg},
                      ExtensionCase{"upper_jpg", "/tmp/a.JPG", ImageEncoding::Jpeg},
                      ExtensionCase{"mixed_png", "C:\\pics\\a.Png", ImageEncoding::Png},
                      ExtensionCase{"gif", "a.gif", ImageEncoding::Gif},
                      ExtensionCase{"jpeg_is_jpeg", "a.jpeg", ImageEncoding::Jpeg},
                      ExtensionCase{"bmp", "a.bmp", ImageEncoding::Bmp},
                      ExtensionCase{"tif", "a.tif", ImageEncoding::Tiff},
                      ExtensionCase{"tiff", "a.TIFF", ImageEncoding::Tiff},
                      ExtensionCase{"pdf", "a.Pdf", ImageEncoding::Pdf},
                      ExtensionCase{"ico", "a.ico", ImageEncoding::Bmp},
                      ExtensionCase{"none", "Image_03_15_42_07", ImageEncoding::Bmp},
                      ExtensionCase{"empty", "", ImageEncoding::Bmp},
                      ExtensionCase{"dot_only", "a.", ImageEncoding::Bmp},
                      ExtensionCase{"last_of_two", "a.png.jpg", ImageEncoding::Jpeg},
                      ExtensionCase{"dot_in_folder", "dir.v2/name", ImageEncoding::Bmp},
                      ExtensionCase{"dot_in_windows_folder", "dir.png\\name", ImageEncoding::Bmp},
                      ExtensionCase{"drive_colon", "C:x.gif", ImageEncoding::Gif},
                      ExtensionCase{"dot_before_drive", "a.png:name", ImageEncoding::Bmp},
                      ExtensionCase{"hidden_png", "/tmp/.png", ImageEncoding::Png},
                      ExtensionCase{"trailing_space", "a.png ", ImageEncoding::Bmp},
                      ExtensionCase{"non_ascii_not_folded", "a.\xC3\x8Apng", ImageEncoding::Bmp},
                      ExtensionCase{"page_default", "Image_A4 600 dpi 7016x4961_03_15_14_42_07.png",
                                    ImageEncoding::Png}),
    [](const ::testing::TestParamInfo<ExtensionCase>& row) { return row.param.row; });

std::tm fixed_time(int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(DefaultNames, WindowCaptureHasNoHourAndNoExtension) {
  EXPECT_EQ(default_window_capture_name(fixed_time(3, 15, 14, 42, 7)), "Image_03_15_42_07");
  // Same minute and second in another hour give the same name.
  EXPECT_EQ(default_window_capture_name(fixed_time(3, 15, 9, 42, 7)), "Image_03_15_42_07");
  EXPECT_EQ(default_window_capture_name(fixed_time(12, 31, 23, 59, 59)), "Image_12_31_59_59");
}

TEST(DefaultNames, PageNameCarriesAreaNameUnchanged) {
  const std::tm t = fixed_time(3, 15, 14, 42, 7);
  EXPECT_EQ(default_page_file_name("A4 600 dpi 7016x4961", t),
            "Image_A4 600 dpi 7016x4961_03_15_14_42_07.png");
  EXPECT_EQ(default_page_file_name("16K 15360*8640", fixed_time(1, 2, 0, 4, 5)),
            "Image_16K 15360*8640_01_02_00_04_05.png");
  EXPECT_EQ(default_page_file_name("", t), "Image__03_15_14_42_07.png");
}

}  // namespace
}  // namespace lumigrid
