#include "chart/recording_canvas.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace orvane {
namespace {

using nlohmann::json;

json ColorJson(ColorRef c) { return json::array({RedOf(c), GreenOf(c), BlueOf(c)}); }

json PointJson(CanvasPoint p) { return json::array({p.x, p.y}); }

json RectJson(const CanvasRect& r) { return json::array({r.left, r.top, r.width, r.height}); }

void AddPen(json& j, const Pen& pen) {
  j["color"] = ColorJson(pen.color);
  j["width"] = pen.width;
  j["style"] = pen.style == PenStyle::Dotted ? "dotted" : "solid";
  j["cap"] = pen.cap == PenCap::Flat ? "flat" : "round";
}

const char* AlignName(TextAlign a) {
  switch (a) {
    case TextAlign::Center:
      return "center";
    case TextAlign::Right:
      return "right";
    case TextAlign::Left:
      break;
  }
  return "left";
}

json OpJson(const CanvasOp& op) {
  json j;
  switch (op.kind) {
    case CanvasOpKind::FillRect:
      j["op"] = "fillRect";
      j["rect"] = RectJson(op.rect);
      j["color"] = ColorJson(op.color);
      break;
    case CanvasOpKind::Line:
      j["op"] = "line";
      j["from"] = PointJson(op.points.at(0));
      j["to"] = PointJson(op.points.at(1));
      AddPen(j, op.pen);
      break;
    case CanvasOpKind::Polyline:
    case CanvasOpKind::Path: {
      j["op"] = op.kind == CanvasOpKind::Path ? "path" : "polyline";
      json pts = json::array();
      for (const auto& p : op.points) pts.push_back(PointJson(p));
      j["points"] = std::move(pts);
      AddPen(j, op.pen);
      if (op.kind == CanvasOpKind::Path) j["fill"] = ColorJson(op.color);
      break;
    }
    case CanvasOpKind::Ellipse:
      j["op"] = "ellipse";
      j["center"] = PointJson(op.points.at(0));
      j["radius"] = op.radius;
      AddPen(j, op.pen);
      j["fill"] = op.fill;
      break;
    case CanvasOpKind::Text:
      j["op"] = "text";
      j["text"] = op.text;
      j["at"] = PointJson(op.points.at(0));
      j["align"] = AlignName(op.align);
      j["color"] = ColorJson(op.color);
      j["font"] = {{"family", op.font.family},
                   {"size", op.font.pixelSize},
                   {"weight", op.font.weight},
                   {"escapement", op.font.escapement}};
      break;
    case CanvasOpKind::Image:
      j["op"] = "image";
      j["rect"] = RectJson(op.rect);
      j["source"] = op.text;
      break;
  }
  return j;
}

}  // namespace

void RecordingCanvas::FillRect(const CanvasRect& rect, ColorRef color) {
  CanvasOp op;
  op.kind = CanvasOpKind::FillRect;
  op.rect = rect;
  op.color = color;
  op.clip = clip_;
  ops_.push_back(std::move(op));
}

void RecordingCanvas::Line(CanvasPoint from, CanvasPoint to, const Pen& pen) {
  CanvasOp op;
  op.kind = CanvasOpKind::Line;
  op.points = {from, to};
  op.pen = pen;
  op.clip = clip_;
  ops_.push_back(std::move(op));
}

void RecordingCanvas::Polyline(std::span<const CanvasPoint> points, const Pen& pen) {
  CanvasOp op;
  op.kind = CanvasOpKind::Polyline;
  op.points.assign(points.begin(), points.end());
  op.pen = pen;
  op.clip = clip_;
  ops_.push_back(std::move(op));
}

void RecordingCanvas::Ellipse(CanvasPoint center, double radius, const Pen& pen, bool fill) {
  CanvasOp op;
  op.kind = CanvasOpKind::Ellipse;
  op.points = {center};
  op.radius = radius;
  op.pen = pen;
  op.fill = fill;
  op.clip = clip_;
  ops_.push_back(std::move(op));
}

void RecordingCanvas::Path(std::span<const CanvasPoint> points, const Pen& pen,
                           ColorRef fillColor) {
  CanvasOp op;
  op.kind = CanvasOpKind::Path;
  op.points.assign(points.begin(), points.end());
  op.pen = pen;
  op.color = fillColor;
  op.clip = clip_;
  ops_.push_back(std::move(op));
}

void RecordingCanvas::Text(CanvasPoint anchor, std::string_view text, const FontSpec& font,
                           ColorRef color, TextAlign align) {
  CanvasOp op;
  op.kind = CanvasOpKind::Text;
  op.points = {anchor};
  op.text = std::string(text);
  op.font = font;
  op.color = color;
  op.align = align;
  op.clip = clip_;
  ops_.push_back(std::move(op));
}

void RecordingCanvas::Image(const ChartImage& image, const CanvasRect& target) {
  CanvasOp op;
  op.kind = CanvasOpKind::Image;
  op.rect = target;
  op.text = std::string(image.Source());
  op.clip = clip_;
  ops_.push_back(std::move(op));
}

TextExtent RecordingCanvas::MeasureText(std::string_view text, const FontSpec& font) {
  double width = 0.0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) == 0x80) continue;  // continuation bytes belong to the character before
    // Lead bytes from 0xE1 start three-byte characters: Hangul and the other wide scripts.
    width += byte >= 0xE1 ? font.pixelSize : 0.6 * font.pixelSize;
  }
  return {width, 1.2 * font.pixelSize};
}

std::string CanvasOpJson(const CanvasOp& op) {
  // Labels come from data files; a stray invalid byte must not abort the dump.
  return OpJson(op).dump(-1, ' ', false, json::error_handler_t::replace);
}

void RecordingCanvas::WriteJsonLines(std::ostream& out) const {
  for (const auto& op : ops_) out << CanvasOpJson(op) << '\n';
}

}  // namespace orvane
