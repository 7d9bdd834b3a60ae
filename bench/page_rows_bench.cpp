// The printable page as a description beside the page bitmap, in the same run: building each,
// reading every row of it as a writer does, and saving it in each file type, with the peak
// memory each takes beyond what the process held before.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/image_export.h"
#include "page/page_build.h"
#include "peak_memory.h"

namespace lumigrid {
namespace {

const char16_t* const kPages[] = {u"A4", u"B0", u"200000x200000"};

// Paths: 0 the bitmap (today's reference), 1 the description.
void BM_BuildPage(benchmark::State& state) {
  const char16_t* text = kPages[state.range(0)];
  const bool described = state.range(1) == 1;
  double peak = 0;
  for (auto _ : state) {
    const bench::PeakMemory memory;
    if (described) {
      benchmark::DoNotOptimize(build_chart_page(text, PageRequest{}).page.get());
    } else {
      benchmark::DoNotOptimize(build_page(text, PageRequest{}).page.data());
    }
    peak = std::max(peak, memory.extra_mib());
  }
  state.counters["peak_MiB"] = peak;
  state.SetLabel(described ? "description" : "bitmap");
}

// Every row read once, as the writers read them: the streaming row source.
void BM_ReadAllRows(benchmark::State& state) {
  const char16_t* text = kPages[state.range(0)];
  const bool described = state.range(1) == 1;
  double peak = 0;
  for (auto _ : state) {
    const bench::PeakMemory memory;
    std::shared_ptr<const ChartPage> page;
    std::unique_ptr<Surface> bitmap;
    std::unique_ptr<RowSource> bitmap_rows;
    const RowSource* rows = nullptr;
    if (described) {
      page = build_chart_page(text, PageRequest{}).page;
      rows = page.get();
    } else {
      bitmap = std::make_unique<Surface>(std::move(build_page(text, PageRequest{}).page));
      bitmap_rows = std::make_unique<SurfaceRows>(*bitmap);
      rows = bitmap_rows.get();
    }
    std::vector<std::uint8_t> scratch(rows->rowBytes());
    std::uint64_t total = 0;
    for (std::int32_t y = 0; y < rows->height(); ++y) total += rows->row(y, scratch.data())[y % 97];
    benchmark::DoNotOptimize(total);
    peak = std::max(peak, memory.extra_mib());
    state.SetBytesProcessed(state.bytes_processed() +
                            std::int64_t(rows->rowBytes()) * rows->height());
  }
  state.counters["peak_MiB"] = peak;
  state.SetLabel(described ? "description" : "bitmap");
}

// Build and save, as `lumigrid-render --page TEXT -o FILE` does.
void BM_SavePage(benchmark::State& state) {
  static const char* const kExtensions[] = {".png", ".tif", ".pdf", ".bmp", ".jpg", ".gif"};
  const char16_t* text = kPages[state.range(0)];
  const bool described = state.range(1) == 1;
  const std::string extension = kExtensions[state.range(2)];
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("lumigrid-bench-" + std::to_string(getpid()) + extension);
  double peak = 0;
  for (auto _ : state) {
    const bench::PeakMemory memory;
    if (described) {
      save_image(*build_chart_page(text, PageRequest{}).page, path);
    } else {
      save_image(build_page(text, PageRequest{}).page, path);
    }
    peak = std::max(peak, memory.extra_mib());
  }
  std::filesystem::remove(path);
  state.counters["peak_MiB"] = peak;
  state.SetLabel(std::string(described ? "description " : "bitmap ") + extension);
}

BENCHMARK(BM_BuildPage)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildPage)->Args({2, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllRows)->ArgsProduct({{1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllRows)->Args({2, 1})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SavePage)
    ->ArgsProduct({{1}, {0, 1}, {0, 1, 2, 3, 4, 5}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_SavePage)
    ->ArgsProduct({{2}, {1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace lumigrid

BENCHMARK_MAIN();
