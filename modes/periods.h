#pragma once

// Months merged into quarters or calendar years, their percentage change, and the lower pane of
// summed volume and change bars that the quarterly, yearly and zoom charts share.

#include <array>
#include <span>
#include <string>
#include <vector>

#include "modes/pipeline.h"

namespace orvane {

// Percentage change of the close against the previous record (the first: against its own open).
inline constexpr int kChangeSlot = DerivedSlot(0);

enum class PeriodKind {
  Quarter,  // opened by months 1, 4, 7 and 10
  Year,     // opened by a new calendar year
};

inline RecordPeriod PeriodOf(PeriodKind kind) {
  return kind == PeriodKind::Quarter ? RecordPeriod::Quarter : RecordPeriod::Year;
}

// One record per period, dated by its last month: the first month's open, the last month's
// close, the extremes of the months, the summed volume and the last month's companion; every
// other slot is 0. The first record always opens a period, so a quarter whose first month is
// missing continues the previous one.
std::vector<DataRecord> MergePeriods(std::span<const DataRecord> months, PeriodKind kind);

// kChangeSlot of every record, in percent: (close / previous close - 1) x 100, and
// (close / open - 1) x 100 for the first.
void SetPercentChange(std::span<DataRecord> work);

// Running means of monthly, quarterly and yearly records.
inline constexpr std::array<MeanWindow, 6> kMonthMeans = {{
    {MeanSlot(0), 12},
    {MeanSlot(1), 36},
    {MeanSlot(2), 60},
    {MeanSlot(3), 120},
    {MeanSlot(4), 180},
    {MeanSlot(5), 24},
}};
inline constexpr std::array<MeanWindow, 6> kQuarterMeans = {{
    {MeanSlot(0), 4},
    {MeanSlot(1), 12},
    {MeanSlot(2), 20},
    {MeanSlot(3), 40},
    {MeanSlot(4), 60},
    {MeanSlot(5), 8},
}};
inline constexpr std::array<MeanWindow, 5> kYearMeans = {{
    {MeanSlot(0), 3},
    {MeanSlot(1), 5},
    {MeanSlot(2), 10},
    {MeanSlot(3), 15},
    {MeanSlot(4), 15},
}};

// Bar heights of the lower pane. The change bars are scaled so that the largest rise stands
// three times the largest volume high (twice the scale per percent), and the volume bars hang
// from the lowest change bar.
struct LowerPane {
  double scale = 1.0;
  double offset = 0.0;
};
// Extremes over every record, each starting from 0: with no rise at all (or no volume) the
// scale is 1, so no bar gets an infinite height.
LowerPane LowerPaneOf(std::span<const DataRecord> work);

// "1,234,567": the volume with no decimals, grouped; empty for a volume that reads "0".
std::string VolumeLabel(double volume);
// "-1.50%": the change with two decimals and a percent sign.
std::string ChangeLabel(double change);

// Volume bars lifted to the offset, labelled with the volume above a rising record and below a
// falling one. Undated records (future and filler slots) are gaps.
PointRecipe LiftedVolumeBars(LowerPane pane);
// Change bars from 0 to 2 x scale x change, labelled with the change on the side the volume
// bars use. Undated records and changes that are not numbers are gaps.
PointRecipe ScaledChangeBars(LowerPane pane);
// The lower pane of the period charts: the lifted volume bars, then the scaled change bars.
std::array<SeriesRow, 2> LowerPaneBars(LowerPane pane);
// The same bars unscaled, in their own pane; labelled only when `labelled` is set.
PointRecipe ChangeBars(bool labelled);

}  // namespace orvane
