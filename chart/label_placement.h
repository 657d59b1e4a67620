#pragma once

// Text labels that keep clear of one another and of the chart's edges. The painter lets the
// series draw through a LabelLayer, which passes every shape on at once and holds the texts back;
// after the last series it draws the texts that find room, the most extreme ones first.

#include <optional>
#include <string>
#include <vector>

#include "chart/canvas.h"

namespace orvane {

struct PendingText {
  CanvasPoint anchor;
  std::string text;
  FontSpec font;
  ColorRef color = 0;
  TextAlign align = TextAlign::Left;
};

// The box a text covers as the canvas draws it: from its anchor, by its alignment, turned by a
// quarter turn for upward text.
CanvasRect TextBox(const PendingText& t, const TextExtent& extent);

bool Overlaps(const CanvasRect& a, const CanvasRect& b);

// Moves a box by whole pixels so it lies inside bounds (its top-left corner wins when it is
// larger).
CanvasRect KeptInside(const CanvasRect& box, const CanvasRect& bounds);

// Decides where labels go: those farthest from middleY first (the highest highs and lowest
// lows), each at its own place if that is free, else moved away from the middle just past the
// boxes it meets, else left out. Every placed box lies inside bounds. Returns the labels to draw,
// anchors adjusted, in the order they were given.
std::vector<PendingText> PlaceLabels(std::vector<PendingText> labels, Canvas& measure,
                                     const CanvasRect& bounds, int middleY);

// Passes shapes to the target canvas and keeps texts back until DrawLabels.
class LabelLayer final : public Canvas {
 public:
  explicit LabelLayer(Canvas& target) : target_(target) {}

  void FillRect(const CanvasRect& rect, ColorRef color) override { target_.FillRect(rect, color); }
  void Line(CanvasPoint from, CanvasPoint to, const Pen& pen) override {
    target_.Line(from, to, pen);
  }
  void Polyline(std::span<const CanvasPoint> points, const Pen& pen) override {
    target_.Polyline(points, pen);
  }
  void Ellipse(CanvasPoint center, double radius, const Pen& pen, bool fill) override {
    target_.Ellipse(center, radius, pen, fill);
  }
  void Path(std::span<const CanvasPoint> points, const Pen& pen, ColorRef fillColor) override {
    target_.Path(points, pen, fillColor);
  }
  void Text(CanvasPoint anchor, std::string_view text, const FontSpec& font, ColorRef color,
            TextAlign align) override {
    if (!text.empty()) pending_.push_back({anchor, std::string(text), font, color, align});
  }
  void Image(const ChartImage& image, const CanvasRect& target) override {
    target_.Image(image, target);
  }
  TextExtent MeasureText(std::string_view text, const FontSpec& font) override {
    return target_.MeasureText(text, font);
  }
  void SetClip(std::optional<CanvasRect> clip) override { target_.SetClip(clip); }

  // Draws the held texts that find room inside bounds, unclipped.
  void DrawLabels(const CanvasRect& bounds, int middleY);

 private:
  Canvas& target_;
  std::vector<PendingText> pending_;
};

}  // namespace orvane
