#include <array>

#include "chart/palette.h"
#include "modes/indicator_series.h"
#include "modes/modes.h"
#include "modes/periods.h"

namespace orvane {
namespace {

constexpr double kPriceLift = 0.3;
constexpr double kLowerPaneRatio = 0.7;
// The chart shows the latest month's year and the three before it.
constexpr int kYearsBeforeLatest = 3;

constexpr ColorRef kBlue = Rgb(0, 0, 255);
constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kBollingerGreen = Rgb(0, 120, 0);

constexpr std::array<MeanWindow, 5> kMeans = {{
    {MeanSlot(0), 24},
    {MeanSlot(1), 36},
    {MeanSlot(2), 60},
    {MeanSlot(3), 120},
    {MeanSlot(4), 180},
}};

constexpr std::array<int, 5> kLogPrices = {kOpen, kHigh, kLow, kClose, kCompanion};
// The no-value marks of these slots stay as they are.
constexpr std::array<int, 9> kLogIndicators = {
    kBollingerMean,   kBollingerUpper,       kBollingerLower,
    kSarPlot,         kIchimokuConversion,   kIchimokuBase,
    kIchimokuLagging, kIchimokuSpan1Shifted, kIchimokuSpan2Shifted};

// Restricts a recipe to dated records: the future slots become gaps.
PointRecipe DatedOnly(PointRecipe values) {
  return {values.reads, [fill = std::move(values.fill)](const SourceRow& r, WorkPoint& p) {
            fill(r, p);
            p.valid = p.valid && r.date >= 1;
          }};
}

SeriesRow PriceLine(PointRecipe values, ColorRef color, std::string_view name, int width = 1) {
  return {.look = {.style = SeriesStyle::Line,
                   .color = color,
                   .width = width,
                   .baseLift = kPriceLift,
                   .horizontalLabels = true,
                   .name = name},
          .values = std::move(values)};
}

std::array<SeriesRow, 18> ZoomSeries(LowerPane pane) {
  const std::array<SeriesRow, 2> bars = LowerPaneBars(pane);
  return {{
      PriceCandles({.baseLift = kPriceLift, .horizontalLabels = true}, DatedOnly(CandleValues())),
      {.look = {.style = SeriesStyle::Dots,
                .color = kBlack,
                .upColor = kBlack,
                .downColor = kBlack,
                .baseLift = kPriceLift,
                .horizontalLabels = true,
                .name = "Parabolic"},
       .values = DatedOnly(IndicatorLine(kSarPlot))},
      PriceLine(DatedOnly(LineOf(MeanSlot(0))), kMeanLineColors[0], "24개월 평균"),
      PriceLine(DatedOnly(LineOf(MeanSlot(1))), kMeanLineColors[1], "36개월 평균"),
      PriceLine(DatedOnly(LineOf(MeanSlot(2))), kMeanLineColors[2], "60개월 평균"),
      PriceLine(DatedOnly(LineOf(MeanSlot(3))), kMeanLineColors[3], "120개월 평균"),
      PriceLine(DatedOnly(LineOf(MeanSlot(4))), kMeanLineColors[4], "180개월 평균"),
      // Further value 6 of the file line: no mean overwrites it in this chart.
      {.look = {.style = SeriesStyle::Line,
                .color = kMeanLineColors[0],
                .width = 1,
                .baseLift = kPriceLift,
                .horizontalLabels = true,
                .name = "추가 값 6",
                .plainUnderLogScale = true},
       .values = DatedOnly(LineOf(MeanSlot(5)))},
      PriceLine(DatedOnly(IndicatorLine(kBollingerMean)), kBollingerGreen, "Bollinger 중심선", 3),
      PriceLine(DatedOnly(IndicatorLine(kBollingerUpper)), kBollingerGreen, "Bollinger 상단", 2),
      PriceLine(DatedOnly(IndicatorLine(kBollingerLower)), kBollingerGreen, "Bollinger 하단", 2),
      // Values below 0 are the no-value mark or, under the log scale, prices below 1.
      PriceLine(LineOf(kIchimokuConversion, 0.0), Rgb(255, 204, 0), "전환선", 2),
      PriceLine(LineOf(kIchimokuBase, 0.0), Rgb(0, 204, 255), "기준선", 2),
      PriceLine(LineOf(kIchimokuLagging, 0.0), kBlack, "후행스팬", 8),
      PriceLine(LineOf(kIchimokuSpan1Shifted, 0.0), Rgb(255, 0, 255), "선행스팬1", 4),
      PriceLine(LineOf(kIchimokuSpan2Shifted, 0.0), kBlue, "선행스팬2", 4),
      bars[0],
      bars[1],
  }};
}

// Date of the last dated record; 0 when there is none.
std::int32_t LatestDate(std::span<const DataRecord> work) {
  for (std::size_t i = work.size(); i-- > 0;) {
    if (work[i].date >= 1) return work[i].date;
  }
  return 0;
}

}  // namespace

void BuildZoomChart(PipelineInputs in, ChartModel& chart) {
  std::vector<DataRecord> work = WorkingCopy(std::move(in.records), false);
  SetPercentChange(work);
  ComputeParabolic(work);
  ComputeBollinger(work);
  ComputeIchimokuOnCloses(work);
  if (in.LogScale()) {
    Log10Slots(work, kLogPrices);
    Log10IndicatorSlots(work, kLogIndicators);
  }
  ComputeRunningMeans(work, kMeans);
  const RangeFilter range{LatestDate(work) / 100 - kYearsBeforeLatest};
  ApplyChartProperties(chart, in.header, Legends{}, kLowerPaneRatio);

  auto lock = BeginSeries(chart);
  const std::array<SeriesRow, 18> rows = ZoomSeries(LowerPaneOf(work));
  const SeriesSource source(work, range, SlotsRead(rows) | kYearBodySlots);
  ReleaseRecords(work);
  AppendSeriesTable(chart, rows, source, {0, SwingKind::NonStrict});
  AppendYearBody(chart, source, kPriceLift);
  DropTrailingPoints(chart.series, kIchimokuFutureSlots);
  FinishChart(chart, std::move(lock), in.toYear);
}

}  // namespace orvane
