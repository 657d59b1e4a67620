#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "chart/indicators.h"

namespace orvane {
namespace {

std::vector<DataRecord> Series(std::int64_t count) {
  std::vector<DataRecord> out(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const double close = 100.0 + 10.0 * std::sin(static_cast<double>(i) * 0.37) + 0.01 * i;
    DataRecord& r = out[static_cast<std::size_t>(i)];
    r.date = 190001 + static_cast<std::int32_t>((i / 12) * 100 + i % 12);
    r.v[kOpen] = close - 0.5;
    r.v[kHigh] = close + 2.0;
    r.v[kLow] = close - 2.0;
    r.v[kClose] = close;
  }
  return out;
}

// The indicators of the Bollinger mode: Parabolic, Bollinger, momentum and its scaling.
void BM_BollingerIndicators(benchmark::State& state) {
  const auto records = Series(state.range(0));
  for (auto _ : state) {
    auto work = records;
    ComputeParabolic(work);
    ComputeBollinger(work);
    ComputeMomentum(work);
    ScaleMomentum(work, [](const DataRecord& r) { return r.date / 100 >= 2005; });
    benchmark::DoNotOptimize(work.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BollingerIndicators)->Arg(600)->Arg(100000)->Complexity(benchmark::oN);

// Both Ichimoku groups, as the Ichimoku mode runs them.
void BM_IchimokuIndicators(benchmark::State& state) {
  const auto records = Series(state.range(0));
  for (auto _ : state) {
    auto work = records;
    ComputeIchimokuOnCloses(work);
    ComputeIchimokuOnHighsLows(work);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_IchimokuIndicators)->Arg(600)->Arg(100000)->Complexity(benchmark::oN);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
