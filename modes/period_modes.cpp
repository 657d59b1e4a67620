#include <array>

#include "chart/palette.h"
#include "modes/modes.h"
#include "modes/periods.h"

namespace orvane {
namespace {

// The candles sit 30% of the main pane above its bottom, clear of the labelled bars.
constexpr double kCandleLift = 0.3;
constexpr double kLowerPaneRatio = 0.7;

SeriesRow PeriodLine(PointRecipe values, ColorRef color, std::string_view name = {}) {
  return {.look = {.style = SeriesStyle::Line,
                   .color = color,
                   .baseLift = kCandleLift,
                   .horizontalLabels = true,
                   .name = name},
          .values = std::move(values)};
}

// The line of the k-th running mean of the period list.
SeriesRow MeanLine(PeriodKind kind, std::size_t k, ColorRef color) {
  const MeanWindow mean = kind == PeriodKind::Quarter ? kQuarterMeans[k] : kYearMeans[k];
  return PeriodLine(LineOf(mean.slot), color, MeanLineName(PeriodOf(kind), mean.months));
}

// The yearly chart computes no sixth mean; its line keeps its place in the table as gaps only.
PointRecipe NoLine() {
  return {SlotSet(), [](const SourceRow&, ChartPoint& p) {
            p.open = p.low = p.high = p.close = 0.0;
            p.valid = false;
          }};
}

std::array<SeriesRow, 9> PeriodSeries(PeriodKind kind, LowerPane pane) {
  const std::array<SeriesRow, 2> bars = LowerPaneBars(pane);
  return {{
      PriceCandles({.baseLift = kCandleLift, .horizontalLabels = true}),
      MeanLine(kind, 0, kMeanLineColors[0]),
      MeanLine(kind, 1, kMeanLineColors[1]),
      MeanLine(kind, 2, kMeanLineColors[2]),
      MeanLine(kind, 3, kMeanLineColors[3]),
      MeanLine(kind, 4, kMeanLineColors[4]),
      kind == PeriodKind::Quarter ? MeanLine(kind, 5, kMeanLineColors[0])
                                  : PeriodLine(NoLine(), kMeanLineColors[0]),
      bars[0],
      bars[1],
  }};
}

void BuildPeriodChart(PipelineInputs in, ChartModel& chart, PeriodKind kind) {
  std::vector<DataRecord> work = MergePeriods(in.records, kind);
  ReleaseRecords(in.records);  // the months are merged
  SetPercentChange(work);
  if (in.LogScale()) {
    static constexpr std::array<int, 5> kLogSlots = {kOpen, kHigh, kLow, kClose, kCompanion};
    Log10Slots(work, kLogSlots);
  }
  if (kind == PeriodKind::Quarter) {
    ComputeRunningMeans(work, kQuarterMeans);
  } else {
    ComputeRunningMeans(work, kYearMeans);
  }
  ApplyChartProperties(chart, in.header, Legends{}, kLowerPaneRatio);
  chart.settings.pointPeriod =
      kind == PeriodKind::Quarter ? PointPeriod::Quarter : PointPeriod::Year;

  auto lock = BeginSeries(chart);
  const std::array<SeriesRow, 9> rows = PeriodSeries(kind, LowerPaneOf(work));
  const SeriesSource source(work, RangeFilter{in.fromYear}, SlotsRead(rows) | kYearBodySlots);
  ReleaseRecords(work);
  AppendSeriesTable(chart, rows, source, {0, SwingKind::NonStrict});
  AppendYearBody(chart, source, kCandleLift);
  FinishChart(chart, std::move(lock), in.toYear);
}

}  // namespace

void BuildQuarterlyChart(PipelineInputs in, ChartModel& chart) {
  BuildPeriodChart(std::move(in), chart, PeriodKind::Quarter);
}

void BuildYearlyChart(PipelineInputs in, ChartModel& chart) {
  BuildPeriodChart(std::move(in), chart, PeriodKind::Year);
}

}  // namespace orvane
