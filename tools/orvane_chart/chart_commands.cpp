#include "tools/orvane_chart/chart_commands.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "chart/chart_interaction.h"
#include "data/series_reader.h"
#include "modes/chart_json.h"
#include "modes/modes.h"
#include "modes/series_inputs.h"

namespace orvane::tool {
namespace {

constexpr ValueOption kChartOptions[] = {
    {"--mode", "N", "chart mode 0 to 8 (default 1: monthly)"},
    {"--scale", "log|arith", "value scale (default arith; log in mode 4)"},
    {"--from", "YEAR", "first year shown (default 2005; 1700 in mode 4)"},
    {"--to", "YEAR", "year the chart stops before (default 2030)"},
    {"--rebase", "YYYY.MM",
     "mode 8: divide the candles and every compared line by their value at that month x 100"},
};

int Complain(int status, const std::string& message) {
  std::fprintf(stderr, "orvane-chart: %s\n", message.c_str());
  return status;
}

// The option's value as an integer; false when it is given but is not one.
bool IntOption(const Invocation& invocation, std::string_view flag, int& value) {
  const auto it = invocation.values.find(flag);
  if (it == invocation.values.end()) return true;
  const std::string& text = it->second;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

int RunJson(const Invocation& invocation) {
  int mode = 0;
  PipelineInputs in;
  DataTable table;
  if (const int status = LoadChartInputs(invocation, mode, in, table); status != kExitOk) {
    return status;
  }
  ChartModel single;
  single.Attach();
  const ChartModel* first = &single;
  std::span<const ChartModel* const> dumped(&first, 1);
  std::optional<DashboardModels> dashboard;
  std::array<const ChartModel*, kDashboardChartCount> all{};
  if (mode == static_cast<int>(ChartMode::Dashboard)) {
    dashboard.emplace();
    BuildDashboardFrom(table, in, dashboard->charts);
    all = {&dashboard->models[0], &dashboard->models[1], &dashboard->models[2]};
    dumped = all;
  } else {
    table = DataTable{};  // a single chart reads the records alone
    // The pipeline takes the records over; the dump shows the rest of the inputs as given.
    std::vector<DataRecord> records = std::exchange(in.records, std::vector<DataRecord>());
    PipelineInputs run = in;
    run.records = std::move(records);
    if (!BuildChart(mode, std::move(run), single)) return WriteOutput(invocation, "null\n");
  }
  in.records = std::vector<DataRecord>();  // the records are no longer needed
  table = DataTable{};
  return WriteOutputStream(invocation,
                           [&](std::ostream& out) { WriteChartDump(out, mode, in, dumped); });
}

constexpr Command kChartCommands[] = {
    {"--json", "print the chart content of a mode as JSON: {\"mode\", ..., \"charts\": [...]}",
     RunJson},
};

}  // namespace

std::span<const ValueOption> ChartValueOptions() { return kChartOptions; }

std::span<const Command> ChartCommands() { return kChartCommands; }

int LoadChartInputs(const Invocation& invocation, int& mode, PipelineInputs& in, DataTable& table) {
  mode = static_cast<int>(ChartMode::Monthly);
  if (!IntOption(invocation, "--mode", mode) || mode < 0 || mode >= kModeCount) {
    return Complain(kExitUsage, "--mode takes a number from 0 to 8");
  }
  const ModeDefaults defaults = DefaultsForMode(mode);
  int scaleChoice = defaults.scaleChoice;
  if (const auto it = invocation.values.find("--scale"); it != invocation.values.end()) {
    if (it->second == "log") {
      scaleChoice = kScaleLog;
    } else if (it->second == "arith") {
      scaleChoice = kScaleArith;
    } else {
      return Complain(kExitUsage, "--scale takes log or arith");
    }
  }
  int fromYear = defaults.fromYear, toYear = defaults.toYear;
  if (!IntOption(invocation, "--from", fromYear))
    return Complain(kExitUsage, "--from takes a year");
  if (!IntOption(invocation, "--to", toYear)) return Complain(kExitUsage, "--to takes a year");
  std::int32_t rebaseMonth = 0;
  if (const auto it = invocation.values.find("--rebase"); it != invocation.values.end()) {
    rebaseMonth = ParseMonth(it->second);
    if (rebaseMonth == 0) return Complain(kExitUsage, "--rebase takes a month as YYYY.MM");
    if (mode != static_cast<int>(ChartMode::Compare)) {
      return Complain(kExitUsage, "--rebase works in mode 8 (compare)");
    }
  }
  if (!LoadDataFile(table, invocation.file)) {
    return Complain(kExitFailure, "cannot read " + invocation.file);
  }
  if (mode == static_cast<int>(ChartMode::Dashboard)) {
    // The dashboard reads its three record lists from the table itself.
    in = PipelineInputs();
    in.scaleChoice = scaleChoice;
    in.fromYear = fromYear;
    in.toYear = toYear;
  } else {
    in = InputsFromTable(table, scaleChoice, fromYear, toYear);
  }
  in.rebaseMonth = rebaseMonth;
  return kExitOk;
}

void BuildDashboardFrom(DataTable& table, const PipelineInputs& in, const DashboardCharts& charts) {
  const DashboardInputs inputs{
      .scaleChoice = in.scaleChoice, .fromYear = in.fromYear, .toYear = in.toYear};
  DashboardLists lists = ReadDashboardLists(table, inputs.scaleChoice);
  table = DataTable{};
  BuildDashboard(std::move(lists), inputs, charts);
}

}  // namespace orvane::tool
