#include "tools/orvane_chart/dashboard_render.h"

#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <fstream>
#include <functional>
#include <vector>

#include "chart/qt/chart_render.h"
#include "chart/qt/png_encoder.h"
#include "chart/qt/qt_canvas.h"
#include "chart/recording_canvas.h"

namespace orvane::tool {
namespace {

// The dialog face shows in the one-pixel gaps between the charts.
constexpr ColorRef kDialogFace = Rgb(240, 240, 240);

// Draws onto another canvas shifted by an offset: one chart's client area inside the dialog.
class ShiftedCanvas final : public Canvas {
 public:
  ShiftedCanvas(Canvas& target, int dx, int dy) : target_(target), dx_(dx), dy_(dy) {}

  void FillRect(const CanvasRect& rect, ColorRef color) override {
    target_.FillRect(Shift(rect), color);
  }
  void Line(CanvasPoint from, CanvasPoint to, const Pen& pen) override {
    target_.Line(Shift(from), Shift(to), pen);
  }
  void Polyline(std::span<const CanvasPoint> points, const Pen& pen) override {
    target_.Polyline(Shift(points), pen);
  }
  void Ellipse(CanvasPoint center, double radius, const Pen& pen, bool fill) override {
    target_.Ellipse(Shift(center), radius, pen, fill);
  }
  void Path(std::span<const CanvasPoint> points, const Pen& pen, ColorRef fillColor) override {
    target_.Path(Shift(points), pen, fillColor);
  }
  TextExtent MeasureText(std::string_view text, const FontSpec& font) override {
    return target_.MeasureText(text, font);
  }
  void SetClip(std::optional<CanvasRect> clip) override {
    if (clip) clip = Shift(*clip);
    target_.SetClip(clip);
  }
  void Text(CanvasPoint anchor, std::string_view text, const FontSpec& font, ColorRef color,
            TextAlign align) override {
    target_.Text(Shift(anchor), text, font, color, align);
  }
  void Image(const ChartImage& image, const CanvasRect& rect) override {
    target_.Image(image, Shift(rect));
  }

 private:
  CanvasPoint Shift(CanvasPoint p) const { return {p.x + dx_, p.y + dy_}; }
  CanvasRect Shift(CanvasRect r) const { return {r.left + dx_, r.top + dy_, r.width, r.height}; }
  std::vector<CanvasPoint> Shift(std::span<const CanvasPoint> points) const {
    std::vector<CanvasPoint> out;
    out.reserve(points.size());
    for (CanvasPoint p : points) out.push_back(Shift(p));
    return out;
  }

  Canvas& target_;
  int dx_;
  int dy_;
};

// Paints chart i into its rectangle of a canvas that covers the whole dialog.
using ChartPainterAt = std::function<void(std::size_t chart, const CanvasRect& rect,
                                          const std::function<void(Canvas&)>& paint)>;

void PaintDashboard(const DashboardCharts& charts, const RenderRequest& request,
                    const ChartPainterAt& at) {
  const auto layout = DashboardLayout(request.width, request.height);
  for (std::size_t i = 0; i < charts.size(); ++i) {
    const CanvasRect& rect = layout[i];
    if (rect.width < 1 || rect.height < 1) continue;
    ChartResources resources;
    resources.fonts = DashboardChartFonts(i);
    // Only the monthly chart carries the background picture.
    if (i == 0 && !request.background.empty()) {
      resources.backgroundImage = LoadChartImage(request.background);
    }
    ChartModel& chart = *charts[i];
    at(i, rect, [&](Canvas& canvas) {
      if (!PaintChart(chart, canvas, rect.width, rect.height, resources)) {
        PaintEmptyFrame(chart.settings, canvas, rect.width, rect.height);
      }
    });
  }
}

void PaintOnPainter(const DashboardCharts& charts, const RenderRequest& request,
                    QPainter& painter) {
  painter.fillRect(0, 0, request.width, request.height,
                   QColor(RedOf(kDialogFace), GreenOf(kDialogFace), BlueOf(kDialogFace)));
  PaintDashboard(charts, request, [&](std::size_t, const CanvasRect& rect, const auto& paint) {
    painter.save();
    painter.translate(rect.left, rect.top);
    painter.setClipRect(0, 0, rect.width, rect.height);
    {
      QtCanvas canvas(painter);
      paint(canvas);
    }
    painter.restore();
  });
}

bool RenderPng(const DashboardCharts& charts, const RenderRequest& request) {
  QImage image = NewPicture(QSize(request.width, request.height));
  if (image.isNull()) return false;
  {
    QPainter painter(&image);
    PaintOnPainter(charts, request, painter);
  }
  return SavePng(image, request.png);
}

bool RenderSvg(const DashboardCharts& charts, const RenderRequest& request) {
  QSvgGenerator svg;
  svg.setFileName(QString::fromStdString(request.svg));
  svg.setSize(QSize(request.width, request.height));
  svg.setViewBox(QRect(0, 0, request.width, request.height));
  svg.setTitle(QString::fromStdString(charts[0]->settings.title));
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  PaintOnPainter(charts, request, painter);
  return painter.end();
}

bool RenderOps(const DashboardCharts& charts, const RenderRequest& request) {
  RecordingCanvas recording;
  recording.FillRect({0, 0, request.width, request.height}, kDialogFace);
  PaintDashboard(charts, request, [&](std::size_t, const CanvasRect& rect, const auto& paint) {
    ShiftedCanvas shifted(recording, rect.left, rect.top);
    paint(shifted);
  });
  std::ofstream out(request.ops, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  recording.WriteJsonLines(out);
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace

int RunDashboardRender(const DashboardCharts& charts, const RenderRequest& request,
                       std::ostream& err) {
  EnsureGuiApplication();
  int status = kExitOk;
  auto check = [&](bool ok, const std::string& path) {
    if (!ok) {
      err << "orvane-chart: cannot write " << path << '\n';
      status = kExitFailure;
    }
  };
  if (!request.png.empty()) check(RenderPng(charts, request), request.png);
  if (!request.svg.empty()) check(RenderSvg(charts, request), request.svg);
  if (!request.ops.empty()) check(RenderOps(charts, request), request.ops);
  return status;
}

}  // namespace orvane::tool
