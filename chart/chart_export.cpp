#include "chart/chart_export.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "chart/chart_interaction.h"

namespace orvane {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::pair<std::size_t, std::size_t> VisibleSpan(const std::vector<ChartSeries>& series,
                                                const ChartView& view) {
  if (series.empty()) return {0, 0};
  const std::size_t size = series.front().points.size();
  const std::size_t first = std::min<std::size_t>(std::max(0, view.firstIndex), size);
  const long long end = static_cast<long long>(first) + std::max(0, view.visibleCount);
  return {first, std::min<std::size_t>(static_cast<std::size_t>(end), size)};
}

// Twelve significant digits: exact for the file's numbers, and free of the last-digit noise
// that 10^log10(x) leaves.
std::string ExportNumber(double value) {
  if (!std::isfinite(value)) return {};
  return fmt::format("{:.12g}", value);
}

std::string ExportDate(std::int32_t date) {
  if (date <= 0) return {};
  return fmt::format("{:04}-{:02}", date / 100, date % 100);
}

std::vector<std::size_t> ExportedLines(const std::vector<ChartSeries>& series) {
  std::vector<std::size_t> lines;
  for (std::size_t s = 0; s < series.size(); ++s) {
    // A line without a single value (a mean the list is too short for) is no column.
    const auto& points = series[s].points;
    if (IsValueSeries(series[s], s) &&
        std::any_of(points.begin(), points.end(), [](const ChartPoint& p) { return p.valid; }))
      lines.push_back(s);
  }
  return lines;
}

void WriteChartCsv(std::ostream& out, const std::vector<ChartSeries>& series,
                   const ChartSettings& settings, const ChartView& view, bool changes) {
  // One line at a time: a long series never sits in memory as text.
  std::string line(kByteOrderMark);
  line += "날짜,시가,고가,저가,종가";
  const std::vector<std::size_t> lines = ExportedLines(series);
  for (std::size_t s : lines) {
    line += ',';
    line += CsvField(DisplayName(series[s], s));
  }
  const ChangeCaptions captions = ChangeCaptionsFor(settings.pointPeriod);
  if (changes) {
    for (std::string_view caption : {captions.previous, captions.yearAgo}) {
      if (!caption.empty()) (line += ',') += caption;
    }
  }
  line += "\r\n";
  out << line;

  const auto [first, end] = VisibleSpan(series, view);
  for (std::size_t i = first; i < end; ++i) {
    const ChartSeries& s0 = series.front();
    const ChartPoint& p = s0.points[i];
    line = ExportDate(p.date);
    for (double v : {p.open, p.high, p.low, p.close}) {
      line += ',';
      if (p.valid) line += ExportNumber(RealValue(v, s0, settings));
    }
    for (std::size_t s : lines) {
      line += ',';
      const ChartSeries& value = series[s];
      if (i < value.points.size() && value.points[i].valid) {
        line += ExportNumber(RealValue(value.points[i].close, value, settings));
      }
    }
    if (changes) {
      const PointChanges at = ChangesAt(s0, settings, PointIndex{static_cast<int>(i)});
      for (const auto& [caption, change] :
           {std::pair{captions.previous, at.previous}, std::pair{captions.yearAgo, at.yearAgo}}) {
        if (caption.empty()) continue;
        line += ',';
        if (change) line += ExportNumber(*change);
      }
    }
    line += "\r\n";
    out << line;
  }
}

std::string ChartCsv(const std::vector<ChartSeries>& series, const ChartSettings& settings,
                     const ChartView& view) {
  std::ostringstream out;
  WriteChartCsv(out, series, settings, view);
  return std::move(out).str();
}

namespace {

// A name part with the characters file systems refuse replaced, trimmed, at most 120 bytes.
std::string FileNamePart(std::string_view text) {
  std::string name;
  for (char c : text) {
    const bool refused = static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
                         std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
    name += refused ? '_' : c;
  }
  const auto start = name.find_first_not_of(" ._");
  if (start == std::string::npos) return {};
  name = name.substr(start);
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  // Long titles stay under common file-name limits, cut on a character boundary.
  if (name.size() > 120) {
    std::size_t cut = 120;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return name;
}

}  // namespace

std::string ExportFileName(const std::vector<ChartSeries>& series, const ChartSettings& settings,
                           const ChartView& view, const ExportNaming& naming,
                           std::string_view extension) {
  std::string name = FileNamePart(naming.series.empty() ? settings.title : naming.series);
  if (name.empty()) name = "chart";
  if (const std::string mode = FileNamePart(naming.mode); !mode.empty()) name += "_" + mode;

  const auto [first, end] = VisibleSpan(series, view);
  if (first < end) {
    const PointList& pts = series.front().points;
    std::int32_t from = 0, to = 0;
    for (std::size_t i = first; i < end && from == 0; ++i) from = std::max(0, pts[i].date);
    for (std::size_t i = end; i > first && to == 0; --i) to = std::max(0, pts[i - 1].date);
    if (from > 0 && to > 0) name += fmt::format("_{}-{}", from, to);
  }
  name += '.';
  name += extension;
  return name;
}

std::string NumberedFileName(std::string_view name, int n) {
  if (n <= 1) return std::string(name);
  const auto dot = name.rfind('.');
  const std::string_view stem = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot);
  return fmt::format("{} ({}){}", stem, n, extension);
}

}  // namespace orvane
