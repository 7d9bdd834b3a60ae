// JPEG, GIF and BMP saves as the writers make them now (bands on every core, equal bands once;
// gathered writes) beside the writers they replaced (one library call on one core, row by row),
// and beside `dd` writing the same number of bytes to the same folder: the floor no encoder goes
// below. Pictures: the B0 and A4 pages as `lumigrid-render --page` saves them (described, never
// held whole), and a 3840 x 2160 window capture of each pattern.
//
//   band_encoders_bench --benchmark_filter=B0/      (files of up to 3 GB)
//   band_encoders_bench --benchmark_filter=A4/
//   band_encoders_bench --benchmark_filter=capture/
//
// cpu_ms is the processor time of all the save's threads (and of dd); peak_extra_MiB is the peak
// resident memory during the save above what the process held before it (the picture itself);
// file_MiB the file's size. Files go to $LUMIGRID_BENCH_DIR, else the system's temporary folder.
// Each case runs once untimed before it is measured: the first gigabytes a process writes cost more
// than later ones.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "export/export_internal.h"
#include "export/image_export.h"
#include "page/page_build.h"
#include "patterns/chart_painter.h"
#include "peak_memory.h"
#include "surface/surface.h"
#include "today_writers.h"

extern char** environ;

namespace lumigrid {
namespace {

using bench::PeakMemory;

std::filesystem::path bench_folder() {
  const char* dir = std::getenv("LUMIGRID_BENCH_DIR");
  return dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
}

// A picture to save: a page description or a capture's surface, made when first asked for and
// kept until another is asked for.
struct Picture {
  std::shared_ptr<const ChartPage> page;
  std::unique_ptr<Surface> capture;
  std::unique_ptr<RowSource> capture_rows;
  const RowSource& rows() const {
    return page ? static_cast<const RowSource&>(*page) : *capture_rows;
  }
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

// name: "B0", "A4" or "capture_N" for pattern N.
const RowSource& picture(const std::string& name) {
  static std::string held;
  static Picture current;
  if (held != name) {
    current = Picture{};
    if (name.rfind("capture_", 0) == 0) {
      current.capture = std::make_unique<Surface>(3840, 2160, PixelFormat::Rgb32, kWhite);
      ChartState state;
      const LivePatternValues live{100, 8, 50};
      ChartPainter painter(*current.capture, state, chart_settings(),
                           {[live] { return live; }, {}});
      painter.image_Pattern(std::stoi(name.substr(8)));
      current.capture_rows = std::make_unique<SurfaceRows>(*current.capture);
    } else {
      const std::u16string text(name.begin(), name.end());
      current.page = build_chart_page(text, PageRequest{{100, 8, 50}, 96}).page;
    }
    held = name;
  }
  return current.rows();
}

using Writer = void (*)(const RowSource&, export_detail::AtomicFile&,
                        export_detail::ProgressPacer&);

struct Format {
  const char* name;
  const char* extension;
  ImageEncoding encoding;
  Writer today;
};
const Format kFormats[] = {
    {"jpeg", ".jpg", ImageEncoding::Jpeg, bench::today::write_jpeg},
    {"gif", ".gif", ImageEncoding::Gif, bench::today::write_gif},
    {"bmp", ".bmp", ImageEncoding::Bmp, bench::today::write_bmp},
};

// The size of each picture's file in each format, as the new writer made it: what dd writes.
std::map<std::string, std::uint64_t>& file_sizes() {
  static std::map<std::string, std::uint64_t> sizes;
  return sizes;
}

void save_today(const RowSource& rows, const Format& format, const std::filesystem::path& path) {
  export_detail::AtomicFile file(path);
  export_detail::ProgressPacer pacer({}, export_detail::progress_steps(rows, format.encoding));
  format.today(rows, file, pacer);
  file.commit();
}

void run_dd(benchmark::State& state, const std::filesystem::path& path, std::uint64_t bytes) {
  const std::string of = "of=" + path.string();
  const std::string count = "count=" + std::to_string(bytes);
  const char* argv[] = {"dd",          "if=/dev/zero",      of.c_str(),    "bs=4M",
                        count.c_str(), "iflag=count_bytes", "status=none", nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "dd", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    state.SkipWithError("dd not found");
    return;
  }
  int status = 0;
  waitpid(child, &status, 0);
}

// Processor time of every thread of the process and of the children it waited for, in ms: on a
// shared machine the wall time also counts other programs' turns.
double cpu_ms() {
  double total = 0;
  for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage usage{};
    getrusage(who, &usage);
    total += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
             double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  }
  return total;
}

// variant: "new" (save_image_as), "today" (the replaced writer), "dd" (the floor).
void save(benchmark::State& state, std::string picture_name, const Format* format,
          std::string variant) {
  const RowSource& rows = picture(picture_name);
  const auto path = bench_folder() / ("lumigrid_bands_" + variant + format->extension);
  const std::string key = picture_name + format->name;
  std::function<void()> once;
  if (variant == "new") {
    once = [&] { save_image_as(rows, path, format->encoding); };
  } else if (variant == "today") {
    once = [&] { save_today(rows, *format, path); };
  } else {
    if (file_sizes().count(key) == 0) {
      state.SkipWithError("run the new writer first");
      return;
    }
    once = [&, bytes = file_sizes()[key]] { run_dd(state, path, bytes); };
  }
  PeakMemory first;
  once();  // untimed, see above
  double peak = first.extra_mib();
  const double cpu_before = cpu_ms();
  for (auto _ : state) {
    // Each save makes a new file: replacing one adds a sync to disk.
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
    PeakMemory memory;
    once();
    peak = std::max(peak, memory.extra_mib());
  }
  state.counters["cpu_ms"] = (cpu_ms() - cpu_before) / double(state.iterations());
  std::error_code ec;
  const std::uint64_t size = std::filesystem::file_size(path, ec);
  if (variant == "new") file_sizes()[key] = size;
  state.counters["peak_extra_MiB"] = variant == "dd" ? 0 : peak;
  state.counters["file_MiB"] = double(size) / (1 << 20);
  std::filesystem::remove(path, ec);
}

void register_picture(const std::string& name, int iterations) {
  for (const Format& format : kFormats) {
    for (const char* variant : {"new", "today", "dd"}) {
      benchmark::RegisterBenchmark((name + "/" + format.name + "/" + variant).c_str(), save, name,
                                   &format, std::string(variant))
          ->Unit(benchmark::kMillisecond)
          ->Iterations(iterations)
          ->UseRealTime();
    }
  }
}

}  // namespace
}  // namespace lumigrid

int main(int argc, char** argv) {
  lumigrid::register_picture("B0", 1);
  lumigrid::register_picture("A4", 3);
  for (int pattern = 0; pattern <= 9; ++pattern) {
    lumigrid::register_picture("capture_" + std::to_string(pattern), 3);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(lumigrid::chart_settings());
  return 0;
}
