#pragma once

#include <iosfwd>

#include "modes/dashboard.h"
#include "tools/orvane_chart/render_command.h"

namespace orvane::tool {

// Draws the dashboard's three charts, laid out for the requested size as the dashboard window
// lays them out, into every requested output; returns the exit code. Runs without a display.
int RunDashboardRender(const DashboardCharts& charts, const RenderRequest& request,
                       std::ostream& err);

}  // namespace orvane::tool
