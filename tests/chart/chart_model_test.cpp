#include "chart/chart_model.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace orvane {
namespace {

TEST(CutLabel, KeepsShortTextAndCutsLongTextOnCharacterBoundary) {
  EXPECT_EQ(CutLabel("23-06"), "23-06");
  const std::string ascii(200, 'a');
  EXPECT_EQ(CutLabel(ascii).size(), 127u);
  // "가" is three bytes: 42 of them fill 126 bytes, the 43rd would cross byte 127.
  std::string korean;
  for (int i = 0; i < 50; ++i) korean += "가";
  const std::string cut = CutLabel(korean);
  EXPECT_EQ(cut.size(), 126u);
  EXPECT_EQ(cut.substr(123), "가");
}

// A series holds labels only for labelled points, by index: set out of order, cleared one side
// at a time, cut, and handed over with the points they belong to.
TEST(PointLabels, FollowTheirPointsThroughSettingClearingAndAppending) {
  PointLabels labels;
  labels.SetLower(7, "20-08");
  labels.SetUpper(2, std::string(200, 'x'));
  labels.SetUpper(5, "20-05");
  labels.SetLower(5, "low");
  labels.SetUpper(5, {});
  labels.SetUpper(3, {});  // clearing a label that is not there adds nothing
  EXPECT_EQ(labels.Upper(2).size(), kMaxLabelBytes);
  EXPECT_EQ(labels.Upper(5), "");
  EXPECT_EQ(labels.Lower(5), "low");
  EXPECT_EQ(labels.Lower(7), "20-08");
  EXPECT_FALSE(labels.Has(3));
  labels.SetLower(5, {});
  EXPECT_FALSE(labels.Has(5));
  labels.DropFrom(3);
  EXPECT_FALSE(labels.Has(7));
  EXPECT_TRUE(labels.Has(2));

  ChartModel chart;
  for (int i = 0; i < 4; ++i) {
    chart.workPoint.Restart(202001, 0);
    if (i == 1) chart.workPoint.SetUpperLabel("peak");
    if (i == 3) chart.workPoint.SetLowerLabel("trough");
    chart.AppendWorkPoint();
  }
  chart.AppendWorkSeries();
  chart.workPoint.Restart(202001, 0);
  chart.AppendWorkPoint();
  chart.AppendWorkSeries();
  const ChartSeries& s = chart.series.at(0);
  EXPECT_EQ(s.labels.Upper(1), "peak");
  EXPECT_EQ(s.labels.Lower(3), "trough");
  EXPECT_FALSE(s.labels.Has(0) || s.labels.Has(2));
  EXPECT_FALSE(chart.series.at(1).labels.Has(0));  // the next series starts without them
}

bool SameBits(const ChartPoint& a, const ChartPoint& b) {
  const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  return a.date == b.date && a.time == b.time && a.valid == b.valid && a.rising == b.rising &&
         bits(a.open) == bits(b.open) && bits(a.low) == bits(b.low) &&
         bits(a.high) == bits(b.high) && bits(a.close) == bits(b.close);
}

// Whichever storage holds them, flat or whole, the points read back bit for bit as written.
TEST(PointList, ReadsBackWhatWasWrittenThroughAnyChanges) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  const double values[] = {0.0, -0.0, 1.5, -2.25, nan, -nan, inf, -999999999.0};
  std::mt19937 rng(5);
  const auto value = [&] { return values[rng() % std::size(values)]; };
  const auto point = [&] {
    ChartPoint p;
    p.date = static_cast<std::int32_t>(rng() % 300000);
    p.time = static_cast<std::int32_t>(rng() % 200000);
    p.valid = rng() % 2 == 0;
    p.rising = rng() % 2 == 0;
    p.open = p.low = p.high = p.close = value();
    // Mostly flat points, as lines have; now and then one that is not.
    double* const others[] = {&p.open, &p.low, &p.high};
    if (rng() % 8 == 0) *others[rng() % 3] = value();
    return p;
  };
  for (int round = 0; round < 200; ++round) {
    PointList list;
    std::vector<ChartPoint> expected;
    for (int step = 0; step < 60; ++step) {
      const std::size_t n = expected.size();
      switch (rng() % 8) {
        case 0:
          if (n > 0) {
            const std::size_t i = rng() % n;
            expected[i] = point();
            list.Set(i, expected[i]);
          }
          break;
        case 1: {
          const std::size_t to = rng() % (n + 4);
          expected.resize(to);
          list.resize(to);
          break;
        }
        case 2:
          if (n > 0) {
            const std::size_t first = rng() % n, last = first + rng() % (n - first + 1);
            expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(first),
                           expected.begin() + static_cast<std::ptrdiff_t>(last));
            list.erase(first, last);
          }
          break;
        case 3:
          if (rng() % 6 == 0) {
            expected.clear();
            list.clear();
          }
          break;
        default:
          expected.push_back(point());
          list.push_back(expected.back());
      }
      ASSERT_EQ(list.size(), expected.size()) << "round " << round << " step " << step;
      for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_TRUE(SameBits(list[i], expected[i])) << "round " << round << " point " << i;
    }
    std::size_t i = 0;
    for (const ChartPoint& p : PointList(expected)) EXPECT_TRUE(SameBits(p, expected[i++]));
  }
}

TEST(ChartModel, WorkRecordsStartWithTheirDefaultsAndCarryOver) {
  ChartModel chart;
  EXPECT_TRUE(chart.workPoint.valid);
  EXPECT_TRUE(chart.workPoint.rising);
  EXPECT_EQ(chart.workSeries.upColor, Rgb(255, 0, 0));
  EXPECT_EQ(chart.workSeries.downColor, Rgb(0, 0, 255));
  EXPECT_TRUE(chart.workSeries.inMainRange);
  EXPECT_TRUE(chart.workSeries.horizontalLabels);

  chart.workSeries.style = SeriesStyle::Candle;
  chart.workSeries.upColor = Rgb(1, 2, 3);
  chart.AppendWorkPoint();
  chart.AppendWorkSeries();
  chart.workSeries.points.clear();
  chart.workSeries.style = SeriesStyle::Line;
  chart.AppendWorkSeries();
  ASSERT_EQ(chart.series.size(), 2u);
  EXPECT_EQ(chart.series[1].upColor, Rgb(1, 2, 3));
  EXPECT_EQ(chart.series[0].points.size(), 1u);
  EXPECT_TRUE(chart.series[1].points.empty());
}

TEST(ChartModel, AttachResetsSettingsAndSeries) {
  ChartModel chart;
  chart.settings.highlightMonth = 202305;
  chart.settings.singlePane = false;
  chart.settings.bottomMargin = 20;
  chart.view = ChartView{5, 6, 0};
  chart.AppendWorkSeries();
  chart.Attach();
  EXPECT_EQ(chart.settings.highlightMonth, 0);
  EXPECT_TRUE(chart.settings.singlePane);
  EXPECT_EQ(chart.settings.bottomMargin, 15);
  EXPECT_EQ(chart.view.lastIndex, 10);
  EXPECT_EQ(chart.view.visibleCount, 11);
  EXPECT_TRUE(chart.series.empty());
}

TEST(ChartModel, DrawChartStoresTheViewAndPaints) {
  ChartModel chart;
  int paints = 0;
  chart.SetPainter([&](ChartModel& m) {
    ++paints;
    EXPECT_EQ(m.workerState, ChartModel::kFullPaint);
    return true;
  });
  EXPECT_TRUE(chart.DrawChart(ChartView{99, 100, 0}));
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(chart.view.lastIndex, 99);
  EXPECT_EQ(chart.workerState, ChartModel::kIdle);
}

}  // namespace
}  // namespace orvane
