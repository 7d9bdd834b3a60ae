#pragma once
// The counters a page-writing benchmark reports beside its time: the page's bytes in memory, the
// written file's size and the memory the write added at its peak. The file is removed afterwards.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <filesystem>
#include <system_error>

#include "surface/surface.h"

namespace lumigrid::bench {

inline void report_page_file(benchmark::State& state, const Surface& page,
                             const std::filesystem::path& file, double peak_extra_mib) {
  constexpr double kMiB = 1 << 20;
  state.counters["peak_extra_MiB"] = peak_extra_mib;
  state.counters["page_MiB"] = double(page.stride() * std::size_t(page.height())) / kMiB;
  std::error_code ec;
  state.counters["file_MiB"] = double(std::filesystem::file_size(file, ec)) / kMiB;
  std::filesystem::remove(file, ec);
}

}  // namespace lumigrid::bench
