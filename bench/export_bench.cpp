// Saves of real printable pages (built as the drawing-area list builds them) against the floor
// each library sets on its own, in the same run: seconds, file size and peak memory.
//
//   export_bench --benchmark_filter=A4
//   export_bench --benchmark_filter=B0/     (slow: a 789 MB page, files of up to 3 GB)
//   export_bench --benchmark_filter=B0_space10
//   export_bench --benchmark_filter=noise   (one zlib stream against segments on 1 and N threads)
//
// peak_extra_MiB is the peak resident memory during the save above what the process held before
// it (the page itself). Files go to $LUMIGRID_BENCH_DIR, else the system's temporary folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <gif_lib.h>
#include <png.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/utf.h"
#include "export/image_export.h"
#include "export/png_writer.h"
#include "page/drawing_area.h"
#include "page/page_build.h"
#include "peak_memory.h"
#include "surface/surface.h"

extern char** environ;

namespace {

using lumigrid::ImageEncoding;
using lumigrid::PixelFormat;
using lumigrid::Surface;
using lumigrid::bench::PeakMemory;

// A page as the drawing-area list builds it, with the adjust window's Space, Pitch and Pitch2.
struct PageSize {
  const char* name;
  const char* area_text;
  std::int32_t space, pitch, pitch2;
};
constexpr PageSize kA4{"A4", "A4 600 dpi 7016x4961", 100, 8, 50};
constexpr PageSize kB0{"B0", "B0", 100, 8, 50};
constexpr PageSize kB0Space10{"B0_space10", "B0", 10, 5, 50};

// warm_up_note: every case runs once untimed before it is measured. The first gigabytes a
// process writes cost the system several times more than later ones, which would otherwise
// penalise whichever case runs first.

std::filesystem::path bench_folder() {
  const char* dir = std::getenv("LUMIGRID_BENCH_DIR");
  return dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
}

std::unique_ptr<Surface> make_page(const PageSize& size) {
  const lumigrid::PageRequest request{{size.space, size.pitch, size.pitch2}, 96};
  auto build = lumigrid::build_page(lumigrid::utf16_from_utf8(size.area_text), request);
  return std::make_unique<Surface>(std::move(build.page));
}

const Surface& page_of(const PageSize& size) {
  static std::unique_ptr<Surface> page;
  static const PageSize* held = nullptr;
  if (held != &size) {
    page.reset();
    page = make_page(size);
    held = &size;
  }
  return *page;
}

void report(benchmark::State& state, double peak_mib, const std::filesystem::path& file) {
  state.counters["peak_extra_MiB"] = peak_mib;
  std::error_code ec;
  state.counters["file_MiB"] = double(std::filesystem::file_size(file, ec)) / (1 << 20);
  std::filesystem::remove(file, ec);
}

void save_page(benchmark::State& state, const PageSize* size, ImageEncoding encoding,
               const char* extension) {
  const Surface& page = page_of(*size);
  const auto file = bench_folder() / (std::string("lumigrid_bench_page") + extension);
  // The warm-up save is the first of its kind in the process: its peak counts too, as later
  // saves reuse memory the allocator already holds.
  PeakMemory first;
  lumigrid::save_image_as(page, file, encoding);  // warm-up, see warm_up_note
  double peak = first.extra_mib();
  for (auto _ : state) {
    // Each save makes a new file: replacing one adds a sync to disk, measured by no floor.
    state.PauseTiming();
    std::filesystem::remove(file);
    state.ResumeTiming();
    PeakMemory memory;
    lumigrid::save_image_as(page, file, encoding);
    peak = std::max(peak, memory.extra_mib());
  }
  report(state, peak, file);
}

// BMP has no library: its floor is writing the same number of bytes with plain write(2).
void floor_bmp(benchmark::State& state, const PageSize* size) {
  const Surface& page = page_of(*size);
  const auto file = bench_folder() / "lumigrid_bench_floor.bmp";
  const std::uint64_t bytes = 54 + std::uint64_t(page.width()) * std::uint64_t(page.height()) * 4;
  std::vector<char> chunk(4 << 20, 'x');
  auto write_once = [&] {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (std::uint64_t left = bytes; left > 0;) {
      const std::size_t n = left < chunk.size() ? left : chunk.size();
      if (::write(fd, chunk.data(), n) != ssize_t(n)) state.SkipWithError("write failed");
      left -= n;
    }
    ::close(fd);
  };
  write_once();  // warm-up, see warm_up_note
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    state.ResumeTiming();
    write_once();
  }
  report(state, 0, file);
}

// libpng writing the page with the export's settings: plain level 7, the Sub filter, one stream
// on one thread. Rows are widened to RGB as they go (a small part of the time), so that the floor
// does not hold a second, three times larger copy of a B0 page.
void floor_png(benchmark::State& state, const PageSize* size) {
  const Surface& page = page_of(*size);
  const auto file = bench_folder() / "lumigrid_bench_floor.png";
  std::vector<std::uint8_t> rgb(std::size_t(page.width()) * 3);
  auto write_once = [&] {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, out);
    png_set_IHDR(png, info, png_uint_32(page.width()), png_uint_32(page.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 7);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_buffer_size(png, 65535);
    png_write_info(png, info);
    for (std::int32_t y = 0; y < page.height(); ++y) {
      const std::uint8_t* grey = page.rowData(y);
      for (std::int32_t x = 0; x < page.width(); ++x) {
        rgb[std::size_t(x) * 3] = rgb[std::size_t(x) * 3 + 1] = rgb[std::size_t(x) * 3 + 2] =
            grey[x];
      }
      png_write_row(png, rgb.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
  };
  write_once();  // warm-up, see warm_up_note
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    state.ResumeTiming();
    write_once();
  }
  report(state, 0, file);
}

double children_cpu_ms() {
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  return double(children.ru_utime.tv_sec + children.ru_stime.tv_sec) * 1e3 +
         double(children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e3;
}

// cjpeg -quality 90 on a PPM of the page written beforehand.
void floor_jpeg(benchmark::State& state, const PageSize* size) {
  const Surface& page = page_of(*size);
  const auto ppm = bench_folder() / "lumigrid_bench_floor.ppm";
  const auto file = bench_folder() / "lumigrid_bench_floor.jpg";
  {
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << page.width() << " " << page.height() << "\n255\n";
    std::vector<char> row(std::size_t(page.width()) * 3);
    for (std::int32_t y = 0; y < page.height(); ++y) {
      const std::uint8_t* grey = page.rowData(y);
      for (std::int32_t x = 0; x < page.width(); ++x) {
        row[std::size_t(x) * 3] = row[std::size_t(x) * 3 + 1] = row[std::size_t(x) * 3 + 2] =
            char(grey[x]);
      }
      out.write(row.data(), std::streamsize(row.size()));
    }
  }
  const std::string ppm_path = ppm.string(), out_path = file.string();
  auto write_once = [&] {
    const char* argv[] = {"cjpeg",          "-quality",       "90",   "-outfile",
                          out_path.c_str(), ppm_path.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "cjpeg", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      state.SkipWithError("cjpeg not found (libjpeg-turbo-progs)");
      return;
    }
    int status = 0;
    waitpid(child, &status, 0);
  };
  write_once();  // warm-up, see warm_up_note
  const double children_before = children_cpu_ms();
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    state.ResumeTiming();
    write_once();
  }
  // cjpeg runs in a child: its processor time is not the benchmark thread's.
  state.counters["child_cpu_ms"] =
      (children_cpu_ms() - children_before) / double(state.iterations());
  std::filesystem::remove(ppm);
  report(state, 0, file);
}

// giflib compressing palette indices prepared beforehand (two colours: the page's palette).
void floor_gif(benchmark::State& state, const PageSize* size) {
  const Surface& page = page_of(*size);
  std::vector<GifPixelType> indices(std::size_t(page.width()) * std::size_t(page.height()));
  for (std::int32_t y = 0; y < page.height(); ++y) {
    const std::uint8_t* grey = page.rowData(y);
    for (std::int32_t x = 0; x < page.width(); ++x) {
      indices[std::size_t(y) * std::size_t(page.width()) + std::size_t(x)] = grey[x] != 0;
    }
  }
  const auto file = bench_folder() / "lumigrid_bench_floor.gif";
  GifColorType colours[2] = {{0, 0, 0}, {255, 255, 255}};
  auto write_once = [&] {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(file.c_str(), false, &error);
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifPutScreenDesc(gif, page.width(), page.height(), 1, 0, map);
    EGifPutImageDesc(gif, 0, 0, page.width(), page.height(), false, nullptr);
    for (std::int32_t y = 0; y < page.height(); ++y) {
      EGifPutLine(gif, &indices[std::size_t(y) * std::size_t(page.width())], page.width());
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
  };
  write_once();  // warm-up, see warm_up_note
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    state.ResumeTiming();
    write_once();
  }
  report(state, 0, file);
}

void register_page(const PageSize* size, int iterations, bool every_format) {
  const std::string prefix = size->name;
  auto add = [&](const std::string& name, auto function, auto... args) {
    benchmark::RegisterBenchmark((prefix + "/" + name).c_str(), function, size, args...)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(iterations)
        ->UseRealTime();
  };
  add("png/export", save_page, ImageEncoding::Png, ".png");
  add("png/floor_libpng", floor_png);
  if (!every_format) return;
  add("bmp/export", save_page, ImageEncoding::Bmp, ".bmp");
  add("bmp/floor_write", floor_bmp);
  add("jpeg/export", save_page, ImageEncoding::Jpeg, ".jpg");
  add("jpeg/floor_cjpeg", floor_jpeg);
  add("gif/export", save_page, ImageEncoding::Gif, ".gif");
  add("gif/floor_giflib", floor_gif);
}

// A picture that never repeats: all the speed comes from the threads. 4096 x 4096 colours of a
// linear congruential sequence, about 48 MiB of filtered rows.
const Surface& noise_picture() {
  static const Surface noise = [] {
    Surface s(4096, 4096, PixelFormat::Rgb32);
    std::uint32_t state = 12345;
    for (std::int32_t y = 0; y < s.height(); ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(s.rowData(y));
      for (std::int32_t x = 0; x < s.width(); ++x) {
        state = state * 1664525u + 1013904223u;
        row[x] = 0xFF000000u | (state >> 8);
      }
    }
    return s;
  }();
  return noise;
}

// single_stream: the whole picture as one zlib stream, as small pictures are written; segments:
// the segmented stream on `threads` threads (0: one per processor).
void save_noise(benchmark::State& state, bool single_stream, unsigned threads) {
  const Surface& noise = noise_picture();
  lumigrid::export_detail::PngTuning tuning;
  tuning.threads = threads;
  if (single_stream) tuning.single_stream_below = UINT64_MAX;
  const auto file = bench_folder() / "lumigrid_bench_noise.png";
  auto write_once = [&] {
    lumigrid::export_detail::AtomicFile out(file);
    lumigrid::export_detail::ProgressPacer pacer({}, std::uint64_t(noise.height()));
    lumigrid::export_detail::write_png(lumigrid::SurfaceRows(noise), out, pacer, tuning);
    out.commit();
  };
  PeakMemory first;
  write_once();  // warm-up, see warm_up_note
  double peak = first.extra_mib();
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    state.ResumeTiming();
    PeakMemory memory;
    write_once();
    peak = std::max(peak, memory.extra_mib());
  }
  state.counters["threads"] = threads == 0 ? std::thread::hardware_concurrency() : threads;
  report(state, peak, file);
}

void register_noise() {
  auto add = [](const char* name, bool single_stream, unsigned threads) {
    benchmark::RegisterBenchmark(name, save_noise, single_stream, threads)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
  };
  add("noise/png/one_stream", true, 1);
  add("noise/png/segments_1_thread", false, 1);
  add("noise/png/segments_all_threads", false, 0);
}

}  // namespace

int main(int argc, char** argv) {
  register_page(&kA4, 3, true);
  register_page(&kB0, 1, true);
  register_page(&kB0Space10, 1, false);
  register_noise();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
