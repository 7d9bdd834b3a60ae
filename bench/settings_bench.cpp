// The settings file at start and exit when it is large: the start-up read, and the exit write of
// the latest pattern and the six positions. Each iteration writes a fresh file (not timed), then
// reads and writes it as the program does; the counters give the peak memory above the start of
// the iteration and the file's size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "peak_memory.h"
#include "settings/settings.h"

namespace {

// A scratch settings file of about `megabytes` MB: blank lines, or short sections of one key.
std::string make_settings_file(std::int64_t megabytes, bool sections) {
  char name[] = "/tmp/lumigrid-bench-settings-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd >= 0) ::close(fd);
  const auto size = static_cast<std::size_t>(megabytes) * 1000000;
  std::string bytes;
  bytes.reserve(size + 64);
  if (sections) {
    for (std::size_t n = 0; bytes.size() < size; ++n)
      bytes.append("[chart ").append(std::to_string(n)).append("]\ncolor X=6\n");
  } else {
    bytes.assign(size, '\n');
  }
  std::ofstream(name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  return name;
}

void start_and_exit(benchmark::State& state) {
  const bool sections = state.range(1) != 0;
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = make_settings_file(state.range(0), sections);
    lumigrid::bench::PeakMemory memory;
    state.ResumeTiming();
    const lumigrid::StartupSettings start = lumigrid::read_startup_settings(
        lumigrid::SettingsLocation(path), lumigrid::SliderPositions{});
    lumigrid::write_exit_settings(lumigrid::SettingsLocation(path), start.latest_pattern + 1,
                                  start.positions);
    state.PauseTiming();
    peak = std::max(peak, memory.extra_mib());
    std::remove(path.c_str());
    state.ResumeTiming();
  }
  state.counters["peak_MiB"] = peak;
  state.counters["file_MB"] = double(state.range(0));
}
BENCHMARK(start_and_exit)
    ->Args({10, 0})
    ->Args({60, 0})
    ->Args({10, 1})
    ->Args({60, 1})
    ->ArgNames({"MB", "sections"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
BENCHMARK_MAIN();
