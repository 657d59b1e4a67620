#include "chart/chart_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace orvane {
namespace {

// The number the first `digits` characters of the date's decimal text spell, "-" being one of
// them; none when they spell no number. Worked out without the text: the axis asks it of every
// point.
std::optional<int> LeadingDigitsValue(int date, int digits) {
  const bool negative = date < 0;
  std::int64_t magnitude = negative ? -static_cast<std::int64_t>(date) : date;
  const int kept = digits - (negative ? 1 : 0);
  if (kept <= 0) return std::nullopt;
  static constexpr std::array<std::int64_t, 10> kPowers = {
      1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
  int length = 1;  // of the magnitude's digits; an int has at most 10
  while (length < 10 && magnitude >= kPowers[static_cast<std::size_t>(length)]) ++length;
  if (length > kept) magnitude /= kPowers[static_cast<std::size_t>(length - kept)];
  return static_cast<int>(negative ? -magnitude : magnitude);
}

// Scans the visible valid points of the qualifying series into a range, starting from 0 .. 0
// unless series 0 qualifies and its first visible point is valid.
template <typename Qualifies>
ValueRange ScanRange(const std::vector<ChartSeries>& series, const ChartGeometry& g,
                     Qualifies qualifies) {
  ValueRange r;
  for (std::size_t s = 0; s < series.size(); ++s) {
    const ChartSeries& cs = series[s];
    if (cs.points.empty() || !qualifies(cs)) continue;
    const int end = static_cast<int>(g.VisibleEnd(cs));
    for (int i = g.firstIndex; i < end; ++i) {
      const ChartPoint& p = cs.points[static_cast<std::size_t>(i)];
      if (!p.valid || !HasFiniteRange(p)) continue;
      if (s == 0 && i == g.firstIndex) {
        r.maximum = p.high;
        r.minimum = p.low;
      } else {
        r.maximum = std::max(r.maximum, p.high);
        r.minimum = std::min(r.minimum, p.low);
      }
    }
  }
  return r;
}

bool InMainRange(const ChartSeries& s) { return !s.inLowerPane && s.inMainRange; }

void BuildDateAxis(const ChartSeries& s0, ChartGeometry& g) {
  const int end = static_cast<int>(g.VisibleEnd(s0));
  int lastDate = s0.points.back().date;
  if (lastDate == 0) {
    for (int i = end - 1; i >= g.firstIndex; --i) {
      if (s0.points[static_cast<std::size_t>(i)].date > 0) {
        lastDate = s0.points[static_cast<std::size_t>(i)].date;
        break;
      }
    }
  }
  g.yearStep = YearStepForSpan(lastDate / 100 - s0.points.front().date / 100);

  // A year is the date text's first four characters; equal numbers mean equal texts.
  std::optional<int> lastYear;
  for (int i = g.firstIndex; i < end; ++i) {
    const ChartPoint p = s0.points[static_cast<std::size_t>(i)];
    if (!p.valid) continue;
    const auto year = LeadingDigitsValue(p.date, 4);
    const bool marksYear = i == g.firstIndex || year != lastYear;
    const bool highlight = g.IsHighlightMonth(p.date);
    if (!marksYear && !highlight) continue;
    const int x = g.X(g.PositionOf(PointIndex{i}));
    // A year off the step is not remembered, so later points of it are tested again.
    if (marksYear && year && *year % g.yearStep == 0) {
      g.dateAxis.push_back({DateAxisMark::Kind::Year, x, std::to_string(p.date).substr(0, 4)});
      lastYear = year;
    }
    if (highlight) g.dateAxis.push_back({DateAxisMark::Kind::Highlight, x, {}});
  }
}

}  // namespace

int YearStepForSpan(int spanYears) {
  if (spanYears < 30) return 1;
  if (spanYears < 200) return 5;
  if (spanYears < 1000) return 10;
  return spanYears;
}

bool HasFiniteRange(const ChartPoint& p) { return std::isfinite(p.high) && std::isfinite(p.low); }

ChartGeometry ChartGeometry::Compute(const std::vector<ChartSeries>& series,
                                     const ChartSettings& settings, const ChartView& view,
                                     int width, int height) {
  ChartGeometry g;
  g.width = width;
  g.height = height;
  g.plotRight = width - settings.rightMargin;
  g.plotBottom = height - settings.bottomMargin;
  // A negative view would divide by zero or index before the first point.
  g.firstIndex = std::max(0, view.firstIndex);
  g.visibleCount = std::max(0, view.visibleCount);
  // In double: one more than the largest int does not overflow.
  g.step = static_cast<double>(g.plotRight - 20) / (g.visibleCount + 1.0);
  g.highlightMonth = settings.highlightMonth;
  // A pen of width 0 or less draws one pixel wide.
  g.highlightPenWidth = std::max(1, TruncatePixel(std::min(g.step - 1.0, 5.0)));

  g.mainPane = {settings.topMargin + 10, g.plotBottom - 10};
  g.lowerPane = g.mainPane;
  if (!settings.singlePane) {
    g.lowerPane.top = TruncatePixel(g.mainPane.top +
                                    (g.mainPane.bottom - g.mainPane.top) * settings.lowerPaneRatio);
  }

  if (!series.empty() && !series.front().points.empty() && InMainRange(series.front())) {
    BuildDateAxis(series.front(), g);
  }

  ValueRange main = ScanRange(series, g, InMainRange);
  main.minimum *= 0.99;
  main.maximum *= 1.01;
  if (main.minimum == main.maximum) {
    main.minimum *= 0.8;
    main.maximum = main.maximum * 1.2 + 0.1;
  }
  g.mainRange = main;
  g.lowerRange = ScanRange(series, g, [](const ChartSeries& s) { return s.inLowerPane; });

  if (main.maximum > 0 && main.minimum < 0) {
    g.zeroLineY = TruncatePixel(g.mainPane.bottom - (0 - main.minimum) *
                                                        (g.mainPane.bottom - g.mainPane.top) /
                                                        (main.maximum - main.minimum));
  }
  return g;
}

PointIndex ChartGeometry::VisibleEnd(const ChartSeries& s) const {
  const long long end = static_cast<long long>(firstIndex) + visibleCount;
  return PointIndex{
      static_cast<int>(std::min<long long>(end, static_cast<long long>(s.points.size())))};
}

bool ChartGeometry::IsHighlightMonth(int date) const {
  if (highlightMonth == 0) return false;
  const auto month = LeadingDigitsValue(date, 6);
  return month && *month == highlightMonth;
}

}  // namespace orvane
