#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "chart/chart_model.h"

namespace orvane {

// A position on the canvas in logical pixels; the painter passes whole pixels except where a
// step fraction is part of the layout (the pointed joins of a band).
struct CanvasPoint {
  double x = 0.0;
  double y = 0.0;
  bool operator==(const CanvasPoint&) const = default;
};

struct CanvasRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const CanvasRect&) const = default;
};

// The size a text takes when drawn unrotated.
struct TextExtent {
  double width = 0.0;
  double height = 0.0;
};

enum class PenStyle { Solid, Dotted };
enum class PenCap { Round, Flat };

struct Pen {
  ColorRef color = Rgb(0, 0, 0);
  int width = 1;
  PenStyle style = PenStyle::Solid;
  PenCap cap = PenCap::Round;
  bool operator==(const Pen&) const = default;
};

// Font faces are the logical names the chart asks for; a canvas maps them to installed fonts.
inline constexpr std::string_view kDialogFace = "MS Shell Dlg";
inline constexpr std::string_view kKoreanFace = "맑은 고딕";

struct FontSpec {
  std::string family{kDialogFace};
  int pixelSize = 11;
  int weight = 400;    // 100 (thin) .. 900 (black)
  int escapement = 0;  // tenths of a degree, counter-clockwise
  bool operator==(const FontSpec&) const = default;
};

// Dialog font of 8 and 10 points as a 96-DPI screen sizes them.
inline FontSpec DialogFont8() { return FontSpec{std::string(kDialogFace), 11, 400, 0}; }
inline FontSpec DialogFont10() { return FontSpec{std::string(kDialogFace), 13, 400, 0}; }

// Horizontal anchoring of text at its reference point; the reference point is always the top of
// the text (for rotated text: the top edge of the rotated glyph box).
enum class TextAlign { Left, Center, Right };

// A picture a host loaded; each canvas knows how to draw its own kind.
class ChartImage {
 public:
  virtual ~ChartImage() = default;
  virtual std::string_view Source() const = 0;
};

// The drawing surface of the chart painter. Coordinates are logical pixels of the control's
// client area; a line from a to b covers a's pixel and stops before b's, as window-system pens do.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void FillRect(const CanvasRect& rect, ColorRef color) = 0;
  virtual void Line(CanvasPoint from, CanvasPoint to, const Pen& pen) = 0;
  virtual void Polyline(std::span<const CanvasPoint> points, const Pen& pen) = 0;
  // A circle outlined with the pen and, when fill is set, filled with it.
  virtual void Ellipse(CanvasPoint center, double radius, const Pen& pen, bool fill) = 0;
  // A closed path outlined with the pen and filled with fillColor.
  virtual void Path(std::span<const CanvasPoint> points, const Pen& pen, ColorRef fillColor) = 0;
  virtual void Text(CanvasPoint anchor, std::string_view text, const FontSpec& font, ColorRef color,
                    TextAlign align) = 0;
  virtual void Image(const ChartImage& image, const CanvasRect& target) = 0;
  virtual TextExtent MeasureText(std::string_view text, const FontSpec& font) = 0;
  // Confines later drawing to a rectangle; nullopt lifts the limit.
  virtual void SetClip(std::optional<CanvasRect> clip) = 0;
};

}  // namespace orvane
