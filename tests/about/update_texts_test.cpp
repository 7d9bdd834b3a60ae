#include "about/update_texts.h"

#include <gtest/gtest.h>

namespace lumigrid::about {
namespace {

struct NameCase {
  const char* name;
  const char* file_name;
  const char* program_name;
};

class ProgramName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ProgramName, DropsTheExtensionOnly) {
  EXPECT_EQ(program_name_from_file_name(GetParam().file_name), GetParam().program_name);
}

INSTANTIATE_TEST_SUITE_P(FileNames, ProgramName,
                         ::testing::Values(NameCase{"windows_style", "abc.exe", "abc"},
                                           NameCase{"no_extension", "lumigrid", "lumigrid"},
                                           NameCase{"dotted_name", "my.tool.exe", "my.tool"},
                                           NameCase{"hidden_file", ".lumigrid", ".lumigrid"},
                                           NameCase{"trailing_dot", "abc.", "abc"}),
                         [](const auto& row) { return std::string(row.param.name); });

// The texts the About window documents, word for word, with the examples it gives.
TEST(UpdateTexts, AddressesAndCaptions) {
  EXPECT_EQ(update_base_url("updates.example.invalid", "abc"),
            "http://updates.example.invalid/NAS_file_Share/abc/");
  EXPECT_EQ(about_caption("abc"), "About abc");
  EXPECT_EQ(version_line("1.2.3.4", release_date_text(2021, 12, 25, "/")),
            "Ver: 1.2.3.4, Released on 2021/12/25");
  // A locale whose date separator is "-" shows 2021-12-25; years and months keep their digits.
  EXPECT_EQ(release_date_text(2021, 12, 25, "-"), "2021-12-25");
  EXPECT_EQ(release_date_text(987, 1, 5, "-"), "0987-01-05");
}

TEST(UpdateTexts, CheckAndDownloadTexts) {
  EXPECT_EQ(status_text("1.2.3.5"), "Version:  1.2.3.5\r\navailable online");
  EXPECT_EQ(different_caption(status_text("1.2.3.5")),
            "Different Version:  1.2.3.5\r\navailable online");
  EXPECT_EQ(up_to_date_caption("1.2.3.4"), "version up-to-date (1.2.3.4)");
  // A published version that differs only by a leading zero still reads "Different ...".
  EXPECT_EQ(different_caption(status_text("1.2.3.04")),
            "Different Version:  1.2.3.04\r\navailable online");
  EXPECT_EQ(second_check_tooltip(status_text("2")),
            "Version:  2\r\navailable online\r\nClick to Download");
  EXPECT_EQ(download_question("a.zip", "2.0"), "File: a.zip\r\nVersion: 2.0\r\ndownload online?");
  EXPECT_EQ(download_error_text(" a.zip"), "Error while downloading  a.zip");
}

struct VersionPair {
  const char* name;
  const char* local;
  const char* online;
  bool differ;
};

class VersionComparison : public ::testing::TestWithParam<VersionPair> {};

TEST_P(VersionComparison, IsExactText) {
  EXPECT_EQ(versions_differ(GetParam().local, GetParam().online), GetParam().differ);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, VersionComparison,
    ::testing::Values(VersionPair{"equal", "1.2.3.4", "1.2.3.4", false},
                      VersionPair{"leading_zero", "1.2.3.4", "1.2.3.04", true},
                      VersionPair{"older", "1.2.3.4", "1.2.3.3", true},
                      VersionPair{"trailing_blank", "1.2.3.4", "1.2.3.4 ", true},
                      VersionPair{"case", "1.0.0.1-RC", "1.0.0.1-rc", true},
                      VersionPair{"unknown_local", "?.?.?.?", "1.0.0.1", true}),
    [](const auto& row) { return std::string(row.param.name); });

struct SeparatorCase {
  const char* name;
  const char* format;
  const char* separator;
};

class DateSeparator : public ::testing::TestWithParam<SeparatorCase> {};

TEST_P(DateSeparator, IsTheFirstNonLetter) {
  EXPECT_EQ(date_separator_of_format(GetParam().format), GetParam().separator);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DateSeparator,
    ::testing::Values(SeparatorCase{"slash", "M/d/yy", "/"},
                      SeparatorCase{"dash", "yyyy-MM-dd", "-"},
                      SeparatorCase{"dot", "dd.MM.yyyy", "."},
                      SeparatorCase{"dot_and_blank", "d. M. yyyy", "."},
                      SeparatorCase{"quoted_text_skipped", "'day' dd-MM-yyyy", "-"},
                      SeparatorCase{"multibyte", "yyyy\xE5\xB9\xB4MM", "\xE5\xB9\xB4"},
                      SeparatorCase{"none", "yyyyMMdd", "/"}),
    [](const auto& row) { return std::string(row.param.name); });

struct ReleaseNameCase {
  const char* name;
  std::string file_name;
  bool blank;
  bool safe;
};

class ReleaseName : public ::testing::TestWithParam<ReleaseNameCase> {};

TEST_P(ReleaseName, BlankAndSafe) {
  EXPECT_EQ(is_blank_release_name(GetParam().file_name), GetParam().blank);
  EXPECT_EQ(is_safe_release_name(GetParam().file_name, "lumigrid.INI"), GetParam().safe);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ReleaseName,
    ::testing::Values(
        ReleaseNameCase{"plain", "lumigrid-1.2.zip", false, true},
        ReleaseNameCase{"leading_blank", " lumigrid.zip", false, false},
        ReleaseNameCase{"blank_inside", "lumigrid 1.2+b_3.zip", false, true},
        ReleaseNameCase{"double_dot_inside", "lumigrid..zip", false, true},
        ReleaseNameCase{"empty", "", true, false}, ReleaseNameCase{"blanks", "   ", true, false},
        ReleaseNameCase{"control_characters", "\t\r\n", true, false},
        ReleaseNameCase{"parent", "..", false, false},
        ReleaseNameCase{"current", ".", false, false},
        ReleaseNameCase{"dots_and_blanks", " .. ", false, false},
        ReleaseNameCase{"parent_path", "../lumigrid.zip", false, false},
        ReleaseNameCase{"sub_folder", "new/lumigrid.zip", false, false},
        ReleaseNameCase{"backslash", "..\\lumigrid.zip", false, false},
        ReleaseNameCase{"absolute", "/tmp/lumigrid.zip", false, false},
        ReleaseNameCase{"drive", "C:lumigrid.zip", false, false},
        ReleaseNameCase{"nul_inside", std::string("a\0b.zip", 7), false, false},
        ReleaseNameCase{"hidden", ".bashrc", false, false},
        ReleaseNameCase{"hidden_release", ".lumigrid-1.2.zip", false, false},
        ReleaseNameCase{"settings_file", "lumigrid.INI", false, false},
        ReleaseNameCase{"settings_file_other_case", "LumiGrid.ini", false, false},
        ReleaseNameCase{"settings_file_trailing_dot", "lumigrid.INI. ", false, false},
        ReleaseNameCase{"other_settings_file", "other.INI", false, true},
        ReleaseNameCase{"right_to_left_override", "\u202eqwerty.exe", false, false},
        ReleaseNameCase{"newline", "lumigrid\n.zip", false, false},
        ReleaseNameCase{"tab", "lumigrid\t.zip", false, false},
        ReleaseNameCase{"tilde", "~lumigrid.zip", false, false},
        ReleaseNameCase{"wildcard", "lumigrid*.zip", false, false},
        ReleaseNameCase{"settings_file_newline", "lumigrid.INI\n", false, false},
        ReleaseNameCase{"settings_file_one_dot_leader", "lumigrid\u2024INI", false, false},
        ReleaseNameCase{"settings_file_full_width",
                        "\uff4c\uff55\uff4d\uff49\uff47\uff52\uff49\uff44.INI", false, false},
        ReleaseNameCase{"query_and_fragment", "x.zip?y=1#frag", false, false},
        ReleaseNameCase{"longest", std::string(255, 'a'), false, true},
        ReleaseNameCase{"too_long", std::string(256, 'a'), false, false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid::about
