#include "modes/modes.h"

#include <array>

namespace orvane {
namespace {

using Pipeline = void (*)(PipelineInputs, ChartModel&);

struct ModeEntry {
  std::string_view caption;
  Pipeline build;  // null until the mode is built
};

// In radio-group order; the dashboard builds three charts and is not a single-chart pipeline.
constexpr std::array<ModeEntry, kModeCount> kModes = {{
    {"3분할", nullptr},
    {"월봉", &BuildMonthlyChart},
    {"볼린저", &BuildBollingerChart},
    {"일목", &BuildIchimokuChart},
    {"구간검색", &BuildRangeSearchChart},
    {"분기봉", &BuildQuarterlyChart},
    {"연봉", &BuildYearlyChart},
    {"확대", &BuildZoomChart},
    {"비교", &BuildCompareChart},
}};

bool Known(int mode) { return mode >= 0 && mode < kModeCount; }

}  // namespace

std::string_view ModeCaption(int mode) { return Known(mode) ? kModes[mode].caption : ""; }

ModeDefaults DefaultsForMode(int mode) {
  if (mode == static_cast<int>(ChartMode::RangeSearch)) return {kScaleLog, 1700, 2030};
  return {kScaleArith, 2005, 2030};
}

bool IsModeBuilt(int mode) { return Known(mode) && kModes[mode].build != nullptr; }

bool BuildChart(int mode, PipelineInputs in, ChartModel& chart) {
  if (!IsModeBuilt(mode)) return false;
  chart.settings.logScale = in.LogScale();
  chart.settings.pointPeriod = PointPeriod::Month;  // the quarterly and yearly modes say otherwise
  kModes[mode].build(std::move(in), chart);
  return true;
}

}  // namespace orvane
