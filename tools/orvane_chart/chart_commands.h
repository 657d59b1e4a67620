#pragma once

#include <span>

#include "data/data_table.h"
#include "modes/dashboard.h"
#include "modes/pipeline.h"
#include "tools/orvane_chart/command.h"

namespace orvane::tool {

// --mode, --scale, --from and --to: the choices of the main window's Apply.
std::span<const ValueOption> ChartValueOptions();

// Reads the mode, scale and years (with the main window's defaults for the mode) and the series
// file the way Apply reads it; the table keeps the file for the dashboard, which reads it with
// its own rules. Returns kExitOk, or the exit status after saying why on stderr: kExitUsage for
// a bad value, kExitFailure for an unreadable file.
int LoadChartInputs(const Invocation& invocation, int& mode, PipelineInputs& in, DataTable& table);

// Fills the dashboard's charts with the scale and years of the inputs. The table is emptied once
// the dashboard has read its lists from it.
void BuildDashboardFrom(DataTable& table, const PipelineInputs& in, const DashboardCharts& charts);

// --json.
std::span<const Command> ChartCommands();

}  // namespace orvane::tool
