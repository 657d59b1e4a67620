#include <array>

#include "chart/palette.h"
#include "modes/modes.h"
#include "modes/periods.h"

namespace orvane {
namespace {

constexpr std::string_view kCompanionName = "보조 지표";

SeriesRow MeanLine(MeanWindow mean, ColorRef color) {
  return {.look = {.style = SeriesStyle::Line,
                   .color = color,
                   .name = MeanLineName(RecordPeriod::Month, mean.months)},
          .values = LineOf(mean.slot)};
}

const std::array<SeriesRow, 9>& MonthlySeries() {
  static const std::array<SeriesRow, 9> rows = {{
      PriceCandles({.showTwoYearLink = true}),
      MeanLine(kMonthMeans[0], kMeanLineColors[0]),
      MeanLine(kMonthMeans[1], kMeanLineColors[1]),
      MeanLine(kMonthMeans[2], kMeanLineColors[2]),
      MeanLine(kMonthMeans[3], kMeanLineColors[3]),
      MeanLine(kMonthMeans[4], kMeanLineColors[4]),
      MeanLine(kMonthMeans[5], kMeanLineColors[5]),
      {.look = {.style = SeriesStyle::Line,
                .color = kCompanionColor,
                .width = 2,
                .showTwoYearLink = true,
                .name = kCompanionName},
       .values = CompanionLine()},
      MonthlyVolumeBars(),
  }};
  return rows;
}

constexpr std::array<MeanWindow, 10> kRangeSearchMeans = {{
    {MeanSlot(0), 12},
    {MeanSlot(1), 36},
    {MeanSlot(2), 60},
    {MeanSlot(3), 120},
    {MeanSlot(4), 180},
    {MeanSlot(5), 240},
    {MeanSlot(6), 360},
    {MeanSlot(7), 600},
    {MeanSlot(8), 1200},
    {MeanSlot(9), 24},
}};

const std::array<SeriesRow, 13>& RangeSearchSeries() {
  static const std::array<SeriesRow, 13> rows = {{
      PriceCandles(),
      {.look = {.style = SeriesStyle::Line,
                .color = kCompanionColor,
                .width = 2,
                .name = kCompanionName},
       .values = CompanionLine()},
      MeanLine(kRangeSearchMeans[0], kMeanLineColors[0]),
      MeanLine(kRangeSearchMeans[1], kMeanLineColors[1]),
      MeanLine(kRangeSearchMeans[2], kMeanLineColors[2]),
      MeanLine(kRangeSearchMeans[3], kMeanLineColors[3]),
      MeanLine(kRangeSearchMeans[4], kMeanLineColors[4]),
      MeanLine(kRangeSearchMeans[5], kMeanLineColors[0]),
      MeanLine(kRangeSearchMeans[6], kMeanLineColors[1]),
      MeanLine(kRangeSearchMeans[7], kMeanLineColors[2]),
      MeanLine(kRangeSearchMeans[8], kMeanLineColors[3]),
      MeanLine(kRangeSearchMeans[9], kMeanLineColors[5]),
      MonthlyVolumeBars(),
  }};
  return rows;
}

}  // namespace

void BuildMonthlyChart(PipelineInputs in, ChartModel& chart) {
  std::vector<DataRecord> work = WorkingCopy(std::move(in.records), in.LogScale());
  ComputeRunningMeans(work, kMonthMeans);
  ApplyChartProperties(chart, in.header, Legends{}, 0.8);

  auto lock = BeginSeries(chart);
  const SeriesSource source(work, RangeFilter{in.fromYear},
                            SlotsRead(MonthlySeries()) | kYearBodySlots);
  ReleaseRecords(work);
  AppendSeriesTable(chart, MonthlySeries(), source, {9, SwingKind::Strict});
  AppendYearBody(chart, source, 0.0);
  FinishChart(chart, std::move(lock), in.toYear);
}

void BuildRangeSearchChart(PipelineInputs in, ChartModel& chart) {
  std::vector<DataRecord> work = WorkingCopy(std::move(in.records), false);
  if (in.LogScale()) {
    Log10Slots(work, kPriceSlots);
    // A companion of 1e-9 or less stays as it is (and so is a gap of the companion line).
    Log10SlotWhere(work, kCompanion, [](double v) { return v > 1e-9; });
  }
  ComputeRunningMeans(work, kRangeSearchMeans);
  ApplyChartProperties(chart, in.header, Legends{}, 0.8);

  auto lock = BeginSeries(chart);
  const SeriesSource source(work, RangeFilter{in.fromYear},
                            SlotsRead(RangeSearchSeries()) | kYearBodySlots);
  ReleaseRecords(work);
  AppendSeriesTable(chart, RangeSearchSeries(), source, {0, SwingKind::NonStrict});
  AppendYearBody(chart, source, 0.0);
  FinishChart(chart, std::move(lock), in.toYear);
}

}  // namespace orvane
