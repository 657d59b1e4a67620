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

// Point i of series s.
json PointToJson(const ChartSeries& s, std::size_t i) {
  const ChartPoint& p = s.points[i];
  return {
      {"date", p.date},       {"open", Number(p.open)},          {"high", Number(p.high)},
      {"low", Number(p.low)}, {"close", Number(p.close)},        {"valid", p.valid},
      {"rising", p.rising},   {"upperLabel", s.labels.Upper(i)}, {"lowerLabel", s.labels.Lower(i)}};
}

// A series' properties; its points follow under "points".
json SeriesHead(const ChartSeries& s) {
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
          {"horizontalLabels", s.horizontalLabels}};
}

json SeriesToJson(const ChartSeries& s) {
  json points = json::array();
  for (std::size_t i = 0; i < s.points.size(); ++i) points.push_back(PointToJson(s, i));
  json out = SeriesHead(s);
  out["points"] = std::move(points);
  return out;
}

// A chart's properties and view; its series follow under "series".
json ChartHead(const ChartModel& chart) {
  const ChartSettings& s = chart.settings;
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
            {"firstIndex", chart.view.firstIndex}}}};
}

json DumpHead(int mode, const PipelineInputs& in) {
  json head = {{"mode", mode},
               {"scale", in.LogScale() ? "log" : "arith"},
               {"fromYear", in.fromYear},
               {"toYear", in.toYear}};
  if (in.rebaseMonth > 0) head["rebaseMonth"] = in.rebaseMonth;
  return head;
}

std::string Compact(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// An object's text without its closing brace, ready for one more member.
std::string OpenObject(const json& head) {
  std::string text = Compact(head);
  text.pop_back();
  return text;
}

}  // namespace

json ChartToJson(const ChartModel& chart) {
  json series = json::array();
  for (const ChartSeries& one : chart.series) series.push_back(SeriesToJson(one));
  json out = ChartHead(chart);
  out["series"] = std::move(series);
  return out;
}

json ChartDumpToJson(int mode, const PipelineInputs& in,
                     std::span<const ChartModel* const> charts) {
  json list = json::array();
  for (const ChartModel* chart : charts) list.push_back(ChartToJson(*chart));
  json out = DumpHead(mode, in);
  out["charts"] = std::move(list);
  return out;
}

void WriteChartDump(std::ostream& out, int mode, const PipelineInputs& in,
                    std::span<const ChartModel* const> charts) {
  out << OpenObject(DumpHead(mode, in)) << ",\"charts\":[";
  for (std::size_t c = 0; c < charts.size(); ++c) {
    if (c > 0) out << ',';
    out << OpenObject(ChartHead(*charts[c])) << ",\"series\":[";
    const std::vector<ChartSeries>& series = charts[c]->series;
    for (std::size_t k = 0; k < series.size(); ++k) {
      if (k > 0) out << ',';
      out << OpenObject(SeriesHead(series[k])) << ",\"points\":[";
      for (std::size_t i = 0; i < series[k].points.size(); ++i) {
        if (i > 0) out << ',';
        out << Compact(PointToJson(series[k], i));
      }
      out << "]}";
    }
    out << "]}";
  }
  out << "]}\n";
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
