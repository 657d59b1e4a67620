#include "modes/chart_json.h"

#include <array>
#include <cmath>

#include "modes/modes.h"

namespace orvane {
namespace {

using json = nlohmann::ordered_json;

// Non-finite numbers (logarithms of 0 or of negatives) are written as null.
json Number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

json Colour(ColorRef c) { return json::array({RedOf(c), GreenOf(c), BlueOf(c)}); }

json PointToJson(const ChartPoint& p) {
  return {{"date", p.date},       {"open", Number(p.open)},     {"high", Number(p.high)},
          {"low", Number(p.low)}, {"close", Number(p.close)},   {"valid", p.valid},
          {"rising", p.rising},   {"upperLabel", p.upperLabel}, {"lowerLabel", p.lowerLabel}};
}

json SeriesToJson(const ChartSeries& s) {
  json points = json::array();
  for (const ChartPoint& p : s.points) points.push_back(PointToJson(p));
  return {{"style", static_cast<int>(s.style)},
          {"color", Colour(s.color)},
          {"width", s.width},
          {"upColor", Colour(s.upColor)},
          {"downColor", Colour(s.downColor)},
          {"markHighlight", s.markHighlight},
          {"inMainRange", s.inMainRange},
          {"inLowerPane", s.inLowerPane},
          {"showTwoYearLink", s.showTwoYearLink},
          {"baseLift", Number(s.baseLift)},
          {"horizontalLabels", s.horizontalLabels},
          {"points", std::move(points)}};
}

}  // namespace

json ChartToJson(const ChartModel& chart) {
  const ChartSettings& s = chart.settings;
  json series = json::array();
  for (const ChartSeries& one : chart.series) series.push_back(SeriesToJson(one));
  json names = json::array();
  for (const std::string& name : s.compareNames) names.push_back(name);
  return {{"title", s.title},
          {"subtitle", s.subtitle},
          {"highlightMonth", s.highlightMonth},
          {"singlePane", s.singlePane},
          {"lowerPaneRatio", Number(s.lowerPaneRatio)},
          {"legendMomentum", s.legendMomentum},
          {"legendIchimoku", s.legendIchimoku},
          {"legendCompare", s.legendCompare},
          {"compareNames", std::move(names)},
          {"view",
           {{"lastIndex", chart.view.lastIndex},
            {"visibleCount", chart.view.visibleCount},
            {"firstIndex", chart.view.firstIndex}}},
          {"series", std::move(series)}};
}

json ChartDumpToJson(int mode, const PipelineInputs& in,
                     std::span<const ChartModel* const> charts) {
  json list = json::array();
  for (const ChartModel* chart : charts) list.push_back(ChartToJson(*chart));
  return {{"mode", mode},
          {"scale", in.LogScale() ? "log" : "arith"},
          {"fromYear", in.fromYear},
          {"toYear", in.toYear},
          {"charts", std::move(list)}};
}

json DumpMode(int mode, const PipelineInputs& in) {
  ChartModel chart;
  chart.Attach();
  if (!BuildChart(mode, in, chart)) return nullptr;
  const ChartModel* charts[] = {&chart};
  return ChartDumpToJson(mode, in, charts);
}

json DumpDashboard(const DataTable& table, const DashboardInputs& in) {
  DashboardModels dashboard;
  const DashboardCharts& charts = dashboard.charts;
  BuildDashboard(table, in, charts);
  PipelineInputs shown;
  shown.scaleChoice = in.scaleChoice;
  shown.fromYear = in.fromYear;
  shown.toYear = in.toYear;
  const ChartModel* dumped[] = {charts[0], charts[1], charts[2]};
  return ChartDumpToJson(static_cast<int>(ChartMode::Dashboard), shown, dumped);
}

std::string DumpText(const nlohmann::ordered_json& dump) {
  try {
    return dump.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
  } catch (...) {
    return "null\n";
  }
}

}  // namespace orvane
