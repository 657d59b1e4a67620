#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "chart/indicators.h"
#include "modes/chart_json.h"
#include "modes/modes.h"
#include "tests/modes/test_records.h"

namespace orvane {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kBollingerMode = static_cast<int>(ChartMode::Bollinger);
constexpr int kIchimokuMode = static_cast<int>(ChartMode::Ichimoku);

std::vector<DataRecord> Wavy(int count, int year = 2000) {
  return test::Months(year, 1, count,
                      [](int i) { return 100.0 + 30.0 * std::sin(i * 0.3) + 0.5 * i; });
}

PipelineInputs Inputs(std::vector<DataRecord> records, int scale, int fromYear = 1900) {
  PipelineInputs in;
  in.records = std::move(records);
  in.header = {"200305", "Seoul apartments", "2020=100"};
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

Json Rgb3(int r, int g, int b) { return Json::array({r, g, b}); }

struct Look {
  int style;
  Json color;
  int width;
  bool markHighlight, inMainRange, inLowerPane;
  double baseLift;
};

void ExpectLooks(const Json& chart, const std::vector<Look>& looks) {
  const Json& series = chart.at("series");
  ASSERT_EQ(series.size(), looks.size());
  for (std::size_t i = 0; i < looks.size(); ++i) {
    SCOPED_TRACE("series " + std::to_string(i));
    const Json& s = series[i];
    EXPECT_EQ(s.at("style"), looks[i].style);
    EXPECT_EQ(s.at("color"), looks[i].color);
    EXPECT_EQ(s.at("width"), looks[i].width);
    EXPECT_EQ(s.at("markHighlight"), looks[i].markHighlight);
    EXPECT_EQ(s.at("inMainRange"), looks[i].inMainRange);
    EXPECT_EQ(s.at("inLowerPane"), looks[i].inLowerPane);
    EXPECT_EQ(s.at("baseLift"), looks[i].baseLift);
  }
}

// Every number of the dump is finite (null stands for a non-finite one).
bool AllNumbersFinite(const Json& chart) {
  for (const Json& s : chart.at("series")) {
    for (const Json& p : s.at("points")) {
      for (const char* k : {"open", "high", "low", "close"}) {
        if (!p.at(k).is_number()) return false;
      }
    }
  }
  return true;
}

const Json& Point(const Json& chart, int series, int point) {
  return chart.at("series").at(series).at("points").at(point);
}

TEST(BollingerMode, SeriesOrderLooksAndLiftsAfterTheMoves) {
  const Json chart = Chart(kBollingerMode, Inputs(Wavy(60), kScaleArith));
  EXPECT_TRUE(chart.at("legendMomentum"));
  EXPECT_FALSE(chart.at("legendIchimoku"));
  EXPECT_FALSE(chart.at("legendCompare"));
  EXPECT_EQ(chart.at("lowerPaneRatio"), 0.8);
  const Json green = Rgb3(0, 120, 0);
  const Json black = Rgb3(0, 0, 0);
  // Bands come last in reverse order of their places; the Coppock base follows the Sonar lines.
  ExpectLooks(chart, {
                         {2, Rgb3(255, 0, 0), 1, false, true, false, 0.15},
                         {5, black, 1, false, false, false, 0.15},
                         {1, Rgb3(255, 153, 0), 1, false, false, false, 0.15},
                         {1, Rgb3(153, 204, 0), 1, false, false, false, 0.15},
                         {1, Rgb3(255, 153, 204), 1, false, false, false, 0.15},
                         {1, Rgb3(0, 204, 255), 1, false, false, false, 0.15},
                         {1, Rgb3(255, 204, 0), 1, false, false, false, 0.15},
                         {1, Rgb3(150, 150, 255), 1, false, false, false, 0.15},
                         {1, green, 3, false, false, false, 0.15},
                         {1, green, 2, false, false, false, 0.15},
                         {1, green, 2, false, false, false, 0.15},
                         {1, Rgb3(0, 128, 0), 3, false, true, true, 0.0},
                         {1, Rgb3(255, 0, 255), 3, false, true, true, 0.0},
                         {1, black, 1, true, true, true, 0.0},
                         {1, black, 1, true, true, true, 0.0},
                         {4, black, 1, true, true, true, 0.0},
                         {4, Rgb3(255, 153, 205), 1, true, true, true, 0.0},
                         {4, Rgb3(255, 100, 20), 1, true, true, true, 0.0},
                         {4, Rgb3(102, 255, 51), 1, true, true, true, 0.0},
                         {4, Rgb3(0, 255, 255), 1, true, false, false, 0.15},
                         {4, Rgb3(255, 255, 0), 1, true, false, false, 0.15},
                     });
  const Json& series = chart.at("series");
  EXPECT_EQ(series[13].at("points").at(5).at("close"), 0.0);   // Sonar base
  EXPECT_EQ(series[14].at("points").at(5).at("close"), 30.0);  // Coppock base
  EXPECT_EQ(series[1].at("upColor"), black);
  for (const Json& s : series) EXPECT_EQ(s.at("points").size(), 60u);
  EXPECT_EQ(chart.at("view").at("visibleCount"), 60);
}

TEST(BollingerMode, LogScaleTakesLogarithmsOfBandsComputedOnPrices) {
  const auto records = Wavy(80);
  const Json arith = Chart(kBollingerMode, Inputs(records, kScaleArith));
  const Json logs = Chart(kBollingerMode, Inputs(records, kScaleLog));

  auto onPrices = records;
  ComputeBollinger(onPrices);
  auto onLogs = records;
  for (auto& r : onLogs) r.v[kClose] = std::log10(r.v[kClose]);
  ComputeBollinger(onLogs);
  for (int i = 1; i < 80; ++i) {
    SCOPED_TRACE(i);
    const double upper = Point(logs, 9, i).at("close");
    EXPECT_NEAR(upper, std::log10(onPrices[i].v[kBollingerUpper]), 1e-12);
    EXPECT_NEAR(double(Point(logs, 10, i).at("close")), std::log10(onPrices[i].v[kBollingerLower]),
                1e-12);
    EXPECT_NEAR(double(Point(logs, 8, i).at("close")), std::log10(onPrices[i].v[kBollingerMean]),
                1e-12);
    // Half band: from the mean (open, low) to the upper band (high, close).
    EXPECT_EQ(Point(logs, 20, i).at("close"), upper);
    EXPECT_EQ(Point(logs, 20, i).at("open"), Point(logs, 8, i).at("close"));
    EXPECT_EQ(double(Point(arith, 9, i).at("close")), onPrices[i].v[kBollingerUpper]);
  }
  // A band of logarithms would sit elsewhere on a series that swings this much.
  EXPECT_GT(std::abs(double(Point(logs, 9, 40).at("close")) - onLogs[40].v[kBollingerUpper]), 1e-4);
  // The momentum pane is computed on prices whatever the scale.
  for (int s = 11; s <= 18; ++s) {
    EXPECT_EQ(logs.at("series")[s].at("points"), arith.at("series")[s].at("points")) << s;
  }
}

TEST(BollingerMode, ValuesWithoutANumberAreGaps) {
  const Json chart = Chart(kBollingerMode, Inputs(Wavy(40), kScaleLog));
  EXPECT_TRUE(AllNumbersFinite(chart));
  // Record 0: no deviation and no stop yet.
  EXPECT_FALSE(Point(chart, 1, 0).at("valid"));
  EXPECT_FALSE(Point(chart, 9, 0).at("valid"));
  EXPECT_FALSE(Point(chart, 10, 0).at("valid"));
  EXPECT_TRUE(Point(chart, 8, 0).at("valid"));
  // The half bands lie flat on the mean there.
  EXPECT_EQ(Point(chart, 20, 0).at("close"), Point(chart, 8, 0).at("close"));
  EXPECT_EQ(Point(chart, 19, 0).at("high"), Point(chart, 8, 0).at("close"));

  // Scaled momentum swings 100 around its base at most, and reaches it.
  double coppockReach = 0;
  double sonarReach = 0;
  for (const Json& p : chart.at("series")[11].at("points")) {
    coppockReach = std::max(coppockReach, std::abs(double(p.at("close")) - 30));
  }
  for (const Json& p : chart.at("series")[12].at("points")) {
    sonarReach = std::max(sonarReach, std::abs(double(p.at("close"))));
  }
  EXPECT_DOUBLE_EQ(coppockReach, 100);
  EXPECT_DOUBLE_EQ(sonarReach, 100);

  // Equal closes: the Coppock scale is 0, so its line is a gap and its bands lie flat on 30.
  const auto flat = test::Months(2000, 1, 30, [](int) { return 50.0; });
  const Json still = Chart(kBollingerMode, Inputs(flat, kScaleArith));
  EXPECT_TRUE(AllNumbersFinite(still));
  for (int i = 0; i < 30; ++i) {
    EXPECT_FALSE(Point(still, 11, i).at("valid"));
    for (int band : {17, 18}) {
      for (const char* k : {"open", "high", "low", "close"}) {
        EXPECT_EQ(Point(still, band, i).at(k), 30.0);
      }
    }
  }
}

TEST(IndicatorModes, PricesWithoutLogarithmNeverLeaveANonFiniteIndicatorValue) {
  auto records = Wavy(90);
  for (int i : {3, 40, 41}) records[i].v[kClose] = 0.0;
  records[60].v[kClose] = -5.0;
  records[61].v[kLow] = -20.0;
  records[70].v[kClose] = 1.0;  // a zero logarithm as the rate's divisor
  const auto finitePoints = [](const Json& series) {
    for (const Json& p : series.at("points")) {
      for (const char* k : {"open", "high", "low", "close"}) {
        if (!p.at(k).is_number()) return false;
      }
    }
    return true;
  };
  for (int scale : {kScaleLog, kScaleArith}) {
    const Json bollinger = Chart(kBollingerMode, Inputs(records, scale));
    const Json ichimoku = Chart(kIchimokuMode, Inputs(records, scale));
    // Candles and running means pass such prices on as they are; the indicators do not.
    for (int s : {1, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}) {
      EXPECT_TRUE(finitePoints(bollinger.at("series")[s])) << scale << " series " << s;
    }
    for (int s : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12}) {
      EXPECT_TRUE(finitePoints(ichimoku.at("series")[s])) << scale << " series " << s;
    }
  }
}

TEST(BollingerMode, CoppockBandsKeepToTheirSideOfTheBase) {
  const Json chart = Chart(kBollingerMode, Inputs(Wavy(80), kScaleArith));
  const Json& line = chart.at("series")[11].at("points");
  const Json& below = chart.at("series")[17].at("points");
  const Json& above = chart.at("series")[18].at("points");
  bool sawBoth[2] = {false, false};
  for (std::size_t i = 0; i < line.size(); ++i) {
    const double v = line[i].at("close");
    sawBoth[v > 30 ? 0 : 1] = true;
    EXPECT_EQ(above[i].at("open"), 30.0);
    EXPECT_EQ(above[i].at("low"), 30.0);
    EXPECT_EQ(double(above[i].at("close")), std::max(v, 30.0));
    EXPECT_EQ(above[i].at("high"), above[i].at("close"));
    EXPECT_EQ(below[i].at("open"), 30.0);
    EXPECT_EQ(below[i].at("high"), 30.0);
    EXPECT_EQ(double(below[i].at("close")), std::min(v, 30.0));
    EXPECT_EQ(below[i].at("low"), below[i].at("close"));
  }
  EXPECT_TRUE(sawBoth[0] && sawBoth[1]);
}

TEST(IchimokuMode, ThirtyMonthsGiveFiftyPointsInTheTableOrder) {
  const auto records = Wavy(30);
  const Json chart = Chart(kIchimokuMode, Inputs(records, kScaleArith));
  EXPECT_TRUE(chart.at("legendIchimoku"));
  EXPECT_FALSE(chart.at("legendMomentum"));
  const Json black = Rgb3(0, 0, 0);
  ExpectLooks(chart, {
                         {2, Rgb3(255, 0, 0), 1, false, true, false, 0.0},
                         {1, Rgb3(255, 204, 0), 2, false, false, false, 0.0},
                         {1, Rgb3(0, 204, 255), 2, false, false, false, 0.0},
                         {1, black, 4, false, false, false, 0.0},
                         {1, Rgb3(255, 0, 255), 2, false, false, false, 0.0},
                         {1, Rgb3(0, 0, 255), 2, false, false, false, 0.0},
                         {1, Rgb3(255, 204, 0), 1, false, false, false, 0.0},
                         {1, Rgb3(0, 204, 255), 1, false, false, false, 0.0},
                         {1, Rgb3(255, 0, 255), 1, false, false, false, 0.0},
                         {1, Rgb3(0, 0, 255), 1, false, false, false, 0.0},
                         {3, Rgb3(255, 0, 0), 1, false, true, true, 0.0},
                         {4, Rgb3(255, 255, 0), 1, true, false, false, 0.0},
                         {4, Rgb3(0, 255, 255), 1, true, false, false, 0.0},
                     });
  EXPECT_TRUE(chart.at("series")[0].at("showTwoYearLink"));
  EXPECT_EQ(chart.at("view").at("visibleCount"), 50);
  EXPECT_TRUE(AllNumbersFinite(chart));
  for (int k = 0; k < 50; ++k) {
    SCOPED_TRACE(k);
    const bool future = k >= 30;
    EXPECT_EQ(Point(chart, 0, k).at("date"), future ? 0 : records[k].date);
    EXPECT_EQ(Point(chart, 0, k).at("valid"), !future);
    EXPECT_EQ(Point(chart, 10, k).at("valid"), !future);  // volume bars
    EXPECT_EQ(Point(chart, 3, k).at("valid"), k < 5);     // lagging line
    if (k < 5) {
      EXPECT_EQ(Point(chart, 3, k).at("close"), records[k + 25].v[kClose]);
    }
    EXPECT_EQ(Point(chart, 1, k).at("valid"), k < 38);  // conversion, closes
    EXPECT_EQ(Point(chart, 6, k).at("valid"), k < 38);  // conversion, highs and lows
    EXPECT_TRUE(Point(chart, 4, k).at("valid"));
  }
}

TEST(IchimokuMode, LogScaleTakesLogarithmsOfBothSetsComputedOnPrices) {
  const auto records = Wavy(100);
  const Json chart = Chart(kIchimokuMode, Inputs(records, kScaleLog));
  auto closes = records;
  ComputeIchimokuOnCloses(closes);
  auto highsLows = closes;
  ComputeIchimokuOnHighsLows(highsLows);
  ASSERT_EQ(chart.at("series")[0].at("points").size(), 120u);

  const auto expectLog = [&](int series, const std::vector<DataRecord>& work, int slot) {
    for (int k = 0; k < 120; ++k) {
      const double v = work[k].v[slot];
      const Json& p = Point(chart, series, k);
      SCOPED_TRACE(testing::Message() << "series " << series << " point " << k);
      if (v == kNoValue) {
        EXPECT_FALSE(p.at("valid"));
      } else {
        EXPECT_NEAR(double(p.at("close")), std::log10(v), 1e-12);
      }
    }
  };
  expectLog(0, closes, kClose);
  expectLog(1, closes, kIchimokuConversion);
  expectLog(2, closes, kIchimokuBase);
  expectLog(3, closes, kIchimokuLagging);
  expectLog(4, closes, kIchimokuSpan1Shifted);
  expectLog(5, closes, kIchimokuSpan2Shifted);
  expectLog(6, highsLows, kIchimokuConversion);
  expectLog(7, highsLows, kIchimokuBase);
  expectLog(8, highsLows, kIchimokuSpan1Shifted);
  expectLog(9, highsLows, kIchimokuSpan2Shifted);

  // The cyan cloud rises from span 1 to the higher span; the yellow one from span 2.
  for (int k = 0; k < 120; ++k) {
    const double s1 = Point(chart, 4, k).at("close");
    const double s2 = Point(chart, 5, k).at("close");
    EXPECT_EQ(double(Point(chart, 12, k).at("low")), s1);
    EXPECT_EQ(double(Point(chart, 12, k).at("high")), std::max(s1, s2));
    EXPECT_EQ(double(Point(chart, 11, k).at("open")), s2);
    EXPECT_EQ(double(Point(chart, 11, k).at("close")), std::max(s1, s2));
  }
}

TEST(IndicatorModes, AreDispatchedAndCopeWithNoRecords) {
  EXPECT_EQ(ModeCaption(kBollingerMode), "볼린저");
  EXPECT_EQ(ModeCaption(kIchimokuMode), "일목");
  for (int mode : {kBollingerMode, kIchimokuMode}) {
    EXPECT_TRUE(IsModeBuilt(mode));
    const Json chart = Chart(mode, Inputs({}, kScaleLog));
    EXPECT_EQ(chart.at("view").at("visibleCount"), 0);
    EXPECT_EQ(chart.at("view").at("lastIndex"), -1);
    for (const Json& s : chart.at("series")) EXPECT_TRUE(s.at("points").empty());
  }
  // Records before fromYear feed the indicators but draw no points.
  const Json cut = Chart(kBollingerMode, Inputs(Wavy(60), kScaleArith, 2003));
  EXPECT_EQ(cut.at("series")[0].at("points").size(), 24u);
  EXPECT_TRUE(Point(cut, 9, 0).at("valid"));
}

}  // namespace
}  // namespace orvane
