#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QRegion>
#include <deque>
#include <memory>
#include <string>

#include "chart/canvas.h"

namespace orvane {

// A picture loaded through Qt; its alpha channel, if any, is blended when drawn.
class QtChartImage final : public ChartImage {
 public:
  QtChartImage(QImage image, std::string source)
      : image_(std::move(image)), source_(std::move(source)) {}
  std::string_view Source() const override { return source_; }
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
  std::string source_;
};

// Loads a picture file; nullptr when it is missing or unreadable.
std::shared_ptr<const ChartImage> LoadChartImage(const std::string& path);

// The installed font standing in for a logical chart font: the dialog face becomes the system UI
// font, the Korean face falls back through Malgun Gothic, NanumGothic and Noto Sans CJK KR.
QFont ChartQFont(const FontSpec& wanted);

// Draws chart primitives with QPainter. Curves and text are anti-aliased; one-pixel lines along
// the axes are drawn on whole pixels so axes, grid and border stay sharp at any pixel ratio.
class QtCanvas final : public Canvas {
 public:
  explicit QtCanvas(QPainter& painter);

  void FillRect(const CanvasRect& rect, ColorRef color) override;
  void Line(CanvasPoint from, CanvasPoint to, const Pen& pen) override;
  void Polyline(std::span<const CanvasPoint> points, const Pen& pen) override;
  void Ellipse(CanvasPoint center, double radius, const Pen& pen, bool fill) override;
  void Path(std::span<const CanvasPoint> points, const Pen& pen, ColorRef fillColor) override;
  void Text(CanvasPoint anchor, std::string_view text, const FontSpec& font, ColorRef color,
            TextAlign align) override;
  void Image(const ChartImage& image, const CanvasRect& target) override;
  TextExtent MeasureText(std::string_view text, const FontSpec& font) override;
  void SetClip(std::optional<CanvasRect> clip) override;

 private:
  void AxisLine(CanvasPoint from, CanvasPoint to, const Pen& pen, bool includeEnd);
  void DrawWidePolyline(const QPolygonF& poly, QPen pen);
  const QImage& DotImage(ColorRef color, int width);
  // Painting into pixels (an image or a widget), not into a vector format.
  bool Rasterised() const;
  // A paint uses a handful of fonts; each is resolved once per canvas.
  const std::pair<QFont, QFontMetricsF>& FontFor(const FontSpec& wanted);

  QPainter& painter_;
  std::deque<std::pair<FontSpec, std::pair<QFont, QFontMetricsF>>> fonts_;
  bool hostClipped_ = false;
  QRegion hostClip_;
  std::deque<std::pair<std::pair<ColorRef, int>, QImage>> dots_;
};

}  // namespace orvane
