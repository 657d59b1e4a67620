#include "chart/indicators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace orvane {
namespace {

DataRecord Bar(int date, double high, double low, double close) {
  DataRecord r;
  r.date = date;
  r.v[kOpen] = close;
  r.v[kHigh] = high;
  r.v[kLow] = low;
  r.v[kClose] = close;
  return r;
}

// A wavy series with a drift, monthly from January 2000.
std::vector<DataRecord> Wavy(int count) {
  std::vector<DataRecord> out;
  for (int i = 0; i < count; ++i) {
    const double close = 100.0 + 10.0 * std::sin(i * 0.7) + 0.3 * i;
    out.push_back(
        Bar(200001 + (i / 12) * 100 + i % 12, close + 1.0 + i % 3, close - 1.0 - i % 2, close));
  }
  return out;
}

struct Sar {
  double trend, stop, accel, high, low, carry, plot;
};

void ExpectSar(const DataRecord& r, const Sar& want, int index) {
  SCOPED_TRACE(index);
  EXPECT_EQ(r.v[kSarTrend], want.trend);
  EXPECT_NEAR(r.v[kSarStop], want.stop, 1e-12);
  EXPECT_NEAR(r.v[kSarAccel], want.accel, 1e-12);
  EXPECT_EQ(r.v[kSarHigh], want.high);
  EXPECT_EQ(r.v[kSarLow], want.low);
  EXPECT_EQ(r.v[kSarCarry], want.carry);
  EXPECT_NEAR(r.v[kSarPlot], want.plot, 1e-12);
}

TEST(Parabolic, TurnsUpOnARisingSeriesThenReversesTwice) {
  std::vector<DataRecord> work = {
      Bar(1, 11, 9, 10),  Bar(2, 12, 10, 11), Bar(3, 13, 11, 12),
      Bar(4, 14, 12, 13), Bar(5, 15, 13, 14), Bar(6, 10, 8, 8.5),  // low under the stop: turns down
      Bar(7, 9, 7, 7.5),                                           // first falling step, new low
      Bar(8, 16, 9, 15),                                           // high over the stop: turns up
      Bar(9, 17, 15, 16),
  };
  ComputeParabolic(work);
  // Worked by hand: record 1 pulls the stop 2% toward the first low, then its high breaks it.
  const std::vector<Sar> want = {
      {0, 10, 0.02, 11, 9, 0, kNoValue},
      {1, 9, 0, 12, 9, 0, 9},
      {1, 9 + 3 * 0.02, 0.04, 13, 9, 12, 9.06},
      {1, 9.06 + (13 - 9.06) * 0.04, 0.06, 14, 9, 13, 9.2176},
      {1, 9.2176 + (14 - 9.2176) * 0.06, 0.08, 15, 9, 14, 9.504544},
      {-1, 15, 0, 15, 8, 0, 15},
      {-1, 14.86, 0.04, 15, 7, 8, 14.86},
      {1, 7, 0, 16, 7, 0, 7},
      {1, 7.18, 0.04, 17, 7, 16, 7.18},
  };
  for (std::size_t i = 0; i < want.size(); ++i) ExpectSar(work[i], want[i], static_cast<int>(i));
}

TEST(Parabolic, AccelerationGrowsByTwoHundredthsUpToTwoTenths) {
  std::vector<DataRecord> work;
  for (int i = 0; i < 16; ++i) work.push_back(Bar(i + 1, 11 + i, 9 + i, 10 + i));
  ComputeParabolic(work);
  for (int i = 2; i < 16; ++i) {
    EXPECT_EQ(work[i].v[kSarTrend], 1.0) << i;
    EXPECT_NEAR(work[i].v[kSarAccel], std::min(0.02 * i, 0.2), 1e-12) << i;
    EXPECT_LT(work[i].v[kSarPlot], work[i].v[kLow]) << i;
  }
  EXPECT_EQ(work[15].v[kSarAccel], 0.2);
}

TEST(Parabolic, WithoutAStopFollowsTheClosesAndPlotsNothing) {
  // A first close of 0 gives no stop, so the trend is read from the closes until it turns.
  std::vector<DataRecord> work = {Bar(1, 0, 0, 0), Bar(2, 2, 1, 1.5), Bar(3, 1.5, 0.5, 1),
                                  Bar(4, 1.2, 0.2, 0.5)};
  ComputeParabolic(work);
  ExpectSar(work[0], {0, 0, 0.02, 0, 0, 0, kNoValue}, 0);
  ExpectSar(work[1], {1, 0, 0.02, 2, 0, 0, kNoValue}, 1);
  ExpectSar(work[2], {-1, 2, 0.02, 2, 0, 0, 2}, 2);
  ExpectSar(work[3], {-1, 1.96, 0.02, 2, 0, 0, 1.96}, 3);

  std::vector<DataRecord> none;
  ComputeParabolic(none);
  EXPECT_TRUE(none.empty());
}

TEST(Bollinger, SampleDeviationOverUpToTwelveCloses) {
  auto work = Wavy(40);
  ComputeBollinger(work);

  // One close has no sample deviation: the bands are gaps, the mean is the close.
  EXPECT_EQ(work[0].v[kBollingerMean], work[0].v[kClose]);
  EXPECT_EQ(work[0].v[kBollingerUpper], kNoValue);
  EXPECT_EQ(work[0].v[kBollingerLower], kNoValue);

  // Two closes a and b: mean (a + b) / 2, variance (a - b)^2 / 2 with n - 1 = 1.
  const double a = work[0].v[kClose];
  const double b = work[1].v[kClose];
  const double sigma = std::abs(a - b) / std::sqrt(2.0);
  EXPECT_NEAR(work[1].v[kBollingerUpper], (a + b) / 2 + 2 * sigma, 1e-12);
  EXPECT_NEAR(work[1].v[kBollingerLower], (a + b) / 2 - 2 * sigma, 1e-12);

  for (int i = 1; i < 40; ++i) {
    const int first = std::max(0, i - 11);
    const int n = i - first + 1;
    double sum = 0;
    for (int k = first; k <= i; ++k) sum += work[k].v[kClose];
    const double mean = sum / n;
    double sq = 0;
    for (int k = first; k <= i; ++k) sq += std::pow(work[k].v[kClose] - mean, 2);
    const double sd = std::sqrt(sq / (n - 1));
    EXPECT_NEAR(work[i].v[kBollingerSum], sum, 1e-9) << i;
    EXPECT_NEAR(work[i].v[kBollingerMean], mean, 1e-12) << i;
    EXPECT_NEAR(work[i].v[kBollingerUpper], mean + 2 * sd, 1e-9) << i;
    EXPECT_NEAR(work[i].v[kBollingerLower], mean - 2 * sd, 1e-9) << i;
  }
}

TEST(Momentum, RecurrencesStartFromZero) {
  auto work = Wavy(40);
  ComputeMomentum(work);

  EXPECT_EQ(work[0].v[kMomentumRate], 0.0);
  EXPECT_EQ(work[0].v[kCoppock], 0.0);
  EXPECT_NEAR(work[0].v[kLogCloseMean], std::log10(work[0].v[kClose]) * 2 / 13, 1e-15);
  EXPECT_EQ(work[0].v[kSonar], 0.0);

  double coppock = 0;
  double mean = 0;
  std::vector<double> means;
  for (int i = 0; i < 40; ++i) {
    const double rate =
        std::log10(work[i].v[kClose]) / std::log10(work[std::max(i - 12, 0)].v[kClose]) - 1;
    coppock = rate * (1.0 / 3) + coppock * (2.0 / 3);
    mean = std::log10(work[i].v[kClose]) * (2.0 / 13) + mean * (11.0 / 13);
    means.push_back(mean);
    EXPECT_NEAR(work[i].v[kMomentumRate], rate, 1e-14) << i;
    EXPECT_NEAR(work[i].v[kCoppock], coppock, 1e-14) << i;
    EXPECT_NEAR(work[i].v[kLogCloseMean], mean, 1e-14) << i;
    EXPECT_NEAR(work[i].v[kSonar], mean - means[std::max(i - 9, 0)], 1e-14) << i;
  }
}

TEST(Momentum, CloseWithoutLogarithmIsAGapAndTheRecurrencesCarryOverIt) {
  std::vector<DataRecord> work = {Bar(1, 0, 0, 100), Bar(2, 0, 0, 0), Bar(3, 0, 0, 1000)};
  ComputeMomentum(work);
  EXPECT_EQ(work[1].v[kMomentumRate], kNoValue);
  EXPECT_EQ(work[1].v[kCoppock], kNoValue);
  EXPECT_EQ(work[1].v[kLogCloseMean], kNoValue);
  EXPECT_EQ(work[1].v[kSonar], kNoValue);
  // Record 2 compares with record 0: rate log10(1000) / log10(100) - 1 = 0.5.
  EXPECT_NEAR(work[2].v[kMomentumRate], 0.5, 1e-15);
  EXPECT_NEAR(work[2].v[kCoppock], 0.5 / 3, 1e-15);
  EXPECT_NEAR(work[2].v[kLogCloseMean], 3 * 2.0 / 13 + (2 * 2.0 / 13) * 11 / 13, 1e-15);

  for (const auto& r : work) {
    for (int slot : {kMomentumRate, kCoppock, kLogCloseMean, kSonar}) {
      EXPECT_TRUE(std::isfinite(r.v[slot]));
    }
  }
}

TEST(Momentum, ScalingUsesOnlyShownRecordsAndTurnsAZeroScaleIntoGaps) {
  std::vector<DataRecord> work(4);
  const double coppock[] = {-50, 2, -4, 1};
  const double sonar[] = {9, 0.5, -0.25, 0.1};
  for (int i = 0; i < 4; ++i) {
    work[i].date = 201001 + i;
    work[i].v[kCoppock] = coppock[i];
    work[i].v[kSonar] = sonar[i];
  }
  ScaleMomentum(work, [](const DataRecord& r) { return r.date >= 201002; });
  EXPECT_EQ(work[0].v[kCoppock], -50);  // not shown: neither scaled nor counted
  EXPECT_EQ(work[0].v[kSonar], 9);
  EXPECT_DOUBLE_EQ(work[1].v[kCoppock], 2.0 / 4 * 100 + 30);
  EXPECT_DOUBLE_EQ(work[2].v[kCoppock], -4.0 / 4 * 100 + 30);
  EXPECT_DOUBLE_EQ(work[3].v[kCoppock], 1.0 / 4 * 100 + 30);
  EXPECT_DOUBLE_EQ(work[1].v[kSonar], 100);
  EXPECT_DOUBLE_EQ(work[2].v[kSonar], -50);

  // Equal closes: every Coppock value is 0, so the Coppock scale is 0; the Sonar value still
  // moves because its mean climbs from zero.
  std::vector<DataRecord> flat;
  for (int i = 0; i < 30; ++i) flat.push_back(Bar(201001 + i, 5, 5, 5));
  ComputeMomentum(flat);
  ScaleMomentum(flat, [](const DataRecord&) { return true; });
  double sonarMax = 0;
  for (const auto& r : flat) {
    EXPECT_EQ(r.v[kCoppock], kNoValue);
    ASSERT_TRUE(HasValue(r.v[kSonar]));
    sonarMax = std::max(sonarMax, std::abs(r.v[kSonar]));
  }
  EXPECT_DOUBLE_EQ(sonarMax, 100);
}

// Independent midpoint over a window of records, cut at record 0.
double Mid(const std::vector<DataRecord>& w, int j, int window, int hiSlot, int loSlot) {
  double hi = w[j].v[hiSlot];
  double lo = w[j].v[loSlot];
  for (int k = std::max(0, j - window + 1); k <= j; ++k) {
    hi = std::max(hi, w[k].v[hiSlot]);
    lo = std::min(lo, w[k].v[loSlot]);
  }
  return (hi + lo) / 2;
}

TEST(Ichimoku, ClosesExtendTheListAndCutLaggingAndConversion) {
  const auto raw = Wavy(30);
  auto work = raw;
  ComputeIchimokuOnCloses(work);
  ASSERT_EQ(work.size(), 50u);
  for (int k = 30; k < 50; ++k) {
    EXPECT_EQ(work[k].date, 0) << k;
    EXPECT_EQ(work[k].v[kClose], raw[29].v[kClose]) << k;
  }
  for (int k = 0; k < 50; ++k) {
    if (k < 5) {
      EXPECT_EQ(work[k].v[kIchimokuLagging], raw[k + 25].v[kClose]) << k;
    } else {
      EXPECT_EQ(work[k].v[kIchimokuLagging], kNoValue) << k;
    }
    if (k >= 38) {
      EXPECT_EQ(work[k].v[kIchimokuConversion], kNoValue) << k;
    } else {
      EXPECT_DOUBLE_EQ(work[k].v[kIchimokuConversion], Mid(work, k, 9, kClose, kClose)) << k;
    }
    EXPECT_DOUBLE_EQ(work[k].v[kIchimokuBase], Mid(work, k, 26, kClose, kClose)) << k;
    EXPECT_DOUBLE_EQ(work[k].v[kIchimokuSpan2], Mid(work, k, 52, kClose, kClose)) << k;
    const int from = std::max(k - 25, 0);
    EXPECT_EQ(work[k].v[kIchimokuSpan2Shifted], work[from].v[kIchimokuSpan2]) << k;
    // Span 1 is shifted from values computed before the conversion cut.
    const double span1 =
        (Mid(work, from, 9, kClose, kClose) + Mid(work, from, 26, kClose, kClose)) / 2;
    EXPECT_DOUBLE_EQ(work[k].v[kIchimokuSpan1Shifted], span1) << k;
  }

  auto longer = Wavy(100);
  ComputeIchimokuOnCloses(longer);
  ASSERT_EQ(longer.size(), 120u);
  EXPECT_EQ(longer[74].v[kIchimokuLagging], longer[99].v[kClose]);
  EXPECT_EQ(longer[75].v[kIchimokuLagging], kNoValue);
  EXPECT_NE(longer[107].v[kIchimokuConversion], kNoValue);
  EXPECT_EQ(longer[108].v[kIchimokuConversion], kNoValue);

  std::vector<DataRecord> none;
  ComputeIchimokuOnCloses(none);
  EXPECT_TRUE(none.empty());
}

// Plateaus (0 and -0 among them), NaN and infinite prices: each window's midpoint is the one a
// scan from the window's start gives, bit for bit, and none where the window holds a gap.
TEST(Ichimoku, WindowsOverPlateausAndGapsMatchAScan) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<DataRecord> work(400);
  for (std::size_t k = 0; k < work.size(); ++k) {
    const double level = static_cast<double>(k / 40 % 3);  // runs of 40 equal prices
    work[k].v[kHigh] = level > 0 ? level : k % 5 == 0 ? -0.0 : 0.0;
    work[k].v[kLow] = level > 0 ? -level : k % 3 == 0 ? -0.0 : 0.0;
  }
  work[60].v[kHigh] = std::nan("");
  work[200].v[kLow] = -inf;
  work[201].v[kHigh] = inf;
  ComputeIchimokuOnHighsLows(work);
  for (int j = 0; j < 400; ++j) {
    for (const auto& [slot, window] : {std::pair{kIchimokuBase, 26}, {kIchimokuSpan2, 52}}) {
      double hi = -inf, lo = inf;
      bool gap = false;
      for (int k = std::max(0, j - window + 1); k <= j; ++k) {
        gap = gap || !std::isfinite(work[k].v[kHigh]) || !std::isfinite(work[k].v[kLow]);
        hi = std::max(hi, work[k].v[kHigh]);
        lo = std::min(lo, work[k].v[kLow]);
      }
      const double expected = gap ? kNoValue : (hi + lo) / 2.0;
      EXPECT_EQ(std::signbit(work[j].v[slot]), std::signbit(expected)) << j;
      EXPECT_EQ(work[j].v[slot], expected) << j << " window " << window;
    }
  }
}

TEST(Ichimoku, HighsAndLowsKeepTheLengthAndTakeTheLaggingHigh) {
  auto work = Wavy(100);
  ComputeIchimokuOnCloses(work);
  ComputeIchimokuOnHighsLows(work);
  ASSERT_EQ(work.size(), 120u);
  for (int k = 0; k < 120; ++k) {
    // 120 records: the lagging line needs k + 50 < 120.
    EXPECT_EQ(work[k].v[kIchimokuLagging], k < 70 ? work[k + 25].v[kHigh] : kNoValue) << k;
    if (k < 108) {
      EXPECT_DOUBLE_EQ(work[k].v[kIchimokuConversion], Mid(work, k, 9, kHigh, kLow)) << k;
    } else {
      EXPECT_EQ(work[k].v[kIchimokuConversion], kNoValue) << k;
    }
    EXPECT_DOUBLE_EQ(work[k].v[kIchimokuBase], Mid(work, k, 26, kHigh, kLow)) << k;
    const int from = std::max(k - 25, 0);
    EXPECT_DOUBLE_EQ(work[k].v[kIchimokuSpan2Shifted], Mid(work, from, 52, kHigh, kLow)) << k;
  }

  // 30 records extend to 50: too short for any lagging value of highs.
  auto shorter = Wavy(30);
  ComputeIchimokuOnCloses(shorter);
  ComputeIchimokuOnHighsLows(shorter);
  EXPECT_TRUE(std::all_of(shorter.begin(), shorter.end(),
                          [](const DataRecord& r) { return r.v[kIchimokuLagging] == kNoValue; }));
}

TEST(RunningMeans, HandWorkedWindows) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    std::vector<double> closes;
    int window;
    std::vector<double> means;
  };
  const Case cases[] = {
      {"the left edge divides by the closes summed", {1, 2, 3, 4, 5}, 3, {1, 1.5, 2, 3, 4}},
      {"a window of one is the close", {4, -2, 7}, 1, {4, -2, 7}},
      {"a window longer than the list", {1, 2, 3, 4}, 120, {1, 1.5, 2, 2.5}},
      {"-inf and NaN spoil only the windows holding them",
       {1, 2, 3, -kInf, 5, 6, kNaN, 8, 9},
       2,
       {1, 1.5, 2.5, -kInf, -kInf, 5.5, kNaN, kNaN, 8.5}},
      {"+inf and -inf in one window give NaN", {kInf, -kInf, 1, 3}, 2, {kInf, kNaN, -kInf, 2}},
      {"an empty window writes nothing", {1, 2}, 0, {kNoValue, kNoValue}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<DataRecord> work;
    for (std::size_t i = 0; i < c.closes.size(); ++i) {
      work.push_back(Bar(static_cast<int>(i) + 1, c.closes[i], c.closes[i], c.closes[i]));
      work.back().v[MeanSlot(3)] = kNoValue;
    }
    const MeanWindow windows[] = {{MeanSlot(3), c.window}};
    ComputeRunningMeans(work, windows);
    for (std::size_t i = 0; i < work.size(); ++i) {
      const double got = work[i].v[MeanSlot(3)];
      if (std::isnan(c.means[i])) {
        EXPECT_TRUE(std::isnan(got)) << i;
      } else {
        EXPECT_DOUBLE_EQ(got, c.means[i]) << i;
      }
    }
  }
}

}  // namespace
}  // namespace orvane
