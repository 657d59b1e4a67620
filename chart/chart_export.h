#pragma once

// The visible data of a chart as a spreadsheet file.

#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chart/chart_model.h"

namespace orvane {

// CSV of the visible points: date (YYYY-MM), open, high, low and close of series 0, then one
// column per line series named in its header, real values under the logarithmic scale, gaps
// empty. UTF-8 with a byte-order mark and CRLF lines, so spreadsheets read the Korean names.
// With changes, the close's percentage changes against the period before and a year before
// (ChangesAt) follow as the last columns. The caller holds seriesLock.
std::string ChartCsv(const std::vector<ChartSeries>& series, const ChartSettings& settings,
                     const ChartView& view);
// The same text, written to the stream line by line.
void WriteChartCsv(std::ostream& out, const std::vector<ChartSeries>& series,
                   const ChartSettings& settings, const ChartView& view, bool changes = false);

// Visible index range [first, end) of series 0, inside its points.
std::pair<std::size_t, std::size_t> VisibleSpan(const std::vector<ChartSeries>& series,
                                                const ChartView& view);
// The line series that get a column: lines and dots after series 0 with at least one value.
std::vector<std::size_t> ExportedLines(const std::vector<ChartSeries>& series);
// A value as exports write it (empty when not finite); a date as "2021-06" (empty for 0).
std::string ExportNumber(double value);
std::string ExportDate(std::int32_t date);

// What an export is named after: the series shown (the chart's title when empty) and the chart
// mode that drew it.
struct ExportNaming {
  std::string series;
  std::string mode;
};

// A file name for an export of this chart: series and mode (characters file systems refuse
// replaced) and the first and last visible dates, then the extension ("csv", "png").
std::string ExportFileName(const std::vector<ChartSeries>& series, const ChartSettings& settings,
                           const ChartView& view, const ExportNaming& naming,
                           std::string_view extension);

// The n-th free variant of a file name: n = 1 gives the name itself, n = 2 "name (2).ext" ...
std::string NumberedFileName(std::string_view name, int n);

}  // namespace orvane
