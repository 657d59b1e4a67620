#include "app/main_window_logic.h"

#include <algorithm>

#include "modes/pipeline.h"

namespace orvane::app {

int ModeOfRadio(int controlId) {
  const auto it = std::find(kModeRadioIds.begin(), kModeRadioIds.end(), controlId);
  return it == kModeRadioIds.end() ? -1 : static_cast<int>(it - kModeRadioIds.begin());
}

int YearOfEdit(std::string_view text) { return LeadingInteger(text); }

ApplyPlan PlanApply(const StripValues& strip) {
  constexpr int kRangeSearchMode = 4;
  ApplyPlan plan;
  plan.mode = strip.mode;
  plan.showDashboard = strip.mode == 0;
  plan.dashboard = {strip.scale, YearOfEdit(strip.fromYear), YearOfEdit(strip.toYear)};
  plan.singleChart = plan.dashboard;
  if (strip.mode == kRangeSearchMode) {
    plan.singleChart = {strip.rangeScale, YearOfEdit(strip.rangeFromYear),
                        YearOfEdit(strip.rangeToYear)};
  }
  return plan;
}

ChildRects ResizeChildren(const PixelRect& client, const PixelRect& dashboard,
                          const PixelRect& menu) {
  constexpr int kEdgeGap = 10;
  const int bottom = client.Bottom() - kEdgeGap;
  const int right = client.Right() - kEdgeGap;
  ChildRects rects;
  rects.dashboard = {dashboard.x, dashboard.y, std::max(right - dashboard.x, 0),
                     std::max(bottom - dashboard.y, 0)};
  rects.singleChart = rects.dashboard;
  rects.menu = {menu.x, menu.y, menu.width, std::max(bottom - menu.y, 0)};
  return rects;
}

std::string FileNameFromUrl(std::string_view url) {
  const auto slash = url.rfind('/');
  return std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
}

}  // namespace orvane::app
