// Every pattern drawn through the dispatcher onto an Rgb32 surface of screen size, including
// the densest settings the adjust window allows (H 700, Space 10).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "patterns/chart_painter.h"
#include "patterns/display_tests.h"
#include "surface/surface.h"

namespace {

using namespace lumigrid;

struct Settings {
  std::int32_t H = 40;
  std::int32_t space = 100;
  std::int32_t pitch = 8;
};

std::filesystem::path chart_settings() {
  static const std::filesystem::path path = [] {
    const auto p = std::filesystem::temp_directory_path() /
                   ("lumigrid-bench-" + std::to_string(::getpid()) + ".INI");
    std::ofstream(p) << "[Dynamic Range]\ncolor X=6\ncolor Y=4\nborder=0.1\ntext=1\n"
                        "[color checker]\ncolor X=6\ncolor Y=4\nborder=0.1\n";
    return p;
  }();
  return path;
}

void draw_pattern(benchmark::State& bench, std::int32_t pattern, std::int32_t width,
                  std::int32_t height, Settings settings) {
  Surface surface(width, height, PixelFormat::Rgb32, kWhite);
  ChartState state;
  state.line_H = settings.H;
  const LivePatternValues live{settings.space, settings.pitch, 50};
  ChartPainter painter(surface, state, chart_settings(), {[live] { return live; }, {}});
  for (auto _ : bench) {
    // pattern 4 alternates its grids; keep measuring the square one
    state.toggle_count = 0;
    painter.image_Pattern(pattern);
    benchmark::DoNotOptimize(surface.data());
  }
}

void register_all() {
  struct Screen {
    const char* name;
    std::int32_t width, height;
  };
  struct Case {
    const char* name;
    std::int32_t pattern;
    Settings settings;
  };
  const Screen screens[] = {{"1920x1080", 1920, 1080}, {"3840x2160", 3840, 2160}};
  const Case cases[] = {
      {"0_white", 0, {}},
      {"1_dynamic_range_labels", 1, {}},
      {"2_stripes", 2, {}},
      {"2_stripes_space10", 2, {40, 10, 8}},
      {"3_circles", 3, {}},
      {"3_circles_space10", 3, {40, 10, 8}},
      {"4_square_grid", 4, {}},
      {"4_square_grid_H700", 4, {700, 100, 8}},
      {"5_moire", 5, {}},
      {"5_moire_space10", 5, {40, 10, 8}},
      {"6_color_checker", 6, {}},
      {"7_mtf", 7, {}},
      {"7_mtf_space10", 7, {40, 10, 8}},
      {"8_dot_grid", 8, {}},
      {"8_dot_grid_H700", 8, {700, 100, 8}},
      {"9_black", 9, {}},
  };
  for (const Screen& screen : screens) {
    for (const Case& c : cases) {
      benchmark::RegisterBenchmark((std::string("pattern/") + c.name + "/" + screen.name).c_str(),
                                   [=](benchmark::State& s) {
                                     draw_pattern(s, c.pattern, screen.width, screen.height,
                                                  c.settings);
                                   })
          ->Unit(benchmark::kMillisecond);
    }
  }
  // the tilted variant of pattern 4 at its densest
  for (const Screen& screen : screens) {
    benchmark::RegisterBenchmark((std::string("pattern/4_tilted_grid_H700/") + screen.name).c_str(),
                                 [=](benchmark::State& s) {
                                   Surface surface(screen.width, screen.height, PixelFormat::Rgb32,
                                                   kWhite);
                                   ChartState state;
                                   ChartPainter painter(surface, state, chart_settings(), {});
                                   for (auto _ : s) {
                                     painter.draw_tilted_square_grid(700);
                                     benchmark::DoNotOptimize(surface.data());
                                   }
                                 })
        ->Unit(benchmark::kMillisecond);
  }
  // Every variant of the test screens at 4K, at 96 and at 192 dots per inch (labels twice as
  // tall on a HiDPI screen); the ten patterns above at the same size are the comparison.
  for (const DisplayTestInfo& info : kDisplayTests) {
    for (std::int32_t variant = 1; variant <= info.variants; ++variant) {
      for (const std::int32_t ppi : {96, 192}) {
        const std::string name = std::string("display_test/") + info.key + std::to_string(variant) +
                                 "/3840x2160/" + std::to_string(ppi);
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& s) {
          Surface surface(3840, 2160, PixelFormat::Rgb32, kWhite);
          surface.setPixelsPerInch(ppi);
          for (auto _ : s) {
            draw_display_test(surface, info.test, variant);
            benchmark::DoNotOptimize(surface.data());
          }
        })->Unit(benchmark::kMillisecond);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(chart_settings());
  return 0;
}
