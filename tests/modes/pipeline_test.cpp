#include "modes/pipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <tuple>

#include "tests/modes/test_records.h"

namespace orvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(DateLabel, LastFourDigitsWithADash) {
  EXPECT_EQ(DateLabel(202307), "23-07");
  EXPECT_EQ(DateLabel(199912), "99-12");
  EXPECT_EQ(DateLabel(0), "");
  EXPECT_EQ(DateLabel(7), "7");  // too short for a dash
  EXPECT_EQ(DateLabel(12), "12-");
  EXPECT_EQ(DateLabel(1234), "12-34");
}

TEST(LeadingInteger, ReadsTheLeadingDigits) {
  EXPECT_EQ(LeadingInteger("202106"), 202106);
  EXPECT_EQ(LeadingInteger("10000101"), 10000101);
  EXPECT_EQ(LeadingInteger("2021x"), 2021);
  EXPECT_EQ(LeadingInteger(""), 0);
  EXPECT_EQ(LeadingInteger("abc"), 0);
  EXPECT_EQ(LeadingInteger("99999999999999"), 0);
}

// The swing rule as written: compare one by one with every neighbour in the window.
void ReferenceSwings(ChartSeries& s, int w, SwingKind kind, int first = 0) {
  const PointList& p = s.points;
  const int n = static_cast<int>(p.size());
  for (int j = first > 0 ? first : w; j < n; ++j) {
    bool peak = true, trough = true;
    for (int k = 1; k <= w - 1; ++k) {
      for (int o : {j - k, j + k}) {
        if (o < 0 || o >= n) continue;
        if (kind == SwingKind::Strict) {
          peak = peak && p[j].high > p[o].high;
          trough = trough && p[j].low < p[o].low;
        } else {
          peak = peak && !(p[o].high > p[j].high);
          trough = trough && !(p[o].low < p[j].low);
        }
      }
    }
    if (peak) {
      s.labels.SetUpper(j - 1, {});
      s.labels.SetUpper(j, DateLabel(p[j].date));
    }
    if (trough) {
      s.labels.SetLower(j - 1, {});
      s.labels.SetLower(j, DateLabel(p[j].date));
    }
  }
}

std::vector<ChartPoint> RandomPoints(std::mt19937& rng, int n) {
  // Few distinct values so ties are common, plus the non-finite values logarithms give.
  const double values[] = {1, 2, 3, 4, 5, -kInf, kInf, kNaN};
  std::uniform_int_distribution<int> pick(0, 7), plain(0, 4), kindOfRun(0, 9);
  std::vector<ChartPoint> points(n);
  const bool finiteOnly = kindOfRun(rng) < 5;
  for (int i = 0; i < n; ++i) {
    points[i].date = 200001 + i;
    points[i].high = values[finiteOnly ? plain(rng) : pick(rng)];
    points[i].low = values[finiteOnly ? plain(rng) : pick(rng)];
  }
  return points;
}

TEST(SwingLabels, MatchTheOneByOneComparisonForAnyDataAndWindow) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    const int n = 1 + static_cast<int>(rng() % 60);
    const int w = 1 + static_cast<int>(rng() % 14);
    const SwingKind kind = round % 2 ? SwingKind::Strict : SwingKind::NonStrict;
    // From the window on, or from an earlier point against the neighbours that exist.
    const int first = round % 3 == 0 ? 1 + static_cast<int>(rng() % 4) : 0;
    ChartSeries fast;
    fast.points = PointList(RandomPoints(rng, n));
    ChartSeries slow = fast;
    SetSwingLabels(fast, w, kind, first);
    ReferenceSwings(slow, w, kind, first);
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
      ASSERT_EQ(fast.labels.Upper(i), slow.labels.Upper(i)) << "round " << round << " i " << i;
      ASSERT_EQ(fast.labels.Lower(i), slow.labels.Lower(i)) << "round " << round << " i " << i;
    }
  }
}

TEST(SwingLabels, StrictAndNonStrictDifferOnEqualNeighbours) {
  ChartSeries s;
  const double highs[] = {1, 1, 1, 5, 5, 1, 1, 1};
  for (int i = 0; i < 8; ++i) {
    ChartPoint p;
    p.date = 202001 + i;
    p.high = highs[i];
    p.low = 0;  // flat lows: no trough under the strict kind
    s.points.push_back(p);
  }
  ChartSeries strict = s;
  SetSwingLabels(strict, 3, SwingKind::Strict);
  for (std::size_t i = 0; i < strict.points.size(); ++i) EXPECT_FALSE(strict.labels.Has(i));

  SetSwingLabels(s, 3, SwingKind::NonStrict);
  EXPECT_EQ(s.labels.Upper(3), "");  // the later of two equal peaks keeps the label
  EXPECT_EQ(s.labels.Upper(4), "20-05");
  EXPECT_EQ(s.labels.Lower(7), "20-08");  // flat lows: only the last keeps its label
  EXPECT_EQ(s.labels.Lower(6), "");
}

TEST(SwingLabels, ScaledWindow) {
  EXPECT_EQ(ScaledSwingWindow(0), 3);
  EXPECT_EQ(ScaledSwingWindow(199), 3);
  EXPECT_EQ(ScaledSwingWindow(599), 11);
  EXPECT_EQ(ScaledSwingWindow(600), 12);
}

// The year body as written: every rewrite walks back over the points of the current year.
std::vector<ChartPoint> ReferenceYearBody(const std::vector<DataRecord>& work, int fromYear) {
  std::vector<ChartPoint> pts;
  double yo = 0, yc = 0;
  int cy = 0;
  const auto body = [](ChartPoint& p, double o, double c) {
    p.open = o;
    p.close = c;
    p.high = std::max(o, c);
    p.low = std::min(o, c);
  };
  for (std::size_t i = 0; i < work.size(); ++i) {
    const DataRecord& r = work[i];
    if (!(r.date < 1 || r.date / 100 >= fromYear)) continue;
    const int year = r.date / 100;
    const bool last = i + 1 == work.size();
    if (year != cy || r.v[kClose] == 0 || last) {
      if (last && year == cy) yc = r.v[kClose];
      for (std::size_t k = pts.size(); k-- > 0 && pts[k].date / 100 == cy;) body(pts[k], yo, yc);
      if (!(last && year == cy) && r.v[kOpen] != 0) yo = r.v[kOpen];
      cy = year;
    }
    if (r.v[kClose] != 0) yc = r.v[kClose];
    ChartPoint p;
    p.date = r.date;
    p.open = p.low = p.high = p.close = r.v[kOpen];
    if (last) body(p, yo, yc);
    pts.push_back(p);
  }
  return pts;
}

// A copy of the inputs is the same in every field, with room for the future months a chart appends.
TEST(PipelineInputs, ACopyIsTheSameWithRoomForTheFutureMonths) {
  PipelineInputs in;
  in.records = test::Months(2001, 1, 60, [](int i) { return 10.0 + i; });
  in.records.shrink_to_fit();
  in.header = {.highlightMonth = "200305", .title = "제목", .caption = "설명"};
  std::tie(in.scaleChoice, in.fromYear, in.toYear, in.rebaseMonth) =
      std::tuple(7, 2002, 2004, 200201);
  in.compareNames[3] = "비교";
  PipelineInputs copy;
  copy = in;
  const auto fields = [](const PipelineInputs& p) {
    return std::tie(p.header.highlightMonth, p.header.title, p.header.caption, p.scaleChoice,
                    p.fromYear, p.toYear, p.compareNames, p.rebaseMonth);
  };
  EXPECT_EQ(fields(copy), fields(in));
  EXPECT_EQ(copy.records.back().v[kClose], in.records.back().v[kClose]);
  const DataRecord* before = copy.records.data();
  copy.records.resize(60 + kSpareRecords);
  EXPECT_EQ(copy.records.data(), before);
}

// The series are filled from the records in range, narrowed to the slots the table declares;
// every value read through it is the record's own.
TEST(SeriesSource, HoldsTheDeclaredSlotsOfTheRecordsInRange) {
  std::vector<DataRecord> work = test::Months(1999, 11, 5, [](int i) { return 10.0 + i; });
  work.push_back(DataRecord{});  // a filler slot, dated 0, is always in range
  for (std::size_t i = 0; i < work.size(); ++i) work[i].v[DerivedSlot(20)] = 100.0 * i;
  const SeriesRow rows[] = {PriceCandles(), {.look = {}, .values = LineOf(DerivedSlot(20))}};
  const SeriesSource source(work, RangeFilter{2000}, SlotsRead(rows));
  ASSERT_EQ(source.size(), 4u);  // 2000-01 to 2000-03 and the filler
  EXPECT_TRUE(source.EndsList());
  for (std::size_t i = 0; i < source.size(); ++i) {
    const DataRecord& r = work[i + 2];
    const SourceRow row = source.Row(i);
    EXPECT_EQ(row.date, r.date);
    for (int slot : {kOpen, kHigh, kLow, kClose, DerivedSlot(20)})
      EXPECT_EQ(row.v[slot], r.v[slot]);
  }
  EXPECT_EQ(SlotsRead(rows), Slots({kOpen, kHigh, kLow, kClose, DerivedSlot(20)}));
  // A last record out of range: the last row does not end the list.
  work.back().date = 199001;
  EXPECT_FALSE(SeriesSource(work, RangeFilter{2000}, SlotsRead(rows)).EndsList());
}

TEST(YearBody, MatchesTheWalkBackForAnyData) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::vector<DataRecord> work(1 + rng() % 50);
    for (DataRecord& r : work) {
      const int year = 2000 + static_cast<int>(rng() % 4);
      r.date = rng() % 8 == 0 ? 0 : year * 100 + 1 + static_cast<int>(rng() % 12);
      r.v[kOpen] = static_cast<double>(rng() % 4);  // zeros included
      r.v[kClose] = static_cast<double>(rng() % 4);
    }
    const int fromYear = 2000 + static_cast<int>(rng() % 3);
    ChartModel chart;
    AppendYearBody(chart, SeriesSource(work, RangeFilter{fromYear}, kYearBodySlots), 0.0);
    const std::vector<ChartPoint> expected = ReferenceYearBody(work, fromYear);
    const PointList& got = chart.series.at(0).points;
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      ASSERT_EQ(got[i].date, expected[i].date);
      ASSERT_EQ(got[i].open, expected[i].open) << "round " << round << " point " << i;
      ASSERT_EQ(got[i].close, expected[i].close) << "round " << round << " point " << i;
      ASSERT_EQ(got[i].high, expected[i].high);
      ASSERT_EQ(got[i].low, expected[i].low);
      ASSERT_EQ(got[i].valid, got[i].date != 0);
    }
  }
}

TEST(YearBody, LogarithmOfOneActsAsAMissingClose) {
  // Logarithms of powers of ten: open/close per month.
  const int dates[] = {202001, 202002, 202003, 202101, 202102};
  const double opens[] = {10, 100, 1000, 10, 100};
  const double closes[] = {100, 1, 1000, 10000, 100};
  std::vector<DataRecord> records(5);
  for (int i = 0; i < 5; ++i) {
    records[i].date = dates[i];
    records[i].v[kOpen] = opens[i];
    records[i].v[kClose] = closes[i];
  }
  ChartModel chart;
  AppendYearBody(chart, SeriesSource(WorkingCopy(records, true), RangeFilter{0}, kYearBodySlots),
                 0.0);
  const PointList& p = chart.series.at(0).points;
  // February's zero close restarts the 2020 body at February's open (log 2).
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(p[i].open, 2.0) << i;
    EXPECT_EQ(p[i].close, 3.0) << i;
  }
  for (int i = 3; i < 5; ++i) {
    EXPECT_EQ(p[i].open, 1.0) << i;
    EXPECT_EQ(p[i].close, 2.0) << i;
    EXPECT_EQ(p[i].high, 2.0) << i;
    EXPECT_EQ(p[i].low, 1.0) << i;
  }
}

TEST(FillingProtocol, EverySeriesAndPointIsStatedWhole) {
  ChartModel chart;
  const std::vector<DataRecord> work = test::Months(2020, 1, 3, [](int i) { return 10.0 - i; });
  auto lock = BeginSeries(chart);
  SeriesRow bars{.look = {.style = SeriesStyle::FlaggedCandle,
                          .upColor = Rgb(1, 2, 3),
                          .horizontalLabels = false,
                          .plainUnderLogScale = true},
                 .values = VolumeBars()};
  AppendSeries(chart, bars, SeriesSource(work, RangeFilter{0}, bars.values.reads));
  chart.workPoint.SetLowerLabel("stale");
  SeriesRow line{.look = {.style = SeriesStyle::Line}, .values = LineOf(kClose)};
  AppendSeries(chart, line, SeriesSource(work, RangeFilter{0}, line.values.reads));
  ASSERT_EQ(chart.series.size(), 2u);
  // Falling closes: the bars are not rising; the line states its own points.
  EXPECT_FALSE(chart.series[0].points.back().rising);
  for (const ChartPoint& p : chart.series[1].points) {
    EXPECT_TRUE(p.rising);
    EXPECT_EQ(p.time, kPointTime);
  }
  for (std::size_t i = 0; i < chart.series[1].points.size(); ++i)
    EXPECT_FALSE(chart.series[1].labels.Has(i));
  EXPECT_TRUE(chart.series[1].horizontalLabels);
  EXPECT_FALSE(chart.series[1].plainUnderLogScale);
  EXPECT_EQ(chart.series[1].upColor, Rgb(255, 0, 0));
  EXPECT_TRUE(chart.workSeries.name.empty());
}

}  // namespace
}  // namespace orvane
