// The prepared colour charts shipped in charts/lumigrid-charts.INI, drawn as keys 1 and 6 draw
// them: every patch shows exactly its values, solid charts fill the window, steps are equal,
// ramps rise, the colour checker carries the published values, and the keys wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "patterns/chart_painter.h"
#include "settings/ini_file.h"
#include "support/temp_folder.h"
#include "surface/surface.h"

namespace lumigrid {
namespace {

const std::filesystem::path kLibrary =
    std::filesystem::path(LUMIGRID_SOURCE_DIR) / "charts" / "lumigrid-charts.INI";

Colour rgb(std::int32_t r, std::int32_t g, std::int32_t b) {
  return Colour(r) | Colour(g) << 8 | Colour(b) << 16;
}

struct WindowSize {
  const char* name;
  std::int32_t width, height;
};

class PreparedCharts : public testing::TempFolder,
                       public ::testing::WithParamInterface<WindowSize> {
 protected:
  void SetUp() override { std::filesystem::copy_file(kLibrary, ini); }

  // The sections `keyword` selects, in file order.
  std::vector<std::string> sections(const std::string& keyword) const {
    std::vector<std::string> found;
    for (const std::string& name : IniFile(ini).sectionNames())
      if (name.find(keyword) != std::string::npos) found.push_back(name);
    return found;
  }

  // One window, as the chart window is: each press() draws `key` once more and gives the
  // section it drew (the chart's trace names each section before its "latest cnt" lines).
  struct Window {
    Window(std::int32_t width, std::int32_t height, const std::filesystem::path& ini)
        : surface(width, height, PixelFormat::Rgb32, kWhite),
          painter(surface, state, SettingsLocation(ini), {{}, [this](const std::string& line) {
                                                            if (line.rfind("latest cnt", 0) != 0)
                                                              shown = line;
                                                          }}) {}
    std::string press(std::int32_t key) {
      painter.image_Pattern(key);
      return shown;
    }
    Surface surface;
    ChartState state;
    ChartPainter painter;
    std::string shown;
  };

  std::unique_ptr<Window> window() const {
    return std::make_unique<Window>(GetParam().width, GetParam().height, ini);
  }

  static Colour patch(const IniFile& file, const std::string& section, std::int64_t n) {
    const std::string k = std::to_string(n);
    return rgb(file.readInteger(section, k + "_R", -1), file.readInteger(section, k + "_G", -1),
               file.readInteger(section, k + "_B", -1));
  }

  std::filesystem::path ini = folder / "lumigrid.INI";
};

TEST_P(PreparedCharts, KeysStepThroughTheSectionsInFileOrderAndWrap) {
  for (const auto& [key, keyword] : std::vector<std::pair<std::int32_t, std::string>>{
           {1, "Dynamic Range"}, {6, "color checker"}}) {
    const std::vector<std::string> expected = sections(keyword);
    ASSERT_GE(expected.size(), 4u) << keyword;
    const auto chart = window();
    for (std::size_t i = 0; i <= expected.size(); ++i) {
      EXPECT_EQ(chart->press(key), expected[i % expected.size()]) << keyword << " press " << i + 1;
    }
  }
}

TEST_P(PreparedCharts, EveryPatchShowsExactlyItsValues) {
  for (const auto& [key, keyword] : std::vector<std::pair<std::int32_t, std::string>>{
           {1, "Dynamic Range"}, {6, "color checker"}}) {
    const auto chart = window();
    for (std::size_t s = 0; s < sections(keyword).size(); ++s) {
      const std::string shown = chart->press(key);
      const Surface& surface = chart->surface;
      const IniFile file(ini);
      const std::int32_t columns = file.readInteger(shown, "color X", 6);
      const std::int32_t rows = file.readInteger(shown, "color Y", 4);
      const bool borderless = file.readString(shown, "border") == std::optional<std::string>("0");
      const std::int32_t cw = GetParam().width / columns, ch = GetParam().height / rows;
      if (cw < 2) continue;  // a 256-step ramp on a narrow window: checked below
      for (std::int32_t j = 0; j < rows; ++j) {
        for (std::int32_t i = 0; i < columns; ++i) {
          EXPECT_EQ(surface.pixel(i * cw + cw / 2, j * ch + ch / 2),
                    patch(file, shown, std::int64_t(j) * columns + i + 1))
              << shown << " patch " << j * columns + i + 1;
        }
      }
      if (borderless && columns == 1 && rows == 1) {
        // A solid chart covers the whole window.
        for (std::int32_t y = 0; y < GetParam().height; y += 7)
          for (std::int32_t x = 0; x < GetParam().width; x += 7)
            ASSERT_EQ(surface.pixel(x, y), patch(file, shown, 1))
                << shown << " at " << x << "," << y;
      }
      if (borderless && columns > 1 && key == 1) {
        // Steps and ramps: along each row's middle line the runs of one colour are equally
        // wide (within a pixel), and the values never fall.
        for (std::int32_t j = 0; j < rows; ++j) {
          const std::int32_t y = j * ch + ch / 2;
          std::vector<std::int32_t> runs{1};
          std::int32_t last_sum = -1;
          for (std::int32_t x = 1; x < columns * cw; ++x) {
            const Colour c = surface.pixel(x, y);
            if (c == surface.pixel(x - 1, y)) {
              ++runs.back();
            } else {
              runs.push_back(1);
            }
            const std::int32_t sum = std::int32_t(c & 0xFF) + std::int32_t((c >> 8) & 0xFF) +
                                     std::int32_t((c >> 16) & 0xFF);
            EXPECT_GE(sum, last_sum) << shown << " row " << j << " falls at x " << x;
            last_sum = sum;
          }
          if (cw >= 2) {
            const auto [lo, hi] = std::minmax_element(runs.begin(), runs.end());
            EXPECT_LE(*hi - *lo, 1) << shown << " row " << j;
          }
        }
      }
    }
  }
}

// The 24 patches in the 8-bit sRGB values X-Rite publishes for the ColorChecker Classic.
TEST_P(PreparedCharts, ColourCheckerCarriesThePublishedValues) {
  constexpr std::array<std::array<std::int32_t, 3>, 24> kPublished{{
      {115, 82, 68},   {194, 150, 130}, {98, 122, 157}, {87, 108, 67},   {133, 128, 177},
      {103, 189, 170}, {214, 126, 44},  {80, 91, 166},  {193, 90, 99},   {94, 60, 108},
      {157, 188, 64},  {224, 163, 46},  {56, 61, 150},  {70, 148, 73},   {175, 54, 60},
      {231, 199, 31},  {187, 86, 149},  {8, 133, 161},  {243, 243, 242}, {200, 200, 200},
      {160, 160, 160}, {122, 122, 121}, {85, 85, 85},   {52, 52, 52},
  }};
  const auto chart = window();
  chart->press(6);
  const Surface& surface = chart->surface;
  const std::int32_t cw = GetParam().width / 6, ch = GetParam().height / 4;
  for (std::size_t n = 0; n < kPublished.size(); ++n) {
    const std::int32_t i = std::int32_t(n % 6), j = std::int32_t(n / 6);
    EXPECT_EQ(surface.pixel(i * cw + cw / 2, j * ch + ch / 2),
              rgb(kPublished[n][0], kPublished[n][1], kPublished[n][2]))
        << "patch " << n + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, PreparedCharts,
                         ::testing::Values(WindowSize{"Designed", 832, 533},
                                           WindowSize{"FullHd", 1920, 1080}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
