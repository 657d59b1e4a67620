#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "chart/chart_interaction.h"
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

// Rebased lines mark their gaps NaN before any logarithm, so every finite value is drawn.
constexpr double kAnyFinite = -std::numeric_limits<double>::infinity();
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

SeriesRow Compared(int n, int width, bool rebased) {
  return {.look = {.style = SeriesStyle::Line,
                   .color = kCompareColors[static_cast<std::size_t>(n - 1)],
                   .width = width,
                   .inMainRange = rebased},
          .values = LineOf(FurtherValue(n), rebased ? kAnyFinite : kMinCompared)};
}

PointRecipe AlwaysValid(PointRecipe values) {
  return {values.reads, [fill = std::move(values.fill)](const SourceRow& r, WorkPoint& p) {
            fill(r, p);
            p.valid = true;
          }};
}

std::array<SeriesRow, 12> CompareTable(bool rebased) {
  return {{
      PriceCandles(),
      // The first compared line is the companion field, drawn black and wide.
      Compared(1, 4, rebased),
      Compared(2, 2, rebased),
      Compared(3, 2, rebased),
      Compared(4, 2, rebased),
      Compared(5, 2, rebased),
      Compared(6, 2, rebased),
      Compared(7, 2, rebased),
      Compared(8, 2, rebased),
      Compared(9, 2, rebased),
      Compared(10, 2, rebased),
      MonthlyVolumeBars(AlwaysValid(VolumeBars())),
  }};
}

const std::array<SeriesRow, 12>& CompareSeries(bool rebased) {
  static const std::array<SeriesRow, 12> plain = CompareTable(false);
  static const std::array<SeriesRow, 12> onBase = CompareTable(true);
  return rebased ? onBase : plain;
}

struct BaseValue {
  std::int32_t date = 0;
  double value = 0.0;
};

// The value a series is measured against: its value at the base month, or where it has none
// its first value after it. Empty when it has no value from the base month on.
std::optional<BaseValue> FindBase(const std::vector<DataRecord>& work, int slot,
                                  std::int32_t baseMonth, double minValid) {
  std::optional<BaseValue> base;
  for (const DataRecord& r : work) {
    const double v = r.v[slot];
    if (r.date < baseMonth || !std::isfinite(v) || v < minValid) continue;
    if (!base || r.date < base->date) base = BaseValue{r.date, v};
  }
  return base;
}

// What the legend adds to a line measured against another month than the base, or none.
std::string BaseNote(const std::optional<BaseValue>& base, std::int32_t baseMonth) {
  if (!base) return " (기준월 이후 값 없음)";
  if (base->date != baseMonth) return " (기준 " + ReadoutDate(base->date) + ")";
  return {};
}

// Divides the candles and each compared line by their own base value, x 100. Returns the
// legend notes of the compared lines and of the candles.
std::array<std::string, 11> Rebase(std::vector<DataRecord>& work, std::int32_t baseMonth) {
  std::array<std::string, 11> notes;
  const auto candleBase = FindBase(work, kClose, baseMonth, kMinCompared);
  notes[10] = BaseNote(candleBase, baseMonth);
  for (DataRecord& r : work) {
    for (int slot : kPriceSlots) {
      r.v[slot] = candleBase ? r.v[slot] / candleBase->value * 100.0 : kGap;
    }
  }
  for (int n = 1; n <= 10; ++n) {
    const int slot = FurtherValue(n);
    const auto base = FindBase(work, slot, baseMonth, kMinCompared);
    notes[static_cast<std::size_t>(n - 1)] = BaseNote(base, baseMonth);
    for (DataRecord& r : work) {
      const double v = r.v[slot];
      r.v[slot] = base && v >= kMinCompared ? v / base->value * 100.0 : kGap;
    }
  }
  return notes;
}

}  // namespace

void BuildCompareChart(PipelineInputs in, ChartModel& chart) {
  std::vector<DataRecord> work = WorkingCopy(std::move(in.records), false);
  const bool rebased = in.rebaseMonth > 0;
  std::array<std::string, 11> notes;
  // Rebasing comes before the logarithm, so the lines cross log10(100) together.
  if (rebased) notes = Rebase(work, in.rebaseMonth);
  if (in.LogScale()) Log10Slots(work, kLogSlots);
  ApplyChartProperties(chart, in.header, Legends{.compare = true}, 0.8);
  chart.settings.compareNames = in.compareNames;
  if (rebased) {
    if (!chart.settings.subtitle.empty()) chart.settings.subtitle += "  ";
    chart.settings.subtitle += ReadoutDate(in.rebaseMonth) + " = 100" + notes[10];
    for (std::size_t k = 0; k < in.compareNames.size(); ++k) {
      if (!in.compareNames[k].empty()) chart.settings.compareNames[k] += notes[k];
    }
  }

  auto lock = BeginSeries(chart);
  const SeriesSource source(work, RangeFilter{in.fromYear},
                            SlotsRead(CompareSeries(rebased)) | kYearBodySlots);
  ReleaseRecords(work);
  AppendSeriesTable(chart, CompareSeries(rebased), source, {9, SwingKind::NonStrict});
  // The compared lines go by their legend names in the readout and the export.
  for (std::size_t k = 0; k < in.compareNames.size(); ++k)
    chart.series[1 + k].name = chart.settings.compareNames[k];
  AppendYearBody(chart, source, 0.0);
  FinishChart(chart, std::move(lock), in.toYear);
}

}  // namespace orvane
