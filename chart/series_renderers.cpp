#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string_view>
#include <vector>

#include "chart/chart_painter.h"
#include "chart/palette.h"

namespace orvane {
namespace {

constexpr int kTwoYearPoints = 24;
constexpr double kLinkCircleRadius = 10.0;

// The series' pane, range and lift bound together for one renderer.
struct SeriesFrame {
  const ChartGeometry& g;
  const ChartSeries& s;
  Pane pane;
  int first;
  int end;  // one past the last visible index present in the series

  SeriesFrame(const ChartGeometry& geometry, const ChartSeries& series)
      : g(geometry),
        s(series),
        pane(series.inLowerPane ? Pane::Lower : Pane::Main),
        first(geometry.firstIndex),
        end(static_cast<int>(geometry.VisibleEnd(series))) {}

  const ChartPoint& Point(int i) const { return s.points[static_cast<std::size_t>(i)]; }
  int X(int i) const { return g.X(g.PositionOf(PointIndex{i})); }
  int Y(double v) const { return g.Y(v, pane, s.baseLift); }
  CanvasPoint At(int i, double v) const {
    return {static_cast<double>(X(i)), static_cast<double>(Y(v))};
  }
  int LastVisible() const { return end - 1; }
};

bool Finite(double v) { return std::isfinite(v); }

bool FiniteCandle(const ChartPoint& p) {
  return Finite(p.open) && Finite(p.close) && Finite(p.high) && Finite(p.low);
}

std::string_view TrimBlanks(std::string_view text) {
  const auto b = text.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

// A circle as a closed polyline of 361 points, starting right of the centre.
void LinkCircle(Canvas& canvas, CanvasPoint c, const Pen& pen) {
  std::vector<CanvasPoint> pts;
  pts.reserve(361);
  for (int deg = 0; deg <= 360; ++deg) {
    const double a = deg * std::numbers::pi / 180.0;
    pts.push_back({c.x + kLinkCircleRadius * std::cos(a), c.y - kLinkCircleRadius * std::sin(a)});
  }
  canvas.Polyline(pts, pen);
}

// Joins the last visible close to the close 24 points earlier, circled at both ends.
void TwoYearLink(const SeriesFrame& f, Canvas& canvas, const Pen& pen, bool requireValid) {
  const int last = f.LastVisible();
  if (last < kTwoYearPoints || last < f.first) return;
  const ChartPoint& now = f.Point(last);
  const ChartPoint& then = f.Point(last - kTwoYearPoints);
  if (requireValid && (!now.valid || !then.valid)) return;
  if (!Finite(now.close) || !Finite(then.close)) return;
  const CanvasPoint a = f.At(last, now.close);
  const CanvasPoint b = f.At(last - kTwoYearPoints, then.close);
  LinkCircle(canvas, a, pen);
  canvas.Line(a, b, pen);
  LinkCircle(canvas, b, pen);
}

void SinglePointCircle(const SeriesFrame& f, Canvas& canvas) {
  if (f.first >= static_cast<int>(f.s.points.size())) return;
  const double close = f.Point(f.first).close;
  if (!Finite(close)) return;
  const Pen pen{f.s.color, f.s.width, PenStyle::Solid, PenCap::Round};
  canvas.Ellipse(f.At(f.first, close), f.s.width, pen, true);
}

void DrawLine(const SeriesFrame& f, Canvas& canvas) {
  const Pen pen{f.s.color, f.s.width, PenStyle::Solid, PenCap::Round};
  if (f.g.visibleCount < 2) {
    SinglePointCircle(f, canvas);
  } else {
    // Each run of consecutive valid points is one stroke; a gap ends the run.
    std::vector<CanvasPoint> run;
    auto flush = [&] {
      if (run.size() >= 2) canvas.Polyline(run, pen);
      run.clear();
    };
    for (int i = f.first; i < f.end; ++i) {
      const ChartPoint& p = f.Point(i);
      if (!p.valid || !Finite(p.close)) {
        flush();
        continue;
      }
      run.push_back(f.At(i, p.close));
    }
    flush();
  }
  if (f.s.showTwoYearLink) TwoYearLink(f, canvas, Pen{Rgb(255, 0, 0), 1}, true);
}

struct CandlePens {
  Pen upWick, downWick, upBody, downBody;
  CandlePens(const ChartSeries& s, int bodyWidth)
      : upWick{s.upColor, 1},
        downWick{s.downColor, 1},
        upBody{s.upColor, std::max(1, bodyWidth), PenStyle::Solid, PenCap::Flat},
        downBody{s.downColor, std::max(1, bodyWidth), PenStyle::Solid, PenCap::Flat} {}
};

// Wick from high to low, body from open to close; a flat body still covers one pixel row.
void DrawCandleBar(const SeriesFrame& f, Canvas& canvas, int i, bool up, const CandlePens& pens) {
  const ChartPoint& p = f.Point(i);
  const int x = f.X(i);
  canvas.Line({double(x), double(f.Y(p.high))}, {double(x), double(f.Y(p.low))},
              up ? pens.upWick : pens.downWick);
  const int yOpen = f.Y(p.open);
  int yClose = f.Y(p.close);
  if (yOpen == yClose) ++yClose;
  canvas.Line({double(x), double(yOpen)}, {double(x), double(yClose)},
              up ? pens.upBody : pens.downBody);
}

void DrawCandle(const SeriesFrame& f, Canvas& canvas) {
  const int bodyWidth = TruncatePixel(f.s.markHighlight ? f.g.step + 1 : f.g.step - 1);
  const CandlePens pens(f.s, bodyWidth);
  const FontSpec labelFont = DialogFont10();
  for (int i = f.first; i < f.end; ++i) {
    const ChartPoint& p = f.Point(i);
    if (!p.valid) break;
    // A value without a number (a logarithm of 0) leaves out its candle, not the rest.
    if (!FiniteCandle(p)) continue;
    // A doji takes the colour of its move from the previous close.
    const bool up =
        !(p.close < p.open || (p.close == p.open && i > 0 && p.close < f.Point(i - 1).close));
    DrawCandleBar(f, canvas, i, up, pens);
    const int x = f.X(i);
    if (const auto upper = TrimBlanks(p.upperLabel); !upper.empty()) {
      canvas.Text({double(x), double(f.Y(p.high) - 20)}, upper, labelFont, f.s.upColor,
                  TextAlign::Center);
    }
    if (const auto lower = TrimBlanks(p.lowerLabel); !lower.empty()) {
      canvas.Text({double(x), double(f.Y(p.low) + 1)}, lower, labelFont, f.s.downColor,
                  TextAlign::Center);
    }
  }
  if (f.s.showTwoYearLink) TwoYearLink(f, canvas, Pen{Rgb(0, 0, 0), 1}, false);
}

void DrawFlaggedCandle(const SeriesFrame& f, Canvas& canvas) {
  const CandlePens pens(f.s, TruncatePixel(f.g.step - 1));
  const FontSpec flatFont = DialogFont8();
  const FontSpec upwardFont{std::string(kDialogFace), 16, 600, 900};
  for (int i = f.first; i < f.end; ++i) {
    const ChartPoint& p = f.Point(i);
    if (!p.valid || !FiniteCandle(p)) continue;
    DrawCandleBar(f, canvas, i, p.rising, pens);
    const double x = f.X(i);
    const double aboveHigh = f.Y(p.high) - 1;
    if (f.s.horizontalLabels) {
      if (!p.upperLabel.empty()) {
        canvas.Text({x, double(f.Y(p.high) - 20)}, p.upperLabel, flatFont, Rgb(255, 0, 0),
                    TextAlign::Center);
      }
      if (!p.lowerLabel.empty()) {
        canvas.Text({x, double(f.Y(p.low) + 1)}, p.lowerLabel, flatFont, Rgb(0, 0, 255),
                    TextAlign::Center);
      }
      continue;
    }
    // Rotated labels run upward from their anchor; right alignment makes them run downward.
    if (!p.upperLabel.empty()) {
      canvas.Text({x - 8, aboveHigh}, p.upperLabel, upwardFont, Rgb(0, 0, 0), TextAlign::Left);
    }
    if (!p.lowerLabel.empty()) {
      if (f.Y(p.open) < f.Y(p.close)) {
        canvas.Text({x - 8, double(f.Y(p.low) + 1)}, p.lowerLabel, upwardFont, Rgb(0, 0, 0),
                    TextAlign::Right);
      } else {
        canvas.Text({x - 8, aboveHigh}, p.lowerLabel, upwardFont, Rgb(0, 0, 0), TextAlign::Left);
      }
    }
  }
}

// Vertex of a band edge; where the two edges meet, the vertex moves half a step left so the
// band ends in a point.
std::optional<CanvasPoint> BandVertex(const SeriesFrame& f, int i, double edge) {
  if (!Finite(edge)) return std::nullopt;
  CanvasPoint v = f.At(i, edge);
  if (i <= f.first) return v;
  const ChartPoint& p = f.Point(i);
  const ChartPoint& prev = f.Point(i - 1);
  const bool closed = p.close == p.open;
  const bool prevClosed = prev.close == prev.open;
  if (closed && !prevClosed) {
    v.x = f.X(i) - f.g.step / 2;
  } else if (!closed && prevClosed) {
    if (!Finite(prev.close)) return std::nullopt;
    v.x = f.X(i) - f.g.step / 2;
    v.y = f.Y(prev.close);
  }
  return v;
}

void DrawBand(const SeriesFrame& f, Canvas& canvas) {
  if (f.g.visibleCount < 2) {
    SinglePointCircle(f, canvas);
    return;
  }
  if (f.end <= f.first) return;
  std::vector<CanvasPoint> path;
  path.reserve(2 * static_cast<std::size_t>(f.end - f.first) + 3);
  auto add = [&path](std::optional<CanvasPoint> v) {
    if (v) path.push_back(*v);
  };
  const ChartPoint& firstPoint = f.Point(f.first);
  const ChartPoint& lastPoint = f.Point(f.LastVisible());
  const std::optional<CanvasPoint> start =
      Finite(firstPoint.close) ? std::optional(f.At(f.first, firstPoint.close)) : std::nullopt;
  add(start);
  for (int i = f.first; i < f.end; ++i) add(BandVertex(f, i, f.Point(i).close));
  if (Finite(lastPoint.open)) add(f.At(f.LastVisible(), lastPoint.open));
  for (int i = f.LastVisible(); i >= f.first; --i) add(BandVertex(f, i, f.Point(i).open));
  add(start);
  if (path.size() < 2) return;
  canvas.Path(path, Pen{f.s.color, f.s.width, PenStyle::Solid, PenCap::Round}, f.s.color);
}

void DrawDots(const SeriesFrame& f, Canvas& canvas) {
  const Pen pen{f.s.color, std::max(TruncatePixel(f.g.step - 2), 5), PenStyle::Solid,
                PenCap::Round};
  for (int i = f.first; i < f.end; ++i) {
    const ChartPoint& p = f.Point(i);
    if (!p.valid || !Finite(p.close)) continue;
    const CanvasPoint c = f.At(i, p.close);
    canvas.Line(c, c, pen);
  }
}

}  // namespace

void DrawSeries(const ChartGeometry& geometry, const ChartSeries& series, Canvas& canvas) {
  const SeriesFrame frame(geometry, series);
  switch (series.style) {
    case SeriesStyle::Line:
      DrawLine(frame, canvas);
      break;
    case SeriesStyle::Candle:
      DrawCandle(frame, canvas);
      break;
    case SeriesStyle::FlaggedCandle:
      DrawFlaggedCandle(frame, canvas);
      break;
    case SeriesStyle::Band:
      DrawBand(frame, canvas);
      break;
    case SeriesStyle::Dots:
      DrawDots(frame, canvas);
      break;
  }
}

void DrawHighlightOver(const ChartGeometry& geometry, const ChartSeries& series, Canvas& canvas) {
  const SeriesFrame f(geometry, series);
  const Pen pen{kHighlightColor, geometry.highlightPenWidth, PenStyle::Solid, PenCap::Flat};
  for (int i = f.first; i < f.end; ++i) {
    if (!geometry.IsHighlightMonth(f.Point(i).date)) continue;
    const double x = f.X(i);
    canvas.Line({x, double(geometry.mainPane.top)}, {x, double(geometry.mainPane.bottom)}, pen);
  }
}

}  // namespace orvane
