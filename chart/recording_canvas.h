#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "chart/canvas.h"

namespace orvane {

enum class CanvasOpKind { FillRect, Line, Polyline, Ellipse, Path, Text, Image };

// One drawn primitive. Only the fields of its kind are meaningful.
struct CanvasOp {
  CanvasOpKind kind = CanvasOpKind::FillRect;
  std::vector<CanvasPoint> points;  // line: from, to; polyline/path: vertices; ellipse/text: anchor
  CanvasRect rect;                  // fillRect, image
  ColorRef color = 0;               // fillRect, text; path fill
  Pen pen;                          // line, polyline, ellipse, path
  double radius = 0.0;              // ellipse
  bool fill = false;                // ellipse
  std::string text;                 // text; image source
  FontSpec font;
  TextAlign align = TextAlign::Left;
  std::optional<CanvasRect> clip;  // the limit in force when the op was drawn
};

// Keeps every primitive in drawing order, for tests and for the draw-operation dump.
class RecordingCanvas : public Canvas {
 public:
  void FillRect(const CanvasRect& rect, ColorRef color) override;
  void Line(CanvasPoint from, CanvasPoint to, const Pen& pen) override;
  void Polyline(std::span<const CanvasPoint> points, const Pen& pen) override;
  void Ellipse(CanvasPoint center, double radius, const Pen& pen, bool fill) override;
  void Path(std::span<const CanvasPoint> points, const Pen& pen, ColorRef fillColor) override;
  void Text(CanvasPoint anchor, std::string_view text, const FontSpec& font, ColorRef color,
            TextAlign align) override;
  void Image(const ChartImage& image, const CanvasRect& target) override;
  // A text's size estimated from its font: Hangul and other wide characters one pixel size
  // wide, the rest 0.6 of it, 1.2 pixel sizes high.
  TextExtent MeasureText(std::string_view text, const FontSpec& font) override;
  void SetClip(std::optional<CanvasRect> clip) override { clip_ = clip; }

  const std::vector<CanvasOp>& Ops() const { return ops_; }
  void Clear() { ops_.clear(); }

  // One JSON object per line and per op, in drawing order.
  void WriteJsonLines(std::ostream& out) const;

 private:
  std::vector<CanvasOp> ops_;
  std::optional<CanvasRect> clip_;
};

// The JSON text of one op (no trailing newline).
std::string CanvasOpJson(const CanvasOp& op);

}  // namespace orvane
