#pragma once

// Runs the registered benchmarks inside an offscreen Qt application, for benchmarks that drive
// widgets. A platform already chosen in QT_QPA_PLATFORM is kept.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

namespace orvane::bench {

inline int RunQtBenchmarks(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace orvane::bench
