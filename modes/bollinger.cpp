#include <array>

#include "chart/palette.h"
#include "modes/indicator_series.h"
#include "modes/modes.h"
#include "modes/periods.h"

namespace orvane {
namespace {

// The price pane sits 15% of its height above the pane bottom; the momentum pane does not.
constexpr double kPriceLift = 0.15;

constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kBollingerGreen = Rgb(0, 120, 0);

// The bands and the stop are logarithms of values computed on prices; momentum stays as it is.
constexpr std::array<int, 5> kLogPrices = {kOpen, kHigh, kLow, kClose, kCompanion};
constexpr std::array<int, 4> kLogIndicators = {kBollingerMean, kBollingerUpper, kBollingerLower,
                                               kSarPlot};

SeriesRow PriceLine(PointRecipe values, ColorRef color, std::string_view name, int width = 1) {
  return {.look = {.style = SeriesStyle::Line,
                   .color = color,
                   .width = width,
                   .baseLift = kPriceLift,
                   .name = name},
          .values = std::move(values)};
}

SeriesRow HalfBand(int edgeSlot, ColorRef color) {
  return {.look = {.style = SeriesStyle::Band,
                   .color = color,
                   .markHighlight = true,
                   .baseLift = kPriceLift},
          .values = BandBetween(kBollingerMean, edgeSlot)};
}

// A series of the momentum pane.
SeriesRow Momentum(SeriesStyle style, ColorRef color, int width, bool markHighlight,
                   PointRecipe values, std::string_view name = {}) {
  return {.look = {.style = style,
                   .color = color,
                   .width = width,
                   .markHighlight = markHighlight,
                   .inMainRange = true,
                   .inLowerPane = true,
                   .name = name},
          .values = std::move(values)};
}

PointRecipe Level(double level) {
  return {SlotSet(), [level](const SourceRow&, ChartPoint& p) {
            p.open = p.low = p.high = p.close = level;
            p.valid = true;
          }};
}

const std::array<SeriesRow, 21>& BollingerSeries() {
  static const std::array<SeriesRow, 21> rows = {{
      PriceCandles({.baseLift = kPriceLift}),
      {.look = {.style = SeriesStyle::Dots,
                .color = kBlack,
                .upColor = kBlack,
                .downColor = kBlack,
                .baseLift = kPriceLift,
                .name = "Parabolic"},
       .values = IndicatorLine(kSarPlot)},
      PriceLine(LineOf(MeanSlot(0)), kMeanLineColors[0], "12개월 평균"),
      PriceLine(LineOf(MeanSlot(1)), kMeanLineColors[1], "36개월 평균"),
      PriceLine(LineOf(MeanSlot(2)), kMeanLineColors[2], "60개월 평균"),
      PriceLine(LineOf(MeanSlot(3)), kMeanLineColors[3], "120개월 평균"),
      PriceLine(LineOf(MeanSlot(4)), kMeanLineColors[4], "180개월 평균"),
      PriceLine(LineOf(MeanSlot(5)), kMeanLineColors[5], "24개월 평균"),
      PriceLine(IndicatorLine(kBollingerMean), kBollingerGreen, "Bollinger 중심선", 3),
      PriceLine(IndicatorLine(kBollingerUpper), kBollingerGreen, "Bollinger 상단", 2),
      PriceLine(IndicatorLine(kBollingerLower), kBollingerGreen, "Bollinger 하단", 2),
      Momentum(SeriesStyle::Line, Rgb(0, 128, 0), 3, false, IndicatorLine(kCoppock), "Coppock"),
      Momentum(SeriesStyle::Line, Rgb(255, 0, 255), 3, false, IndicatorLine(kSonar), "Sonar"),
      Momentum(SeriesStyle::Line, kBlack, 1, true, Level(kSonarBase), "Sonar 기준"),
      Momentum(SeriesStyle::Line, kBlack, 1, true, Level(kCoppockBase), "Coppock 기준"),
      // The bands last, so that they are drawn first, under the lines.
      Momentum(SeriesStyle::Band, kBlack, 1, true, BandBelowLevel(kSonar, kSonarBase)),
      Momentum(SeriesStyle::Band, Rgb(255, 153, 205), 1, true, BandAboveLevel(kSonar, kSonarBase)),
      Momentum(SeriesStyle::Band, Rgb(255, 100, 20), 1, true,
               BandBelowLevel(kCoppock, kCoppockBase)),
      Momentum(SeriesStyle::Band, Rgb(102, 255, 51), 1, true,
               BandAboveLevel(kCoppock, kCoppockBase)),
      HalfBand(kBollingerLower, Rgb(0, 255, 255)),
      HalfBand(kBollingerUpper, Rgb(255, 255, 0)),
  }};
  return rows;
}

}  // namespace

void BuildBollingerChart(PipelineInputs in, ChartModel& chart) {
  std::vector<DataRecord> work = WorkingCopy(std::move(in.records), false);
  ComputeParabolic(work);
  ComputeBollinger(work);
  ComputeMomentum(work);
  if (in.LogScale()) {
    Log10Slots(work, kLogPrices);
    Log10IndicatorSlots(work, kLogIndicators);
  }
  ComputeRunningMeans(work, kMonthMeans);
  ApplyChartProperties(chart, in.header, Legends{.momentum = true}, 0.8);

  auto lock = BeginSeries(chart);
  const RangeFilter range{in.fromYear};
  ScaleMomentum(work, [range](const DataRecord& r) { return range.Passes(r); });
  const SeriesSource source(work, range, SlotsRead(BollingerSeries()));
  ReleaseRecords(work);
  AppendSeriesTable(chart, BollingerSeries(), source, {9, SwingKind::Strict});
  FinishChart(chart, std::move(lock), in.toYear);
}

}  // namespace orvane
