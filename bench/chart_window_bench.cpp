// How long the chart window takes to show a finished drawing at 3840 x 2160: the white fill on a
// bare surface, and the same fill through the window, which also shows it. The difference is
// the cost of showing. Runs on the platform QT_QPA_PLATFORM names (offscreen when unset).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <cstdlib>
#include <memory>

#include "patterns/chart_painter.h"
#include "qt_bench_main.h"
#include "ui/chart_window.h"

namespace {

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;

void BM_FillOnSurface(benchmark::State& state) {
  lumigrid::Surface surface(kWidth, kHeight, lumigrid::PixelFormat::Rgb32);
  lumigrid::ChartState chart_state;
  lumigrid::ChartPainter painter(surface, chart_state, "unused.INI", {});
  for (auto _ : state) {
    painter.image_Pattern(0);
    benchmark::DoNotOptimize(surface.data());
  }
}
BENCHMARK(BM_FillOnSurface)->Unit(benchmark::kMillisecond);

void BM_FillAndShowInWindow(benchmark::State& state) {
  TForm_full_screen_chart window("unused.INI");
  window.resize(kWidth, kHeight);
  window.show();
  QElapsedTimer waited;
  waited.start();
  while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
         waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  if (!window.windowHandle()->isExposed()) {
    state.SkipWithError("window not exposed");
    return;
  }
  QCoreApplication::processEvents();
  if (window.surface().width() != kWidth * window.devicePixelRatio()) {
    state.SkipWithError("the window did not get the requested size");
    return;
  }
  for (auto _ : state) window.image_Pattern(0);
}
BENCHMARK(BM_FillAndShowInWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return lumigrid::bench::run_qt_benchmarks(argc, argv);
}
