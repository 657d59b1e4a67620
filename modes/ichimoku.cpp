#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "modes/indicator_series.h"
#include "modes/modes.h"

namespace orvane {
namespace {

constexpr ColorRef kBlue = Rgb(0, 0, 255);
constexpr ColorRef kConversionGold = Rgb(255, 204, 0);
constexpr ColorRef kBaseSky = Rgb(0, 204, 255);
constexpr ColorRef kSpan1Magenta = Rgb(255, 0, 255);

constexpr std::array<int, 5> kLogPrices = {kOpen, kHigh, kLow, kClose, kCompanion};
// The slots drawn; their no-value marks stay as they are.
constexpr std::array<int, 5> kLogIndicators = {kIchimokuConversion, kIchimokuBase, kIchimokuLagging,
                                               kIchimokuSpan1Shifted, kIchimokuSpan2Shifted};

SeriesRow Line(ColorRef color, int width, PointRecipe values, std::string_view name) {
  return {.look = {.style = SeriesStyle::Line, .color = color, .width = width, .name = name},
          .values = std::move(values)};
}

SeriesRow Cloud(ColorRef color, int baseSlot, int otherSlot) {
  return {.look = {.style = SeriesStyle::Band, .color = color, .markHighlight = true},
          .values = BandToHigher(baseSlot, otherSlot)};
}

// The conversion, base and lagging lines hide their no-value marks as values below 0.
PointRecipe NonNegativeLine(int slot) { return LineOf(slot, 0.0); }

// The candles and the Ichimoku values on closes.
const std::array<SeriesRow, 8>& CloseSeries() {
  static const std::array<SeriesRow, 8> rows = {{
      PriceCandles({.showTwoYearLink = true}),
      Line(kConversionGold, 2, NonNegativeLine(kIchimokuConversion), "전환선"),
      Line(kBaseSky, 2, NonNegativeLine(kIchimokuBase), "기준선"),
      Line(Rgb(0, 0, 0), 4, NonNegativeLine(kIchimokuLagging), "후행스팬"),
      Line(kSpan1Magenta, 2, IndicatorLine(kIchimokuSpan1Shifted), "선행스팬1"),
      Line(kBlue, 2, IndicatorLine(kIchimokuSpan2Shifted), "선행스팬2"),
      Cloud(Rgb(0, 255, 255), kIchimokuSpan1Shifted, kIchimokuSpan2Shifted),
      Cloud(Rgb(255, 255, 0), kIchimokuSpan2Shifted, kIchimokuSpan1Shifted),
  }};
  return rows;
}

// The Ichimoku values on highs and lows (the lagging line is not drawn), then the volume.
const std::array<SeriesRow, 5>& HighLowSeries() {
  static const std::array<SeriesRow, 5> rows = {{
      Line(kConversionGold, 1, NonNegativeLine(kIchimokuConversion), "전환선 (고저)"),
      Line(kBaseSky, 1, NonNegativeLine(kIchimokuBase), "기준선 (고저)"),
      Line(kSpan1Magenta, 1, IndicatorLine(kIchimokuSpan1Shifted), "선행스팬1 (고저)"),
      Line(kBlue, 1, IndicatorLine(kIchimokuSpan2Shifted), "선행스팬2 (고저)"),
      MonthlyVolumeBars(),
  }};
  return rows;
}

using RawPrices = std::vector<std::array<double, kPriceSlots.size()>>;

RawPrices PricesOf(std::span<const DataRecord> records) {
  RawPrices prices(records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    for (std::size_t k = 0; k < kPriceSlots.size(); ++k)
      prices[i][k] = records[i].v[kPriceSlots[k]];
  }
  return prices;
}

// Puts the raw prices back; the future records take those of the last real record.
void RestoreRawPrices(std::span<DataRecord> work, const RawPrices& raw) {
  if (raw.empty()) return;
  for (std::size_t i = 0; i < work.size(); ++i) {
    const auto& prices = raw[std::min(i, raw.size() - 1)];
    for (std::size_t k = 0; k < kPriceSlots.size(); ++k) work[i].v[kPriceSlots[k]] = prices[k];
  }
}

}  // namespace

void BuildIchimokuChart(PipelineInputs in, ChartModel& chart) {
  // Under the log scale the highs-and-lows pass runs on the prices as read.
  const RawPrices raw = in.LogScale() ? PricesOf(in.records) : RawPrices();
  std::vector<DataRecord> work = WorkingCopy(std::move(in.records), false);
  ComputeIchimokuOnCloses(work);
  if (in.LogScale()) {
    Log10Slots(work, kLogPrices);
    Log10IndicatorSlots(work, kLogIndicators);
  }
  ApplyChartProperties(chart, in.header, Legends{.ichimoku = true}, 0.8);

  auto lock = BeginSeries(chart);
  const RangeFilter range{in.fromYear};
  AppendSeriesTable(chart, CloseSeries(), SeriesSource(work, range, SlotsRead(CloseSeries())),
                    {9, SwingKind::NonStrict});

  if (in.LogScale()) RestoreRawPrices(work, raw);
  ComputeIchimokuOnHighsLows(work);
  if (in.LogScale()) Log10IndicatorSlots(work, kLogIndicators);
  const SeriesSource highsLows(work, range, SlotsRead(HighLowSeries()));
  ReleaseRecords(work);
  for (const SeriesRow& row : HighLowSeries()) AppendSeries(chart, row, highsLows);

  MoveBandsToEnd(chart.series);
  FinishChart(chart, std::move(lock), in.toYear);
}

}  // namespace orvane
