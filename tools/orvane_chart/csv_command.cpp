#include "tools/orvane_chart/csv_command.h"

#include <cstdio>
#include <mutex>
#include <sstream>

#include "chart/chart_export.h"
#include "modes/modes.h"
#include "tools/orvane_chart/chart_commands.h"
#include "tools/orvane_chart/render_command.h"

namespace orvane::tool {
namespace {

constexpr std::string_view kCsvFlag = "--csv";

constexpr ValueOption kCsvOptions[] = {
    {kCsvFlag, "OUT.csv",
     "write the visible data as CSV (UTF-8 with BOM): date, open, high, low, close of the first "
     "series, then each line series; real values under the log scale; - for standard output"},
};

int RunCsvCommand(const Invocation& invocation) {
  RenderRequest request;
  if (const auto error = ParseRenderRequest(invocation, request)) {
    std::fprintf(stderr, "orvane-chart: %s\n", error->c_str());
    return kExitUsage;
  }
  int mode = 0;
  PipelineInputs in;
  if (const int status = LoadChartInputs(invocation, mode, in); status != kExitOk) return status;
  ChartModel chart;
  chart.Attach();
  BuildChart(mode, in, chart);

  std::string csv;
  {
    std::lock_guard lock(chart.seriesLock);
    csv = ChartCsv(chart.series, chart.settings, chart.view);
  }
  Invocation target = invocation;
  const std::string& out = invocation.values.find(kCsvFlag)->second;
  target.outPath = out == "-" ? std::string() : out;
  int status = WriteOutput(target, csv);
  if (WantsRender(invocation)) {
    std::ostringstream err;
    const int renderStatus = RunRender(chart, request, err);
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
