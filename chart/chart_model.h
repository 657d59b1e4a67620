#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "chart/point_list.h"

namespace orvane {

// 0x00BBGGRR, red in the lowest byte.
using ColorRef = std::uint32_t;
constexpr ColorRef Rgb(int r, int g, int b) {
  return static_cast<ColorRef>(r & 0xFF) | (static_cast<ColorRef>(g & 0xFF) << 8) |
         (static_cast<ColorRef>(b & 0xFF) << 16);
}
constexpr int RedOf(ColorRef c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(ColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(ColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }

enum class SeriesStyle : std::int32_t {
  Line = 1,
  Candle = 2,
  FlaggedCandle = 3,
  Band = 4,
  Dots = 5
};

// Labels hold at most this many bytes; longer text is cut on a UTF-8 character boundary.
inline constexpr std::size_t kMaxLabelBytes = 127;
std::string CutLabel(std::string_view text);

// The labels of a series' points, by point index. Most points have none, so only the labelled
// ones are held. The upper label is drawn above the high, the lower one below the low.
class PointLabels {
 public:
  // Empty when the point has none.
  std::string_view Upper(std::size_t point) const;
  std::string_view Lower(std::size_t point) const;
  bool Has(std::size_t point) const { return Find(point) != nullptr; }
  // Cut to kMaxLabelBytes; empty text removes the label.
  void SetUpper(std::size_t point, std::string_view text) { Set(point, &Texts::upper, text); }
  void SetLower(std::size_t point, std::string_view text) { Set(point, &Texts::lower, text); }
  // Forgets the labels of points `first` and later.
  void DropFrom(std::size_t first);
  void Clear() { texts_.clear(); }

 private:
  struct Texts {
    std::size_t point;
    std::string upper;
    std::string lower;
  };
  const Texts* Find(std::size_t point) const;
  void Set(std::size_t point, std::string Texts::*which, std::string_view text);

  std::vector<Texts> texts_;  // by ascending point
};

// The point a pipeline fills before appending it: a chart point and its labels.
struct WorkPoint : ChartPoint {
  std::string upperLabel;  // empty = none
  std::string lowerLabel;

  void SetUpperLabel(std::string_view text) { upperLabel = CutLabel(text); }
  void SetLowerLabel(std::string_view text) { lowerLabel = CutLabel(text); }
  // The given date and time, values 0, `valid` and `rising` true, no labels.
  void Restart(std::int32_t date, std::int32_t time) {
    // Built whole and stored at once: setting the bit-field time in place after the other
    // fields costs a pipeline a stall on every point.
    ChartPoint fresh;
    fresh.date = date;
    fresh.time = time;
    static_cast<ChartPoint&>(*this) = fresh;
    upperLabel.clear();
    lowerLabel.clear();
  }
};

struct ChartSeries {
  std::string name = std::string(128, ' ');  // never drawn
  ColorRef color = 0;
  std::int32_t width = 0;
  SeriesStyle style = static_cast<SeriesStyle>(0);
  ColorRef upColor = Rgb(255, 0, 0);
  ColorRef downColor = Rgb(0, 0, 255);
  bool markHighlight = false;
  bool inMainRange = true;
  bool inLowerPane = false;
  bool showTwoYearLink = false;
  double baseLift = 0.0;
  bool horizontalLabels = true;
  // The values stay plain under the logarithmic scale (a line the pipeline does not convert).
  bool plainUnderLogScale = false;
  PointList points;
  PointLabels labels;
};

struct ChartView {
  std::int32_t lastIndex = 10;
  std::int32_t visibleCount = 11;
  std::int32_t firstIndex = 0;
};

// Settings of the chart that hosts may change between draws.
// What one point of series 0 stands for; the readout compares a point with the period before
// and with the same period a year before.
enum class PointPeriod { Month, Quarter, Year };

struct ChartSettings {
  std::int32_t rightMargin = 20;
  std::int32_t bottomMargin = 15;
  ColorRef backgroundColor = Rgb(255, 255, 255);
  std::int32_t highlightMonth = 0;  // YYYYMM; 0 = none
  std::string title;
  std::string subtitle;
  bool singlePane = true;
  bool legendMomentum = false;
  bool legendIchimoku = false;
  bool legendCompare = false;
  double lowerPaneRatio = 0.8;
  std::int32_t topMargin = 65;
  std::array<std::string, 10> compareNames;
  // The main pane holds base-10 logarithms of the values (the lower pane never does).
  bool logScale = false;
  PointPeriod pointPeriod = PointPeriod::Month;
};

// The data side of the chart control: series, scratch records, view and settings.
// Pipelines fill it under seriesLock; a painter attached through SetPainter draws it.
class ChartModel {
 public:
  enum WorkerState : std::int32_t { kStop = -1, kIdle = 0, kEmptyFrame = 1, kFullPaint = 2 };
  // Paints the model; returns whether a full paint happened.
  using Painter = std::function<bool(ChartModel&)>;

  ChartModel();

  // Resets the settings the host attaches with and drops every series.
  void Attach();

  // Stores the view and runs the full paint on the calling thread.
  bool DrawChart(ChartView newView);

  void SetPainter(Painter p) { painter_ = std::move(p); }

  // Appends a copy of workPoint, with its labels, to workSeries.
  void AppendWorkPoint() {
    workSeries.points.push_back(workPoint);
    if (!workPoint.upperLabel.empty() || !workPoint.lowerLabel.empty()) AppendWorkLabels();
  }
  // Appends a copy of workSeries to series. Its points are handed over rather than copied:
  // every series starts by emptying them, so workSeries is left empty, with room for as many.
  void AppendWorkSeries();

  std::vector<ChartSeries> series;
  ChartSeries workSeries;
  WorkPoint workPoint;
  ChartView view;
  std::int32_t workerState = kEmptyFrame;
  std::recursive_mutex seriesLock;
  ChartSettings settings;

 private:
  void AppendWorkLabels();

  Painter painter_;
};

}  // namespace orvane
