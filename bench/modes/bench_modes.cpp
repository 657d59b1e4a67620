// Pipeline cost against the number of monthly records: it must grow linearly, also in the range
// search, whose swing-label window grows with the points (max(3, points / 50)).
#include <benchmark/benchmark.h>

#include <cmath>

#include "modes/modes.h"

namespace orvane {
namespace {

std::vector<DataRecord> Records(std::int64_t count) {
  std::vector<DataRecord> out(static_cast<std::size_t>(count));
  double close = 100.0;
  for (std::int64_t i = 0; i < count; ++i) {
    DataRecord& r = out[static_cast<std::size_t>(i)];
    // Dates run on past year 9999 for the long lists; only their order matters here.
    r.date = static_cast<std::int32_t>((1000 + i / 12) * 100 + i % 12 + 1);
    const double open = close;
    close = 100.0 + 50.0 * std::sin(static_cast<double>(i) * 0.05) + static_cast<double>(i % 7);
    r.v[kOpen] = open;
    r.v[kClose] = close;
    r.v[kHigh] = std::max(open, close) + 1.0;
    r.v[kLow] = std::min(open, close) - 1.0;
    r.v[kVolume] = 1000.0 + static_cast<double>(i % 100);
    r.v[kCompanion] = close / 2.0;
  }
  return out;
}

void Run(benchmark::State& state, int mode) {
  PipelineInputs in;
  in.records = Records(state.range(0));
  const ModeDefaults d = DefaultsForMode(mode);
  in.scaleChoice = d.scaleChoice;
  in.fromYear = 0;
  in.toYear = 1000000;
  ChartModel chart;
  for (auto _ : state) {
    BuildChart(mode, in, chart);
    benchmark::DoNotOptimize(chart.series.data());
  }
  state.SetComplexityN(state.range(0));
  state.counters["ns_per_record"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RangeSearch(benchmark::State& state) { Run(state, 4); }
void BM_Monthly(benchmark::State& state) { Run(state, 1); }
void BM_Bollinger(benchmark::State& state) { Run(state, 2); }
void BM_Ichimoku(benchmark::State& state) { Run(state, 3); }

BENCHMARK(BM_RangeSearch)
    ->Arg(600)
    ->Arg(6000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_Monthly)
    ->Arg(600)
    ->Arg(6000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

BENCHMARK(BM_Bollinger)
    ->Arg(600)
    ->Arg(6000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_Ichimoku)
    ->Arg(600)
    ->Arg(6000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
