#pragma once

// The chart dump of `orvane-chart --json`: the chart content as a pipeline left it, before any
// painting. The format is a public interface; keep it stable.

#include <nlohmann/json.hpp>
#include <ostream>
#include <span>
#include <string>

#include "chart/chart_model.h"
#include "data/data_table.h"
#include "modes/dashboard.h"
#include "modes/pipeline.h"

namespace orvane {

// One chart: properties, view and every series with its points.
nlohmann::ordered_json ChartToJson(const ChartModel& chart);

// {"mode", "scale", "fromYear", "toYear", "charts": [...]}.
nlohmann::ordered_json ChartDumpToJson(int mode, const PipelineInputs& in,
                                       std::span<const ChartModel* const> charts);

// The compact text of ChartDumpToJson and a newline, written piece by piece: a long series
// never becomes one JSON tree.
void WriteChartDump(std::ostream& out, int mode, const PipelineInputs& in,
                    std::span<const ChartModel* const> charts);

// Runs the mode's pipeline on a fresh chart and dumps it; null when the mode is not built.
nlohmann::ordered_json DumpMode(int mode, const PipelineInputs& in);

// Runs the dashboard on three fresh charts and dumps them: monthly, quarterly, yearly.
nlohmann::ordered_json DumpDashboard(const DataTable& table, const DashboardInputs& in);

// Compact text of a dump and a newline; invalid UTF-8 is replaced, never thrown on.
std::string DumpText(const nlohmann::ordered_json& dump);

}  // namespace orvane
