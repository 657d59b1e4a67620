#include "chart/chart_interaction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "chart/chart_export.h"

namespace orvane {
namespace {

ChartSeries LineSeries(int count, double base, SeriesStyle style = SeriesStyle::Line) {
  ChartSeries s;
  s.style = style;
  for (int i = 0; i < count; ++i) {
    ChartPoint p;
    p.date = (2000 + i / 12) * 100 + i % 12 + 1;
    p.open = p.low = p.high = p.close = base + i;
    s.points.push_back(p);
  }
  return s;
}

template <typename Change>
void EditAll(PointList& points, Change change) {
  for (std::size_t i = 0; i < points.size(); ++i) points.Edit(i, change);
}

ChartGeometry GeometryFor(const std::vector<ChartSeries>& series, ChartView view, int width) {
  return ChartGeometry::Compute(series, ChartSettings{}, view, width, 600);
}

TEST(ChartInteraction, SnappingRoundTripsThroughTheGeometryForEveryView) {
  for (int points : {1, 2, 11, 37, 600, 2400}) {
    const std::vector<ChartSeries> series{LineSeries(points, 10.0)};
    for (int width : {120, 640, 1900, 2560}) {
      for (int count : {1, 2, 10, points / 3 + 1, points}) {
        for (int first : {0, points / 2, points - count}) {
          if (count > points || first < 0 || first + count > points) continue;
          const ChartView view{points - 1, count, first};
          const ChartGeometry g = GeometryFor(series, view, width);
          for (int k = 0; k < count; ++k) {
            const int x = g.X(ViewPos{k});
            const auto index = SnapToPoint(g, series, x);
            ASSERT_TRUE(index);
            if (g.step >= 1.0) {
              ASSERT_EQ(static_cast<int>(*index), first + k)
                  << points << " points, width " << width << ", view " << first << "+" << count;
            } else {
              // Below one pixel per point several points share a column; any of them will do.
              ASSERT_EQ(g.X(g.PositionOf(*index)), x);
            }
          }
          // Far outside the plot the nearest visible point is the first or the last.
          EXPECT_EQ(static_cast<int>(*SnapToPoint(g, series, -500)), first);
          EXPECT_EQ(g.X(g.PositionOf(*SnapToPoint(g, series, width + 500))),
                    g.X(ViewPos{count - 1}));
        }
      }
    }
  }
}

TEST(ChartInteraction, SnapsBetweenPointsToTheNearerAndNeverPastTheSeries) {
  const std::vector<ChartSeries> series{LineSeries(10, 1.0)};
  // R = 220, d = 200 / 11: points at 18, 36, 54, ...
  const ChartGeometry g = GeometryFor(series, ChartView{9, 10, 0}, 240);
  EXPECT_EQ(static_cast<int>(*SnapToPoint(g, series, 26)), 0);
  EXPECT_EQ(static_cast<int>(*SnapToPoint(g, series, 28)), 1);
  // A view reaching past the series' end snaps only onto points that exist.
  const ChartGeometry wide = GeometryFor(series, ChartView{20, 21, 5}, 240);
  EXPECT_EQ(static_cast<int>(*SnapToPoint(wide, series, 239)), 9);
  const ChartGeometry beyond = GeometryFor(series, ChartView{20, 5, 12}, 240);
  EXPECT_FALSE(SnapToPoint(beyond, series, 50));
  EXPECT_FALSE(SnapToPoint(g, {}, 50));
}

TEST(ChartInteraction, ReadoutShowsRealValuesOfTheLogScaleInTheMainPaneOnly) {
  ChartSeries candle = LineSeries(30, 0.0, SeriesStyle::Candle);
  EditAll(candle.points, [](ChartPoint& p) {
    p.open = std::log10(100.0);
    p.high = std::log10(125.0);
    p.low = std::log10(80.0);
    p.close = std::log10(110.0);
  });
  candle.points.Edit(7, [](ChartPoint& p) { p.date = 202106; });
  ChartSeries mean = LineSeries(30, 0.0);
  mean.name = "12개월 평균";
  mean.color = Rgb(255, 153, 0);
  EditAll(mean.points, [](ChartPoint& p) { p.close = std::log10(2500.0); });
  mean.points.Edit(8, [](ChartPoint& p) { p.valid = false; });
  ChartSeries momentum = LineSeries(30, 40.0);
  momentum.inLowerPane = true;
  ChartSeries band = LineSeries(30, 5.0, SeriesStyle::Band);
  ChartSeries dots = LineSeries(30, 1.0, SeriesStyle::Dots);
  const std::vector<ChartSeries> series{candle, mean, momentum, band, dots};

  ChartSettings settings;
  settings.logScale = true;
  const ChartGeometry g = ChartGeometry::Compute(series, settings, ChartView{29, 30, 0}, 800, 600);
  const auto r = ReadoutAt(series, settings, g, PointIndex{7});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->date, "2021.06");
  EXPECT_EQ(r->x, g.X(ViewPos{7}));
  ASSERT_TRUE(r->candle);
  EXPECT_NEAR((*r->candle)[0], 100.0, 1e-9);
  EXPECT_NEAR((*r->candle)[1], 125.0, 1e-9);
  EXPECT_NEAR((*r->candle)[2], 80.0, 1e-9);
  EXPECT_NEAR((*r->candle)[3], 110.0, 1e-9);
  // Lines and dots after series 0, in series order; bands are not values of their own.
  ASSERT_EQ(r->lines.size(), 3u);
  EXPECT_EQ(r->lines[0].name, "12개월 평균");
  EXPECT_EQ(r->lines[0].color, Rgb(255, 153, 0));
  EXPECT_NEAR(*r->lines[0].value, 2500.0, 1e-9);
  EXPECT_EQ(r->lines[1].name, "선 2");
  EXPECT_DOUBLE_EQ(*r->lines[1].value, 47.0);  // the lower pane is never a logarithm
  EXPECT_NEAR(*r->lines[2].value, std::pow(10.0, 8.0), 1e-3);
  // A main-pane line the pipeline leaves unconverted reads as plotted.
  std::vector<ChartSeries> plain = series;
  plain[4].plainUnderLogScale = true;
  EXPECT_DOUBLE_EQ(*ReadoutAt(plain, settings, g, PointIndex{7})->lines[2].value, 8.0);

  const auto gap = ReadoutAt(series, settings, g, PointIndex{8});
  EXPECT_FALSE(gap->lines[0].value);
  settings.logScale = false;
  EXPECT_NEAR(*ReadoutAt(series, settings, g, PointIndex{7})->lines[0].value, std::log10(2500.0),
              1e-12);

  // A gap in series 0 and a point dated 0 (a future slot) read as such.
  std::vector<ChartSeries> future = series;
  future[0].points.Edit(9, [](ChartPoint& p) {
    p.valid = false;
    p.date = 0;
  });
  const auto empty = ReadoutAt(future, settings, g, PointIndex{9});
  EXPECT_TRUE(empty->date.empty());
  EXPECT_FALSE(empty->candle);
  EXPECT_FALSE(ReadoutAt(series, settings, g, PointIndex{30}));
  EXPECT_FALSE(ReadoutAt(series, settings, g, PointIndex{-1}));
}

// Series 0 of the given dates and closes, as a chart of that period draws it.
ChartSeries Closes(const std::vector<std::pair<int, double>>& points, bool logScale) {
  ChartSeries s;
  s.style = SeriesStyle::Candle;
  for (const auto& [date, close] : points) {
    ChartPoint p;
    p.date = date;
    p.open = p.low = p.high = p.close = logScale ? std::log10(close) : close;
    s.points.push_back(p);
  }
  return s;
}

TEST(ChartInteraction, ChangesCompareWithThePeriodBeforeAndAYearBeforeByDate) {
  struct Case {
    PointPeriod period;
    std::vector<std::pair<int, double>> points;
    int at;
    std::optional<double> previous, yearAgo;
  };
  const std::vector<std::pair<int, double>> months = {{202001, 100}, {202003, 50}, {202012, 80},
                                                      {202101, 120}, {202103, 60}, {202104, 66}};
  // The last quarter is partial (dated by its last month so far); 2020Q3 is missing.
  const std::vector<std::pair<int, double>> quarters = {
      {202003, 100}, {202006, 90}, {202012, 120}, {202103, 150}, {202105, 135}};
  const std::vector<std::pair<int, double>> years = {{201812, 100}, {201912, 80}, {202106, 100}};
  const Case cases[] = {
      {PointPeriod::Month, months, 3, 50.0, 20.0},
      {PointPeriod::Month, months, 4, std::nullopt, 20.0},  // no 2021.02
      {PointPeriod::Month, months, 5, 10.0, std::nullopt},  // no 2020.04: no figure, not 0
      {PointPeriod::Quarter, quarters, 3, 25.0, 50.0},
      {PointPeriod::Quarter, quarters, 4, -10.0, 50.0},
      {PointPeriod::Year, years, 1, -20.0, std::nullopt},
      {PointPeriod::Year, years, 2, std::nullopt, std::nullopt},  // no 2020
  };
  for (bool logScale : {false, true}) {
    for (const Case& c : cases) {
      ChartSettings settings;
      settings.logScale = logScale;
      settings.pointPeriod = c.period;
      const PointChanges got = ChangesAt(Closes(c.points, logScale), settings, PointIndex{c.at});
      for (const auto& [value, expected] :
           {std::pair{got.previous, c.previous}, std::pair{got.yearAgo, c.yearAgo}}) {
        ASSERT_EQ(value.has_value(), expected.has_value()) << c.points[c.at].first << logScale;
        if (value) {
          EXPECT_NEAR(*value, *expected, 1e-9) << c.points[c.at].first;
        }
      }
    }
  }
  EXPECT_EQ(ChangeCaptionsFor(PointPeriod::Year).yearAgo, "");
  EXPECT_EQ(FormatChange(-0.001), "0.00%");
  EXPECT_EQ(FormatChange(std::nullopt), "-");
}

TEST(ChartInteraction, ParsesBaseMonths) {
  for (const char* month : {"2020.01", "2020-01", "202001"}) EXPECT_EQ(ParseMonth(month), 202001);
  for (const char* bad : {"", "2020.13", "2020.1", "20.2001", "2020..01", "2020.01x", "0000.01"})
    EXPECT_EQ(ParseMonth(bad), 0) << bad;
}

TEST(ChartInteraction, FormatsReadoutValues) {
  const std::pair<double, const char*> cases[] = {
      {62.6786, "62.6786"},  {62.67860000000001, "62.6786"},
      {6012.0, "6,012"},     {1234567.891, "1,234,567.89"},
      {-1234.5, "-1,234.5"}, {0.0, "0"},
      {-0.00001, "0"},       {100.0, "100"},
      {999.99999, "1,000"},  {NAN, "-"},
      {INFINITY, "-"},       {2.5e20, "2.5e+20"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatReadoutValue(value), text) << value;
  EXPECT_EQ(ReadoutDate(202106), "2021.06");
  EXPECT_EQ(ReadoutDate(0), "");
}

TEST(ChartInteraction, DisplayNamesTrimBlanksAndFallBackToThePlace) {
  ChartSeries s;
  EXPECT_EQ(DisplayName(s, 3), "선 3");  // a fresh series' name is 128 blanks
  s.name = "  Coppock ";
  EXPECT_EQ(DisplayName(s, 3), "Coppock");
  s.style = SeriesStyle::Line;
  EXPECT_FALSE(IsValueSeries(s, 0));
  EXPECT_TRUE(IsValueSeries(s, 1));
  s.style = SeriesStyle::FlaggedCandle;
  EXPECT_FALSE(IsValueSeries(s, 1));
}

TEST(ChartInteraction, ZoomStaysInsideTheSeriesBetweenTenPointsAndAll) {
  const ChartView home{599, 600, 0};
  ChartView v = home;
  // Zooming in around the middle narrows the window around the anchored point.
  v = ZoomView(v, 600, 300.0, 0.8);
  EXPECT_EQ(v.visibleCount, 480);
  EXPECT_EQ(v.lastIndex, 599);
  EXPECT_NEAR(v.firstIndex + 300.0 * 479 / 599, 300.0, 1.0);
  for (int i = 0; i < 60; ++i) v = ZoomView(v, 600, 5.0, 0.8);
  EXPECT_EQ(v.visibleCount, kMinZoomPoints);
  EXPECT_EQ(ZoomView(v, 600, 5.0, 0.8).visibleCount, kMinZoomPoints);
  for (int i = 0; i < 60; ++i) v = ZoomView(v, 600, 0.0, 1.25);
  EXPECT_EQ(v.visibleCount, 600);
  EXPECT_EQ(v.firstIndex, 0);

  // The anchored point stays under the cursor at either edge.
  const ChartView left = ZoomView(home, 600, 0.0, 0.5);
  EXPECT_EQ(left.firstIndex, 0);
  const ChartView right = ZoomView(home, 600, 599.0, 0.5);
  EXPECT_EQ(right.firstIndex + right.visibleCount, 600);

  // Small factors still move by a point; fewer than ten points cannot be zoomed into.
  EXPECT_EQ(ZoomView(ChartView{99, 20, 0}, 100, 0.0, 0.99).visibleCount, 19);
  EXPECT_EQ(ZoomView(ChartView{99, 20, 0}, 100, 0.0, 1.01).visibleCount, 21);
  EXPECT_EQ(ZoomView(ChartView{6, 7, 0}, 7, 3.0, 0.5).visibleCount, 7);
  // A home view showing fewer than ten of many points is not widened by zooming in.
  EXPECT_EQ(ZoomView(ChartView{99, 5, 40}, 100, 2.0, 0.5).visibleCount, 5);
  // Nonsense factors and empty charts leave a valid view.
  EXPECT_EQ(ZoomView(home, 600, 10.0, NAN).visibleCount, 600);
  EXPECT_EQ(ZoomView(home, 0, 10.0, 0.5).visibleCount, 0);
}

TEST(ChartInteraction, RandomGesturesNeverLeaveTheSeries) {
  std::mt19937 random(7);
  for (int n : {1, 9, 10, 11, 250}) {
    ChartView v{n - 1, n, 0};
    for (int step = 0; step < 400; ++step) {
      if (random() % 2 == 0) {
        const double anchor = static_cast<double>(random() % 700) - 50.0;
        v = ZoomView(v, n, anchor, random() % 2 ? 0.8 : 1.25);
      } else {
        v = PanView(v, n, static_cast<int>(random() % 301) - 150);
      }
      ASSERT_GE(v.firstIndex, 0);
      ASSERT_LE(v.firstIndex + v.visibleCount, n);
      ASSERT_GE(v.visibleCount, std::min(kMinZoomPoints, n));
      ASSERT_EQ(v.lastIndex, n - 1);
    }
  }
}

TEST(ChartInteraction, PanStopsAtBothEnds) {
  const ChartView v{99, 20, 40};
  EXPECT_EQ(PanView(v, 100, 5).firstIndex, 45);
  EXPECT_EQ(PanView(v, 100, -500).firstIndex, 0);
  EXPECT_EQ(PanView(v, 100, 500).firstIndex, 80);
  EXPECT_EQ(PanView(v, 100, 2'000'000'000).firstIndex, 80);
  // A home view wider than the series is first brought inside it.
  const ChartView tooWide = PanView(ChartView{200, 201, 0}, 100, 0);
  EXPECT_EQ(tooWide.visibleCount, 100);
  EXPECT_EQ(tooWide.firstIndex, 0);
}

TEST(ChartInteraction, AvailablePointsFollowTheShortestSeriesAndTheCut) {
  const std::vector<ChartSeries> series{LineSeries(50, 1.0), LineSeries(40, 1.0)};
  EXPECT_EQ(AvailablePoints(series, ChartView{49, 50, 0}), 40);
  EXPECT_EQ(AvailablePoints(series, ChartView{29, 30, 0}), 30);
  EXPECT_EQ(AvailablePoints(series, ChartView{-1, 0, 0}), 0);
  EXPECT_EQ(AvailablePoints(series, ChartView{2147483647, 1, 0}), 40);
  EXPECT_EQ(AvailablePoints({}, ChartView{}), 0);
}

TEST(ChartExport, CsvListsTheVisiblePointsWithRealValues) {
  ChartSeries candle = LineSeries(6, 0.0, SeriesStyle::Candle);
  EditAll(candle.points, [](ChartPoint& p) {
    p.open = std::log10(100.0);
    p.high = std::log10(120.0);
    p.low = std::log10(90.0);
    p.close = std::log10(110.0);
  });
  candle.points.Edit(3, [](ChartPoint& p) { p.valid = false; });
  ChartSeries mean = LineSeries(6, 0.0);
  mean.name = "평균, \"12\"";
  EditAll(mean.points, [](ChartPoint& p) { p.close = std::log10(62.6786); });
  mean.points.Edit(2, [](ChartPoint& p) { p.valid = false; });
  ChartSeries volume = LineSeries(6, 1000.0, SeriesStyle::FlaggedCandle);
  volume.inLowerPane = true;
  ChartSeries coppock = LineSeries(6, 30.0);
  coppock.inLowerPane = true;
  coppock.name = "Coppock";
  ChartSeries empty = LineSeries(6, 5.0);
  EditAll(empty.points, [](ChartPoint& p) { p.valid = false; });
  const std::vector<ChartSeries> series{candle, mean, volume, coppock, empty};
  ChartSettings settings;
  settings.logScale = true;

  const std::string csv = ChartCsv(series, settings, ChartView{5, 4, 1});
  EXPECT_EQ(csv,
            "\xEF\xBB\xBF날짜,시가,고가,저가,종가,\"평균, \"\"12\"\"\",Coppock\r\n"
            "2000-02,100,120,90,110,62.6786,31\r\n"
            "2000-03,100,120,90,110,,32\r\n"
            "2000-04,,,,,62.6786,33\r\n"
            "2000-05,100,120,90,110,62.6786,34\r\n");
  // A view past the end lists only the points that exist; an empty chart only the header.
  const std::string tail = ChartCsv(series, settings, ChartView{5, 10, 4});
  EXPECT_EQ(std::count(tail.begin(), tail.end(), '\n'), 3);
  EXPECT_EQ(ChartCsv({}, settings, ChartView{}), "\xEF\xBB\xBF날짜,시가,고가,저가,종가\r\n");
}

TEST(ChartExport, FileNamesComeFromTheSeriesTheModeAndTheVisibleDates) {
  const std::vector<ChartSeries> series{LineSeries(24, 1.0)};
  ChartSettings settings;
  settings.title = "서울/경기: 아파트*지수?";
  EXPECT_EQ(ExportFileName(series, settings, ChartView{23, 12, 6}, {}, "csv"),
            "서울_경기_ 아파트_지수__200007-200106.csv");
  EXPECT_EQ(ExportFileName(series, settings, ChartView{23, 12, 6}, {"", "연봉"}, "csv"),
            "서울_경기_ 아파트_지수__연봉_200007-200106.csv");
  // A chart without a title takes the series it was given; the mode keeps two charts apart.
  settings.title = "..";
  EXPECT_EQ(ExportFileName(series, settings, ChartView{23, 1, 0}, {}, "png"),
            "chart_200001-200001.png");
  EXPECT_EQ(ExportFileName(series, settings, ChartView{23, 1, 0}, {"부산", "3분할 분기봉"}, "png"),
            "부산_3분할 분기봉_200001-200001.png");
  settings.title = std::string(200, 'a') + "가";
  EXPECT_EQ(ExportFileName({}, settings, ChartView{}, {}, "csv"), std::string(120, 'a') + ".csv");
  settings.title = std::string(119, 'a') + "가";  // the cut would split the Hangul syllable
  EXPECT_EQ(ExportFileName({}, settings, ChartView{}, {}, "csv"), std::string(119, 'a') + ".csv");

  EXPECT_EQ(NumberedFileName("a_연봉.csv", 1), "a_연봉.csv");
  EXPECT_EQ(NumberedFileName("a_연봉.csv", 12), "a_연봉 (12).csv");
  EXPECT_EQ(NumberedFileName("chart", 2), "chart (2)");
}

TEST(ReadoutBox, StaysWhollyInsideTheChart) {
  // Right of and below the point; flipped left near the right edge; held up near the bottom.
  EXPECT_EQ(ReadoutBoxPlace(100, 50, 120, 90, 800, 400, 16), (CanvasRect{116, 66, 120, 90}));
  EXPECT_EQ(ReadoutBoxPlace(750, 50, 120, 90, 800, 400, 16), (CanvasRect{614, 66, 120, 90}));
  EXPECT_EQ(ReadoutBoxPlace(100, 390, 120, 90, 800, 400, 16), (CanvasRect{116, 310, 120, 90}));
  // Near the left edge of a chart narrower than point + offset + box: pushed back inside.
  EXPECT_EQ(ReadoutBoxPlace(60, 10, 120, 90, 150, 400, 16), (CanvasRect{0, 26, 120, 90}));
  // A small chart: the box shrinks to fit, keeping its shape.
  EXPECT_EQ(ReadoutBoxPlace(10, 100, 120, 240, 300, 120, 16), (CanvasRect{26, 0, 60, 120}));
  EXPECT_EQ(ReadoutBoxPlace(10, 10, 120, 90, 0, 0, 16), (CanvasRect{0, 0, 0, 0}));
}

}  // namespace
}  // namespace orvane
