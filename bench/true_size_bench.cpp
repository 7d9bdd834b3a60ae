// Saving real A4 and B0 pages as TIFF and PDF, beside PNG: seconds, peak memory and file size.
//
//   true_size_bench --benchmark_filter=A4
//   true_size_bench --benchmark_filter=B0     (slow: builds a 789 MB page)
//
// peak_extra_MiB is the peak resident memory during the save above what the process held before
// it (the page itself). Files go to $LUMIGRID_BENCH_DIR, else the system's temporary folder.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "export/image_export.h"
#include "page/page_build.h"
#include "page_file_counters.h"
#include "peak_memory.h"

namespace {

using lumigrid::ImageEncoding;
using lumigrid::Surface;
using lumigrid::bench::PeakMemory;

std::filesystem::path bench_folder() {
  const char* dir = std::getenv("LUMIGRID_BENCH_DIR");
  return dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
}

// The page the drawing-area list builds for `text`, with the program's default rings.
const Surface& page_of(const char16_t* text) {
  static std::unique_ptr<lumigrid::PageBuild> build;
  static const char16_t* held = nullptr;
  if (held != text) {
    build.reset();
    build = std::make_unique<lumigrid::PageBuild>(
        lumigrid::build_page(text, lumigrid::PageRequest{{100, 8, 50}, 96}));
    held = text;
  }
  return build->page;
}

void save_page(benchmark::State& state, const char16_t* text, ImageEncoding encoding,
               const char* extension) {
  const Surface& page = page_of(text);
  const auto file = bench_folder() / (std::string("lumigrid_true_size") + extension);
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    state.ResumeTiming();
    PeakMemory memory;
    lumigrid::save_image_as(page, file, encoding);
    peak = std::max(peak, memory.extra_mib());
  }
  lumigrid::bench::report_page_file(state, page, file, peak);
}

constexpr char16_t kA4[] = u"A4";
constexpr char16_t kB0[] = u"B0";

}  // namespace

BENCHMARK_CAPTURE(save_page, A4_png, kA4, ImageEncoding::Png, ".png")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(save_page, A4_tiff, kA4, ImageEncoding::Tiff, ".tif")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(save_page, A4_pdf, kA4, ImageEncoding::Pdf, ".pdf")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(save_page, B0_png, kB0, ImageEncoding::Png, ".png")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(save_page, B0_tiff, kB0, ImageEncoding::Tiff, ".tif")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(save_page, B0_pdf, kB0, ImageEncoding::Pdf, ".pdf")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
