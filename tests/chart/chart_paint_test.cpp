#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "chart/chart_geometry.h"
#include "chart/chart_painter.h"
#include "chart/label_placement.h"
#include "chart/recording_canvas.h"
#include "sample_charts.h"

namespace orvane {
namespace {

constexpr int kW = 1000;
constexpr int kH = 600;  // R = 980, B = 585 with the default margins
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

ChartPoint Pt(int date, double open, double high, double low, double close, bool valid = true) {
  ChartPoint p;
  p.date = date;
  p.open = open;
  p.high = high;
  p.low = low;
  p.close = close;
  p.valid = valid;
  return p;
}

ChartPoint Flat(int date, double v, bool valid = true) { return Pt(date, v, v, v, v, valid); }

ChartSeries Series(SeriesStyle style, PointList points, ColorRef color = 0) {
  ChartSeries s;
  s.style = style;
  s.color = color;
  s.width = 1;
  s.points = std::move(points);
  return s;
}

// Monthly dates from January of a year.
PointList Months(int fromYear, int count, double value = 10.0) {
  PointList pts;
  for (int i = 0; i < count; ++i)
    pts.push_back(Flat((fromYear + i / 12) * 100 + i % 12 + 1, value));
  return pts;
}

void ShowAll(ChartModel& chart) {
  const int n = static_cast<int>(chart.series.front().points.size());
  chart.view = ChartView{n - 1, n, 0};
}

std::vector<CanvasOp> Paint(ChartModel& chart, int w = kW, int h = kH) {
  RecordingCanvas canvas;
  EXPECT_TRUE(PaintChart(chart, canvas, w, h, ChartResources{}));
  return canvas.Ops();
}

std::vector<CanvasOp> OfKind(const std::vector<CanvasOp>& ops, CanvasOpKind kind) {
  std::vector<CanvasOp> out;
  std::copy_if(ops.begin(), ops.end(), std::back_inserter(out),
               [kind](const CanvasOp& op) { return op.kind == kind; });
  return out;
}

std::vector<std::string> Texts(const std::vector<CanvasOp>& ops) {
  std::vector<std::string> out;
  for (const auto& op : OfKind(ops, CanvasOpKind::Text)) out.push_back(op.text);
  return out;
}

std::vector<CanvasOp> LinesOfColor(const std::vector<CanvasOp>& ops, ColorRef color) {
  std::vector<CanvasOp> out;
  for (const auto& op : OfKind(ops, CanvasOpKind::Line)) {
    if (op.pen.color == color) out.push_back(op);
  }
  return out;
}

TEST(ChartGeometry, PlotEdgesStepAndPositions) {
  ChartSettings settings;
  std::vector<ChartSeries> series{Series(SeriesStyle::Line, Months(2000, 6))};
  const auto g = ChartGeometry::Compute(series, settings, ChartView{5, 6, 0}, kW, kH);
  EXPECT_EQ(g.plotRight, 980);
  EXPECT_EQ(g.plotBottom, 585);
  EXPECT_DOUBLE_EQ(g.step, 960.0 / 7.0);
  EXPECT_EQ(g.X(ViewPos{0}), 137);
  EXPECT_EQ(g.X(ViewPos{2}), 411);  // truncate(3 x 137.14)
  EXPECT_EQ(g.mainPane.top, 75);
  EXPECT_EQ(g.mainPane.bottom, 575);
  EXPECT_EQ(g.lowerPane.top, g.mainPane.top);  // single pane

  settings.singlePane = false;
  const auto two = ChartGeometry::Compute(series, settings, ChartView{0, 1, 0}, kW, kH);
  EXPECT_EQ(two.lowerPane.top, 475);  // 75 + 500 x 0.8
  EXPECT_EQ(two.X(ViewPos{0}), 480);  // one point sits at (R - 20) / 2
}

TEST(ChartGeometry, MainRangeIsPadded) {
  ChartSettings settings;
  auto range = [&](PointList pts) {
    std::vector<ChartSeries> s{Series(SeriesStyle::Line, std::move(pts))};
    const int n = static_cast<int>(s[0].points.size());
    return ChartGeometry::Compute(s, settings, ChartView{n - 1, n, 0}, kW, kH);
  };
  auto equal = range(Months(2000, 3, 50.0));
  EXPECT_DOUBLE_EQ(equal.mainRange.minimum, 49.5);
  EXPECT_DOUBLE_EQ(equal.mainRange.maximum, 50.5);
  EXPECT_FALSE(equal.zeroLineY);

  auto zero = range(Months(2000, 3, 0.0));
  EXPECT_DOUBLE_EQ(zero.mainRange.minimum, 0.0);
  EXPECT_DOUBLE_EQ(zero.mainRange.maximum, 0.1);

  auto spanning = range({Flat(200001, -10.0), Flat(200002, 20.0)});
  EXPECT_DOUBLE_EQ(spanning.mainRange.minimum, -9.9);
  EXPECT_DOUBLE_EQ(spanning.mainRange.maximum, 20.2);
  ASSERT_TRUE(spanning.zeroLineY);
  EXPECT_EQ(*spanning.zeroLineY, static_cast<int>(575 - 9.9 * 500 / 30.1));

  // A gap at the first visible point of series 0 lets 0 into the range.
  auto gapFirst = range({Flat(200001, 40.0, false), Flat(200002, 50.0)});
  EXPECT_DOUBLE_EQ(gapFirst.mainRange.minimum, 0.0);
  EXPECT_DOUBLE_EQ(gapFirst.mainRange.maximum, 50.5);

  // Non-finite values are gaps: they never enter a range.
  auto logs =
      range({Flat(200001, 2.0), Flat(200002, -kInf), Flat(200003, kNaN), Flat(200004, 3.0)});
  EXPECT_DOUBLE_EQ(logs.mainRange.minimum, 1.98);
  EXPECT_DOUBLE_EQ(logs.mainRange.maximum, 3.03);
}

TEST(ChartGeometry, YMapsRangeOntoPaneWithLift) {
  ChartSettings settings;
  settings.singlePane = false;
  std::vector<ChartSeries> series{
      Series(SeriesStyle::Line, {Flat(200001, 0.0), Flat(200002, 100.0)}),
      Series(SeriesStyle::Line, {Flat(200001, 0.0), Flat(200002, 0.0)})};
  series[1].inLowerPane = true;
  const auto g = ChartGeometry::Compute(series, settings, ChartView{1, 2, 0}, kW, kH);
  // Main range 0 .. 101: the maximum lands on the pane top, the minimum lift pixels up.
  EXPECT_EQ(g.Y(101.0, Pane::Main, 0.0), 75);
  EXPECT_EQ(g.Y(0.0, Pane::Main, 0.0), 575);
  EXPECT_EQ(g.Y(0.0, Pane::Main, 0.15), 500);
  EXPECT_EQ(g.Y(101.0, Pane::Main, 0.15), 75);
  // An all-zero lower pane has a flat range: every value sits on one line, no division by zero.
  EXPECT_EQ(g.lowerRange.minimum, g.lowerRange.maximum);
  EXPECT_EQ(g.Y(0.0, Pane::Lower, 0.0), 575);
  EXPECT_EQ(g.Y(1e300, Pane::Lower, 0.0), 575);
  EXPECT_EQ(g.Y(1e300, Pane::Main, 0.0), -1000000);  // held inside a drawable range
}

TEST(ChartGeometry, YearStepFollowsTheSpan) {
  EXPECT_EQ(YearStepForSpan(12), 1);
  EXPECT_EQ(YearStepForSpan(29), 1);
  EXPECT_EQ(YearStepForSpan(45), 5);
  EXPECT_EQ(YearStepForSpan(250), 10);
  EXPECT_EQ(YearStepForSpan(1500), 1500);
}

struct YearCase {
  int fromYear;
  int years;
  std::vector<std::string> firstLabels;
  std::size_t labelCount;
};

class YearLabels : public ::testing::TestWithParam<YearCase> {};

TEST_P(YearLabels, DrawnAtBPlus2OnTheStep) {
  const YearCase& c = GetParam();
  ChartModel chart;
  // One point per year plus January of the last year, so span = years.
  PointList pts;
  for (int y = 0; y <= c.years; ++y) pts.push_back(Flat((c.fromYear + y) * 100 + 1, 5.0));
  chart.series.push_back(Series(SeriesStyle::Line, pts));
  ShowAll(chart);
  const auto ops = Paint(chart);
  std::vector<CanvasOp> labels;
  for (const auto& op : OfKind(ops, CanvasOpKind::Text)) {
    if (op.points[0].y == 587) labels.push_back(op);
  }
  ASSERT_EQ(labels.size(), c.labelCount);
  for (std::size_t i = 0; i < c.firstLabels.size(); ++i)
    EXPECT_EQ(labels[i].text, c.firstLabels[i]);
  const double d = 960.0 / (c.years + 2);
  const int k = std::stoi(labels[0].text) - c.fromYear;
  EXPECT_EQ(labels[0].points[0].x, static_cast<int>((k + 1) * d));
  EXPECT_EQ(labels[0].align, TextAlign::Center);
  EXPECT_EQ(labels[0].font, DialogFont8());
  // Each label has its dotted grid line from the top to B.
  const auto grid = LinesOfColor(ops, Rgb(200, 200, 200));
  ASSERT_EQ(grid.size(), c.labelCount);
  EXPECT_EQ(grid[0].points[0], (CanvasPoint{labels[0].points[0].x, 0}));
  EXPECT_EQ(grid[0].points[1], (CanvasPoint{labels[0].points[0].x, 585}));
  EXPECT_EQ(grid[0].pen.style, PenStyle::Dotted);
}

INSTANTIATE_TEST_SUITE_P(Spans, YearLabels,
                         ::testing::Values(YearCase{2001, 12, {"2001", "2002", "2003"}, 13},
                                           YearCase{1972, 45, {"1975", "1980", "1985"}, 9},
                                           YearCase{1753, 250, {"1760", "1770"}, 25}));

// Boxes of the texts drawn, or only of those after the series (after the first clipped op).
std::vector<CanvasRect> TextBoxes(const std::vector<CanvasOp>& ops, bool afterSeries) {
  RecordingCanvas measure;
  std::vector<CanvasRect> boxes;
  bool seriesSeen = !afterSeries;
  for (const CanvasOp& op : ops) {
    seriesSeen = seriesSeen || op.clip.has_value();
    if (!seriesSeen || op.kind != CanvasOpKind::Text) continue;
    const PendingText t{op.points[0], op.text, op.font, op.color, op.align};
    boxes.push_back(TextBox(t, measure.MeasureText(op.text, op.font)));
  }
  return boxes;
}

void ExpectApartAndInside(const std::vector<CanvasRect>& boxes, const CanvasRect& bounds) {
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_EQ(KeptInside(boxes[i], bounds), boxes[i]) << i;
    for (std::size_t j = i + 1; j < boxes.size(); ++j) EXPECT_FALSE(Overlaps(boxes[i], boxes[j]));
  }
}

// Thousands of labels crowding a small pane, some turned, any alignment: what is placed stays
// inside and apart, as the labels of a long series must.
TEST(LabelPlacement, CrowdedLabelsArePlacedInsideAndApart) {
  std::mt19937 rng(3);
  RecordingCanvas measure;
  for (const CanvasRect bounds : {CanvasRect{0, 0, 1900, 300}, CanvasRect{-40, 20, 90, 500}}) {
    std::vector<PendingText> labels;
    for (int i = 0; i < 3000; ++i) {
      PendingText t;
      t.anchor = {static_cast<double>(bounds.left - 30 + static_cast<int>(rng() % 2000)),
                  static_cast<double>(bounds.top - 20 + static_cast<int>(rng() % 600))};
      t.text = std::string(1 + rng() % 6, '8');
      t.font.escapement = rng() % 4 == 0 ? 900 : 0;
      t.align = static_cast<TextAlign>(rng() % 3);
      labels.push_back(t);
    }
    const std::vector<PendingText> placed = PlaceLabels(labels, measure, bounds, bounds.top + 150);
    ASSERT_FALSE(placed.empty());
    std::vector<CanvasRect> boxes;
    for (const PendingText& t : placed)
      boxes.push_back(TextBox(t, measure.MeasureText(t.text, t.font)));
    ExpectApartAndInside(boxes, bounds);
  }
}

TEST(ChartPaint, EverySeriesDrawsInsideItsPane) {
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Candle, Months(2000, 24, 10.0)));
  // A line left out of the range runs far above it.
  ChartSeries wild = Series(SeriesStyle::Line, Months(2000, 24, 1e6), Rgb(1, 2, 3));
  wild.inMainRange = false;
  chart.series.push_back(wild);
  ShowAll(chart);
  const auto ops = Paint(chart);
  const ChartGeometry g = ChartGeometry::Compute(chart.series, chart.settings, chart.view, kW, kH);
  const CanvasRect main{0, g.mainPane.top - 10, g.plotRight, g.plotBottom - g.mainPane.top + 10};
  int wildOps = 0;
  for (const CanvasOp& op : ops) {
    if (op.kind == CanvasOpKind::Text || op.pen.color != Rgb(1, 2, 3)) continue;
    ++wildOps;
    EXPECT_EQ(op.clip, main);
  }
  EXPECT_GT(wildOps, 0);
  // Axes, grid and border are drawn unclipped, before and after the series.
  EXPECT_FALSE(ops.front().clip.has_value());
  EXPECT_FALSE(ops.back().clip.has_value());
}

TEST(ChartPaint, CandleLabelsKeepClearOfEachOtherExtremesFirst) {
  ChartModel chart;
  // 80 candles a dozen pixels apart, each with a label far wider than that.
  PointList pts;
  for (int i = 0; i < 80; ++i) {
    const double v = 100.0 + 30.0 * std::sin(i / 5.0) + (i == 37 ? 80.0 : 0.0);
    pts.push_back(Pt(200001 + (i / 12) * 100 + i % 12, v - 2, v + 3, v - 5, v));
  }
  chart.series.push_back(Series(SeriesStyle::Candle, pts));
  for (std::size_t i = 0; i < pts.size(); ++i) {
    chart.series[0].labels.SetUpper(i, "+12.34%");
    chart.series[0].labels.SetLower(i, "-5.67%");
  }
  ShowAll(chart);
  const auto ops = Paint(chart);
  const std::vector<CanvasRect> boxes = TextBoxes(ops, true);
  ASSERT_GT(boxes.size(), 10u);
  EXPECT_LT(boxes.size(), 160u);
  const ChartGeometry g = ChartGeometry::Compute(chart.series, chart.settings, chart.view, kW, kH);
  ExpectApartAndInside(boxes, {0, 0, g.plotRight, g.plotBottom});
  // The highest high keeps its label where the candle mode puts it.
  const int peakY = g.Y(pts[37].high, Pane::Main, 0.0) - 20;
  EXPECT_TRUE(std::any_of(ops.begin(), ops.end(), [&](const CanvasOp& op) {
    return op.kind == CanvasOpKind::Text && op.text == "+12.34%" && op.points[0].y == peakY &&
           op.points[0].x == g.X(ViewPos{37});
  }));
}

TEST(ChartPaint, YearLabelsStayInsideANarrowChartAndApart) {
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Line, Months(1990, 12 * 30)));
  ShowAll(chart);
  std::vector<CanvasRect> boxes = TextBoxes(Paint(chart, 300, 200), false);
  ASSERT_GE(boxes.size(), 2u);
  // Across the chart's width; their height is the bottom margin's business.
  for (CanvasRect& box : boxes) box.height = 1;
  ExpectApartAndInside(boxes, {0, 0, 300, 200});
  EXPECT_EQ(boxes.front().left, 0);  // the first year is whole, not cut at the left edge
}

TEST(ChartPaint, YearOffTheStepIsTestedAgainButLabelledOnce) {
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Line, Months(1971, 12 * 45 + 1)));  // span 45
  ShowAll(chart);
  const auto texts = Texts(Paint(chart));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "1975"), 1);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "1971"), 0);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "2015"), 1);
}

TEST(ChartPaint, FullPaintOrder) {
  ChartModel chart;
  chart.settings.title = "제목";
  chart.settings.subtitle = "부제";
  chart.settings.legendMomentum = true;
  chart.series.push_back(
      Series(SeriesStyle::Line, {Flat(200001, -1.0), Flat(200002, 2.0)}, Rgb(1, 1, 1)));
  chart.series.push_back(
      Series(SeriesStyle::Line, {Flat(200001, 1.0), Flat(200002, 1.5)}, Rgb(2, 2, 2)));
  ShowAll(chart);
  const auto ops = Paint(chart);
  ASSERT_GE(ops.size(), 10u);
  EXPECT_EQ(ops[0].kind, CanvasOpKind::FillRect);
  EXPECT_EQ(ops[0].color, Rgb(255, 255, 255));
  EXPECT_EQ(ops[1].kind, CanvasOpKind::FillRect);
  EXPECT_EQ(ops[1].color, chart.settings.backgroundColor);
  ASSERT_EQ(ops[2].kind, CanvasOpKind::Polyline);
  EXPECT_EQ(ops[2].points, (std::vector<CanvasPoint>{{980, 0}, {980, 585}, {0, 585}}));

  auto indexOf = [&](auto pred) {
    return std::find_if(ops.begin(), ops.end(), pred) - ops.begin();
  };
  const auto year = indexOf([](const CanvasOp& op) { return op.text == "2000"; });
  const auto zeroLine = indexOf(
      [](const CanvasOp& op) { return op.kind == CanvasOpKind::Line && op.points[1].x == 1005; });
  const auto zeroText = indexOf([](const CanvasOp& op) { return op.text == "0"; });
  const auto title = indexOf([](const CanvasOp& op) { return op.text == "제목"; });
  const auto subtitle = indexOf([](const CanvasOp& op) { return op.text == "부제"; });
  const auto legend = indexOf([](const CanvasOp& op) { return op.text == "一 Parabolic"; });
  const auto second = indexOf([](const CanvasOp& op) { return op.pen.color == Rgb(2, 2, 2); });
  const auto first = indexOf([](const CanvasOp& op) { return op.pen.color == Rgb(1, 1, 1); });
  EXPECT_LT(year, zeroLine);
  EXPECT_EQ(zeroText, zeroLine + 1);
  EXPECT_EQ(ops[zeroText].points[0].x, 1010);
  EXPECT_EQ(ops[zeroText].points[0].y, ops[zeroLine].points[0].y);
  EXPECT_LT(zeroText, title);
  EXPECT_EQ(subtitle, title + 1);
  EXPECT_EQ(ops[title].points[0], (CanvasPoint{20, 15}));
  EXPECT_EQ(ops[title].color, Rgb(255, 153, 205));
  EXPECT_EQ(ops[subtitle].points[0], (CanvasPoint{10, 5}));
  EXPECT_EQ(ops[subtitle].color, Rgb(0, 128, 0));
  EXPECT_LT(subtitle, legend);
  EXPECT_LT(legend, second);  // series run from the last to the first
  EXPECT_LT(second, first);
  EXPECT_EQ(ops.back().kind, CanvasOpKind::Polyline);  // the border closes the paint
  EXPECT_EQ(ops.back().points,
            (std::vector<CanvasPoint>{{-1, 0}, {999, 0}, {999, 599}, {0, 599}, {0, -1}}));
}

TEST(ChartPaint, LegendsHaveTheirTextsAndColours) {
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Line, Months(2000, 2)));
  chart.settings.legendIchimoku = true;
  chart.settings.legendCompare = true;
  chart.settings.compareNames[0] = "서울";
  chart.settings.compareNames[2] = "부산";
  ShowAll(chart);
  std::vector<CanvasOp> legend;
  for (const auto& op : OfKind(Paint(chart), CanvasOpKind::Text)) {
    if (op.points[0].x == 20 && op.points[0].y >= 90) legend.push_back(op);
  }
  ASSERT_EQ(legend.size(), 8u);
  EXPECT_EQ(legend[0].text, "★ 一目均衡票");
  EXPECT_EQ(legend[3].text, "一 先行span1");
  EXPECT_EQ(legend[3].color, Rgb(255, 0, 255));
  EXPECT_EQ(legend[3].points[0].y, 180);
  EXPECT_EQ(legend[5].text, "一 後行span");
  // The comparison legend leaves out empty names but keeps each line's place and colour.
  EXPECT_EQ(legend[6].text, "一 서울");
  EXPECT_EQ(legend[6].points[0].y, 90);
  EXPECT_EQ(legend[6].color, Rgb(0, 0, 0));
  EXPECT_EQ(legend[7].text, "一 부산");
  EXPECT_EQ(legend[7].points[0].y, 170);
  EXPECT_EQ(legend[7].color, Rgb(255, 153, 204));
  EXPECT_EQ(legend[7].font, ChartFonts{}.legend);
}

TEST(ChartPaint, HighlightBandOnTheMonthAndOverMarkedSeries) {
  ChartModel chart;
  chart.settings.highlightMonth = 200003;
  chart.series.push_back(Series(SeriesStyle::Line, Months(2000, 6)));
  chart.series.push_back(Series(SeriesStyle::Candle, Months(2000, 6)));
  chart.series[1].markHighlight = true;
  ShowAll(chart);
  auto bands = LinesOfColor(Paint(chart), Rgb(151, 202, 255));
  ASSERT_EQ(bands.size(), 2u);
  const int x = static_cast<int>(3 * 960.0 / 7);
  EXPECT_EQ(bands[0].points, (std::vector<CanvasPoint>{{double(x), 0}, {double(x), 585}}));
  EXPECT_EQ(bands[0].pen.width, 5);  // min(d - 1, 5)
  EXPECT_EQ(bands[0].pen.cap, PenCap::Flat);
  EXPECT_EQ(bands[1].points, (std::vector<CanvasPoint>{{double(x), 75}, {double(x), 575}}));

  // With a narrow step the band is d - 1 wide.
  chart.series.resize(1);
  chart.series[0].points = Months(2000, 300);
  ShowAll(chart);
  bands = LinesOfColor(Paint(chart), Rgb(151, 202, 255));
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_EQ(bands[0].pen.width, static_cast<int>(960.0 / 301 - 1));

  chart.settings.highlightMonth = 0;
  EXPECT_TRUE(LinesOfColor(Paint(chart), Rgb(151, 202, 255)).empty());
}

TEST(ChartPaint, CandleColourRuleAndFlatBody) {
  ChartModel chart;
  chart.series.push_back(
      Series(SeriesStyle::Candle, {
                                      Pt(200001, 10, 12, 9, 10),  // equal, first: up
                                      Pt(200002, 10, 13, 9, 12),  // rising: up
                                      Pt(200003, 12, 12, 8, 9),   // falling: down
                                      Pt(200004, 8, 10, 7, 8),    // equal, below 9: down
                                      Pt(200005, 9, 11, 8, 9),    // equal, above 8: up
                                  }));
  ShowAll(chart);
  const auto ops = Paint(chart);
  std::vector<CanvasOp> wicks;
  for (const auto& op : OfKind(ops, CanvasOpKind::Line)) {
    if (op.pen.width == 1 && op.pen.style == PenStyle::Solid) wicks.push_back(op);
  }
  ASSERT_EQ(wicks.size(), 5u);
  const ColorRef up = Rgb(255, 0, 0), down = Rgb(0, 0, 255);
  EXPECT_EQ(wicks[0].pen.color, up);
  EXPECT_EQ(wicks[1].pen.color, up);
  EXPECT_EQ(wicks[2].pen.color, down);
  EXPECT_EQ(wicks[3].pen.color, down);
  EXPECT_EQ(wicks[4].pen.color, up);
  // Body of the first (open = close): one pixel tall, flat ends, d - 1 wide.
  const auto& body =
      ops[std::find_if(ops.begin(), ops.end(),
                       [](const CanvasOp& op) { return op.pen.cap == PenCap::Flat; }) -
          ops.begin()];
  EXPECT_EQ(body.points[1].y - body.points[0].y, 1);
  EXPECT_EQ(body.pen.width, static_cast<int>(960.0 / 6 - 1));
}

TEST(ChartPaint, GapsPerStyle) {
  auto withGap = [] {
    PointList pts = Months(2000, 5);
    pts.Edit(2, [](ChartPoint& p) { p.valid = false; });
    return pts;
  };
  auto countLines = [](SeriesStyle style, PointList pts, ColorRef color) {
    ChartModel chart;
    chart.series.push_back(Series(style, std::move(pts), color));
    ShowAll(chart);
    return Paint(chart);
  };
  // Candle: candles up to the gap only (a wick and a body each).
  EXPECT_EQ(LinesOfColor(countLines(SeriesStyle::Candle, withGap(), 0), Rgb(255, 0, 0)).size(), 4u);
  // Flagged candle: the gap is skipped, the walk goes on.
  EXPECT_EQ(
      LinesOfColor(countLines(SeriesStyle::FlaggedCandle, withGap(), 0), Rgb(255, 0, 0)).size(),
      8u);
  // Line: two strokes, each of two points.
  const auto line = countLines(SeriesStyle::Line, withGap(), Rgb(9, 9, 9));
  std::vector<CanvasOp> strokes;
  for (const auto& op : OfKind(line, CanvasOpKind::Polyline)) {
    if (op.pen.color == Rgb(9, 9, 9)) strokes.push_back(op);
  }
  ASSERT_EQ(strokes.size(), 2u);
  EXPECT_EQ(strokes[0].points.size(), 2u);
  EXPECT_EQ(strokes[1].points.size(), 2u);
  // Dots: one per valid point, at least 5 pixels even when d is below 8.
  const auto dots =
      LinesOfColor(countLines(SeriesStyle::Dots, withGap(), Rgb(9, 9, 9)), Rgb(9, 9, 9));
  ASSERT_EQ(dots.size(), 4u);
  EXPECT_EQ(dots[0].points[0], dots[0].points[1]);
  EXPECT_EQ(dots[0].pen.width, static_cast<int>(960.0 / 6 - 2));
  const auto small =
      LinesOfColor(countLines(SeriesStyle::Dots, Months(2000, 200), Rgb(9, 9, 9)), Rgb(9, 9, 9));
  EXPECT_EQ(small[0].pen.width, 5);
}

// 20,000 points on a plot 980 pixels wide: drawing follows the columns, and every column still
// shows its extremes. Below one point a column nothing is reduced (the tests above).
TEST(ChartPaint, CrowdedSeriesAreDrawnPerPixelColumn) {
  constexpr int kPoints = 20000;
  auto paint = [](SeriesStyle style, double spike = 40) {
    PointList wave = Months(100, kPoints);
    for (int i = 0; i < kPoints; ++i) {
      const double v = 50 + (i % 7) * 3 + (i == 12345 ? spike : 0);
      ChartPoint p = Pt(wave[i].date, v - 1, v + 2, v - 2, v, true);
      p.rising = i % 2 == 0;
      wave.Set(i, p);
    }
    ChartModel chart;
    chart.series.push_back(Series(style, wave, Rgb(9, 9, 9)));
    chart.series.front().upColor = chart.series.front().downColor = Rgb(9, 9, 9);
    // A flat line above everything keeps the range the same with and without the spike.
    chart.series.push_back(Series(SeriesStyle::Line, Months(100, kPoints, 200), Rgb(1, 1, 1)));
    ShowAll(chart);
    return Paint(chart);
  };
  auto highest = [](const std::vector<CanvasOp>& ops) {
    double top = 1e9;
    for (const auto& op : ops) {
      if (op.pen.color != Rgb(9, 9, 9)) continue;
      for (const auto& v : op.points) top = std::min(top, v.y);
    }
    return top;
  };
  // Polylines and paths keep at most four vertices a column, the spike among them.
  for (SeriesStyle style : {SeriesStyle::Line, SeriesStyle::Band}) {
    const auto ops = paint(style);
    std::size_t vertices = 0;
    for (const auto& op : OfKind(ops, CanvasOpKind::Polyline)) {
      if (op.pen.color == Rgb(9, 9, 9)) vertices += op.points.size();
    }
    EXPECT_GT(vertices, 0u);
    EXPECT_LE(vertices, 2u * 4 * 980 + 8);
    EXPECT_LT(highest(ops), highest(paint(style, 0)) - 50) << "the spike is drawn";
  }
  // The band is filled column by column from edge to edge.
  EXPECT_LE(LinesOfColor(paint(SeriesStyle::Band), Rgb(9, 9, 9)).size(), 981u);
  // One candle (wick and body) a column, its wick from the column's highest high.
  for (SeriesStyle style : {SeriesStyle::Candle, SeriesStyle::FlaggedCandle}) {
    const auto lines = LinesOfColor(paint(style), Rgb(9, 9, 9));
    EXPECT_LE(lines.size(), 2u * 981);
    EXPECT_LT(highest(lines), highest(paint(style, 0)) - 50) << "the spike is drawn";
  }
  // Dots: each position of a column once.
  EXPECT_LE(LinesOfColor(paint(SeriesStyle::Dots), Rgb(9, 9, 9)).size(), 7u * 981);
}

TEST(ChartPaint, NonFiniteValuesNeverBecomeCoordinates) {
  ChartModel chart;
  chart.series.push_back(
      Series(SeriesStyle::Line, {Flat(200001, 1.0), Flat(200002, 2.0), Flat(200003, -kInf),
                                 Flat(200004, kNaN), Flat(200005, 3.0), Flat(200006, 2.0)}));
  for (SeriesStyle style :
       {SeriesStyle::Candle, SeriesStyle::FlaggedCandle, SeriesStyle::Band, SeriesStyle::Dots}) {
    chart.series.push_back(chart.series.front());
    chart.series.back().style = style;
  }
  chart.series.back().points.Edit(0, [](ChartPoint& p) { p.close = kNaN; });
  ShowAll(chart);
  const auto ops = Paint(chart);
  for (const auto& op : ops) {
    for (const auto& p : op.points) {
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
      ASSERT_GT(p.y, -2.0);
      ASSERT_LT(p.y, 600.0);
    }
  }
  // The candle of the -inf month is left out; the candles after it are drawn.
  std::size_t candleWicks = 0;
  for (const auto& op : OfKind(ops, CanvasOpKind::Line)) {
    const bool red = op.pen.color == Rgb(255, 0, 0), blue = op.pen.color == Rgb(0, 0, 255);
    candleWicks += op.pen.width == 1 && (red || blue);
  }
  EXPECT_EQ(candleWicks, 4u + 4u);  // candle and flagged candle: 6 points, 2 without numbers
  std::ostringstream out;
  RecordingCanvas canvas;
  for (const auto& op : ops) {
    if (op.kind == CanvasOpKind::Path) canvas.Path(op.points, op.pen, op.color);
  }
  canvas.WriteJsonLines(out);
  EXPECT_EQ(out.str().find("null"), std::string::npos);
}

TEST(ChartPaint, HugeFiniteValuesAndAHugeViewStayInsideTheClamp) {
  ChartModel chart;
  chart.settings.singlePane = false;
  chart.series.push_back(Series(SeriesStyle::Line, Months(2000, 12)));
  // The lower pane's range comes from highs and lows of 0 .. 10; opens and closes lie 1e300 away.
  for (SeriesStyle style : {SeriesStyle::Line, SeriesStyle::Candle, SeriesStyle::FlaggedCandle,
                            SeriesStyle::Band, SeriesStyle::Dots}) {
    chart.series.push_back(Series(style, {Flat(200001, 5.0), Pt(200002, 1e300, 10, 0, -1e300),
                                          Pt(200003, -1e300, 10, 0, 1e300), Flat(200004, 5.0)}));
    chart.series.back().inLowerPane = true;
  }
  constexpr double kLimit = 1e6;  // the pixel clamp of the geometry
  constexpr int kMax = std::numeric_limits<int>::max();
  for (const ChartView view :
       {ChartView{11, 12, 0}, ChartView{kMax, kMax, 0}, ChartView{kMax - 1, kMax - 1, 1}}) {
    chart.view = view;
    for (const CanvasOp& op : Paint(chart)) {
      for (const CanvasPoint& p : op.points) {
        ASSERT_LE(std::abs(p.x), kLimit) << op.text;
        ASSERT_LE(std::abs(p.y), kLimit) << op.text;
      }
      for (const int edge : {op.rect.left, op.rect.top, op.rect.left + op.rect.width,
                             op.rect.top + op.rect.height}) {
        ASSERT_LE(std::abs(edge), kLimit);
      }
      ASSERT_LE(op.radius, kLimit);
      ASSERT_LE(op.pen.width, kLimit);
    }
  }
}

TEST(ChartPaint, ViewPastTheEndIsClamped) {
  const ColorRef line = Rgb(7, 7, 7);
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Line, Months(2000, 10), line));
  chart.series.push_back(Series(SeriesStyle::Candle, Months(2000, 4)));
  chart.series.back().showTwoYearLink = true;
  // Thirty places from index 5: only points 5 .. 9 of the line exist, at d = (1000 - 20 - 20) / 31.
  chart.view = ChartView{40, 30, 5};
  auto ops = Paint(chart);
  EXPECT_EQ(chart.series[0].points.size(), 10u);
  std::vector<CanvasOp> polylines;
  for (const CanvasOp& op : OfKind(ops, CanvasOpKind::Polyline)) {
    if (op.pen.color == line) polylines.push_back(op);
  }
  ASSERT_EQ(polylines.size(), 1u);
  std::vector<double> xs;
  for (const CanvasPoint& p : polylines[0].points) xs.push_back(p.x);
  EXPECT_EQ(xs, (std::vector<double>{30, 61, 92, 123, 154}));
  // The candles end before index 5: none is drawn.
  EXPECT_TRUE(LinesOfColor(ops, Rgb(255, 0, 0)).empty());
  EXPECT_TRUE(LinesOfColor(ops, Rgb(0, 0, 255)).empty());
  // A negative view is an empty one: no stroke of the line.
  chart.view = ChartView{9, -3, -2};
  for (const CanvasOp& op : OfKind(Paint(chart), CanvasOpKind::Polyline)) {
    EXPECT_NE(op.pen.color, line);
  }
}

TEST(ChartPaint, CutIsDestructiveAndAnEmptySeriesStopsThePaint) {
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Line, Months(2000, 10)));
  chart.view = ChartView{5, 6, 0};
  Paint(chart);
  EXPECT_EQ(chart.series[0].points.size(), 6u);
  chart.view = ChartView{9, 10, 0};
  Paint(chart);
  EXPECT_EQ(chart.series[0].points.size(), 6u);

  chart.series.push_back(ChartSeries{});
  RecordingCanvas canvas;
  EXPECT_FALSE(PaintChart(chart, canvas, kW, kH, ChartResources{}));
  EXPECT_TRUE(canvas.Ops().empty());
}

TEST(ChartPaint, HoldsTheSeriesLockWhileDrawing) {
  // A canvas that asks, from another thread, whether the lock is free.
  class ProbeCanvas : public RecordingCanvas {
   public:
    explicit ProbeCanvas(ChartModel& c) : chart_(c) {}
    void FillRect(const CanvasRect& r, ColorRef color) override {
      lockedDuringPaint = !std::async(std::launch::async, [this] {
                             const bool got = chart_.seriesLock.try_lock();
                             if (got) chart_.seriesLock.unlock();
                             return got;
                           }).get();
      RecordingCanvas::FillRect(r, color);
    }
    bool lockedDuringPaint = false;

   private:
    ChartModel& chart_;
  };
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Line, Months(2000, 3)));
  ShowAll(chart);
  ProbeCanvas canvas(chart);
  ASSERT_TRUE(PaintChart(chart, canvas, kW, kH, ChartResources{}));
  EXPECT_TRUE(canvas.lockedDuringPaint);
}

TEST(ChartPaint, TwoYearLinkNeedsTwentyFourPoints) {
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Line, Months(2000, 24), Rgb(9, 9, 9)));
  chart.series[0].showTwoYearLink = true;
  ShowAll(chart);
  auto circles = [](const std::vector<CanvasOp>& ops) {
    return std::count_if(ops.begin(), ops.end(),
                         [](const CanvasOp& op) { return op.points.size() == 361; });
  };
  EXPECT_EQ(circles(Paint(chart)), 0);
  chart.series[0].points = Months(2000, 25);
  ShowAll(chart);
  const auto ops = Paint(chart);
  EXPECT_EQ(circles(ops), 2);
  const auto first = std::find_if(ops.begin(), ops.end(),
                                  [](const CanvasOp& op) { return op.points.size() == 361; });
  EXPECT_EQ(first->pen.color, Rgb(255, 0, 0));
  const double d = 960.0 / 26;
  EXPECT_DOUBLE_EQ(first->points.front().x, static_cast<int>(25 * d) + 10);
  EXPECT_DOUBLE_EQ(first->points.back().x, first->points.front().x);
  // A gap at either end of a line's link leaves it out; a candle's link ignores validity.
  chart.series[0].points.Edit(0, [](ChartPoint& p) { p.valid = false; });
  EXPECT_EQ(circles(Paint(chart)), 0);
  chart.series[0].style = SeriesStyle::Candle;
  chart.series[0].points = Months(2000, 25);
  chart.series[0].points.Edit(0, [](ChartPoint& p) { p.valid = false; });
  EXPECT_EQ(circles(Paint(chart)), 2);
}

TEST(ChartPaint, BandEndsInAPointWhereItsEdgesMeet) {
  ChartModel chart;
  chart.series.push_back(Series(SeriesStyle::Band,
                                {Pt(200001, 5, 6, 4, 6), Pt(200002, 5, 6, 4, 6),
                                 Pt(200003, 5, 5, 5, 5), Pt(200004, 4, 6, 4, 6)},
                                Rgb(9, 9, 9)));
  ShowAll(chart);
  const auto paths = OfKind(Paint(chart), CanvasOpKind::Path);
  ASSERT_EQ(paths.size(), 1u);
  const auto& pts = paths[0].points;
  ASSERT_EQ(pts.size(), 11u);
  const double d = 960.0 / 5;
  // Forward: point 2 closes the band half a step early; point 3 opens it from point 2's close.
  EXPECT_DOUBLE_EQ(pts[3].x, static_cast<int>(3 * d) - d / 2);
  EXPECT_DOUBLE_EQ(pts[4].x, static_cast<int>(4 * d) - d / 2);
  EXPECT_EQ(pts[4].y, pts[3].y);
  EXPECT_EQ(pts.front(), pts.back());
  EXPECT_EQ(paths[0].color, Rgb(9, 9, 9));
}

TEST(ChartPaint, EmptyFrameHasAxesGridAndBorder) {
  ChartSettings settings;
  RecordingCanvas canvas;
  PaintEmptyFrame(settings, canvas, 450, 320);  // R = 430, B = 305
  const auto& ops = canvas.Ops();
  ASSERT_EQ(ops.size(), 1u + 1u + 4u + 3u + 1u);
  EXPECT_EQ(ops[1].points, (std::vector<CanvasPoint>{{430, 0}, {430, 305}, {0, 305}}));
  EXPECT_EQ(ops[2].points, (std::vector<CanvasPoint>{{100, 0}, {100, 305}}));
  EXPECT_EQ(ops[5].points, (std::vector<CanvasPoint>{{400, 0}, {400, 305}}));
  EXPECT_EQ(ops[8].points, (std::vector<CanvasPoint>{{0, 300}, {430, 300}}));
  EXPECT_EQ(ops[8].pen.style, PenStyle::Dotted);
}

TEST(RecordingCanvas, WritesOneJsonObjectPerOp) {
  RecordingCanvas canvas;
  canvas.FillRect({0, 0, 10, 20}, Rgb(1, 2, 3));
  canvas.Text({5, 7}, "서울", FontSpec{std::string(kKoreanFace), 25, 800, 0}, Rgb(255, 0, 0),
              TextAlign::Center);
  canvas.Line({1, 2}, {3, 4}, Pen{Rgb(0, 0, 0), 3, PenStyle::Dotted, PenCap::Flat});
  std::ostringstream out;
  canvas.WriteJsonLines(out);
  EXPECT_EQ(
      out.str(),
      "{\"color\":[1,2,3],\"op\":\"fillRect\",\"rect\":[0,0,10,20]}\n"
      "{\"align\":\"center\",\"at\":[5.0,7.0],\"color\":[255,0,0],\"font\":{\"escapement\":0,"
      "\"family\":\"맑은 고딕\",\"size\":25,\"weight\":800},\"op\":\"text\",\"text\":\"서울\"}\n"
      "{\"cap\":\"flat\",\"color\":[0,0,0],\"from\":[1.0,2.0],\"op\":\"line\",\"style\":\"dotted\","
      "\"to\":[3.0,4.0],\"width\":3}\n");
}

TEST(ChartPaint, MonthlySampleDrawsEveryPart) {
  ChartModel chart;
  testing::FillMonthlyChart(chart, 600);  // 1975.01 .. 2024.12, 600 points in view
  const auto g = ChartGeometry::Compute(chart.series, chart.settings, chart.view, 1900, 980);
  const auto ops = Paint(chart, 1900, 980);
  ASSERT_GE(ops.size(), 2u);
  EXPECT_EQ(ops[1].kind, CanvasOpKind::FillRect);
  EXPECT_EQ(ops[1].rect, (CanvasRect{0, 0, 1900, 980}));
  const auto texts = Texts(ops);
  const auto drawn = [&texts](const std::string& t) {
    return std::find(texts.begin(), texts.end(), t) != texts.end();
  };
  EXPECT_TRUE(drawn(chart.settings.title));
  EXPECT_TRUE(drawn(chart.settings.subtitle));
  for (int year = 1975; year <= 2020; year += 5) EXPECT_TRUE(drawn(std::to_string(year)));
  const ChartSeries& candles = chart.series[0];
  for (std::size_t i = 0; i < candles.points.size(); ++i) {
    for (const std::string_view label : {candles.labels.Upper(i), candles.labels.Lower(i)}) {
      if (!label.empty()) {
        EXPECT_TRUE(drawn(std::string(label))) << candles.points[i].date;
      }
    }
  }
  // Each of the six means is one stroke over the main pane.
  for (ColorRef mean : {Rgb(255, 153, 0), Rgb(153, 204, 0), Rgb(255, 153, 204), Rgb(0, 204, 255),
                        Rgb(255, 204, 0), Rgb(150, 150, 255)}) {
    std::vector<CanvasOp> strokes;
    for (const CanvasOp& op : OfKind(ops, CanvasOpKind::Polyline)) {
      if (op.pen.color == mean) strokes.push_back(op);
    }
    ASSERT_EQ(strokes.size(), 1u) << mean;
    for (const CanvasPoint& p : strokes[0].points) {
      EXPECT_GE(p.y, g.mainPane.top);
      EXPECT_LE(p.y, g.mainPane.bottom);
    }
  }
  // A wick and a body for every month: the volume candles in the lower pane, the yearly ones.
  const auto lines = [&ops](ColorRef up, ColorRef down) {
    auto both = LinesOfColor(ops, up);
    for (const CanvasOp& op : LinesOfColor(ops, down)) both.push_back(op);
    return both;
  };
  const auto volume = lines(Rgb(255, 153, 205), Rgb(153, 204, 0));
  EXPECT_EQ(volume.size(), 1200u);
  for (const CanvasOp& op : volume) {
    for (const CanvasPoint& p : op.points) {
      EXPECT_GE(p.y, g.lowerPane.top);
      EXPECT_LE(p.y, g.lowerPane.bottom);
    }
  }
  EXPECT_EQ(lines(Rgb(255, 255, 0), Rgb(0, 255, 255)).size(), 1200u);
  EXPECT_GE(lines(Rgb(255, 0, 0), Rgb(0, 0, 255)).size(), 1200u);
}

}  // namespace
}  // namespace orvane
