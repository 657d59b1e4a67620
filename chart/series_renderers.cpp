#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string_view>
#include <vector>

#include "chart/chart_painter.h"
#include "chart/column_envelope.h"
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

  ChartPoint Point(int i) const { return s.points[static_cast<std::size_t>(i)]; }
  std::string_view UpperLabel(int i) const { return s.labels.Upper(static_cast<std::size_t>(i)); }
  std::string_view LowerLabel(int i) const { return s.labels.Lower(static_cast<std::size_t>(i)); }
  int X(int i) const { return g.X(g.PositionOf(PointIndex{i})); }
  int Y(double v) const { return g.Y(v, pane, s.baseLift); }
  CanvasPoint At(int i, double v) const {
    return {static_cast<double>(X(i)), static_cast<double>(Y(v))};
  }
  int LastVisible() const { return end - 1; }
  // More points than pixel columns: each column is drawn once, from what its points show.
  bool Crowded() const { return g.step < 1.0; }
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
    ColumnEnvelope envelope(run);
    const bool crowded = f.Crowded();
    auto flush = [&] {
      envelope.Flush();
      if (run.size() >= 2) canvas.Polyline(run, pen);
      run.clear();
    };
    for (int i = f.first; i < f.end; ++i) {
      const ChartPoint& p = f.Point(i);
      if (!p.valid || !Finite(p.close)) {
        flush();
        continue;
      }
      if (crowded) {
        envelope.Add(f.At(i, p.close), f.X(i));
      } else {
        run.push_back(f.At(i, p.close));
      }
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

// The values one candle shows: a point's own, or those of the points sharing a pixel column
// (the first open, the last close, the highest high and the lowest low).
struct CandleValues {
  double open, high, low, close;
  explicit CandleValues(const ChartPoint& p)
      : open(p.open), high(p.high), low(p.low), close(p.close) {}
  void Merge(const ChartPoint& p) {
    high = std::max(high, p.high);
    low = std::min(low, p.low);
    close = p.close;
  }
};

// Wick from high to low, body from open to close; a flat body still covers one pixel row.
void DrawCandleBar(const SeriesFrame& f, Canvas& canvas, int x, const CandleValues& c, bool up,
                   const CandlePens& pens) {
  canvas.Line({double(x), double(f.Y(c.high))}, {double(x), double(f.Y(c.low))},
              up ? pens.upWick : pens.downWick);
  const int yOpen = f.Y(c.open);
  int yClose = f.Y(c.close);
  if (yOpen == yClose) ++yClose;
  canvas.Line({double(x), double(yOpen)}, {double(x), double(yClose)},
              up ? pens.upBody : pens.downBody);
}

// Candles of a crowded series, one per pixel column: `take(i)` says whether point i is drawn
// (false leaves it out), `stop(i)` ends the walk; `up(first, values, tallest)` colours a column
// from its first point, merged values and tallest point; `labels(i)` writes point i's labels,
// for at most two points of a column.
template <typename Take, typename Stop, typename Up, typename Labels>
void DrawCandleColumns(const SeriesFrame& f, Canvas& canvas, const CandlePens& pens, Take take,
                       Stop stop, Up up, Labels labels) {
  std::vector<int> labelled;
  std::optional<CandleValues> column;
  int x = 0, first = 0, tallest = 0;
  auto draw = [&] {
    if (!column) return;
    DrawCandleBar(f, canvas, x, *column, up(first, *column, tallest), pens);
    // Labels at one x would cover one another: the column's highest upper label and lowest
    // lower label stand for the rest.
    std::optional<int> upper, lower;
    for (int i : labelled) {
      const ChartPoint& p = f.Point(i);
      if (!f.UpperLabel(i).empty() && (!upper || p.high > f.Point(*upper).high)) upper = i;
      if (!f.LowerLabel(i).empty() && (!lower || p.low < f.Point(*lower).low)) lower = i;
    }
    if (upper) labels(*upper);
    if (lower && lower != upper) labels(*lower);
    labelled.clear();
    column.reset();
  };
  for (int i = f.first; i < f.end; ++i) {
    if (stop(i)) break;
    if (!take(i)) continue;
    const ChartPoint& p = f.Point(i);
    if (column && f.X(i) != x) draw();
    if (!column) {
      column.emplace(p);
      x = f.X(i);
      first = tallest = i;
    } else {
      column->Merge(p);
      const ChartPoint& t = f.Point(tallest);
      if (p.high - p.low > t.high - t.low) tallest = i;
    }
    if (f.s.labels.Has(static_cast<std::size_t>(i))) labelled.push_back(i);
  }
  draw();
}

void DrawCandle(const SeriesFrame& f, Canvas& canvas) {
  const int bodyWidth = TruncatePixel(f.s.markHighlight ? f.g.step + 1 : f.g.step - 1);
  const CandlePens pens(f.s, bodyWidth);
  const FontSpec labelFont = DialogFont10();
  // A doji takes the colour of its move from the close before it.
  auto up = [&f](int first, const CandleValues& c, int) {
    return !(c.close < c.open ||
             (c.close == c.open && first > 0 && c.close < f.Point(first - 1).close));
  };
  auto labels = [&](int i) {
    const ChartPoint& p = f.Point(i);
    const int x = f.X(i);
    if (const auto upper = TrimBlanks(f.UpperLabel(i)); !upper.empty()) {
      canvas.Text({double(x), double(f.Y(p.high) - 20)}, upper, labelFont, f.s.upColor,
                  TextAlign::Center);
    }
    if (const auto lower = TrimBlanks(f.LowerLabel(i)); !lower.empty()) {
      canvas.Text({double(x), double(f.Y(p.low) + 1)}, lower, labelFont, f.s.downColor,
                  TextAlign::Center);
    }
  };
  auto stop = [&f](int i) { return !f.Point(i).valid; };
  // A value without a number (a logarithm of 0) leaves out its candle, not the rest.
  auto take = [&f](int i) { return FiniteCandle(f.Point(i)); };
  if (f.Crowded()) {
    DrawCandleColumns(f, canvas, pens, take, stop, up, labels);
  } else {
    for (int i = f.first; i < f.end && !stop(i); ++i) {
      if (!take(i)) continue;
      const CandleValues c(f.Point(i));
      DrawCandleBar(f, canvas, f.X(i), c, up(i, c, i), pens);
      labels(i);
    }
  }
  if (f.s.showTwoYearLink) TwoYearLink(f, canvas, Pen{Rgb(0, 0, 0), 1}, false);
}

void DrawFlaggedCandle(const SeriesFrame& f, Canvas& canvas) {
  const CandlePens pens(f.s, TruncatePixel(f.g.step - 1));
  const FontSpec flatFont = DialogFont8();
  const FontSpec upwardFont{std::string(kDialogFace), 16, 600, 900};
  auto labels = [&](int i) {
    const ChartPoint& p = f.Point(i);
    const double x = f.X(i);
    const std::string_view upper = f.UpperLabel(i), lower = f.LowerLabel(i);
    const double aboveHigh = f.Y(p.high) - 1;
    if (f.s.horizontalLabels) {
      if (!upper.empty()) {
        canvas.Text({x, double(f.Y(p.high) - 20)}, upper, flatFont, Rgb(255, 0, 0),
                    TextAlign::Center);
      }
      if (!lower.empty()) {
        canvas.Text({x, double(f.Y(p.low) + 1)}, lower, flatFont, Rgb(0, 0, 255),
                    TextAlign::Center);
      }
      return;
    }
    // Rotated labels run upward from their anchor; right alignment makes them run downward.
    if (!upper.empty()) {
      canvas.Text({x - 8, aboveHigh}, upper, upwardFont, Rgb(0, 0, 0), TextAlign::Left);
    }
    if (!lower.empty()) {
      if (f.Y(p.open) < f.Y(p.close)) {
        canvas.Text({x - 8, double(f.Y(p.low) + 1)}, lower, upwardFont, Rgb(0, 0, 0),
                    TextAlign::Right);
      } else {
        canvas.Text({x - 8, aboveHigh}, lower, upwardFont, Rgb(0, 0, 0), TextAlign::Left);
      }
    }
  };
  auto take = [&f](int i) { return f.Point(i).valid && FiniteCandle(f.Point(i)); };
  if (f.Crowded()) {
    // A column of bars shows the tallest, in its colour.
    DrawCandleColumns(
        f, canvas, pens, take, [](int) { return false; },
        [&f](int, const CandleValues&, int tallest) { return f.Point(tallest).rising; }, labels);
    return;
  }
  for (int i = f.first; i < f.end; ++i) {
    if (!take(i)) continue;
    DrawCandleBar(f, canvas, f.X(i), CandleValues(f.Point(i)), f.Point(i).rising, pens);
    labels(i);
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

void FillBandColumns(const SeriesFrame& f, Canvas& canvas) {
  const Pen fill{f.s.color, 1, PenStyle::Solid, PenCap::Flat};
  std::optional<std::pair<int, int>> span;
  int x = 0;
  auto draw = [&] {
    if (span)
      canvas.Line({double(x), double(span->first)}, {double(x), double(span->second)}, fill);
    span.reset();
  };
  for (int i = f.first; i < f.end; ++i) {
    if (f.X(i) != x) draw();
    x = f.X(i);
    for (double edge : {f.Point(i).close, f.Point(i).open}) {
      if (!Finite(edge)) continue;
      const int y = f.Y(edge);
      span =
          span ? std::pair(std::min(span->first, y), std::max(span->second, y)) : std::pair(y, y);
    }
  }
  draw();
}

void DrawBand(const SeriesFrame& f, Canvas& canvas) {
  if (f.g.visibleCount < 2) {
    SinglePointCircle(f, canvas);
    return;
  }
  if (f.end <= f.first) return;
  const bool crowded = f.Crowded();
  std::vector<CanvasPoint> path;
  path.reserve(crowded ? 8 * static_cast<std::size_t>(f.g.plotRight) + 8
                       : 2 * static_cast<std::size_t>(f.end - f.first) + 3);
  ColumnEnvelope envelope(path);
  auto add = [&](std::optional<CanvasPoint> v, int i) {
    if (!v) return;
    if (crowded) {
      envelope.Add(*v, f.X(i));
    } else {
      path.push_back(*v);
    }
  };
  const ChartPoint& firstPoint = f.Point(f.first);
  const ChartPoint& lastPoint = f.Point(f.LastVisible());
  const std::optional<CanvasPoint> start =
      Finite(firstPoint.close) ? std::optional(f.At(f.first, firstPoint.close)) : std::nullopt;
  add(start, f.first);
  for (int i = f.first; i < f.end; ++i) add(BandVertex(f, i, f.Point(i).close), i);
  if (Finite(lastPoint.open)) add(f.At(f.LastVisible(), lastPoint.open), f.LastVisible());
  for (int i = f.LastVisible(); i >= f.first; --i) add(BandVertex(f, i, f.Point(i).open), i);
  add(start, f.first);
  envelope.Flush();
  if (path.size() < 2) return;
  const Pen pen{f.s.color, f.s.width, PenStyle::Solid, PenCap::Round};
  if (!crowded) {
    canvas.Path(path, pen, f.s.color);
    return;
  }
  // Filling a polygon of thousands of up-and-down edges costs far more than the picture
  // needs: a crowded band fills each column from its top edge to its bottom edge instead.
  FillBandColumns(f, canvas);
  canvas.Polyline(path, pen);
}

void DrawDots(const SeriesFrame& f, Canvas& canvas) {
  const Pen pen{f.s.color, std::max(TruncatePixel(f.g.step - 2), 5), PenStyle::Solid,
                PenCap::Round};
  // A crowded column draws each dot position once.
  std::vector<double> drawnInColumn;
  double column = -1;
  for (int i = f.first; i < f.end; ++i) {
    const ChartPoint& p = f.Point(i);
    if (!p.valid || !Finite(p.close)) continue;
    const CanvasPoint c = f.At(i, p.close);
    if (f.Crowded()) {
      if (c.x != column) {
        column = c.x;
        drawnInColumn.clear();
      }
      if (std::find(drawnInColumn.begin(), drawnInColumn.end(), c.y) != drawnInColumn.end()) {
        continue;
      }
      drawnInColumn.push_back(c.y);
    }
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
