// Printing real A4 and B0 pages at 100 % through a printer writing PDF, as the viewer prints:
// seconds, peak memory above the page itself, and the file's size. The page goes to the printer
// in bands, so the peak stays far below a second copy of the page (789 MB for B0).
//
//   print_bench --benchmark_filter=A4
//   print_bench --benchmark_filter=B0     (slow: builds a 789 MB page)
//
// Files go to $LUMIGRID_BENCH_DIR, else the system's temporary folder. Runs on the platform
// QT_QPA_PLATFORM names (offscreen when unset).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPrinter>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "page/page_build.h"
#include "page_file_counters.h"
#include "peak_memory.h"
#include "qt_bench_main.h"
#include "ui/page_printing.h"

namespace {

using lumigrid::Surface;

std::filesystem::path bench_folder() {
  const char* dir = std::getenv("LUMIGRID_BENCH_DIR");
  return dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
}

void print_page(benchmark::State& state, const char* area) {
  const lumigrid::PageBuild build =
      lumigrid::build_page(QString(area).toStdU16String(), lumigrid::PageRequest{{100, 8, 50}, 96});
  const Surface& page = build.page;
  const auto file = bench_folder() / "lumigrid_print.pdf";
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);
    QPrinter printer(QPrinter::HighResolution);
    lumigrid::set_up_printer_for_page(printer, page, area);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(file.string()));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    state.ResumeTiming();
    lumigrid::bench::PeakMemory memory;
    lumigrid::print_page(page, printer);
    peak = std::max(peak, memory.extra_mib());
  }
  lumigrid::bench::report_page_file(state, page, file, peak);
}

BENCHMARK_CAPTURE(print_page, A4_pdf_printer, "A4")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(print_page, B0_pdf_printer, "B0")->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return lumigrid::bench::run_qt_benchmarks(argc, argv);
}
