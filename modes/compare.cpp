#include <array>

#include "chart/palette.h"
#include "modes/modes.h"

namespace orvane {
namespace {

// A compared value below this (an empty column, or under the log scale a value of 1 or less)
// is a gap.
constexpr double kMinCompared = 1e-8;

// Prices, companion and the ten compared values.
constexpr std::array<int, 15> kLogSlots = {kOpen,           kHigh,           kLow,
                                           kClose,          kCompanion,      FurtherValue(1),
                                           FurtherValue(2), FurtherValue(3), FurtherValue(4),
                                           FurtherValue(5), FurtherValue(6), FurtherValue(7),
                                           FurtherValue(8), FurtherValue(9), FurtherValue(10)};

SeriesRow Compared(int n, int width) {
  return {.look = {.style = SeriesStyle::Line,
                   .color = kCompareColors[static_cast<std::size_t>(n - 1)],
                   .width = width},
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
      Compared(1, 4),
      Compared(2, 2),
      Compared(3, 2),
      Compared(4, 2),
      Compared(5, 2),
      Compared(6, 2),
      Compared(7, 2),
      Compared(8, 2),
      Compared(9, 2),
      Compared(10, 2),
      MonthlyVolumeBars(AlwaysValid(VolumeBars())),
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
