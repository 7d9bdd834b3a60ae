// The About window's costs at start-up: reading the executable's version record back (a scan of
// the whole file when it holds none) and reading the index file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "about/update_index.h"
#include "about/version_record.h"

namespace {

// A scratch file of `megabytes` MiB of code-like bytes, optionally ending with a record.
std::string make_executable_like(int megabytes, bool with_record) {
  char name[] = "/tmp/lumigrid-bench-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd >= 0) ::close(fd);
  std::vector<unsigned char> bytes(static_cast<std::size_t>(megabytes) << 20);
  unsigned state = 12345;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>(state >> 16);
  }
  if (with_record) {
    const auto record = lumigrid::about::make_version_record(1, 0, 0, 1);
    std::copy(record.begin(), record.end(), bytes.end() - 4096);
  }
  std::ofstream(name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return name;
}

void BM_get_file_version(benchmark::State& state) {
  const bool with_record = state.range(1) != 0;
  const std::string path = make_executable_like(static_cast<int>(state.range(0)), with_record);
  for (auto _ : state) benchmark::DoNotOptimize(lumigrid::about::get_file_version(path));
  state.SetBytesProcessed(state.iterations() * (state.range(0) << 20));
  std::remove(path.c_str());
}
BENCHMARK(BM_get_file_version)
    ->Args({16, 1})
    ->Args({16, 0})
    ->ArgNames({"MiB", "record"})
    ->Unit(benchmark::kMillisecond);

void BM_parse_index(benchmark::State& state) {
  const std::string text =
      R"({"file_name": "lumigrid-1.0.0.2.zip", "version": "1.0.0.2",)"
      R"( "website": "http://updates.lumigrid.invalid/release-notes/1.0.0.2", "notes": [1, 2, 3]})";
  for (auto _ : state) benchmark::DoNotOptimize(lumigrid::about::parse_index(text));
}
BENCHMARK(BM_parse_index);

}  // namespace
BENCHMARK_MAIN();
