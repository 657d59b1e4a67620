// Cost of every chart mode (0 to 8) against the number of monthly records: it must grow linearly,
// also where the swing-label window grows with the points (max(3, points / 50)). Mode 0 reads
// its records from a loaded data table, as the dashboard does, and builds three charts.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <string>

#include "bench/data/series_generator.h"
#include "data/series_reader.h"
#include "modes/dashboard.h"
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
    for (int n = 2; n <= 10; ++n) r.v[FurtherValue(n)] = close * (1.0 + 0.01 * n);
  }
  return out;
}

void SetCounters(benchmark::State& state) {
  state.SetComplexityN(state.range(0));
  state.counters["ns_per_record"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void RunMode(benchmark::State& state, int mode) {
  PipelineInputs in;
  in.records = Records(state.range(0));
  in.scaleChoice = DefaultsForMode(mode).scaleChoice;
  in.fromYear = 0;
  in.toYear = 1000000;
  ChartModel chart;
  for (auto _ : state) {
    BuildChart(mode, in, chart);
    benchmark::DoNotOptimize(chart.series.data());
  }
  SetCounters(state);
}

void RunDashboard(benchmark::State& state) {
  DataTable table;
  LoadDataText(table, bench::GenerateSeriesFile(static_cast<std::size_t>(state.range(0))));
  std::array<ChartModel, kDashboardChartCount> models;
  const DashboardCharts charts = {&models[0], &models[1], &models[2]};
  PrepareDashboardCharts(charts);
  const DashboardInputs in{.scaleChoice = kScaleArith, .fromYear = 0, .toYear = 1000000};
  for (auto _ : state) {
    BuildDashboard(table, in, charts);
    benchmark::DoNotOptimize(models[0].series.data());
  }
  SetCounters(state);
}

void RegisterAll() {
  for (int mode = 0; mode < kModeCount; ++mode) {
    const std::string name = "Mode" + std::to_string(mode) + "_" + std::string(ModeCaption(mode));
    auto* b = mode == 0 ? benchmark::RegisterBenchmark(name.c_str(), RunDashboard)
                        : benchmark::RegisterBenchmark(
                              name.c_str(), [mode](benchmark::State& s) { RunMode(s, mode); });
    b->Arg(600)->Arg(6000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oN);
  }
}

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  orvane::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
