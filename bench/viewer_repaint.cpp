// Repainting the page viewer's visible area for a B0 page at several scales: reading the page's
// description into the exposed rectangle and drawing that onto a window-sized image, as a paint
// does. Also the one-off cost of the page's description, what picking the B0 row costs.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>

#include "page/page_build.h"
#include "page/page_view.h"

namespace lumigrid {
namespace {

// The visible part of a viewer at its design size.
constexpr int kVisibleWidth = 981;
constexpr int kVisibleHeight = 610;

const ChartPage& b0_page() {
  static const ChartPageBuild build = build_chart_page(u"B0", PageRequest{});
  return *build.page;
}

const PageView& b0_view() {
  static const PageView view(b0_page());
  return view;
}

void BM_Describe(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(build_chart_page(u"B0", PageRequest{}).page.get());
  }
}

// Scale in thousandths: 29 is about the fit of a B0 page into the viewer.
void BM_Repaint(benchmark::State& state) {
  const ChartPage& page = b0_page();
  const PageView& view = b0_view();
  const double scale = double(state.range(0)) / 1000.0;
  const int shown_width = int(std::lround(page.width() * scale));
  const int shown_height = int(std::lround(page.height() * scale));
  // The middle of the page, or all of it when it is smaller than the viewer.
  const ViewRect area{std::max(0, (shown_width - kVisibleWidth) / 2),
                      std::max(0, (shown_height - kVisibleHeight) / 2),
                      std::min(kVisibleWidth, shown_width), std::min(kVisibleHeight, shown_height)};
  QImage exposed(area.width, area.height, QImage::Format_Grayscale8);
  QImage window(kVisibleWidth, kVisibleHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    view.render(shown_width, shown_height, area, exposed.bits(),
                std::size_t(exposed.bytesPerLine()));
    QPainter painter(&window);
    painter.drawImage(QPoint(0, 0), exposed);
  }
  state.counters["shown_width"] = shown_width;
}

BENCHMARK(BM_Describe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint)
    ->Arg(1)
    ->Arg(29)
    ->Arg(100)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumigrid

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
