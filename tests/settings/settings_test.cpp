#include "settings/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "base/utf.h"
#include "support/temp_folder.h"

namespace lumigrid {
namespace {

using testing::read_file;
using testing::TempFolder;
using testing::write_file;

struct PathCase {
  const char* name;
  const char* executable;
  const char* settings;
};

class SettingsPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPath, BesideTheExecutableWithItsBaseName) {
  EXPECT_EQ(settings_path_for(GetParam().executable), std::filesystem::path(GetParam().settings));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsPath,
    ::testing::Values(
        PathCase{"extension_replaced", "/opt/lumigrid/lumigrid.exe", "/opt/lumigrid/lumigrid.INI"},
        PathCase{"no_extension", "/usr/bin/lumigrid-render", "/usr/bin/lumigrid-render.INI"},
        PathCase{"dotted_folders", "/home/a.b/v1.2/lumigrid", "/home/a.b/v1.2/lumigrid.INI"},
        PathCase{"dotted_folders_and_name", "/home/a.b/v1.2/lumi.grid.bin",
                 "/home/a.b/v1.2/lumi.grid.INI"},
        PathCase{"relative", "build/lumigrid", "build/lumigrid.INI"}),
    [](const auto& row) { return std::string(row.param.name); });

// Installed programs sit in folders their users cannot write; portable copies do not.
struct LocationCase {
  const char* name;
  SettingsPlace place;
  const char* file;
  const char* fallback;
};

class SettingsLocationChoice : public ::testing::TestWithParam<LocationCase> {};

TEST_P(SettingsLocationChoice, WritableBesideTheExecutableElseTheUsersConfigFolder) {
  const LocationCase& c = GetParam();
  EXPECT_EQ(choose_settings_location(c.place),
            SettingsLocation(std::filesystem::path(c.file), std::filesystem::path(c.fallback)));
}

constexpr const char* kExe = "/usr/bin/lumigrid";
INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsLocationChoice,
    ::testing::Values(
        LocationCase{"writable_file",
                     {kExe, true, true, false, "/x", "/home/u", {}},
                     "/usr/bin/lumigrid.INI",
                     ""},
        LocationCase{"writable_folder_no_file",
                     {kExe, false, false, true, "/x", "/home/u", {}},
                     "/usr/bin/lumigrid.INI",
                     ""},
        LocationCase{"read_only_file_in_writable_folder",
                     {kExe, true, false, true, "", "/home/u", {}},
                     "/usr/bin/lumigrid.INI",
                     ""},
        LocationCase{"read_only_file_and_folder",
                     {kExe, true, false, false, "", "/home/u", {}},
                     "/home/u/.config/lumigrid/lumigrid.INI",
                     "/usr/bin/lumigrid.INI"},
        LocationCase{"read_only_folder_no_file",
                     {kExe, false, false, false, "", "/home/u", {}},
                     "/home/u/.config/lumigrid/lumigrid.INI",
                     "/usr/bin/lumigrid.INI"},
        LocationCase{"xdg_config_home",
                     {kExe, false, false, false, "/cfg", "/home/u", {}},
                     "/cfg/lumigrid/lumigrid.INI",
                     "/usr/bin/lumigrid.INI"},
        LocationCase{"relative_xdg_config_home_ignored",
                     {kExe, false, false, false, "cfg", "/home/u", {}},
                     "/home/u/.config/lumigrid/lumigrid.INI",
                     "/usr/bin/lumigrid.INI"},
        LocationCase{"named_after_the_executable",
                     {"/usr/bin/lumigrid-render", false, false, false, "/cfg", "", {}},
                     "/cfg/lumigrid/lumigrid-render.INI",
                     "/usr/bin/lumigrid-render.INI"},
        LocationCase{
            "administrator_defaults",
            {kExe, false, false, false, "/cfg", "/home/u", "/etc/xdg/lumigrid/lumigrid.INI"},
            "/cfg/lumigrid/lumigrid.INI",
            "/etc/xdg/lumigrid/lumigrid.INI"},
        LocationCase{
            "file_beside_wins_over_administrator_defaults",
            {kExe, true, false, false, "/cfg", "/home/u", "/etc/xdg/lumigrid/lumigrid.INI"},
            "/cfg/lumigrid/lumigrid.INI",
            "/usr/bin/lumigrid.INI"},
        LocationCase{"portable_copy_ignores_administrator_defaults",
                     {kExe, true, true, false, "/cfg", "/home/u", "/etc/xdg/lumigrid/lumigrid.INI"},
                     "/usr/bin/lumigrid.INI",
                     ""},
        LocationCase{
            "no_home_at_all", {kExe, false, false, false, "", "", {}}, "/usr/bin/lumigrid.INI", ""},
        LocationCase{"relative_home",
                     {kExe, false, false, false, "", "home", {}},
                     "/usr/bin/lumigrid.INI",
                     ""}),
    [](const auto& row) { return std::string(row.param.name); });

struct HomeCase {
  const char* name;
  const char* home_variable;
  const char* account_home;
  const char* home;
};

class HomeFolder : public ::testing::TestWithParam<HomeCase> {};

// A relative $HOME (HOME=rel) must not leave the installed program without a writable settings
// file: the account's home stands in, as for an empty or unset one.
TEST_P(HomeFolder, AbsoluteHomeVariableElseTheAccountsHome) {
  EXPECT_EQ(choose_home_folder(GetParam().home_variable, GetParam().account_home), GetParam().home);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HomeFolder,
    ::testing::Values(HomeCase{"absolute", "/home/u", "/home/account", "/home/u"},
                      HomeCase{"unset_or_empty", "", "/home/account", "/home/account"},
                      HomeCase{"relative", "rel", "/home/account", "/home/account"},
                      HomeCase{"dot", ".", "/home/account", "/home/account"},
                      HomeCase{"relative_and_no_account", "rel", "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

struct ConfigDirsCase {
  const char* name;
  const char* variable;
  std::vector<std::filesystem::path> dirs;
};

class ConfigDirs : public ::testing::TestWithParam<ConfigDirsCase> {};

TEST_P(ConfigDirs, AbsoluteEntriesInOrderElseEtcXdg) {
  EXPECT_EQ(config_dirs_from(GetParam().variable), GetParam().dirs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigDirs,
    ::testing::Values(ConfigDirsCase{"unset", "", {"/etc/xdg"}},
                      ConfigDirsCase{"two", "/opt/xdg:/etc/xdg", {"/opt/xdg", "/etc/xdg"}},
                      ConfigDirsCase{"relative_and_empty_skipped", "rel::/a", {"/a"}},
                      ConfigDirsCase{"only_relative", "rel", {"/etc/xdg"}}),
    [](const auto& row) { return std::string(row.param.name); });

// The user's file with the read-only file beside the executable behind it.
class LayeredSettings : public TempFolder {
 protected:
  SettingsLocation location() const {
    return {folder / "config" / "lumigrid" / "lumigrid.INI", folder / "lumigrid.INI"};
  }
};

TEST_F(LayeredSettings, ExitWriteCreatesTheUserFileAndLeavesTheFallbackAlone) {
  const std::string administrators = "[latest pattern]\nlatest pattern=6\n";
  write_file(location().fallback, administrators);
  EXPECT_EQ(read_startup_settings(location(), {}).latest_pattern, 6);
  write_exit_settings(location(), 3, {});
  EXPECT_EQ(read_file(location().fallback), administrators);
  EXPECT_EQ(read_startup_settings(location(), {}).latest_pattern, 3);
}

// The administrator's charts become the user's own at the first write, and stay with them.
TEST_F(LayeredSettings, FirstWriteStartsTheUserFileAsACopyOfTheFallback) {
  const std::string administrators = "[Dynamic Range red]\r\ncolor X=1\r\n1_R=255\r\n";
  write_file(location().fallback, administrators);
  ASSERT_EQ(::chmod(location().fallback.c_str(), 0444), 0);
  write_exit_settings(location(), 3, {});
  const std::string user = read_file(location().file);
  EXPECT_EQ(user.substr(0, administrators.size()), administrators);
  EXPECT_EQ(read_startup_settings(location(), {}).latest_pattern, 3);
  // The copy is the user's own, writable file.
  write_exit_settings(location(), 4, {});
  EXPECT_EQ(read_startup_settings(location(), {}).latest_pattern, 4);
  EXPECT_EQ(read_file(location().fallback), administrators);
}

TEST_F(LayeredSettings, UserValuesWinAndMissingOnesComeFromTheFallback) {
  std::filesystem::create_directories(location().file.parent_path());
  write_file(location().file, "[Latest Setting]\nScrollBar_H=7\n[my Dynamic Range]\n1_R=1\n");
  write_file(location().fallback,
             "[Latest Setting]\nScrollBar_H=70\nScrollBar_V=80\n"
             "[Dynamic Range admin]\ncolor X=2\n1_G=5\n[MY DYNAMIC RANGE]\n1_G=9\n");
  const StartupSettings s = read_startup_settings(location(), {1, 1, 1, 1, 1, 1});
  EXPECT_EQ(s.positions, (SliderPositions{7, 1, 80, 1, 1, 1}));

  const ColourChartSettings charts(location(), '.');
  EXPECT_EQ(charts.sectionNames(), (std::vector<std::string>{"Latest Setting", "my Dynamic Range",
                                                             "Dynamic Range admin"}));
  EXPECT_EQ(charts.layout("Dynamic Range admin").columns, 2);
  // red from the user's section, green from the administrator's section of the same name
  EXPECT_EQ(charts.patchColour("my Dynamic Range", 1), 0x50'09'01u);
}

TEST_F(LayeredSettings, ChartDefaultsAreWrittenOnlyWhenNeitherFileExists) {
  ColourChartSettings only_fallback(location(), '.');
  write_file(location().fallback, "");
  EXPECT_TRUE(only_fallback.fileExists());
  std::filesystem::remove(location().fallback);
  ColourChartSettings neither(location(), '.');
  EXPECT_FALSE(neither.fileExists());
  neither.writeDefaults("Dynamic Range");
  EXPECT_EQ(read_file(location().file), "[Dynamic Range]\ncolor X=6\ncolor Y=4\nborder=0.1\n");
  EXPECT_FALSE(std::filesystem::exists(location().fallback));
}

// A settings file too large to read is named once at the start, the fallback as well.
struct TooLargeCase {
  const char* name;
  std::uint64_t file_size;      // 0: no file
  std::uint64_t fallback_size;  // 0: no fallback file
  std::vector<std::string> expected;
};

class SettingsTooLarge : public LayeredSettings,
                         public ::testing::WithParamInterface<TooLargeCase> {};

TEST_P(SettingsTooLarge, NamedOnceWithItsFileName) {
  const TooLargeCase& c = GetParam();
  std::filesystem::create_directories(location().file.parent_path());
  for (const auto& [path, size] :
       {std::pair{location().file, c.file_size}, std::pair{location().fallback, c.fallback_size}}) {
    if (size == 0) continue;
    write_file(path, "[a]\nx=1\n");
    std::filesystem::resize_file(path, size);  // a hole: no disk
  }
  EXPECT_EQ(settings_file_warnings(location()), c.expected);
}

constexpr std::uint64_t kPast = kMaxSettingsFileBytes + 1;
const std::string kWarning = "lumigrid.INI is larger than 64 MiB and is not read";

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsTooLarge,
    ::testing::Values(TooLargeCase{"neither_file", 0, 0, {}},
                      TooLargeCase{"both_within_the_limit", kMaxSettingsFileBytes, 9, {}},
                      TooLargeCase{"file_past_the_limit", kPast, 9, {kWarning}},
                      TooLargeCase{"fallback_past_the_limit", 0, kPast, {kWarning}},
                      TooLargeCase{"both_past_the_limit", kPast, kPast, {kWarning, kWarning}}),
    [](const auto& row) { return std::string(row.param.name); });

class StartupAndExit : public TempFolder {
 protected:
  std::filesystem::path path() const { return folder / "lumigrid.INI"; }
};

TEST_F(StartupAndExit, MissingFileGivesTheCallersDefaults) {
  const SliderPositions defaults{1, 2, 3, 4, 5, 6};
  const StartupSettings s = read_startup_settings(path(), defaults);
  EXPECT_EQ(s.latest_pattern, 0);
  EXPECT_EQ(s.positions, defaults);
  EXPECT_FALSE(std::filesystem::exists(path()));
}

TEST_F(StartupAndExit, ExitWriteComesBackAtStartAndKeepsChartSections) {
  write_file(path(), "[Dynamic Range A]\ncolor X=3\n");
  write_exit_settings(path(), 12, {700, 0, 100, 100, 3840, 50});
  EXPECT_EQ(read_file(path()),
            "[Dynamic Range A]\ncolor X=3\n\n"
            "[latest pattern]\nlatest pattern=12\n\n"
            "[Latest Setting]\nScrollBar_H=700\nScrollBar_HP=0\nScrollBar_V=100\n"
            "ScrollBar_VP=100\nScrollBar_Space=3840\nScrollBar_Pitch=50\n");
  const StartupSettings s = read_startup_settings(path(), {});
  EXPECT_EQ(s.latest_pattern, 12);
  EXPECT_EQ(s.positions, (SliderPositions{700, 0, 100, 100, 3840, 50}));

  // a second exit rewrites the values where they stand
  write_exit_settings(path(), 3, {});
  EXPECT_EQ(read_file(path()),
            "[Dynamic Range A]\ncolor X=3\n\n"
            "[latest pattern]\nlatest pattern=3\n\n"
            "[Latest Setting]\nScrollBar_H=50\nScrollBar_HP=50\nScrollBar_V=30\n"
            "ScrollBar_VP=50\nScrollBar_Space=100\nScrollBar_Pitch=8\n");
}

TEST_F(StartupAndExit, MalformedValuesFallBackOneByOne) {
  write_file(path(),
             "[latest pattern]\nlatest pattern=abc\n[Latest Setting]\nScrollBar_H=0x20\n"
             "ScrollBar_V=1.5\n");
  const StartupSettings s = read_startup_settings(path(), {9, 9, 9, 9, 9, 9});
  EXPECT_EQ(s.latest_pattern, 0);
  EXPECT_EQ(s.positions, (SliderPositions{32, 9, 9, 9, 9, 9}));
}

TEST_F(StartupAndExit, FailedExitWriteNamesTheFile) {
  const auto unwritable = folder / "missing" / "lumigrid.INI";
  try {
    write_exit_settings(unwritable, 1, {});
    FAIL() << "no error raised";
  } catch (const WriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + unwritable.string());
  }
}

// A settings file another program saved as UTF-16 (little-endian, CR LF): its charts are read
// and the exit write adds its lines in UTF-16, leaving the chart's bytes as they were.
TEST_F(StartupAndExit, Utf16FileKeepsItsEncodingAtExit) {
  const auto utf16le = [](std::string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : utf16_from_utf8(text)) {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
  };
  const std::string chart = "[Farbe \xC3\xA9]\r\ncolor X=3\r\ncolor Y=2\r\ntext=1\r\n1_R=300\r\n";
  write_file(path(), utf16le(chart));
  const ColourChartSettings charts(path(), '.');
  EXPECT_EQ(charts.sectionNames(), std::vector<std::string>{"Farbe \xC3\xA9"});
  const ColourChartLayout layout = charts.layout("Farbe \xC3\xA9");
  EXPECT_EQ(layout.columns, 3);
  EXPECT_EQ(layout.rows, 2);
  EXPECT_TRUE(layout.text);
  EXPECT_EQ(charts.patchColour("Farbe \xC3\xA9", 1) & 0xFFu, 44u);  // red, modulo 256

  write_exit_settings(path(), 12, {700, 0, 100, 100, 3840, 50});
  EXPECT_EQ(
      read_file(path()),
      utf16le(chart + "\r\n[latest pattern]\r\nlatest pattern=12\r\n\r\n"
                      "[Latest Setting]\r\nScrollBar_H=700\r\nScrollBar_HP=0\r\nScrollBar_V=100\r\n"
                      "ScrollBar_VP=100\r\nScrollBar_Space=3840\r\nScrollBar_Pitch=50\r\n"));
  EXPECT_EQ(read_startup_settings(path(), {}).latest_pattern, 12);
}

// A calibration belongs to one monitor: stored, read back, forgotten, and never another's.
TEST_F(StartupAndExit, MonitorCalibrationIsKeptUnderItsMonitorsName) {
  write_exit_settings(path(), 3, {});
  write_monitor_calibration(path(), "DEL U2415 7MT0165", 0.2745);
  write_monitor_calibration(path(), "left 1024x768", 0.5);
  EXPECT_EQ(read_monitor_calibration(path(), "DEL U2415 7MT0165"), 0.2745);
  EXPECT_EQ(read_monitor_calibration(path(), "left 1024x768"), 0.5);
  EXPECT_EQ(read_monitor_calibration(path(), "right 1024x768"), std::nullopt);
  write_monitor_calibration(path(), "left 1024x768", std::nullopt);
  EXPECT_EQ(read_monitor_calibration(path(), "left 1024x768"), std::nullopt);
  EXPECT_EQ(read_monitor_calibration(path(), "DEL U2415 7MT0165"), 0.2745);
  // The other values stay where they were.
  EXPECT_EQ(read_startup_settings(path(), {}).latest_pattern, 3);
}

struct StoredCalibration {
  const char* name;
  const char* value;
  std::optional<double> read;
};

class MonitorCalibrationValue : public TempFolder,
                                public ::testing::WithParamInterface<StoredCalibration> {};

TEST_P(MonitorCalibrationValue, OnlyAPositiveNumberCounts) {
  const auto path = folder / "lumigrid.INI";
  write_file(path, std::string("[monitor A]\nmm per pixel=") + GetParam().value + "\n");
  EXPECT_EQ(read_monitor_calibration(path, "A"), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Values, MonitorCalibrationValue,
                         ::testing::Values(StoredCalibration{"number", "0.25", 0.25},
                                           StoredCalibration{"forgotten", "", std::nullopt},
                                           StoredCalibration{"zero", "0", std::nullopt},
                                           StoredCalibration{"negative", "-0.25", std::nullopt},
                                           StoredCalibration{"text", "abc", std::nullopt}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
