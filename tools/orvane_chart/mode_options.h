#pragma once

#include <optional>
#include <span>
#include <string>

#include "chart/chart_model.h"
#include "tools/orvane_chart/command.h"

namespace orvane::tool {

// --mode N, --scale log|arith, --from YEAR, --to YEAR: the choices the main window's Apply makes.
std::span<const ValueOption> ModeValueOptions();

// Reads the series file and runs the chosen mode's pipeline into the chart, as Apply does.
// Returns an error text (and the exit code to give) when the options or the file are unusable.
struct ModeError {
  std::string message;
  int exitCode = kExitUsage;
};
std::optional<ModeError> BuildModeChart(const Invocation& invocation, ChartModel& chart);

}  // namespace orvane::tool
