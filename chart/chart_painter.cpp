#include "chart/chart_painter.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

#include "chart/label_placement.h"
#include "chart/palette.h"

namespace orvane {
namespace {

constexpr Pen kBlackPen{Rgb(0, 0, 0), 1, PenStyle::Solid, PenCap::Round};
constexpr Pen kGridPen{Rgb(200, 200, 200), 1, PenStyle::Dotted, PenCap::Round};
constexpr ColorRef kTitleColor = Rgb(255, 153, 205);
constexpr ColorRef kSubtitleColor = Rgb(0, 128, 0);
constexpr int kLegendX = 20;
// Least room between two year labels.
constexpr double kYearLabelGap = 4.0;
// A series may use the 10-pixel margins around its pane, never the space beyond the axes.
constexpr int kPaneMargin = 10;

struct LegendLine {
  int y;
  ColorRef color;
  const char* text;
};

constexpr std::array<LegendLine, 6> kIchimokuLegend{{
    {90, Rgb(0, 0, 0), "★ 一目均衡票"},
    {120, Rgb(255, 160, 0), "一 轉換線"},
    {150, Rgb(0, 204, 255), "一 基準線"},
    {180, Rgb(255, 0, 255), "一 先行span1"},
    {210, Rgb(0, 0, 255), "一 先行span2"},
    {240, Rgb(0, 0, 0), "一 後行span"},
}};

constexpr std::array<LegendLine, 4> kMomentumLegend{{
    {90, Rgb(0, 120, 0), "一 Bollinger Bands"},
    {130, Rgb(255, 100, 20), "一 Coppock Curve"},
    {170, Rgb(255, 0, 255), "一 Sonar Momentum"},
    {210, Rgb(0, 0, 0), "一 Parabolic"},
}};

CanvasPoint At(int x, int y) { return {static_cast<double>(x), static_cast<double>(y)}; }

void DrawAxes(Canvas& canvas, int plotRight, int plotBottom) {
  const std::array<CanvasPoint, 3> axes{At(plotRight, 0), At(plotRight, plotBottom),
                                        At(0, plotBottom)};
  canvas.Polyline(axes, kBlackPen);
}

void DrawBorder(Canvas& canvas, int width, int height, int bottomMargin) {
  const int hb = bottomMargin > 0 ? height - 1 : height;
  const std::array<CanvasPoint, 5> outline{At(-1, 0), At(width - 1, 0), At(width - 1, hb),
                                           At(0, hb), At(0, -1)};
  canvas.Polyline(outline, kBlackPen);
}

void DrawDateAxis(const ChartGeometry& g, Canvas& canvas) {
  const Pen highlightPen{kHighlightColor, g.highlightPenWidth, PenStyle::Solid, PenCap::Flat};
  const FontSpec axisFont = DialogFont8();
  double lastRight = -kYearLabelGap;
  for (const DateAxisMark& mark : g.dateAxis) {
    if (mark.kind == DateAxisMark::Kind::Year) {
      canvas.Line(At(mark.x, 0), At(mark.x, g.plotBottom), kGridPen);
      // Centred on its line but never past the chart's edges; a label that would run into the
      // one before it is left out.
      const double half = canvas.MeasureText(mark.text, axisFont).width / 2.0;
      const double x = std::max(half, std::min(double(mark.x), g.width - half));
      if (x - half < lastRight + kYearLabelGap) continue;
      lastRight = x + half;
      canvas.Text({x, double(g.plotBottom + 2)}, mark.text, axisFont, Rgb(0, 0, 0),
                  TextAlign::Center);
    } else {
      canvas.Line(At(mark.x, 0), At(mark.x, g.plotBottom), highlightPen);
    }
  }
}

void DrawZeroLine(const ChartGeometry& g, Canvas& canvas) {
  if (!g.zeroLineY) return;
  const int y0 = *g.zeroLineY;
  canvas.Line(At(0, y0), At(g.plotRight + 25, y0), kBlackPen);
  canvas.Text(At(g.plotRight + 30, y0), "0", DialogFont8(), Rgb(0, 0, 0), TextAlign::Left);
}

// The font made smaller, if need be, so the text fits in `room` pixels.
FontSpec FittingFont(Canvas& canvas, std::string_view text, FontSpec font, int room) {
  const double width = canvas.MeasureText(text, font).width;
  if (width > room && room > 0) {
    font.pixelSize = std::max(6, static_cast<int>(font.pixelSize * room / width));
  }
  return font;
}

void DrawCaptions(const ChartSettings& settings, const ChartFonts& fonts, Canvas& canvas,
                  int width) {
  // Texts wider than the chart shrink to fit instead of running out of it.
  if (!settings.title.empty()) {
    canvas.Text(At(20, 15), settings.title,
                FittingFont(canvas, settings.title, fonts.title, width - 30), kTitleColor,
                TextAlign::Left);
  }
  if (!settings.subtitle.empty()) {
    canvas.Text(At(10, 5), settings.subtitle,
                FittingFont(canvas, settings.subtitle, fonts.subtitle, width - 20), kSubtitleColor,
                TextAlign::Left);
  }
}

template <std::size_t N>
void DrawLegend(const std::array<LegendLine, N>& lines, const FontSpec& font, Canvas& canvas) {
  for (const LegendLine& line : lines) {
    canvas.Text(At(kLegendX, line.y), line.text, font, line.color, TextAlign::Left);
  }
}

void DrawLegends(const ChartSettings& settings, const FontSpec& font, Canvas& canvas) {
  if (settings.legendIchimoku) DrawLegend(kIchimokuLegend, font, canvas);
  if (settings.legendMomentum) DrawLegend(kMomentumLegend, font, canvas);
  if (settings.legendCompare) {
    for (std::size_t n = 0; n < settings.compareNames.size(); ++n) {
      if (settings.compareNames[n].empty()) continue;
      canvas.Text(At(kLegendX, 90 + 40 * static_cast<int>(n)), "一 " + settings.compareNames[n],
                  font, kCompareColors[n], TextAlign::Left);
    }
  }
}

// Where a series may draw: its pane with the margins around it, left of the value axis.
CanvasRect SeriesClip(const ChartGeometry& g, const ChartSeries& s) {
  const PaneSpan& pane = s.inLowerPane ? g.lowerPane : g.mainPane;
  const int top = std::max(pane.top - kPaneMargin, 0);
  const int bottom = std::min(pane.bottom + kPaneMargin, g.plotBottom);
  return {0, top, std::max(g.plotRight, 0), std::max(bottom - top, 0)};
}

}  // namespace

void PaintEmptyFrame(const ChartSettings& settings, Canvas& canvas, int width, int height) {
  const int plotRight = width - settings.rightMargin;
  const int plotBottom = height - settings.bottomMargin;
  canvas.FillRect({0, 0, width, height}, settings.backgroundColor);
  DrawAxes(canvas, plotRight, plotBottom);
  for (int x = 100; x <= plotRight; x += 100) canvas.Line(At(x, 0), At(x, plotBottom), kGridPen);
  for (int y = 100; y <= plotBottom; y += 100) canvas.Line(At(0, y), At(plotRight, y), kGridPen);
  DrawBorder(canvas, width, height, settings.bottomMargin);
}

std::optional<ChartGeometry> PaintChart(ChartModel& chart, Canvas& canvas, int width, int height,
                                        const ChartResources& resources) {
  std::lock_guard lock(chart.seriesLock);
  // Counted in size_t: the largest int as last index would overflow to a cut of everything.
  const std::size_t keep =
      chart.view.lastIndex < 0 ? 0 : static_cast<std::size_t>(chart.view.lastIndex) + 1;
  bool anyEmpty = false;
  for (ChartSeries& s : chart.series) {
    if (s.points.size() > keep) {
      s.points.resize(keep);
      s.labels.DropFrom(keep);
    }
    anyEmpty = anyEmpty || s.points.empty();
  }
  if (anyEmpty) return std::nullopt;

  const ChartSettings& settings = chart.settings;
  canvas.FillRect({0, 0, width, height}, Rgb(255, 255, 255));
  canvas.FillRect({0, 0, width, height}, settings.backgroundColor);
  if (resources.backgroundImage) {
    canvas.Image(*resources.backgroundImage,
                 {width / 2 - kBackgroundImageSize / 2, height / 2 - kBackgroundImageSize / 2,
                  kBackgroundImageSize, kBackgroundImageSize});
  }

  const ChartGeometry g = ChartGeometry::Compute(chart.series, settings, chart.view, width, height);
  DrawAxes(canvas, g.plotRight, g.plotBottom);
  DrawDateAxis(g, canvas);
  DrawZeroLine(g, canvas);
  DrawCaptions(settings, resources.fonts, canvas, width);
  DrawLegends(settings, resources.fonts.legend, canvas);

  // Series texts wait until every series is drawn, then go where they keep clear of each other.
  LabelLayer labels(canvas);
  // NOLINTNEXTLINE(modernize-loop-convert): clang 14 cannot parse libstdc++ 12's views::reverse.
  for (auto it = chart.series.rbegin(); it != chart.series.rend(); ++it) {
    canvas.SetClip(SeriesClip(g, *it));
    DrawSeries(g, *it, labels);
    if (it->markHighlight) DrawHighlightOver(g, *it, labels);
  }
  labels.DrawLabels({0, 0, g.plotRight, g.plotBottom}, (g.mainPane.top + g.mainPane.bottom) / 2);
  DrawBorder(canvas, width, height, settings.bottomMargin);
  return g;
}

}  // namespace orvane
