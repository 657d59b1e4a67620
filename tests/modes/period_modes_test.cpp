#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "data/series_reader.h"
#include "modes/chart_json.h"
#include "modes/indicator_series.h"
#include "modes/modes.h"
#include "modes/periods.h"
#include "tests/modes/test_records.h"

namespace orvane {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kQuarterly = static_cast<int>(ChartMode::Quarterly);
constexpr int kYearly = static_cast<int>(ChartMode::Yearly);
constexpr int kZoom = static_cast<int>(ChartMode::Zoom);
constexpr int kCompare = static_cast<int>(ChartMode::Compare);

DataRecord Month(std::int32_t date, double open, double high, double low, double close,
                 double volume) {
  DataRecord r;
  r.date = date;
  r.v[kOpen] = open;
  r.v[kHigh] = high;
  r.v[kLow] = low;
  r.v[kClose] = close;
  r.v[kVolume] = volume;
  r.v[kCompanion] = close / 2;
  return r;
}

std::vector<DataRecord> Rising(int year, int month, int count) {
  return test::Months(year, month, count, [](int i) { return 100.0 + i; });
}

PipelineInputs Inputs(std::vector<DataRecord> records, int scale = kScaleArith,
                      int fromYear = 1900) {
  PipelineInputs in;
  in.records = std::move(records);
  in.header = {"202305", "Seoul apartments", "2020=100"};
  in.scaleChoice = scale;
  in.fromYear = fromYear;
  in.toYear = 2100;
  return in;
}

Json Chart(int mode, const PipelineInputs& in) {
  const Json dump = DumpMode(mode, in);
  EXPECT_FALSE(dump.is_null());
  return dump.at("charts").at(0);
}

const Json& Points(const Json& chart, int series) {
  return chart.at("series")[series].at("points");
}
double Close(const Json& point) { return point.at("close").get<double>(); }
Json Rgb3(int r, int g, int b) { return Json::array({r, g, b}); }

std::vector<std::int32_t> Dates(const std::vector<DataRecord>& list) {
  std::vector<std::int32_t> dates;
  for (const DataRecord& r : list) dates.push_back(r.date);
  return dates;
}

TEST(MergePeriods, QuartersOpenOnMonthsOneFourSevenTenOrTheFirstRecord) {
  const std::vector<DataRecord> q = MergePeriods(Rising(2023, 1, 5), PeriodKind::Quarter);
  ASSERT_EQ(q.size(), 2u);
  // January to March: January's open, March's close, the months' extremes, summed volume.
  EXPECT_EQ(q[0].date, 202303);
  EXPECT_EQ(q[0].v[kOpen], 100.0);
  EXPECT_EQ(q[0].v[kClose], 102.0);
  EXPECT_EQ(q[0].v[kHigh], 103.0);
  EXPECT_EQ(q[0].v[kLow], 99.0);
  EXPECT_EQ(q[0].v[kVolume], 3003.0);
  EXPECT_EQ(q[0].v[kCompanion], 51.0);  // the last month's
  EXPECT_EQ(q[1].date, 202305);
  EXPECT_EQ(q[1].v[kOpen], 102.0);
  EXPECT_EQ(q[1].v[kVolume], 2007.0);

  // A first record in February opens the first quarter.
  EXPECT_EQ(Dates(MergePeriods(Rising(2023, 2, 4), PeriodKind::Quarter)),
            (std::vector<std::int32_t>{202303, 202305}));

  // Without April the second quarter has no opening month: May and June join the first.
  std::vector<DataRecord> gap = Rising(2023, 1, 6);
  gap.erase(gap.begin() + 3);
  const std::vector<DataRecord> joined = MergePeriods(gap, PeriodKind::Quarter);
  ASSERT_EQ(joined.size(), 1u);
  EXPECT_EQ(joined[0].date, 202306);
  EXPECT_EQ(joined[0].v[kClose], 105.0);
}

TEST(MergePeriods, OneYearPerCalendarYearWithOtherSlotsZero) {
  std::vector<DataRecord> months = Rising(2021, 11, 15);
  for (DataRecord& m : months) m.v[FurtherValue(6)] = 7.0;
  const std::vector<DataRecord> years = MergePeriods(months, PeriodKind::Year);
  EXPECT_EQ(Dates(years), (std::vector<std::int32_t>{202112, 202212, 202301}));
  EXPECT_EQ(years[1].v[kOpen], 101.0);  // December 2021's close carried as January's open
  EXPECT_EQ(years[1].v[kClose], 113.0);
  for (const DataRecord& y : years) EXPECT_EQ(y.v[FurtherValue(6)], 0.0);
  EXPECT_TRUE(MergePeriods({}, PeriodKind::Year).empty());
}

TEST(LowerPane, ChangesLabelsAndScale) {
  std::vector<DataRecord> periods = {Month(202303, 100, 111, 99, 110, 300),
                                     Month(202306, 110, 110, 98, 99, 50)};
  SetPercentChange(periods);
  EXPECT_NEAR(periods[0].v[kChangeSlot], 10.0, 1e-9);   // against its own open
  EXPECT_NEAR(periods[1].v[kChangeSlot], -10.0, 1e-9);  // against the previous close
  const LowerPane pane = LowerPaneOf(periods);
  EXPECT_NEAR(pane.scale, 90.0, 1e-9);  // 3 x 300 / 10
  EXPECT_NEAR(pane.offset, -1800.0, 1e-6);

  EXPECT_EQ(VolumeLabel(1234567), "1,234,567");
  EXPECT_EQ(VolumeLabel(0), "");
  EXPECT_EQ(ChangeLabel(0), "0.00%");
  EXPECT_EQ(ChangeLabel(-1.5), "-1.50%");

  // Extremes start from 0: no fall gives offset 0, no rise a scale of 1.
  std::vector<DataRecord> rising = {Month(202303, 100, 100, 100, 100, 10),
                                    Month(202306, 100, 100, 100, 120, 10)};
  SetPercentChange(rising);
  EXPECT_EQ(LowerPaneOf(rising).offset, 0.0);
  std::vector<DataRecord> falling = {Month(202303, 100, 100, 100, 90, 10),
                                     Month(202306, 90, 90, 80, 81, 10)};
  SetPercentChange(falling);
  EXPECT_EQ(LowerPaneOf(falling).scale, 1.0);
  EXPECT_NEAR(LowerPaneOf(falling).offset, -20.0, 1e-9);
  // A zero open gives no change to draw and sets no extreme.
  std::vector<DataRecord> zeroOpen = {Month(202303, 0, 1, 0, 1, 10)};
  SetPercentChange(zeroOpen);
  EXPECT_EQ(LowerPaneOf(zeroOpen).scale, 1.0);
}

TEST(QuarterlyChart, SeriesTableAndLowerPane) {
  const std::vector<DataRecord> months = {
      Month(202301, 100, 101, 99, 100, 100), Month(202302, 100, 106, 99, 105, 100),
      Month(202303, 105, 111, 104, 110, 100), Month(202304, 110, 110, 98, 99, 50)};
  const Json chart = Chart(kQuarterly, Inputs(months));
  EXPECT_EQ(chart.at("lowerPaneRatio"), 0.7);
  EXPECT_EQ(chart.at("title"), "Seoul apartments");
  EXPECT_EQ(chart.at("highlightMonth"), 202305);
  const Json& series = chart.at("series");
  ASSERT_EQ(series.size(), 10u);
  const Json colours[] = {Rgb3(255, 0, 0),     Rgb3(255, 153, 0), Rgb3(153, 204, 0),
                          Rgb3(255, 153, 204), Rgb3(0, 204, 255), Rgb3(255, 204, 0),
                          Rgb3(255, 153, 0),   Rgb3(255, 0, 0),   Rgb3(255, 0, 0),
                          Rgb3(255, 0, 0)};
  const int styles[] = {2, 1, 1, 1, 1, 1, 1, 3, 3, 2};
  const double lifts[] = {0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.0, 0.4, 0.3};
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(series[i].at("color"), colours[i]);
    EXPECT_EQ(series[i].at("style"), styles[i]);
    EXPECT_EQ(series[i].at("baseLift"), lifts[i]);
    EXPECT_EQ(series[i].at("horizontalLabels"), i != 7);
    EXPECT_EQ(series[i].at("inLowerPane"), i == 7 || i == 8);
    EXPECT_EQ(series[i].at("points").size(), 2u);
  }
  EXPECT_EQ(series[7].at("upColor"), Rgb3(255, 153, 22));
  EXPECT_EQ(series[7].at("downColor"), Rgb3(22, 153, 255));
  EXPECT_EQ(series[9].at("upColor"), Rgb3(255, 255, 0));

  // Scale 90 and offset -1800 (see LowerPane): the volume bars hang from the lowest change bar.
  const Json& volume = Points(chart, 7);
  EXPECT_NEAR(volume[0].at("open").get<double>(), -1800.0, 1e-6);
  EXPECT_NEAR(Close(volume[0]), -1500.0, 1e-6);
  EXPECT_EQ(volume[0].at("upperLabel"), "300");
  EXPECT_EQ(volume[0].at("rising"), true);
  EXPECT_NEAR(Close(volume[1]), -1750.0, 1e-6);
  EXPECT_EQ(volume[1].at("upperLabel"), "");
  EXPECT_EQ(volume[1].at("lowerLabel"), "50");
  EXPECT_EQ(volume[1].at("rising"), false);
  const Json& change = Points(chart, 8);
  EXPECT_NEAR(Close(change[0]), 1800.0, 1e-6);
  EXPECT_EQ(change[0].at("low"), 0.0);
  EXPECT_EQ(change[0].at("upperLabel"), "10.00%");
  EXPECT_NEAR(change[1].at("low").get<double>(), -1800.0, 1e-6);
  EXPECT_EQ(change[1].at("high"), 0.0);
  EXPECT_EQ(change[1].at("lowerLabel"), "-10.00%");
}

TEST(QuarterlyChart, LogScaleKeepsVolumeAndChangeOfRawPrices) {
  const Json chart = Chart(kQuarterly, Inputs(Rising(2020, 1, 24), kScaleLog));
  const Json& candle = Points(chart, 0);
  ASSERT_EQ(candle.size(), 8u);
  EXPECT_DOUBLE_EQ(Close(candle[0]), std::log10(102.0));
  EXPECT_EQ(Points(chart, 8)[1].at("upperLabel"), "2.94%");  // 105 / 102
  EXPECT_EQ(Points(chart, 7)[1].at("upperLabel"), "3,012");  // 1003 + 1004 + 1005
  // Mean of 4 quarters (v[22]) at the fourth: logarithms of the closes.
  const double mean =
      (std::log10(102.0) + std::log10(105.0) + std::log10(108.0) + std::log10(111.0)) / 4;
  EXPECT_NEAR(Close(Points(chart, 1)[3]), mean, 1e-12);
}

TEST(YearlyChart, OneYearAndTheSixthLineAsGaps) {
  const Json chart = Chart(kYearly, Inputs(Rising(2022, 1, 12)));
  ASSERT_EQ(chart.at("series").size(), 10u);
  const Json& candle = Points(chart, 0);
  ASSERT_EQ(candle.size(), 1u);
  EXPECT_EQ(candle[0].at("date"), 202212);
  EXPECT_EQ(Points(chart, 8)[0].at("upperLabel"), "11.00%");  // 111 / 100
  for (const Json& p : Points(chart, 6)) EXPECT_EQ(p.at("valid"), false);
  // A single rise: scale 3 x volume / change, the bar three volumes high (twice the scale).
  const double volume = 12 * 1000 + 66;
  EXPECT_NEAR(Close(Points(chart, 8)[0]), 6 * volume, 1e-6);
  EXPECT_EQ(Points(chart, 7)[0].at("open"), 0.0);

  // Means of 3 years at the third year.
  const Json three = Chart(kYearly, Inputs(Rising(2020, 1, 36)));
  EXPECT_DOUBLE_EQ(Close(Points(three, 1)[2]), (111.0 + 123.0 + 135.0) / 3);
}

TEST(PeriodCharts, SwingWindowScalesWithTheQuarters) {
  // 150 quarters: window 3. Falling highs with a spike every 4 quarters, each spike lower than
  // the one before: a wider window would let each spike hide the next.
  std::vector<DataRecord> months = Rising(1900, 1, 450);
  for (std::size_t i = 0; i < months.size(); ++i) {
    months[i].v[kHigh] = ((i / 3) % 4 == 0 ? 5000.0 : 1000.0) - static_cast<double>(i);
  }
  const Json candle = Points(Chart(kQuarterly, Inputs(months)), 0);
  ASSERT_EQ(candle.size(), 150u);
  int labelled = 0;
  for (const Json& p : candle) labelled += p.at("upperLabel").get<std::string>().empty() ? 0 : 1;
  EXPECT_EQ(labelled, 37);  // spikes 4 to 148; quarter 0 comes before the window
  EXPECT_EQ(candle[4].at("upperLabel"), "01-03");
}

TEST(ZoomChart, ShowsTheLatestYearAndThreeBeforeWhateverFromYear) {
  std::vector<DataRecord> months = Rising(2015, 1, 114);  // to 2024.06
  for (DataRecord& m : months) m.v[FurtherValue(6)] = 5.0;
  PipelineInputs in = Inputs(months, kScaleArith, 2023);
  const Json chart = Chart(kZoom, in);
  EXPECT_EQ(chart.at("lowerPaneRatio"), 0.7);
  const Json& series = chart.at("series");
  ASSERT_EQ(series.size(), 19u);
  for (const Json& s : series) ASSERT_EQ(s.at("points").size(), 42u);  // future slots dropped
  const Json& candle = Points(chart, 0);
  EXPECT_EQ(candle.front().at("date"), 202101);
  EXPECT_EQ(candle.back().at("date"), 202406);
  EXPECT_EQ(chart.at("view").at("visibleCount"), 42);
  // The 24-month mean at January 2021 reaches back to February 2019 (records 49 to 72).
  EXPECT_DOUBLE_EQ(Close(Points(chart, 2)[0]), 160.5);
  EXPECT_EQ(Close(Points(chart, 7)[0]), 5.0);  // further value 6 as read
  // The lagging line carries the close 25 months later while one exists.
  const Json& lagging = Points(chart, 13);
  EXPECT_EQ(lagging[16].at("date"), 202205);
  EXPECT_EQ(Close(lagging[16]), 213.0);
  EXPECT_EQ(lagging[17].at("valid"), false);
  EXPECT_EQ(series[13].at("width"), 8);
  EXPECT_EQ(series[16].at("horizontalLabels"), false);
  EXPECT_EQ(series[17].at("baseLift"), 0.4);
  EXPECT_EQ(series[18].at("baseLift"), 0.3);
  // Month-to-month change: 214 / 213.
  EXPECT_EQ(Points(chart, 17).back().at("upperLabel"), "0.47%");
}

TEST(ZoomChart, LogScaleAndShortOrEmptyLists) {
  const Json log = Chart(kZoom, Inputs(Rising(2023, 1, 6), kScaleLog));
  const Json& candle = Points(log, 0);
  ASSERT_EQ(candle.size(), 6u);
  EXPECT_DOUBLE_EQ(Close(candle[0]), 2.0);
  EXPECT_EQ(Points(log, 17)[1].at("upperLabel"), "1.00%");  // of raw prices
  for (const Json& p : Points(log, 8)) {
    EXPECT_TRUE(p.at("valid") == false || p.at("close").get<double>() < 3.0);  // log of a band
  }

  const Json empty = Chart(kZoom, Inputs({}));
  for (const Json& s : empty.at("series")) EXPECT_TRUE(s.at("points").empty());
  EXPECT_EQ(empty.at("view").at("lastIndex"), -1);
}

TEST(DropTrailingPoints, RemovesOnlyIndicesThatExist) {
  std::vector<ChartSeries> series(3);
  series[0].points.resize(25);
  series[1].points.resize(10);
  series[2].points.resize(30);
  DropTrailingPoints(series, 20);
  EXPECT_EQ(series[0].points.size(), 5u);
  EXPECT_EQ(series[1].points.size(), 5u);
  EXPECT_EQ(series[2].points.size(), 10u);  // indices 5 to 24 only

  std::vector<ChartSeries> shortSeries(2);
  shortSeries[0].points.resize(7);
  shortSeries[1].points.resize(7);
  DropTrailingPoints(shortSeries, 20);
  EXPECT_TRUE(shortSeries[0].points.empty());
  EXPECT_TRUE(shortSeries[1].points.empty());
}

TEST(CompareChart, LinesNamesAndGaps) {
  std::vector<DataRecord> months = Rising(2020, 1, 12);
  for (DataRecord& m : months) {
    m.v[FurtherValue(1)] = 50.0;
    m.v[FurtherValue(2)] = 1e-8;  // just enough
    m.v[FurtherValue(3)] = 9e-9;  // below: a gap
  }
  months[3].date = 0;  // an undated row: a candle gap, a drawn volume bar
  PipelineInputs in = Inputs(months);
  in.compareNames = {"A", "B", "C"};
  const Json chart = Chart(kCompare, in);
  EXPECT_EQ(chart.at("legendCompare"), true);
  EXPECT_EQ(chart.at("legendMomentum"), false);
  EXPECT_EQ(chart.at("lowerPaneRatio"), 0.8);
  EXPECT_EQ(chart.at("compareNames")[1], "B");
  EXPECT_EQ(chart.at("compareNames")[3], "");
  const Json& series = chart.at("series");
  ASSERT_EQ(series.size(), 13u);
  EXPECT_EQ(series[1].at("color"), Rgb3(0, 0, 0));
  EXPECT_EQ(series[1].at("width"), 4);
  EXPECT_EQ(series[10].at("color"), Rgb3(240, 100, 100));
  EXPECT_EQ(Points(chart, 1)[0].at("valid"), true);
  EXPECT_EQ(Points(chart, 2)[0].at("valid"), true);
  EXPECT_EQ(Points(chart, 3)[0].at("valid"), false);
  EXPECT_EQ(Points(chart, 4)[0].at("valid"), false);  // empty column
  EXPECT_EQ(Points(chart, 0)[3].at("valid"), false);
  EXPECT_EQ(Points(chart, 11)[3].at("valid"), true);
  for (const Json& s : series) EXPECT_EQ(s.at("baseLift"), 0.0);

  // Under the log scale a compared value of 1 becomes 0: a gap.
  for (DataRecord& m : in.records) m.v[FurtherValue(1)] = 1.0;
  in.records[5].v[FurtherValue(1)] = 10.0;
  in.scaleChoice = kScaleLog;
  const Json log = Chart(kCompare, in);
  EXPECT_EQ(Points(log, 1)[0].at("valid"), false);
  EXPECT_EQ(Points(log, 1)[5].at("valid"), true);
  EXPECT_EQ(Close(Points(log, 1)[5]), 1.0);
}

TEST(CompareChart, SampleFileNamesItsColumns) {
  DataTable table;
  ASSERT_TRUE(LoadDataFile(table, std::string(ORVANE_TEST_DATA_DIR) + "/samples/10001.txt"));
  PipelineInputs in = Inputs(LoadRecords(table).records);
  for (std::size_t k = 0; k < in.compareNames.size(); ++k) {
    in.compareNames[k] =
        table.Text(kFirstCompareNameCell.row, kFirstCompareNameCell.column + static_cast<int>(k));
  }
  const Json chart = Chart(kCompare, in);
  EXPECT_EQ(chart.at("compareNames")[1], "강남구");
  // The first compared line is the companion field.
  EXPECT_EQ(Close(Points(chart, 1)[0]), in.records[0].v[kCompanion]);
}

}  // namespace
}  // namespace orvane
