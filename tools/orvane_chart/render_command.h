#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_model.h"

namespace orvane {

// Picture outputs of orvane-chart and how to draw them.
struct RenderRequest {
  std::string png;
  std::string svg;
  std::string ops;
  std::string background;
  int width = 1900;
  int height = 980;

  bool WantsOutput() const { return !png.empty() || !svg.empty() || !ops.empty(); }
};

// Removes --png, --svg, --ops, --size and --background with their values from args; returns an
// error text for a missing or malformed value.
std::optional<std::string> TakeRenderOptions(std::vector<std::string>& args,
                                             RenderRequest& request);

// Renders the chart with its stored view to every requested output, at the margins the
// single-chart window uses; returns the process exit code. Runs without a display.
int RunRender(ChartModel& chart, const RenderRequest& request, std::ostream& err);

// The --help section for the render options and the draw-operation format.
std::string_view RenderHelp();

}  // namespace orvane
