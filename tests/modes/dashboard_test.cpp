#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "data/series_reader.h"
#include "modes/chart_json.h"
#include "modes/dashboard.h"
#include "modes/modes.h"

namespace orvane {
namespace {

using Json = nlohmann::ordered_json;

// A series file in the HLC layout: date; high; low; close; volume; companion.
std::string SeriesText(const std::string& highlight, const std::vector<std::string>& lines) {
  std::string text =
      "\n1;Seoul apartments\n\n3;hlc\n4;;;;;;A;B\n5;;;" + highlight + "\n\n\n\n9;;;2020=100\n";
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// "YYYY.MM;close+1;close-1;close;volume;close/2" for consecutive months.
std::vector<std::string> MonthLines(int year, int month, const std::vector<double>& closes) {
  std::vector<std::string> lines;
  for (double c : closes) {
    char line[128];
    std::snprintf(line, sizeof line, "%04d.%02d;%g;%g;%g;%d;%g", year, month, c + 1, c - 1, c, 1000,
                  c / 2);
    lines.emplace_back(line);
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  return lines;
}

Json Dashboard(const std::string& text, DashboardInputs in = {}) {
  DataTable table;
  LoadDataText(table, text);
  if (in.fromYear == 2005) in.fromYear = 1900;
  const Json dump = DumpDashboard(table, in);
  EXPECT_EQ(dump.at("mode"), 0);
  EXPECT_EQ(dump.at("charts").size(), 3u);
  return dump.at("charts");
}

const Json& Points(const Json& chart, int series) {
  return chart.at("series")[series].at("points");
}

TEST(Dashboard, ThreeChartsOfMonthsQuartersAndYears) {
  const Json charts = Dashboard(SeriesText("2023.05", MonthLines(2023, 2, {100, 101, 102, 103})));
  const Json &monthly = charts[0], &quarterly = charts[1], &yearly = charts[2];
  EXPECT_EQ(monthly.at("title"), "Seoul apartments");
  EXPECT_EQ(monthly.at("subtitle"), "2020=100");
  EXPECT_EQ(quarterly.at("title"), "분기봉");
  EXPECT_EQ(quarterly.at("subtitle"), "");
  EXPECT_EQ(yearly.at("title"), "연봉");
  EXPECT_EQ(monthly.at("series").size(), 10u);
  EXPECT_EQ(quarterly.at("series").size(), 9u);
  EXPECT_EQ(yearly.at("series").size(), 6u);
  for (const Json& chart : charts) {
    EXPECT_EQ(chart.at("singlePane"), false);
    EXPECT_EQ(chart.at("lowerPaneRatio"), 0.8);
  }
  // February and March, then April and May.
  const Json& quarters = Points(quarterly, 0);
  ASSERT_EQ(quarters.size(), 2u);
  EXPECT_EQ(quarters[0].at("date"), 202303);
  EXPECT_EQ(quarters[0].at("open"), 100.0);  // the first HLC open is its own close
  EXPECT_EQ(quarters[1].at("date"), 202305);
  EXPECT_EQ(quarters[1].at("open"), 101.0);               // April opens at March's close
  EXPECT_EQ(Points(quarterly, 7)[0].at("high"), 2000.0);  // summed volume
  // The yearly chart: lines of the first four means and unscaled change bars.
  EXPECT_EQ(yearly.at("series")[1].at("color"), Json::array({153, 204, 0}));
  EXPECT_EQ(yearly.at("series")[5].at("inLowerPane"), true);
  const Json& change = Points(yearly, 5)[0];
  EXPECT_NEAR(change.at("close").get<double>(), 3.0, 1e-9);  // 103 / 100
  EXPECT_EQ(change.at("upperLabel"), "3.00%");
}

TEST(Dashboard, SkipsUndatedRowsWithoutMovingTheCarriedOpen) {
  std::vector<std::string> lines = MonthLines(2023, 1, {100, 110});
  lines.insert(lines.begin() + 1, ";1;1;500;1;1");  // a close but no date
  const Json charts = Dashboard(SeriesText("", lines));
  const Json& candles = Points(charts[0], 0);
  ASSERT_EQ(candles.size(), 2u);
  EXPECT_EQ(candles[1].at("open"), 100.0);  // not 500
}

TEST(Dashboard, HighlightMovesOntoTheContainingPeriod) {
  const std::vector<std::string> lines = MonthLines(2023, 1, {100, 101, 102, 103, 104, 105});
  const Json charts = Dashboard(SeriesText("2023.05", lines));
  EXPECT_EQ(charts[0].at("highlightMonth"), 202305);
  EXPECT_EQ(charts[1].at("highlightMonth"), 202306);
  EXPECT_EQ(charts[2].at("highlightMonth"), 202306);

  // No highlight: none in the monthly chart, the first period in the others.
  const Json none = Dashboard(SeriesText("", lines));
  EXPECT_EQ(none[0].at("highlightMonth"), 0);
  EXPECT_EQ(none[1].at("highlightMonth"), 202303);
  EXPECT_EQ(none[2].at("highlightMonth"), 202306);

  // When the first period is before fromYear, an empty highlight stays 0.
  const Json late = Dashboard(SeriesText("", MonthLines(2022, 1, std::vector<double>(24, 100.0))),
                              {.fromYear = 2023});
  EXPECT_EQ(late[1].at("highlightMonth"), 0);
  EXPECT_EQ(late[2].at("highlightMonth"), 0);

  const std::vector<DataRecord> none2;
  EXPECT_EQ(HighlightOnPeriod(202305, none2, RangeFilter{0}), 202305);
}

TEST(Dashboard, SwingLabelsOfTheYearlyChartStartAtTheSecondPoint) {
  // Years with highs 11, 21, 16 and lows 4, 7, 2 (one month each).
  const Json charts = Dashboard(
      SeriesText("", {"2021.12;11;4;10;1;1", "2022.12;21;7;20;1;1", "2023.12;16;2;15;1;1"}));
  const Json& years = Points(charts[2], 0);
  ASSERT_EQ(years.size(), 3u);
  EXPECT_EQ(years[0].at("upperLabel"), "");
  EXPECT_EQ(years[0].at("lowerLabel"), "");
  EXPECT_EQ(years[1].at("upperLabel"), "22-12");
  EXPECT_EQ(years[2].at("lowerLabel"), "23-12");
  // Three months are too few for the monthly chart's window of 9.
  for (const Json& p : Points(charts[0], 0)) EXPECT_EQ(p.at("upperLabel"), "");
}

TEST(Dashboard, ScaleChangeLabelsAndEmptyTable) {
  const std::string text = SeriesText("", MonthLines(2022, 1, std::vector<double>(24, 100.0)));
  const Json log = Dashboard(text, {.scaleChoice = kScaleLog});
  EXPECT_EQ(Points(log[0], 0)[0].at("close"), 2.0);
  EXPECT_EQ(Points(log[2], 0)[0].at("close"), 2.0);
  EXPECT_EQ(Points(log[0], 8)[0].at("high"), 1000.0);  // volume stays
  EXPECT_EQ(Points(log[2], 5)[1].at("upperLabel"), "0.00%");
  // Only the log choice takes logarithms.
  EXPECT_EQ(Points(Dashboard(text, {.scaleChoice = 7})[0], 0)[0].at("close"), 100.0);
  // Without a fresh file the change bars carry no labels.
  const Json stale = Dashboard(text, {.freshFile = false});
  for (const Json& p : Points(stale[2], 5)) EXPECT_EQ(p.at("upperLabel"), "");

  for (const Json& chart : Dashboard("")) {
    EXPECT_EQ(chart.at("view").at("lastIndex"), -1);
    for (const Json& s : chart.at("series")) EXPECT_TRUE(s.at("points").empty());
  }
}

TEST(DashboardLayout, SplitsAtHeightOverOnePointSeven) {
  const auto rects = DashboardLayout(1001, 1700);
  EXPECT_EQ(rects[0], (CanvasRect{0, 0, 1001, 999}));
  EXPECT_EQ(rects[1], (CanvasRect{0, 1001, 499, 699}));
  EXPECT_EQ(rects[2], (CanvasRect{501, 1001, 500, 699}));
  for (const CanvasRect& r : DashboardLayout(1, 1)) {
    EXPECT_GE(r.width, 0);
    EXPECT_GE(r.height, 0);
  }
}

// The readout and the data export name each mean line by its window in the list's own period.
TEST(Dashboard, MeanLinesAreNamedByTheirPeriods) {
  DataTable table;
  LoadDataText(table, SeriesText("2023.05", MonthLines(2020, 1, std::vector<double>(40, 100.0))));
  std::array<ChartModel, kDashboardChartCount> models;
  const DashboardCharts charts = {&models[0], &models[1], &models[2]};
  PrepareDashboardCharts(charts);
  BuildDashboard(table, DashboardInputs{.fromYear = 1900}, charts);
  auto names = [](const ChartModel& chart, std::size_t first, std::size_t end) {
    std::vector<std::string> out;
    for (std::size_t i = first; i < end; ++i) out.push_back(chart.series.at(i).name);
    return out;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(names(models[0], 1, 7), (Names{"12개월 평균", "36개월 평균", "60개월 평균",
                                           "120개월 평균", "180개월 평균", "24개월 평균"}));
  EXPECT_EQ(names(models[1], 1, 7), (Names{"4분기 평균", "12분기 평균", "20분기 평균",
                                           "40분기 평균", "60분기 평균", "8분기 평균"}));
  EXPECT_EQ(names(models[2], 1, 5), (Names{"3년 평균", "5년 평균", "10년 평균", "15년 평균"}));

  // The single-chart quarterly and yearly modes name theirs alike.
  PipelineInputs in;
  in.records = LoadRecords(table).records;
  in.fromYear = 1900;
  ChartModel quarterly, yearly;
  BuildChart(static_cast<int>(ChartMode::Quarterly), in, quarterly);
  BuildChart(static_cast<int>(ChartMode::Yearly), in, yearly);
  EXPECT_EQ(names(quarterly, 1, 7), names(models[1], 1, 7));
  EXPECT_EQ(names(yearly, 1, 6),
            (Names{"3년 평균", "5년 평균", "10년 평균", "15년 평균", "15년 평균"}));
  EXPECT_EQ(MeanLineName(RecordPeriod::Month, 12).data(),
            MeanLineName(RecordPeriod::Month, 12).data());  // one text per name
}

}  // namespace
}  // namespace orvane
