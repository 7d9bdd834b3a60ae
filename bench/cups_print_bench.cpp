// Printing real A4 and B0 pages on a CUPS queue as the viewer and lumigrid-render --print do:
// from the queue's question to the job accepted by the server, and the memory the job adds
// beyond the page (its PDF is written to a temporary file and streamed to the server).
//
//   python3 tests/print/private_cups.py -- build/release/bench/cups_print_bench
//
// Needs a print server whose default queue accepts jobs (CUPS_SERVER names the private one);
// skipped otherwise.
//
// The queue's question with a 12 MB answer (a media-col-database of 60000 sizes), read and
// parsed, needs tests/print/fake_ipp_server.py; LUMIGRID_FAKE_IPP_PORT names its port:
//
//   python3 tests/print/fake_ipp_server.py   # prints PORT
//   LUMIGRID_FAKE_IPP_PORT=PORT build/release/bench/cups_print_bench --benchmark_filter=large
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "page/page_build.h"
#include "peak_memory.h"
#include "print/cups_printing.h"

namespace {

void send_job(benchmark::State& state, const char* area) {
  const lumigrid::PrintServer server = lumigrid::default_print_server();
  if (const auto problem = lumigrid::print_server_problem(server)) {
    state.SkipWithError(("no print server: " + *problem).c_str());
    return;
  }
  const std::u16string text(area, area + std::char_traits<char>::length(area));
  const lumigrid::PageBuild build =
      lumigrid::build_page(text, lumigrid::PageRequest{{100, 8, 50}, 96});
  const std::string name = lumigrid::default_print_queue(server);
  double peak = 0;
  for (auto _ : state) {
    lumigrid::bench::PeakMemory memory;
    const lumigrid::PreparedPageJob job =
        lumigrid::prepare_page_job(server, name, area, build.page.width(), build.page.height());
    benchmark::DoNotOptimize(lumigrid::send_page_job(server, build.page, job.plan, job.request));
    peak = std::max(peak, memory.extra_mib());
  }
  state.counters["extra_MiB"] = peak;
}

void query_large_answer(benchmark::State& state) {
  const char* port = std::getenv("LUMIGRID_FAKE_IPP_PORT");
  if (port == nullptr) {
    state.SkipWithError("LUMIGRID_FAKE_IPP_PORT names no fake print server");
    return;
  }
  lumigrid::PrintServer server;
  server.host = "127.0.0.1";
  server.port = std::atoi(port);
  double peak = 0;
  for (auto _ : state) {
    lumigrid::bench::PeakMemory memory;
    const lumigrid::PrintQueue queue = lumigrid::query_print_queue(server, "large");
    benchmark::DoNotOptimize(queue.media.size());
    peak = std::max(peak, memory.extra_mib());
  }
  state.counters["extra_MiB"] = peak;
}

BENCHMARK(query_large_answer)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(send_job, A4_to_job_accepted, "A4")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(send_job, B0_to_job_accepted, "B0")->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
