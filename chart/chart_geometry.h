#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_model.h"

namespace orvane {

// Position across the date axis (0 = the view's first point); kept apart from point indices.
enum class ViewPos : int {};
// Index of a point inside a series.
enum class PointIndex : int {};

enum class Pane { Main, Lower };

struct ValueRange {
  double minimum = 0.0;
  double maximum = 0.0;
};

// Vertical extent of a pane; every pane spans x 0 to plot right.
struct PaneSpan {
  int top = 0;
  int bottom = 0;
};

// A year grid line with its label, or a highlight band, in the order series 0 produces them.
struct DateAxisMark {
  enum class Kind { Year, Highlight };
  Kind kind = Kind::Year;
  int x = 0;
  std::string text;  // year text; empty for a highlight band
};

// Everything one full paint needs to place things, computed once from the (already cut) series.
class ChartGeometry {
 public:
  static ChartGeometry Compute(const std::vector<ChartSeries>& series,
                               const ChartSettings& settings, const ChartView& view, int width,
                               int height);

  // Inline: the renderers ask them of every point of a long series.
  int X(ViewPos k) const;
  // Pixel row of value v in a pane for a series raised by baseLift (fraction of the pane height).
  int Y(double v, Pane pane, double baseLift) const;

  ViewPos PositionOf(PointIndex i) const { return ViewPos{static_cast<int>(i) - firstIndex}; }
  // One past the last visible index of a series: the view clamped to the series' points.
  PointIndex VisibleEnd(const ChartSeries& s) const;
  bool IsHighlightMonth(int date) const;

  int width = 0;
  int height = 0;
  int plotRight = 0;   // R
  int plotBottom = 0;  // B
  double step = 0.0;   // d
  int firstIndex = 0;
  int visibleCount = 0;
  PaneSpan mainPane;
  PaneSpan lowerPane;
  ValueRange mainRange;
  ValueRange lowerRange;
  int yearStep = 1;
  int highlightMonth = 0;
  int highlightPenWidth = 1;
  std::vector<DateAxisMark> dateAxis;
  std::optional<int> zeroLineY;
};

// Step of year labels for a span of years.
int YearStepForSpan(int spanYears);

// Value and validity tests shared by the range scan and the renderers: a point whose values are
// not finite (the logarithm of 0 or of a negative, 0/0) is treated as a gap.
bool HasFiniteRange(const ChartPoint& p);

// Far outside any screen, yet safe to convert and to pass to a rasteriser.
inline constexpr double kPixelLimit = 1.0e6;

// Conversion toward zero, held inside a range that every drawing backend can take.
inline int TruncatePixel(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

inline int ChartGeometry::X(ViewPos k) const {
  return TruncatePixel((static_cast<int>(k) + 1) * step);
}

inline int ChartGeometry::Y(double v, Pane pane, double baseLift) const {
  const PaneSpan& span = pane == Pane::Lower ? lowerPane : mainPane;
  const ValueRange& range = pane == Pane::Lower ? lowerRange : mainRange;
  const double h = span.bottom - span.top;
  const double lift = h * baseLift;
  const double r = range.maximum - range.minimum;
  // A flat range (an all-zero lower pane) maps every value to the lifted bottom line.
  if (r == 0.0 || !std::isfinite(r)) return TruncatePixel(span.bottom - lift);
  return TruncatePixel((span.bottom - lift) - (v - range.minimum) * (h - lift) / r);
}

}  // namespace orvane
