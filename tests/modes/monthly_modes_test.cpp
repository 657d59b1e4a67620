#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "modes/chart_json.h"
#include "modes/modes.h"
#include "tests/modes/test_records.h"

namespace orvane {
namespace {

using Json = nlohmann::ordered_json;

PipelineInputs Inputs(std::vector<DataRecord> records, int mode) {
  const ModeDefaults d = DefaultsForMode(mode);
  PipelineInputs in;
  in.records = std::move(records);
  in.header = {"202003", "Seoul apartments", "2020=100"};
  in.scaleChoice = d.scaleChoice;
  in.fromYear = d.fromYear;
  in.toYear = d.toYear;
  return in;
}

Json Chart(int mode, const PipelineInputs& in) {
  const Json dump = DumpMode(mode, in);
  EXPECT_FALSE(dump.is_null());
  return dump.at("charts").at(0);
}

Json Rgb3(int r, int g, int b) { return Json::array({r, g, b}); }

std::vector<DataRecord> Rising(int count, int year = 2015) {
  return test::Months(year, 1, count, [](int i) { return 100.0 + i; });
}

struct Look {
  int style;
  Json color, up, down;
  int width;
  bool markHighlight, inMainRange, inLowerPane, showTwoYearLink;
};

void ExpectLooks(const Json& chart, const std::vector<Look>& looks) {
  const Json& series = chart.at("series");
  ASSERT_EQ(series.size(), looks.size());
  for (std::size_t i = 0; i < looks.size(); ++i) {
    const Json& s = series[i];
    const Look& l = looks[i];
    SCOPED_TRACE("series " + std::to_string(i));
    EXPECT_EQ(s.at("style"), l.style);
    EXPECT_EQ(s.at("color"), l.color);
    EXPECT_EQ(s.at("upColor"), l.up);
    EXPECT_EQ(s.at("downColor"), l.down);
    EXPECT_EQ(s.at("width"), l.width);
    EXPECT_EQ(s.at("markHighlight"), l.markHighlight);
    EXPECT_EQ(s.at("inMainRange"), l.inMainRange);
    EXPECT_EQ(s.at("inLowerPane"), l.inLowerPane);
    EXPECT_EQ(s.at("showTwoYearLink"), l.showTwoYearLink);
    EXPECT_EQ(s.at("baseLift"), 0.0);
    EXPECT_EQ(s.at("horizontalLabels"), true);
  }
}

const Json kRed = Rgb3(255, 0, 0), kBlue = Rgb3(0, 0, 255);
Look MeanLook(Json colour) { return {1, colour, kRed, kBlue, 1, false, false, false, false}; }
const Look kVolumeLook{3,    kRed, Rgb3(255, 153, 205), Rgb3(153, 204, 0), 1, false, true,
                       true, false};
const Look kYearBodyLook{2,     kRed, Rgb3(255, 255, 0), Rgb3(0, 255, 255), 1, true, true,
                         false, false};

TEST(MonthlyChart, SeriesTableAndProperties) {
  const Json chart = Chart(1, Inputs(Rising(30, 2020), 1));
  ExpectLooks(chart, {
                         {2, kRed, kRed, kBlue, 1, false, true, false, true},
                         MeanLook(Rgb3(255, 153, 0)),
                         MeanLook(Rgb3(153, 204, 0)),
                         MeanLook(Rgb3(255, 153, 204)),
                         MeanLook(Rgb3(0, 204, 255)),
                         MeanLook(Rgb3(255, 204, 0)),
                         MeanLook(Rgb3(150, 150, 255)),
                         {1, Rgb3(0, 128, 0), kRed, kBlue, 2, false, false, false, true},
                         kVolumeLook,
                         kYearBodyLook,
                     });
  EXPECT_EQ(chart.at("title"), "Seoul apartments");
  EXPECT_EQ(chart.at("subtitle"), "2020=100");
  EXPECT_EQ(chart.at("highlightMonth"), 202003);
  EXPECT_EQ(chart.at("singlePane"), false);
  EXPECT_EQ(chart.at("lowerPaneRatio"), 0.8);
  EXPECT_EQ(chart.at("legendMomentum"), false);
  EXPECT_EQ(chart.at("legendIchimoku"), false);
  EXPECT_EQ(chart.at("legendCompare"), false);
  EXPECT_EQ(chart.at("view"), Json({{"lastIndex", 29}, {"visibleCount", 30}, {"firstIndex", 0}}));
}

TEST(MonthlyChart, PointValuesUnderTheArithmeticScale) {
  std::vector<DataRecord> records = Rising(30, 2020);
  records[4].v[kOpen] = 110.0;  // a falling month: open above close
  const Json series = Chart(1, Inputs(records, 1)).at("series");
  const Json& candle = series[0].at("points");
  ASSERT_EQ(candle.size(), 30u);
  EXPECT_EQ(candle[0], Json({{"date", 202001},
                             {"open", 100.0},
                             {"high", 101.0},
                             {"low", 99.0},
                             {"close", 100.0},
                             {"valid", true},
                             {"rising", true},
                             {"upperLabel", ""},
                             {"lowerLabel", ""}}));
  EXPECT_DOUBLE_EQ(series[1].at("points")[4].at("close").get<double>(), 102.0);   // 5 closes
  EXPECT_DOUBLE_EQ(series[4].at("points")[29].at("close").get<double>(), 114.5);  // all 30
  EXPECT_DOUBLE_EQ(series[6].at("points")[29].at("close").get<double>(), 117.5);  // last 24
  EXPECT_DOUBLE_EQ(series[7].at("points")[29].at("close").get<double>(), 64.5);   // companion
  const Json& bar = series[8].at("points")[4];
  EXPECT_EQ(bar.at("open"), 0.0);
  EXPECT_EQ(bar.at("high"), 1004.0);
  EXPECT_EQ(bar.at("close"), 1004.0);
  EXPECT_EQ(bar.at("rising"), false);
  EXPECT_EQ(series[8].at("points")[5].at("rising"), true);
  // The year body of 2020: January's open, December's close.
  const Json& body = series[9].at("points")[3];
  EXPECT_EQ(body.at("open"), 100.0);
  EXPECT_EQ(body.at("close"), 111.0);
  EXPECT_EQ(body.at("high"), 111.0);
  EXPECT_EQ(body.at("low"), 100.0);
  // The last point of the list carries its year's body up to itself.
  const Json& lastBody = series[9].at("points")[29];
  EXPECT_EQ(lastBody.at("open"), 123.0);  // open of 2022.01 = close of 2021.12
  EXPECT_EQ(lastBody.at("close"), 129.0);
}

TEST(MonthlyChart, LogarithmicScaleAndCompanionGaps) {
  std::vector<DataRecord> records = Rising(12, 2020);
  records[2].v[kCompanion] = 0.5;  // negative logarithm: a gap
  records[3].v[kCompanion] = 1.0;  // logarithm 0: a gap too
  records[4].v[kCompanion] = 100.0;
  PipelineInputs in = Inputs(records, 1);
  in.scaleChoice = kScaleLog;
  const Json dump = DumpMode(1, in);
  EXPECT_EQ(dump.at("scale"), "log");
  const Json& series = dump.at("charts")[0].at("series");
  EXPECT_DOUBLE_EQ(series[0].at("points")[0].at("close").get<double>(), 2.0);
  EXPECT_DOUBLE_EQ(series[0].at("points")[1].at("close").get<double>(), std::log10(101.0));
  const Json& companion = series[7].at("points");
  EXPECT_EQ(companion[2].at("valid"), false);
  EXPECT_EQ(companion[3].at("valid"), false);
  EXPECT_EQ(companion[4].at("valid"), true);
  EXPECT_DOUBLE_EQ(companion[4].at("close").get<double>(), 2.0);
  // Volume is never a logarithm.
  EXPECT_EQ(series[8].at("points")[4].at("high"), 1004.0);
}

TEST(MonthlyChart, ZeroCompanionIsNullUnderTheLogScale) {
  std::vector<DataRecord> records = Rising(12, 2020);
  records[5].v[kCompanion] = 0.0;
  PipelineInputs in = Inputs(records, 1);
  in.scaleChoice = kScaleLog;
  const Json companion = Chart(1, in).at("series")[7].at("points")[5];
  EXPECT_TRUE(companion.at("close").is_null());  // -inf
  EXPECT_EQ(companion.at("valid"), false);
  EXPECT_NE(DumpText(DumpMode(1, in)).find("\"close\":null"), std::string::npos);
}

TEST(MonthlyChart, ToYearIsExclusiveAndSeriesAreNotCut) {
  PipelineInputs in = Inputs(Rising(48, 2018), 1);
  in.toYear = 2020;
  const Json chart = Chart(1, in);
  EXPECT_EQ(chart.at("view"), Json({{"lastIndex", 23}, {"visibleCount", 24}, {"firstIndex", 0}}));
  for (const Json& s : chart.at("series")) EXPECT_EQ(s.at("points").size(), 48u);

  in.toYear = 2000;  // before every date
  const Json early = Chart(1, in);
  EXPECT_EQ(early.at("view"), Json({{"lastIndex", -1}, {"visibleCount", 0}, {"firstIndex", 0}}));
}

TEST(MonthlyChart, FromYearFiltersPointsButNotTheMeans) {
  PipelineInputs in = Inputs(Rising(48, 2018), 1);
  in.fromYear = 2019;
  const Json series = Chart(1, in).at("series");
  for (const Json& s : series) ASSERT_EQ(s.at("points").size(), 36u);
  EXPECT_EQ(series[0].at("points")[0].at("date"), 201901);
  // The 12-month mean at January 2019 reaches back into 2018: closes 101..112.
  EXPECT_DOUBLE_EQ(series[1].at("points")[0].at("close").get<double>(), 106.5);

  in.fromYear = 2030;  // past the data
  const Json empty = Chart(1, in);
  for (const Json& s : empty.at("series")) EXPECT_TRUE(s.at("points").empty());
  EXPECT_EQ(empty.at("view"), Json({{"lastIndex", -1}, {"visibleCount", 0}, {"firstIndex", 0}}));
}

TEST(MonthlyChart, DateZeroRecordsPassTheFilterAsGaps) {
  std::vector<DataRecord> records = Rising(24, 2018);
  DataRecord future = records.back();
  future.date = 0;
  future.v[kHigh] = 1000.0;  // would be the highest peak
  records.push_back(future);
  PipelineInputs in = Inputs(records, 1);
  in.fromYear = 2019;
  const Json series = Chart(1, in).at("series");
  ASSERT_EQ(series[0].at("points").size(), 13u);
  const auto last = [&](int s) { return series[s].at("points").back(); };
  EXPECT_EQ(last(0).at("date"), 0);
  EXPECT_EQ(last(0).at("valid"), false);
  EXPECT_EQ(last(0).at("upperLabel"), "");  // a peak, but date 0 has an empty label
  EXPECT_EQ(last(1).at("valid"), true);     // lines are always valid
  EXPECT_EQ(last(8).at("valid"), false);    // volume bar
  EXPECT_EQ(last(9).at("valid"), false);    // year body
  EXPECT_EQ(series[9].at("points")[11].at("valid"), true);
}

TEST(MonthlyChart, SwingLabelsNeedMoreThanNinePoints) {
  const auto labels = [](const Json& chart) {
    int count = 0;
    for (const Json& p : chart.at("series")[0].at("points")) {
      count += p.at("upperLabel").get<std::string>().empty() ? 0 : 1;
      count += p.at("lowerLabel").get<std::string>().empty() ? 0 : 1;
    }
    return count;
  };
  EXPECT_EQ(labels(Chart(1, Inputs(Rising(9), 1))), 0);
  const Json ten = Chart(1, Inputs(Rising(10), 1));
  EXPECT_EQ(labels(ten), 1);
  EXPECT_EQ(ten.at("series")[0].at("points")[9].at("upperLabel"), "15-10");
}

TEST(MonthlyChart, EmptyRecordList) {
  const Json chart = Chart(1, Inputs({}, 1));
  ASSERT_EQ(chart.at("series").size(), 10u);
  for (const Json& s : chart.at("series")) EXPECT_TRUE(s.at("points").empty());
  EXPECT_EQ(chart.at("view").at("lastIndex"), -1);
}

TEST(MonthlyChart, NothingCarriesOverFromAnEarlierRun) {
  const PipelineInputs in = Inputs(test::Months(2020, 1, 12, [](int i) { return 50.0 - i; }), 1);
  ChartModel fresh;
  BuildMonthlyChart(in, fresh);
  ChartModel used;
  used.workSeries.horizontalLabels = false;
  used.workSeries.plainUnderLogScale = true;
  used.workPoint.rising = false;
  used.workPoint.valid = false;
  used.workPoint.SetUpperLabel("stale");
  BuildMonthlyChart(in, used);
  EXPECT_EQ(ChartToJson(used), ChartToJson(fresh));
  // Falling closes: the year body carries the `rising` of the last bar, the candles their own.
  EXPECT_FALSE(fresh.series[8].points.back().rising);
  for (const ChartPoint& p : fresh.series[9].points) EXPECT_FALSE(p.rising);
  EXPECT_TRUE(fresh.series[0].points[0].rising);
}

// orvane-chart moves its records into the pipeline; the window keeps its own and passes a copy.
TEST(EveryMode, RecordsMovedInGiveTheChartOfACopy) {
  std::vector<DataRecord> records =
      test::Months(1990, 1, 420, [](int i) { return 100.0 + 30.0 * std::sin(i * 0.07) + (i % 5); });
  for (DataRecord& r : records) r.v[FurtherValue(3)] = r.v[kClose] * 1.5;
  for (int mode = 1; mode < kModeCount; ++mode) {
    for (const int scale : {kScaleLog, kScaleArith}) {
      PipelineInputs in = Inputs(records, mode);
      in.scaleChoice = scale;
      in.fromYear = 1990;
      ChartModel copied, moved;
      BuildChart(mode, in, copied);
      BuildChart(mode, std::move(in), moved);
      EXPECT_EQ(ChartToJson(moved), ChartToJson(copied)) << "mode " << mode << " scale " << scale;
      EXPECT_GT(copied.series.size(), 1u);
    }
  }
}

TEST(RangeSearchChart, SeriesTableAndDefaults) {
  const PipelineInputs in = Inputs(Rising(30, 1990), 4);
  EXPECT_EQ(in.scaleChoice, kScaleLog);
  EXPECT_EQ(in.fromYear, 1700);
  const Json dump = DumpMode(4, in);
  EXPECT_EQ(dump.at("mode"), 4);
  EXPECT_EQ(dump.at("scale"), "log");
  EXPECT_EQ(dump.at("fromYear"), 1700);
  EXPECT_EQ(dump.at("toYear"), 2030);
  const Json& chart = dump.at("charts")[0];
  ExpectLooks(chart, {
                         {2, kRed, kRed, kBlue, 1, false, true, false, false},
                         {1, Rgb3(0, 128, 0), kRed, kBlue, 2, false, false, false, false},
                         MeanLook(Rgb3(255, 153, 0)),
                         MeanLook(Rgb3(153, 204, 0)),
                         MeanLook(Rgb3(255, 153, 204)),
                         MeanLook(Rgb3(0, 204, 255)),
                         MeanLook(Rgb3(255, 204, 0)),
                         MeanLook(Rgb3(255, 153, 0)),
                         MeanLook(Rgb3(153, 204, 0)),
                         MeanLook(Rgb3(255, 153, 204)),
                         MeanLook(Rgb3(0, 204, 255)),
                         MeanLook(Rgb3(150, 150, 255)),
                         kVolumeLook,
                         kYearBodyLook,
                     });
  EXPECT_EQ(chart.at("series")[0].at("points").size(), 30u);  // 1700 to 2030: everything
}

TEST(RangeSearchChart, MeansReachBeforeFromYearAndCompanionStaysBelowTheFloor) {
  std::vector<DataRecord> records = test::Months(1980, 1, 360, [](int i) { return 1.0 + i; });
  records[125].v[kCompanion] = 0.0;  // 1990.06: no logarithm taken, stays 0, a gap
  records[126].v[kCompanion] = 0.5;  // logarithm below zero: a gap
  PipelineInputs in = Inputs(records, 4);
  in.scaleChoice = kScaleArith;
  in.fromYear = 1990;
  in.toYear = 2000;
  Json chart = Chart(4, in);
  const Json& series = chart.at("series");
  EXPECT_EQ(series[0].at("points")[0].at("date"), 199001);
  EXPECT_EQ(chart.at("view").at("visibleCount"), 120);
  // The 240-month mean at 1990.01 (record 120) averages the closes 1..121.
  EXPECT_DOUBLE_EQ(series[7].at("points")[0].at("close").get<double>(), 61.0);
  // The 1200-month mean at record 359 averages all 360 closes.
  EXPECT_DOUBLE_EQ(series[10].at("points").back().at("close").get<double>(), 180.5);

  in.scaleChoice = kScaleLog;
  chart = Chart(4, in);
  const Json& companion = chart.at("series")[1].at("points");
  EXPECT_EQ(companion[5].at("close"), 0.0);
  EXPECT_EQ(companion[5].at("valid"), false);
  EXPECT_EQ(companion[6].at("valid"), false);
  EXPECT_EQ(companion[7].at("valid"), true);
}

TEST(RangeSearchChart, SwingWindowScalesWithThePoints) {
  // A slow rise from January 1950 with two spikes: 150 in month 100, 200 in month 100 + gap. A
  // spike lifts the highs of its month and of the next (which opens at it); of the two tied
  // months the later keeps the label. The first spike keeps its own month's label only when the
  // second lies exactly one window on: nearer, it is beaten; further, its next month wins.
  const auto peaks = [](int months, int gap) {
    PipelineInputs in =
        Inputs(test::Months(1950, 1, months,
                            [gap](int i) {
                              return i == 100 ? 150.0 : i == 100 + gap ? 200.0 : i * 0.001;
                            }),
               4);
    in.scaleChoice = kScaleArith;
    ChartModel chart;
    BuildRangeSearchChart(in, chart);
    std::vector<std::string> labels;
    const ChartSeries& candles = chart.series[0];
    for (std::size_t i = 0; i < candles.points.size(); ++i) {
      EXPECT_EQ(candles.labels.Lower(i), "");  // the lows only rise
      if (!candles.labels.Upper(i).empty()) labels.emplace_back(candles.labels.Upper(i));
    }
    return labels;
  };
  using Labels = std::vector<std::string>;
  // 600 months: a window of 12.
  EXPECT_EQ(peaks(600, 12), (Labels{"58-05", "59-06", "99-12"}));
  EXPECT_EQ(peaks(600, 11), (Labels{"59-05", "99-12"}));
  EXPECT_EQ(peaks(600, 13), (Labels{"58-06", "59-07", "99-12"}));
  // 300 months: a window of 6.
  EXPECT_EQ(peaks(300, 6), (Labels{"58-05", "58-12", "74-12"}));
}

TEST(Dispatch, ModesNotBuiltLeaveTheChartAlone) {
  ChartModel chart;
  const PipelineInputs in = Inputs(Rising(12), 2);
  for (int mode : {0, 9, -1}) {  // the dashboard builds three charts of its own
    EXPECT_FALSE(BuildChart(mode, in, chart)) << mode;
    EXPECT_TRUE(DumpMode(mode, in).is_null()) << mode;
  }
  EXPECT_TRUE(chart.series.empty());
  EXPECT_EQ(ModeCaption(1), "월봉");
  EXPECT_EQ(ModeCaption(4), "구간검색");
}

TEST(ChartJson, FormatAndKeyOrder) {
  PipelineInputs in = Inputs(Rising(1), 1);
  in.header.title = "A\xff";  // broken UTF-8 must not stop the dump
  const std::string text = DumpText(DumpMode(1, in));
  const Json dump = Json::parse(text);
  std::vector<std::string> keys;
  for (const auto& item : dump.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"mode", "scale", "fromYear", "toYear", "charts"}));
  keys.clear();
  for (const auto& item : dump["charts"][0].items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"title", "subtitle", "highlightMonth", "singlePane",
                                            "lowerPaneRatio", "legendMomentum", "legendIchimoku",
                                            "legendCompare", "compareNames", "view", "series"}));
  EXPECT_EQ(dump["charts"][0]["compareNames"].size(), 10u);
  keys.clear();
  for (const auto& item : dump["charts"][0]["series"][0]["points"][0].items())
    keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"date", "open", "high", "low", "close", "valid",
                                            "rising", "upperLabel", "lowerLabel"}));
  EXPECT_NE(text.find("\"lowerPaneRatio\":0.8,"), std::string::npos);  // shortest round trip

  // The streamed dump writes the same bytes, broken text, labels and nulls included.
  in = Inputs(Rising(40), 2);
  in.header.title = "A\xff";
  ChartModel chart;
  ASSERT_TRUE(BuildChart(1, in, chart));
  chart.series[0].points.Edit(3, [](ChartPoint& p) { p.close = std::nan(""); });
  chart.series[0].labels.SetUpper(2, "고점");
  const ChartModel* charts[] = {&chart, &chart};
  std::ostringstream streamed;
  WriteChartDump(streamed, 1, in, charts);
  EXPECT_EQ(streamed.str(), DumpText(ChartDumpToJson(1, in, charts)));
  EXPECT_NE(streamed.str().find("\"upperLabel\":\"고점\""), std::string::npos);
}

}  // namespace
}  // namespace orvane
