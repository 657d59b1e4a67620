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
    chart.workPoint.Reset();
    if (i == 1) chart.workPoint.SetUpperLabel("peak");
    if (i == 3) chart.workPoint.SetLowerLabel("trough");
    chart.AppendWorkPoint();
  }
  chart.AppendWorkSeries();
  chart.workPoint.Reset();
  chart.AppendWorkPoint();
  chart.AppendWorkSeries();
  const ChartSeries& s = chart.series.at(0);
  EXPECT_EQ(s.labels.Upper(1), "peak");
  EXPECT_EQ(s.labels.Lower(3), "trough");
  EXPECT_FALSE(s.labels.Has(0) || s.labels.Has(2));
  EXPECT_FALSE(chart.series.at(1).labels.Has(0));  // the next series starts without them
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
