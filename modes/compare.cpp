#include <array>

#include "modes/modes.h"

namespace orvane {
namespace {

constexpr ColorRef kRed = Rgb(255, 0, 0);
// A compared value below this (an empty column, or under the log scale a value of 1 or less)
// is a gap.
constexpr double kMinCompared = 1e-8;

// Prices, companion and the ten compared values.
constexpr std::array<int, 15> kLogSlots = {kOpen,           kHigh,           kLow,
                                           kClose,          kCompanion,      FurtherValue(1),
                                           FurtherValue(2), FurtherValue(3), FurtherValue(4),
                                           FurtherValue(5), FurtherValue(6), FurtherValue(7),
                                           FurtherValue(8), FurtherValue(9), FurtherValue(10)};

SeriesRow Compared(int n, ColorRef color, int width) {
  return {.look = {.style = SeriesStyle::Line, .color = color, .width = width},
          .values = LineOf(FurtherValue(n), kMinCompared)};
}

PointRecipe AlwaysValid(PointRecipe values) {
  return [values = std::move(values)](const DataRecord& r, ChartPoint& p) {
    values(r, p);
    p.valid = true;
  };
}

const std::array<SeriesRow, 12>& CompareSeries() {
  static const std::array<SeriesRow, 12> rows = {{
      PriceCandles(),
      // The first compared line is the companion field, drawn black and wide.
      Compared(1, Rgb(0, 0, 0), 4),
      Compared(2, Rgb(153, 204, 0), 2),
      Compared(3, Rgb(255, 153, 204), 2),
      Compared(4, Rgb(0, 204, 255), 2),
      Compared(5, Rgb(255, 204, 0), 2),
      Compared(6, Rgb(150, 150, 255), 2),
      Compared(7, Rgb(143, 90, 91), 2),
      Compared(8, Rgb(98, 159, 164), 2),
      Compared(9, Rgb(135, 115, 160), 2),
      Compared(10, Rgb(240, 100, 100), 2),
      {.look = {.style = SeriesStyle::FlaggedCandle,
                .color = kRed,
                .upColor = Rgb(255, 153, 205),
                .downColor = Rgb(153, 204, 0),
                .inMainRange = true,
                .inLowerPane = true},
       .values = AlwaysValid(VolumeBars())},
  }};
  return rows;
}

}  // namespace

void BuildCompareChart(const PipelineInputs& in, ChartModel& chart) {
  std::vector<DataRecord> work = WorkingCopy(in.records, false);
  if (in.LogScale()) Log10Slots(work, kLogSlots);
  ApplyChartProperties(chart, in.header, Legends{.compare = true}, 0.8);
  chart.settings.compareNames = in.compareNames;

  auto lock = BeginSeries(chart);
  const RangeFilter range{in.fromYear};
  AppendSeriesTable(chart, CompareSeries(), work, range, {9, SwingKind::NonStrict});
  // The compared lines go by their legend names in the readout and the export.
  for (std::size_t k = 0; k < in.compareNames.size(); ++k)
    chart.series[1 + k].name = in.compareNames[k];
  AppendYearBody(chart, work, range, 0.0);
  FinishChart(chart, std::move(lock), in.toYear);
}

}  // namespace orvane
