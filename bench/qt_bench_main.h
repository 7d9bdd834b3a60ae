#pragma once
// The body of main() for a benchmark that needs a QApplication: windows and printers exist only
// inside one. Offscreen unless the caller names a platform, so it runs without a display.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

namespace lumigrid::bench {

inline int run_qt_benchmarks(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace lumigrid::bench
