#include "tools/orvane_chart/mode_options.h"

#include <charconv>

#include "data/series_reader.h"
#include "modes/modes.h"

namespace orvane::tool {
namespace {

constexpr ValueOption kModeOptions[] = {
    {"--mode", "N", "chart mode 1 to 8 (default 1, monthly candles)"},
    {"--scale", "log|arith", "value scale (default: the mode's, arith except mode 4)"},
    {"--from", "YEAR", "first year shown (default: the mode's, 2005; mode 4 1700)"},
    {"--to", "YEAR", "year the chart stops before (default 2030)"},
};

std::optional<int> IntValue(const Invocation& invocation, std::string_view flag, bool& bad) {
  const auto it = invocation.values.find(flag);
  if (it == invocation.values.end()) return std::nullopt;
  int v = 0;
  const std::string& text = it->second;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || end != text.data() + text.size()) {
    bad = true;
    return std::nullopt;
  }
  return v;
}

}  // namespace

std::span<const ValueOption> ModeValueOptions() { return kModeOptions; }

std::optional<ModeError> BuildModeChart(const Invocation& invocation, ChartModel& chart) {
  bool bad = false;
  const int mode = IntValue(invocation, "--mode", bad).value_or(1);
  if (bad) return ModeError{"--mode wants a number"};
  if (!IsModeBuilt(mode)) return ModeError{"mode " + std::to_string(mode) + " is not available"};
  const ModeDefaults defaults = DefaultsForMode(mode);

  PipelineInputs in;
  in.scaleChoice = defaults.scaleChoice;
  if (const auto it = invocation.values.find("--scale"); it != invocation.values.end()) {
    if (it->second != "log" && it->second != "arith")
      return ModeError{"--scale wants log or arith"};
    in.scaleChoice = it->second == "log" ? kScaleLog : kScaleArith;
  }
  in.fromYear = IntValue(invocation, "--from", bad).value_or(defaults.fromYear);
  in.toYear = IntValue(invocation, "--to", bad).value_or(defaults.toYear);
  if (bad) return ModeError{"--from and --to want a year"};

  DataTable table;
  if (!LoadDataFile(table, invocation.file)) {
    return ModeError{"cannot read " + invocation.file, kExitFailure};
  }
  SeriesData data = LoadRecords(table);
  in.records = std::move(data.records);
  in.header = std::move(data.header);
  chart.Attach();
  BuildChart(mode, in, chart);
  return std::nullopt;
}

}  // namespace orvane::tool
