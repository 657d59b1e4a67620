#pragma once

#include <vector>

#include "chart/canvas.h"

namespace orvane {

// Reduces a polyline whose vertices crowd several to a pixel column to what each column shows:
// its first and last vertex and, between them in their own order, the highest and the lowest.
// Strokes through the kept vertices cover the same pixels of the column as through all of them,
// so the cost of drawing follows the pixel width, not the number of points.
class ColumnEnvelope {
 public:
  explicit ColumnEnvelope(std::vector<CanvasPoint>& out) : out_(out) {}

  // The next vertex, in drawing order, of the point drawn in pixel column `column` (a vertex
  // may sit a little left of its point's column); another column closes the current one.
  void Add(CanvasPoint p, int column);
  // Emits the open column; call at the end of every stroke.
  void Flush();

 private:
  std::vector<CanvasPoint>& out_;
  bool open_ = false;
  int column_ = 0;
  // Vertices of the open column, by their order in it.
  CanvasPoint first_, last_, top_, bottom_;
  int count_ = 0, topAt_ = 0, bottomAt_ = 0;
};

}  // namespace orvane
