#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "chart/chart_model.h"

namespace orvane::testing {

struct SampleMonth {
  int date;
  double open, high, low, close, volume, companion;
};

// A deterministic monthly price walk starting January 1975.
inline std::vector<SampleMonth> SampleMonths(int count) {
  std::vector<SampleMonth> months;
  std::uint32_t seed = 12345;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / static_cast<double>(1u << 24) - 0.5;
  };
  double close = 20.0;
  for (int i = 0; i < count; ++i) {
    const double open = close;
    close = std::max(1.0, open * (1.0 + 0.006 + 0.05 * noise() + 0.02 * std::sin(i / 40.0)));
    const double high = std::max(open, close) * (1.0 + 0.02 * std::abs(noise()));
    const double low = std::min(open, close) * (1.0 - 0.02 * std::abs(noise()));
    const int date = (1975 + i / 12) * 100 + i % 12 + 1;
    months.push_back({date, open, high, low, close, 1000.0 + 800.0 * std::abs(noise()),
                      close * (0.8 + 0.05 * noise())});
  }
  return months;
}

// The same walk as a series file (UTF-8, date;open;high;low;close;volume;companion), under the
// ten header lines of a monthly index; the month three quarters in is the highlighted one.
inline std::string SampleSeriesText(int count) {
  const std::vector<SampleMonth> months = SampleMonths(count);
  const int highlight = months.empty() ? 197501 : months[months.size() * 3 / 4].date;
  std::string text =
      "구분;시험 지수;;;;;\n지수명;서울 아파트 매매가격지수;;;월간;\n출처;시험 자료;;;;\n";
  text += "형식;ohlc;;;;\n항목;시가;고가;저가;종가;거래량;보조\n";
  text += "강조;;;" + std::to_string(highlight / 100) + "." + std::to_string(highlight % 100 / 10) +
          std::to_string(highlight % 10) + ";;\n";
  text += "작성;;;;;\n비고;;;;;\n주의;;;;;\n설명;;;월간 지수 (기준 = 100);;\n";
  char line[200];
  for (const SampleMonth& m : months) {
    std::snprintf(line, sizeof line, "%d.%02d;%.4f;%.4f;%.4f;%.4f;%.0f;%.4f\n", m.date / 100,
                  m.date % 100, m.open, m.high, m.low, m.close, m.volume, m.companion);
    text += line;
  }
  return text;
}

inline void AppendLine(ChartModel& chart, const std::vector<double>& values,
                       const std::vector<SampleMonth>& months, ColorRef color, int width,
                       bool twoYearLink = false) {
  chart.workSeries.style = SeriesStyle::Line;
  chart.workSeries.color = color;
  chart.workSeries.width = width;
  chart.workSeries.inLowerPane = false;
  chart.workSeries.showTwoYearLink = twoYearLink;
  chart.workSeries.markHighlight = false;
  chart.workSeries.points.clear();
  for (std::size_t i = 0; i < months.size(); ++i) {
    chart.workPoint.date = months[i].date;
    chart.workPoint.open = chart.workPoint.low = chart.workPoint.high = chart.workPoint.close =
        values[i];
    chart.workPoint.valid = true;
    chart.AppendWorkPoint();
  }
  chart.AppendWorkSeries();
}

inline std::vector<double> RunningMean(const std::vector<SampleMonth>& months, int window) {
  std::vector<double> out;
  double sum = 0.0;
  for (std::size_t i = 0; i < months.size(); ++i) {
    sum += months[i].close;
    if (i >= static_cast<std::size_t>(window)) sum -= months[i - window].close;
    out.push_back(sum / static_cast<double>(std::min<std::size_t>(i + 1, window)));
  }
  return out;
}

// Fills the chart the way the monthly-candle mode does: candles with swing labels, six running
// means, the companion line, volume bars in the lower pane and the year bodies.
inline void FillMonthlyChart(ChartModel& chart, int monthCount) {
  const std::vector<SampleMonth> months = SampleMonths(monthCount);
  chart.settings.singlePane = false;
  chart.settings.lowerPaneRatio = 0.8;
  chart.settings.title = "서울 아파트 매매가격지수";
  chart.settings.subtitle = "월간 지수 (기준 = 100), 출처: 시험 자료";
  chart.settings.highlightMonth = months.empty() ? 0 : months[months.size() * 3 / 4].date;
  chart.settings.bottomMargin = 20;

  std::lock_guard lock(chart.seriesLock);
  chart.series.clear();
  auto& ws = chart.workSeries;
  auto& wp = chart.workPoint;
  ws.style = SeriesStyle::Candle;
  ws.color = Rgb(255, 0, 0);
  ws.width = 1;
  ws.showTwoYearLink = true;
  ws.points.clear();
  for (const auto& m : months) {
    wp.date = m.date;
    wp.time = 150000;
    wp.open = m.open;
    wp.high = m.high;
    wp.low = m.low;
    wp.close = m.close;
    wp.valid = true;
    chart.AppendWorkPoint();
  }
  // Strict swing labels over a window of 9.
  auto& pts = ws.points;
  const int n = static_cast<int>(pts.size());
  auto label = [](int date) {
    std::string t = std::to_string(date);
    t = t.substr(t.size() - 4);
    return t.substr(0, 2) + "-" + t.substr(2);
  };
  for (int j = 9; j < n; ++j) {
    bool peak = true, trough = true;
    for (int k = 1; k < 9; ++k) {
      peak = peak && pts[j].high > pts[j - k].high;
      trough = trough && pts[j].low < pts[j - k].low;
      if (j + k < n) {
        peak = peak && pts[j].high > pts[j + k].high;
        trough = trough && pts[j].low < pts[j + k].low;
      }
    }
    if (peak) ws.labels.SetUpper(static_cast<std::size_t>(j), label(pts[j].date));
    if (trough) ws.labels.SetLower(static_cast<std::size_t>(j), label(pts[j].date));
  }
  chart.AppendWorkSeries();

  const ColorRef meanColors[] = {Rgb(255, 153, 0), Rgb(153, 204, 0), Rgb(255, 153, 204),
                                 Rgb(0, 204, 255), Rgb(255, 204, 0), Rgb(150, 150, 255)};
  const int windows[] = {12, 36, 60, 120, 180, 24};
  for (int w = 0; w < 6; ++w)
    AppendLine(chart, RunningMean(months, windows[w]), months, meanColors[w], 1);
  std::vector<double> companion;
  companion.reserve(months.size());
  for (const auto& m : months) companion.push_back(m.companion);
  AppendLine(chart, companion, months, Rgb(0, 128, 0), 2, true);

  ws.style = SeriesStyle::FlaggedCandle;
  ws.upColor = Rgb(255, 153, 205);
  ws.downColor = Rgb(153, 204, 0);
  ws.inLowerPane = true;
  ws.showTwoYearLink = false;
  ws.points.clear();
  for (const auto& m : months) {
    wp.date = m.date;
    wp.open = wp.low = 0.0;
    wp.high = wp.close = m.volume;
    wp.rising = m.open <= m.close;
    chart.AppendWorkPoint();
  }
  chart.AppendWorkSeries();

  ws.style = SeriesStyle::Candle;
  ws.upColor = Rgb(255, 255, 0);
  ws.downColor = Rgb(0, 255, 255);
  ws.inLowerPane = false;
  ws.markHighlight = true;
  ws.points.clear();
  for (std::size_t i = 0; i < months.size(); ++i) {
    const int year = months[i].date / 100;
    std::size_t a = i, b = i;
    while (a > 0 && months[a - 1].date / 100 == year) --a;
    while (b + 1 < months.size() && months[b + 1].date / 100 == year) ++b;
    const double yo = months[a].open,
                 yc = months[std::min(b, i == months.size() - 1 ? i : b)].close;
    wp.date = months[i].date;
    wp.open = yo;
    wp.close = yc;
    wp.high = std::max(yo, yc);
    wp.low = std::min(yo, yc);
    chart.AppendWorkPoint();
  }
  chart.AppendWorkSeries();
  chart.view = ChartView{monthCount - 1, monthCount, 0};
}

}  // namespace orvane::testing
