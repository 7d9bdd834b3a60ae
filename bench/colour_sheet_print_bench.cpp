// Printing colour chart 6 on the whole of an A4 and an A0 sheet at 600 dpi as lumigrid-render
// --keys 6 --paper P --print does: the chart drawn on the sheet, its strip, the queue's
// question and the job's PDF sent, up to the job accepted by the server; and the memory it all
// adds (the sheet's own pixels, 4 bytes each, are most of it).
//
//   python3 tests/print/private_cups.py -- build/release/bench/colour_sheet_print_bench
//
// Needs a print server whose default queue accepts jobs (CUPS_SERVER names the private one);
// skipped otherwise.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "page/paper_sheet.h"
#include "patterns/chart_painter.h"
#include "peak_memory.h"
#include "print/cups_printing.h"
#include "surface/surface.h"

namespace {

void print_sheet(benchmark::State& state, const char* paper_name, bool srgb) {
  const lumigrid::PrintServer server = lumigrid::default_print_server();
  if (const auto problem = lumigrid::print_server_problem(server)) {
    state.SkipWithError(("no print server: " + *problem).c_str());
    return;
  }
  const std::string queue = lumigrid::default_print_queue(server);
  const lumigrid::PaperSize paper = *lumigrid::sheet_paper(paper_name);
  const lumigrid::SheetPrint sheet{*lumigrid::sheet_wanted_paper(paper_name),
                                   lumigrid::kSheetDpiHigh, srgb, true, "6"};
  const lumigrid::AreaSize size = lumigrid::sheet_size(paper, sheet.dpi);
  // The chart's defaults, from a settings file of the benchmark's own.
  const std::filesystem::path settings =
      std::filesystem::temp_directory_path() / "lumigrid-colour-sheet-bench.INI";
  double peak = 0;
  for (auto _ : state) {
    lumigrid::bench::PeakMemory memory;
    lumigrid::Surface surface(size.width, size.height, lumigrid::PixelFormat::Rgb32);
    lumigrid::ChartState chart;
    lumigrid::ChartPainter painter(surface, chart, lumigrid::SettingsLocation(settings), {}, '.');
    painter.image_Pattern(6);
    lumigrid::draw_sheet_strip(surface, sheet.dpi, "lumigrid: pattern 6");
    const lumigrid::PreparedSheetJob job = lumigrid::prepare_sheet_job(server, queue, sheet);
    benchmark::DoNotOptimize(lumigrid::send_sheet_job(server, lumigrid::SurfaceRows(surface), job));
    peak = std::max(peak, memory.extra_mib());
  }
  std::filesystem::remove(settings);
  state.counters["extra_MiB"] = peak;
}

BENCHMARK_CAPTURE(print_sheet, A4_600dpi_device_to_job_accepted, "A4", false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(print_sheet, A4_600dpi_srgb_to_job_accepted, "A4", true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(print_sheet, A0_600dpi_device_to_job_accepted, "A0", false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
