#pragma once

// The chart modes of the single-chart window and the dispatch the main window's Apply uses.

#include <string_view>

#include "chart/chart_model.h"
#include "modes/pipeline.h"

namespace orvane {

// Index of the mode radio group; 0 is the three-chart dashboard.
enum class ChartMode : int {
  Dashboard = 0,
  Monthly = 1,
  Bollinger = 2,
  Ichimoku = 3,
  RangeSearch = 4,
  Quarterly = 5,
  Yearly = 6,
  Zoom = 7,
  Compare = 8,
};
inline constexpr int kModeCount = 9;

// Caption of a mode's radio button ("월봉" for mode 1); empty for an unknown index.
std::string_view ModeCaption(int mode);

// Scale and years the main window starts with for a mode: arithmetic 2005 to 2030, except the
// range search, which has its own fields (logarithmic, 1700 to 2030).
struct ModeDefaults {
  int scaleChoice;
  int fromYear;
  int toYear;
};
ModeDefaults DefaultsForMode(int mode);

// Mode 1: monthly candles, six running means, companion line, volume bars, year body.
void BuildMonthlyChart(PipelineInputs in, ChartModel& chart);
// Mode 2: monthly candles with the Bollinger bands, the Parabolic stop, running means and, in
// the lower pane, the Coppock and Sonar momentum.
void BuildBollingerChart(PipelineInputs in, ChartModel& chart);
// Mode 3: monthly candles with the Ichimoku lines and cloud on closes and on highs and lows,
// running 20 months into the future.
void BuildIchimokuChart(PipelineInputs in, ChartModel& chart);
// Mode 4: the monthly chart over a long span with ten means reaching back a hundred years.
void BuildRangeSearchChart(PipelineInputs in, ChartModel& chart);

// Mode 5: quarterly candles merged from the months, with running means, the lower pane of
// summed volume and percentage change, and the year body.
void BuildQuarterlyChart(PipelineInputs in, ChartModel& chart);
// Mode 6: the same chart with one candle per calendar year.
void BuildYearlyChart(PipelineInputs in, ChartModel& chart);
// Mode 7: the latest month's year and the three before it, with every overlay at once, whatever
// fromYear says.
void BuildZoomChart(PipelineInputs in, ChartModel& chart);
// Mode 8: the candles with up to ten compared lines from further values 1 to 10, named in the
// compare legend by in.compareNames.
void BuildCompareChart(PipelineInputs in, ChartModel& chart);

// Whether a single-chart pipeline exists for the mode.
bool IsModeBuilt(int mode);
// Runs the mode's pipeline on the chart; false (chart untouched) when the mode has none.
bool BuildChart(int mode, PipelineInputs in, ChartModel& chart);

}  // namespace orvane
