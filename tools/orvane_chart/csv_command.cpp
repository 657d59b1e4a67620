#include "tools/orvane_chart/csv_command.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <optional>
#include <sstream>

#include "chart/chart_export.h"
#include "modes/dashboard.h"
#include "modes/modes.h"
#include "tools/orvane_chart/chart_commands.h"
#include "tools/orvane_chart/dashboard_render.h"
#include "tools/orvane_chart/render_command.h"

namespace orvane::tool {
namespace {

constexpr std::string_view kCsvFlag = "--csv";
constexpr std::string_view kChangesFlag = "--changes";

constexpr ValueOption kCsvOptions[] = {
    {kCsvFlag, "OUT.csv",
     "write the visible data as CSV (UTF-8 with BOM): date, open, high, low, close of the first "
     "series, then each line series; real values under the log scale; mode 0 gives its monthly "
     "chart; - for standard output"},
    {kChangesFlag, "",
     "with --csv: add the close's change in percent from the period before and from a year "
     "before (one column in the yearly chart)"},
};

int RunCsvCommand(const Invocation& invocation) {
  ChartRequest request;
  if (const int status = ReadChartRequest(invocation, request); status != kExitOk) return status;
  // The dashboard's CSV is that of its first (monthly) chart.
  std::optional<DashboardModels> dashboard;
  ChartModel single;
  ChartModel* shown = &single;
  if (request.mode == static_cast<int>(ChartMode::Dashboard)) {
    dashboard.emplace();
    BuildDashboardFrom(request.table, request.in, dashboard->charts);
    shown = &dashboard->models[0];
  } else {
    single.Attach();
    BuildChart(request.mode, std::move(request.in), single);
  }
  ChartModel& chart = *shown;

  Invocation target = invocation;
  const std::string& out = invocation.values.find(kCsvFlag)->second;
  target.outPath = out == "-" ? std::string() : out;
  const bool changes = invocation.values.contains(kChangesFlag);
  int status = WriteOutputStream(target, [&chart, changes](std::ostream& stream) {
    std::lock_guard lock(chart.seriesLock);
    WriteChartCsv(stream, chart.series, chart.settings, chart.view, changes);
  });
  if (WantsRender(invocation)) {
    std::ostringstream err;
    const int renderStatus = dashboard ? RunDashboardRender(dashboard->charts, request.render, err)
                                       : RunRender(chart, request.render, err);
    std::fputs(err.str().c_str(), stderr);
    if (status == kExitOk) status = renderStatus;
  }
  return status;
}

constexpr Command kCsvCommand{"--csv", "write the chart's visible data as CSV", RunCsvCommand};

}  // namespace

std::span<const ValueOption> CsvValueOptions() { return kCsvOptions; }

bool WantsCsv(const Invocation& invocation) { return invocation.values.contains(kCsvFlag); }

const Command& CsvCommand() { return kCsvCommand; }

}  // namespace orvane::tool
