#include "chart/chart_model.h"

#include <gtest/gtest.h>

#include <string>

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

// Labels live behind a pointer: copies must not share them, and clearing one keeps the other.
TEST(ChartPoint, LabelsAreCutCopiedDeeplyAndClearedOneByOne) {
  ChartPoint p, assigned;
  p.SetUpperLabel(std::string(200, 'x'));
  p.SetLowerLabel("20-05");
  const ChartPoint copy = p;
  assigned.SetLowerLabel("old");
  assigned = p;
  p.SetUpperLabel({});
  EXPECT_EQ(p.UpperLabel(), "");
  EXPECT_EQ(p.LowerLabel(), "20-05");
  EXPECT_EQ(copy.UpperLabel().size(), kMaxLabelBytes);
  EXPECT_EQ(assigned.UpperLabel().size(), kMaxLabelBytes);
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
