#include "settings/settings.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "support/temp_folder.h"

namespace lumigrid {
namespace {

using testing::TempFolder;

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
    [](const auto& info) { return std::string(info.param.name); });

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
  write(path(), "[Dynamic Range A]\ncolor X=3\n");
  write_exit_settings(path(), 12, {700, 0, 100, 100, 3840, 50});
  EXPECT_EQ(read(path()),
            "[Dynamic Range A]\ncolor X=3\n\n"
            "[latest pattern]\nlatest pattern=12\n\n"
            "[Latest Setting]\nScrollBar_H=700\nScrollBar_HP=0\nScrollBar_V=100\n"
            "ScrollBar_VP=100\nScrollBar_Space=3840\nScrollBar_Pitch=50\n");
  const StartupSettings s = read_startup_settings(path(), {});
  EXPECT_EQ(s.latest_pattern, 12);
  EXPECT_EQ(s.positions, (SliderPositions{700, 0, 100, 100, 3840, 50}));

  // a second exit rewrites the values where they stand
  write_exit_settings(path(), 3, {});
  EXPECT_EQ(read(path()),
            "[Dynamic Range A]\ncolor X=3\n\n"
            "[latest pattern]\nlatest pattern=3\n\n"
            "[Latest Setting]\nScrollBar_H=50\nScrollBar_HP=50\nScrollBar_V=30\n"
            "ScrollBar_VP=50\nScrollBar_Space=100\nScrollBar_Pitch=8\n");
}

TEST_F(StartupAndExit, MalformedValuesFallBackOneByOne) {
  write(path(),
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

}  // namespace
}  // namespace lumigrid
