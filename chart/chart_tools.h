#pragma once

// The analyst's tools over a drawn chart: finding the period that holds a month, the range
// presets, and the table of visible data the data pane shows and copies. Pure arithmetic over
// the series; the caller holds seriesLock.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_geometry.h"
#include "chart/chart_model.h"
#include "data/data_record.h"

namespace orvane {

// The point of series 0 whose period holds the month: the first dated point on or after it
// (a quarter or a year is dated by its last month). Empty when the month is past the last one.
std::optional<PointIndex> PointForMonth(const std::vector<ChartSeries>& series, std::int32_t month);
// The month after the period before this point: the period holds the months from it up to the
// point's date. 0 for the first point.
std::int32_t PeriodStart(const std::vector<ChartSeries>& series, PointIndex index);

// The last `years` years of the available points (at least the zoom floor of points, or all),
// ending where the home view ends; years <= 0 shows every available point.
ChartView RecentYearsView(const std::vector<ChartSeries>& series, const ChartView& home, int years);

// Volumes of the months, summed over any period of a chart.
class MonthlyVolumes {
 public:
  MonthlyVolumes() = default;
  explicit MonthlyVolumes(const std::vector<DataRecord>& records);
  // Sum over the months from..to (inclusive); empty when no month of the file lies there.
  std::optional<double> Sum(std::int32_t from, std::int32_t to) const;

 private:
  std::vector<std::int32_t> dates_;  // ascending, dated months only
  std::vector<double> prefix_;       // prefix_[i] = sum of the first i volumes
};

// The visible points as a table: date, open, high, low, close of series 0, volume, then one
// column per line series (the columns of the CSV export). Real values; gaps empty.
struct VisibleData {
  std::vector<std::string> columns;
  struct Row {
    PointIndex index{};
    std::int32_t date = 0;
    std::vector<std::optional<double>> values;  // one per column after the date
  };
  std::vector<Row> rows;
  // The row of a point, or empty when the point is not shown.
  std::optional<int> RowOf(PointIndex index) const;
};
VisibleData VisibleDataOf(const std::vector<ChartSeries>& series, const ChartSettings& settings,
                          const ChartView& view, const MonthlyVolumes& volumes);

// Rows as tab-separated text under a header line, full precision without grouping, so they
// paste into a spreadsheet as numbers.
std::string RowsAsTsv(const VisibleData& data, const std::vector<int>& rows);

}  // namespace orvane
