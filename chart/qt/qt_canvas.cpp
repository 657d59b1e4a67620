#include "chart/qt/qt_canvas.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace orvane {
namespace {

QColor ToQColor(ColorRef c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

// Pixel centres: a pen of odd width on whole coordinates covers whole pixels.
double CentreOffset(int width) { return width % 2 == 1 ? 0.5 : 0.0; }

QPen ToQPen(const Pen& pen) {
  QPen q(ToQColor(pen.color), std::max(1, pen.width));
  q.setCapStyle(pen.cap == PenCap::Flat ? Qt::FlatCap : Qt::RoundCap);
  q.setJoinStyle(Qt::RoundJoin);
  // The window system's dotted pen: three pixels on, three off.
  if (pen.style == PenStyle::Dotted) q.setDashPattern({3.0, 3.0});
  return q;
}

// Points per piece of a thin anti-aliased polyline (measured: 16 to 32 paint fastest).
constexpr qsizetype kPolylinePiece = 32;

bool IsWhole(double v) { return v == std::floor(v); }

bool IsAxisAligned(CanvasPoint a, CanvasPoint b) {
  return (a.x == b.x || a.y == b.y) && IsWhole(a.x) && IsWhole(a.y) && IsWhole(b.x) && IsWhole(b.y);
}

QPolygonF ToPolygon(std::span<const CanvasPoint> points, double offset) {
  QPolygonF poly;
  poly.reserve(static_cast<int>(points.size()));
  for (const auto& p : points) poly.append(QPointF(p.x + offset, p.y + offset));
  return poly;
}

class PainterSaver {
 public:
  explicit PainterSaver(QPainter& p) : p_(p) { p_.save(); }
  ~PainterSaver() { p_.restore(); }
  PainterSaver(const PainterSaver&) = delete;
  PainterSaver& operator=(const PainterSaver&) = delete;

 private:
  QPainter& p_;
};

}  // namespace

std::shared_ptr<const ChartImage> LoadChartImage(const std::string& path) {
  QImage image(QString::fromStdString(path));
  if (image.isNull()) return nullptr;
  return std::make_shared<QtChartImage>(std::move(image), path);
}

QFont ChartQFont(const FontSpec& wanted) {
  QFont font;
  if (wanted.family == kDialogFace) {
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  } else if (wanted.family == kKoreanFace) {
    // Only installed faces are named: an unknown first face makes the font matcher fall back
    // to the default face for Latin text and to a regular Korean face.
    static const QStringList installed = [] {
      QStringList names;
      for (const char* name : {"Malgun Gothic", "NanumGothic", "Noto Sans CJK KR"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(name))) names << QString::fromLatin1(name);
      }
      return names;
    }();
    if (!installed.isEmpty()) {
      font = QFont(installed.front());
      font.setFamilies(installed);
    }
  } else {
    font.setFamily(QString::fromStdString(wanted.family));
  }
  font.setPixelSize(std::max(1, wanted.pixelSize));
  font.setWeight(
      static_cast<QFont::Weight>(std::clamp(wanted.weight == 0 ? 400 : wanted.weight, 100, 900)));
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

namespace {

// A round pen's dot of diameter w centred on the pixel centre, as a stroke of length 0 leaves.
void PaintDot(QPainter& painter, CanvasPoint at, ColorRef color, int w) {
  PainterSaver saver(painter);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(color));
  const double o = CentreOffset(w);
  painter.drawEllipse(QPointF(at.x + o, at.y + o), w / 2.0, w / 2.0);
}

// True when whole canvas coordinates stay whole device pixels.
bool OnPixelGrid(const QTransform& t) {
  return t.type() <= QTransform::TxTranslate && IsWhole(t.dx()) && IsWhole(t.dy());
}

}  // namespace

const QImage& QtCanvas::DotImage(ColorRef color, int w) {
  for (const auto& [key, image] : dots_) {
    if (key.first == color && key.second == w) return image;
  }
  // Odd sizes keep the dot's centre on a pixel centre of the image as on the chart.
  const int side = w + 3 - (w + 3) % 2 + 1;
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    const int centre = side / 2;
    PaintDot(p, CanvasPoint{static_cast<double>(centre), static_cast<double>(centre)}, color, w);
  }
  dots_.emplace_back(std::pair(color, w), std::move(image));
  return dots_.back().second;
}

bool QtCanvas::Rasterised() const {
  const QPaintEngine* engine = painter_.paintEngine();
  return engine != nullptr && engine->type() == QPaintEngine::Raster;
}

QtCanvas::QtCanvas(QPainter& painter) : painter_(painter) {
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  hostClipped_ = painter_.hasClipping();
  if (hostClipped_) hostClip_ = painter_.clipRegion();
}

void QtCanvas::FillRect(const CanvasRect& rect, ColorRef color) {
  painter_.fillRect(QRect(rect.left, rect.top, rect.width, rect.height), ToQColor(color));
}

// Horizontal or vertical line on whole pixels. A solid pen becomes the rectangle of pixels it
// covers; a dotted one is drawn without anti-aliasing.
void QtCanvas::AxisLine(CanvasPoint from, CanvasPoint to, const Pen& pen, bool includeEnd) {
  const int w = std::max(1, pen.width);
  const double half = w / 2.0 - CentreOffset(w);
  const double extra = includeEnd ? 1.0 : 0.0;
  if (pen.style == PenStyle::Dotted) {
    PainterSaver saver(painter_);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    QPen q = ToQPen(pen);
    q.setCapStyle(Qt::FlatCap);
    painter_.setPen(q);
    painter_.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
    return;
  }
  QRectF r;
  if (from.x == to.x) {
    const double top = std::min(from.y, to.y);
    r = QRectF(from.x - half, top, w, std::abs(to.y - from.y) + extra);
  } else {
    const double left = std::min(from.x, to.x);
    r = QRectF(left, from.y - half, std::abs(to.x - from.x) + extra, w);
  }
  painter_.fillRect(r, ToQColor(pen.color));
}

void QtCanvas::Line(CanvasPoint from, CanvasPoint to, const Pen& pen) {
  const int w = std::max(1, pen.width);
  if (from == to) {
    // A zero-length stroke of a round pen leaves one dot of the pen's diameter.
    if (pen.cap != PenCap::Round) return;
    if (Rasterised() && IsWhole(from.x) && IsWhole(from.y) && OnPixelGrid(painter_.transform())) {
      // Dots on whole pixels all look alike: one drawn dot is copied (a marker series has
      // hundreds).
      const QImage& dot = DotImage(pen.color, w);
      const int half = dot.width() / 2;
      painter_.drawImage(QPointF(from.x - half, from.y - half), dot);
      return;
    }
    PaintDot(painter_, from, pen.color, w);
    return;
  }
  if (IsAxisAligned(from, to) && (pen.cap == PenCap::Flat || w == 1)) {
    AxisLine(from, to, pen, false);
    return;
  }
  const double o = CentreOffset(w);
  painter_.setPen(ToQPen(pen));
  painter_.drawLine(QPointF(from.x + o, from.y + o), QPointF(to.x + o, to.y + o));
}

void QtCanvas::Polyline(std::span<const CanvasPoint> points, const Pen& pen) {
  if (points.size() < 2) return;
  const bool crisp = pen.width <= 1 && std::adjacent_find(points.begin(), points.end(),
                                                          [](CanvasPoint a, CanvasPoint b) {
                                                            return !IsAxisAligned(a, b);
                                                          }) == points.end();
  if (crisp) {
    // Segments include their end pixel so corners are closed.
    for (std::size_t i = 1; i < points.size(); ++i) AxisLine(points[i - 1], points[i], pen, true);
    return;
  }
  const QPolygonF poly = ToPolygon(points, CentreOffset(std::max(1, pen.width)));
  QPen q = ToQPen(pen);
  painter_.setBrush(Qt::NoBrush);
  // The dash pattern runs on across the vertices only in one stroke; vector output (SVG) keeps
  // one clean path, and gains nothing from the raster shortcuts below.
  if (pen.style == PenStyle::Dotted || !Rasterised()) {
    painter_.setPen(q);
    painter_.drawPolyline(poly);
    return;
  }
  if (pen.width >= 2) {
    DrawWidePolyline(poly, q);
    return;
  }
  // Qt rasterises one stroke over its whole bounding box, so a long line costs far less in
  // short pieces; each piece repeats the last segment of the one before so every join is drawn.
  painter_.setPen(q);
  for (qsizetype start = 0; start + 1 < poly.size(); start += kPolylinePiece - 1) {
    const qsizetype from = start == 0 ? 0 : start - 1;
    const qsizetype end = std::min<qsizetype>(poly.size(), start + kPolylinePiece);
    painter_.drawPolyline(poly.constData() + from, static_cast<int>(end - from));
  }
}

// A wide stroke as separate segments with square caps: Qt draws those with its line rasteriser
// instead of stroking a path, several times faster. The square caps close the joins; the two
// end segments keep the pen's own cap.
void QtCanvas::DrawWidePolyline(const QPolygonF& poly, QPen pen) {
  painter_.setPen(pen);
  if (poly.size() <= 3) {
    painter_.drawPolyline(poly);
    return;
  }
  const qsizetype last = poly.size() - 1;
  painter_.drawLine(poly[0], poly[1]);
  painter_.drawLine(poly[last - 1], poly[last]);
  QVector<QLineF> inner;
  inner.reserve(last - 2);
  for (qsizetype i = 2; i < last; ++i) inner.append(QLineF(poly[i - 1], poly[i]));
  pen.setCapStyle(Qt::SquareCap);
  painter_.setPen(pen);
  painter_.drawLines(inner);
}

void QtCanvas::Ellipse(CanvasPoint center, double radius, const Pen& pen, bool fill) {
  const double o = CentreOffset(std::max(1, pen.width));
  painter_.setPen(ToQPen(pen));
  painter_.setBrush(fill ? QBrush(ToQColor(pen.color)) : QBrush(Qt::NoBrush));
  painter_.drawEllipse(QPointF(center.x + o, center.y + o), radius, radius);
}

void QtCanvas::Path(std::span<const CanvasPoint> points, const Pen& pen, ColorRef fillColor) {
  if (points.size() < 2) return;
  if (Rasterised() && pen.style == PenStyle::Solid && pen.color == fillColor) {
    // Outline and fill of one colour: the anti-aliased outline covers the fill's edge, so the
    // fill (a band over much of the chart) is rasterised without anti-aliasing, which costs a
    // fraction of it, and the outline takes the fast polyline strokes.
    {
      PainterSaver saver(painter_);
      painter_.setRenderHint(QPainter::Antialiasing, false);
      painter_.setPen(Qt::NoPen);
      painter_.setBrush(ToQColor(fillColor));
      painter_.drawPolygon(ToPolygon(points, CentreOffset(std::max(1, pen.width))));
    }
    std::vector<CanvasPoint> outline(points.begin(), points.end());
    if (!(outline.front() == outline.back())) outline.push_back(outline.front());
    Polyline(outline, pen);
    return;
  }
  QPainterPath path;
  path.addPolygon(ToPolygon(points, CentreOffset(std::max(1, pen.width))));
  path.closeSubpath();
  painter_.setPen(ToQPen(pen));
  painter_.setBrush(ToQColor(fillColor));
  painter_.drawPath(path);
}

void QtCanvas::Text(CanvasPoint anchor, std::string_view text, const FontSpec& font, ColorRef color,
                    TextAlign align) {
  if (text.empty()) return;
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const auto& [qfont, metrics] = FontFor(font);
  double dx = 0.0;
  if (align == TextAlign::Center) dx = -metrics.horizontalAdvance(s) / 2.0;
  if (align == TextAlign::Right) dx = -metrics.horizontalAdvance(s);
  PainterSaver saver(painter_);
  painter_.setFont(qfont);
  painter_.setPen(ToQColor(color));
  painter_.translate(anchor.x, anchor.y);
  if (font.escapement != 0) painter_.rotate(-font.escapement / 10.0);
  painter_.drawText(QPointF(dx, metrics.ascent()), s);
}

const std::pair<QFont, QFontMetricsF>& QtCanvas::FontFor(const FontSpec& wanted) {
  for (const auto& [key, font] : fonts_) {
    if (key == wanted) return font;
  }
  const QFont font = ChartQFont(wanted);
  fonts_.emplace_back(wanted, std::pair(font, QFontMetricsF(font)));
  return fonts_.back().second;
}

void QtCanvas::Image(const ChartImage& image, const CanvasRect& target) {
  const auto* qtImage = dynamic_cast<const QtChartImage*>(&image);
  if (qtImage == nullptr) return;
  painter_.drawImage(QRect(target.left, target.top, target.width, target.height), qtImage->Image());
}

TextExtent QtCanvas::MeasureText(std::string_view text, const FontSpec& font) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const auto& metrics = FontFor(font).second;
  return {metrics.horizontalAdvance(s), metrics.height()};
}

void QtCanvas::SetClip(std::optional<CanvasRect> clip) {
  // The host's own clip (one chart's place in a larger picture) always stays in force.
  if (hostClipped_) {
    painter_.setClipRegion(hostClip_);
  } else {
    painter_.setClipping(false);
  }
  if (clip) {
    painter_.setClipRect(QRect(clip->left, clip->top, clip->width, clip->height),
                         hostClipped_ ? Qt::IntersectClip : Qt::ReplaceClip);
  }
}

}  // namespace orvane
