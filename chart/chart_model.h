#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

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

// The two labels of a chart point. Most points have none: theirs cost one null pointer, not
// two strings. Copies are deep.
class PointLabels {
 public:
  struct Texts {
    std::string upper;
    std::string lower;
  };

  PointLabels() = default;
  PointLabels(const PointLabels& other)
      : texts_(other.texts_ ? std::make_unique<Texts>(*other.texts_) : nullptr) {}
  PointLabels(PointLabels&&) noexcept = default;
  PointLabels& operator=(const PointLabels& other);
  PointLabels& operator=(PointLabels&&) noexcept = default;

  std::string_view Upper() const { return texts_ ? texts_->upper : std::string_view(); }
  std::string_view Lower() const { return texts_ ? texts_->lower : std::string_view(); }
  // Cuts the text to kMaxLabelBytes; empty text removes the label.
  void Set(std::string Texts::*which, std::string_view text);

 private:
  std::unique_ptr<Texts> texts_;
};

struct ChartPoint {
  std::int32_t date = 0;  // YYYYMM
  // Pipelines set 150000; never read by the chart. It shares four bytes with the two flags, which
  // keeps a point at 48 bytes: long series hold millions of them.
  std::int32_t time : 30 = 0;
  bool valid : 1 = true;   // false marks a gap
  bool rising : 1 = true;  // FlaggedCandle colour: up colour when true
  double open = 0.0;       // for Band: the second edge
  double low = 0.0;
  double high = 0.0;
  double close = 0.0;  // value of Line and Dots; for Band the first edge

  // Drawn above the high; empty = none.
  std::string_view UpperLabel() const { return labels_.Upper(); }
  // Drawn below the low; empty = none.
  std::string_view LowerLabel() const { return labels_.Lower(); }
  // Empty text removes the label.
  void SetUpperLabel(std::string_view text) { labels_.Set(&PointLabels::Texts::upper, text); }
  void SetLowerLabel(std::string_view text) { labels_.Set(&PointLabels::Texts::lower, text); }
  void ClearLabels() { labels_ = {}; }

 private:
  PointLabels labels_;
};
static_assert(sizeof(ChartPoint) <= 48, "a chart point grew: long series hold millions of them");

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
  std::vector<ChartPoint> points;
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

  // Appends a copy of workPoint to workSeries.
  void AppendWorkPoint() { workSeries.points.push_back(workPoint); }
  // Appends a copy of workSeries to series. Its points are handed over rather than copied:
  // every series starts by emptying them, so workSeries is left empty, with room for as many.
  void AppendWorkSeries();

  std::vector<ChartSeries> series;
  ChartSeries workSeries;
  ChartPoint workPoint;
  ChartView view;
  std::int32_t workerState = kEmptyFrame;
  std::recursive_mutex seriesLock;
  ChartSettings settings;

 private:
  Painter painter_;
};

}  // namespace orvane
