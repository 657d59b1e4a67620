#include "chart/chart_tools.h"

#include <algorithm>
#include <cmath>

#include "chart/chart_export.h"
#include "chart/chart_interaction.h"

namespace orvane {
namespace {

std::int32_t NextMonth(std::int32_t date) {
  return date % 100 >= 12 ? (date / 100 + 1) * 100 + 1 : date + 1;
}

}  // namespace

std::optional<PointIndex> PointForMonth(const std::vector<ChartSeries>& series,
                                        std::int32_t month) {
  if (series.empty() || month <= 0) return std::nullopt;
  const auto& points = series.front().points;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (points[i].date >= month) return PointIndex{static_cast<int>(i)};
  }
  return std::nullopt;
}

std::int32_t PeriodStart(const std::vector<ChartSeries>& series, PointIndex index) {
  if (series.empty()) return 0;
  const auto& points = series.front().points;
  const auto end =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(0, int(index))), points.size());
  for (std::size_t i = end; i-- > 0;) {
    const std::int32_t d = points[i].date;
    if (d > 0) return NextMonth(d);
  }
  return 0;
}

ChartView RecentYearsView(const std::vector<ChartSeries>& series, const ChartView& home,
                          int years) {
  const int n = AvailablePoints(series, home);
  ChartView out = home;
  out.firstIndex = 0;
  out.visibleCount = n;
  if (n == 0 || years <= 0) return out;
  const auto& points = series.front().points;
  int last = n - 1;
  while (last >= 0 && points[static_cast<std::size_t>(last)].date <= 0) --last;
  if (last < 0) return out;
  const std::int32_t after = points[static_cast<std::size_t>(last)].date - years * 100;
  int first = last;
  while (first > 0 && points[static_cast<std::size_t>(first - 1)].date > after) --first;
  // Filler slots after the last month stay on the right, as the home view shows them.
  const int count = std::max(n - first, std::min(kMinZoomPoints, n));
  out.visibleCount = count;
  out.firstIndex = n - count;
  return out;
}

MonthlyVolumes::MonthlyVolumes(const std::vector<DataRecord>& records) {
  prefix_.push_back(0.0);
  for (const DataRecord& r : records) {
    if (r.date <= 0 || (!dates_.empty() && r.date <= dates_.back())) continue;
    dates_.push_back(r.date);
    const double v = r.v[kVolume];
    prefix_.push_back(prefix_.back() + (std::isfinite(v) ? v : 0.0));
  }
}

std::optional<double> MonthlyVolumes::Sum(std::int32_t from, std::int32_t to) const {
  const auto lo = std::lower_bound(dates_.begin(), dates_.end(), from) - dates_.begin();
  const auto hi = std::upper_bound(dates_.begin(), dates_.end(), to) - dates_.begin();
  if (hi <= lo) return std::nullopt;
  return prefix_[static_cast<std::size_t>(hi)] - prefix_[static_cast<std::size_t>(lo)];
}

std::optional<int> VisibleData::RowOf(PointIndex index) const {
  if (rows.empty()) return std::nullopt;
  const int row = static_cast<int>(index) - static_cast<int>(rows.front().index);
  if (row < 0 || row >= static_cast<int>(rows.size())) return std::nullopt;
  return row;
}

VisibleData VisibleDataOf(const std::vector<ChartSeries>& series, const ChartSettings& settings,
                          const ChartView& view, const MonthlyVolumes& volumes) {
  VisibleData data;
  data.columns = {"날짜", "시가", "고가", "저가", "종가", "거래량"};
  const std::vector<std::size_t> lines = ExportedLines(series);
  for (std::size_t s : lines) data.columns.push_back(DisplayName(series[s], s));
  const auto [first, end] = VisibleSpan(series, view);
  if (first >= end) return data;
  const ChartSeries& s0 = series.front();
  std::int32_t periodStart = PeriodStart(series, PointIndex{static_cast<int>(first)});
  for (std::size_t i = first; i < end; ++i) {
    const ChartPoint& p = s0.points[i];
    VisibleData::Row row{PointIndex{static_cast<int>(i)}, p.date, {}};
    row.values.reserve(data.columns.size() - 1);
    for (double v : {p.open, p.high, p.low, p.close}) {
      row.values.push_back(p.valid ? std::optional(RealValue(v, s0, settings)) : std::nullopt);
    }
    row.values.push_back(p.date > 0 ? volumes.Sum(periodStart, p.date) : std::nullopt);
    if (p.date > 0) periodStart = NextMonth(p.date);
    for (std::size_t s : lines) {
      const ChartSeries& line = series[s];
      const bool has = i < line.points.size() && line.points[i].valid;
      row.values.push_back(has ? std::optional(RealValue(line.points[i].close, line, settings))
                               : std::nullopt);
    }
    data.rows.push_back(std::move(row));
  }
  return data;
}

std::string RowsAsTsv(const VisibleData& data, const std::vector<int>& rows) {
  std::string text;
  for (std::size_t c = 0; c < data.columns.size(); ++c) {
    if (c > 0) text += '\t';
    text += data.columns[c];
  }
  text += '\n';
  for (int r : rows) {
    if (r < 0 || r >= static_cast<int>(data.rows.size())) continue;
    const VisibleData::Row& row = data.rows[static_cast<std::size_t>(r)];
    text += ExportDate(row.date);
    for (const auto& v : row.values) {
      text += '\t';
      if (v) text += ExportNumber(*v);
    }
    text += '\n';
  }
  return text;
}

}  // namespace orvane
