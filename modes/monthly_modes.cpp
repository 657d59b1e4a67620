#include <array>

#include "modes/modes.h"
#include "modes/periods.h"

namespace orvane {
namespace {

// Colours of the running-mean lines, shortest window first.
constexpr ColorRef kOrange = Rgb(255, 153, 0);
constexpr ColorRef kLime = Rgb(153, 204, 0);
constexpr ColorRef kPink = Rgb(255, 153, 204);
constexpr ColorRef kSky = Rgb(0, 204, 255);
constexpr ColorRef kGold = Rgb(255, 204, 0);
constexpr ColorRef kLavender = Rgb(150, 150, 255);
constexpr ColorRef kCompanionGreen = Rgb(0, 128, 0);
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
      MeanLine(kMonthMeans[0], kOrange),
      MeanLine(kMonthMeans[1], kLime),
      MeanLine(kMonthMeans[2], kPink),
      MeanLine(kMonthMeans[3], kSky),
      MeanLine(kMonthMeans[4], kGold),
      MeanLine(kMonthMeans[5], kLavender),
      {.look = {.style = SeriesStyle::Line,
                .color = kCompanionGreen,
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
                .color = kCompanionGreen,
                .width = 2,
                .name = kCompanionName},
       .values = CompanionLine()},
      MeanLine(kRangeSearchMeans[0], kOrange),
      MeanLine(kRangeSearchMeans[1], kLime),
      MeanLine(kRangeSearchMeans[2], kPink),
      MeanLine(kRangeSearchMeans[3], kSky),
      MeanLine(kRangeSearchMeans[4], kGold),
      MeanLine(kRangeSearchMeans[5], kOrange),
      MeanLine(kRangeSearchMeans[6], kLime),
      MeanLine(kRangeSearchMeans[7], kPink),
      MeanLine(kRangeSearchMeans[8], kSky),
      MeanLine(kRangeSearchMeans[9], kLavender),
      MonthlyVolumeBars(),
  }};
  return rows;
}

}  // namespace

void BuildMonthlyChart(const PipelineInputs& in, ChartModel& chart) {
  std::vector<DataRecord> work = WorkingCopy(in.records, in.LogScale());
  RunningMeans(work, kMonthMeans);
  ApplyChartProperties(chart, in.header, Legends{}, 0.8);

  auto lock = BeginSeries(chart);
  const RangeFilter range{in.fromYear};
  AppendSeriesTable(chart, MonthlySeries(), work, range, {9, SwingKind::Strict});
  AppendYearBody(chart, work, range, 0.0);
  FinishChart(chart, std::move(lock), in.toYear);
}

void BuildRangeSearchChart(const PipelineInputs& in, ChartModel& chart) {
  std::vector<DataRecord> work = WorkingCopy(in.records, false);
  if (in.LogScale()) {
    Log10Slots(work, kPriceSlots);
    // A companion of 1e-9 or less stays as it is (and so is a gap of the companion line).
    Log10SlotWhere(work, kCompanion, [](double v) { return v > 1e-9; });
  }
  RunningMeans(work, kRangeSearchMeans);
  ApplyChartProperties(chart, in.header, Legends{}, 0.8);

  auto lock = BeginSeries(chart);
  const RangeFilter range{in.fromYear};
  AppendSeriesTable(chart, RangeSearchSeries(), work, range, {0, SwingKind::NonStrict});
  AppendYearBody(chart, work, range, 0.0);
  FinishChart(chart, std::move(lock), in.toYear);
}

}  // namespace orvane
