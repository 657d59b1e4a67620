#include "chart/label_placement.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace orvane {
namespace {

constexpr int kLabelAir = 1;

}  // namespace

CanvasRect TextBox(const PendingText& t, const TextExtent& extent) {
  const int width = static_cast<int>(std::ceil(extent.width));
  const int height = static_cast<int>(std::ceil(extent.height));
  int along = 0;  // start of the text along its own direction, from the anchor
  if (t.align == TextAlign::Center) along = -width / 2;
  if (t.align == TextAlign::Right) along = -width;
  const int x = static_cast<int>(std::lround(t.anchor.x));
  const int y = static_cast<int>(std::lround(t.anchor.y));
  if (t.font.escapement == 0) return {x + along, y, width, height};
  // A quarter turn counter-clockwise: the text runs upward, its top edge on the left.
  return {x, y - along - width, height, width};
}

bool Overlaps(const CanvasRect& a, const CanvasRect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

CanvasRect KeptInside(const CanvasRect& box, const CanvasRect& bounds) {
  CanvasRect r = box;
  r.left = std::max(std::min(r.left, bounds.left + bounds.width - r.width), bounds.left);
  r.top = std::max(std::min(r.top, bounds.top + bounds.height - r.height), bounds.top);
  return r;
}

std::vector<PendingText> PlaceLabels(std::vector<PendingText> labels, Canvas& measure,
                                     const CanvasRect& bounds, int middleY) {
  std::vector<CanvasRect> boxes;
  boxes.reserve(labels.size());
  for (const PendingText& t : labels)
    boxes.push_back(TextBox(t, measure.MeasureText(t.text, t.font)));
  auto distance = [&](std::size_t i) {
    return std::abs(2 * boxes[i].top + boxes[i].height - 2 * middleY);
  };
  std::vector<std::size_t> order(labels.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return distance(a) > distance(b); });

  // Placed boxes with a little air around them, so neighbours never touch.
  std::vector<CanvasRect> placed;
  std::vector<bool> keep(labels.size(), false);
  auto isFree = [&](const CanvasRect& r) {
    return std::none_of(placed.begin(), placed.end(),
                        [&](const CanvasRect& p) { return Overlaps(r, p); });
  };
  for (std::size_t i : order) {
    CanvasRect box = KeptInside(boxes[i], bounds);
    if (!isFree(box)) {
      // Away from the middle, just past every box in the way; a few tries, then leave it out.
      const bool upward = 2 * box.top + box.height < 2 * middleY;
      for (int attempt = 0; attempt < 4 && !isFree(box); ++attempt) {
        for (const CanvasRect& p : placed) {
          if (!Overlaps(box, p)) continue;
          box.top = upward ? p.top - box.height : p.top + p.height;
        }
        if (KeptInside(box, bounds).top != box.top) break;
      }
      if (!isFree(box) || KeptInside(box, bounds).top != box.top) continue;
    }
    placed.push_back({box.left - kLabelAir, box.top - kLabelAir, box.width + 2 * kLabelAir,
                      box.height + 2 * kLabelAir});
    keep[i] = true;
    labels[i].anchor.x += box.left - boxes[i].left;
    labels[i].anchor.y += box.top - boxes[i].top;
  }
  std::vector<PendingText> kept;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (keep[i]) kept.push_back(std::move(labels[i]));
  }
  return kept;
}

void LabelLayer::DrawLabels(const CanvasRect& bounds, int middleY) {
  target_.SetClip(std::nullopt);
  const std::vector<PendingText> placed =
      PlaceLabels(std::move(pending_), target_, bounds, middleY);
  pending_.clear();
  for (const PendingText& t : placed) target_.Text(t.anchor, t.text, t.font, t.color, t.align);
}

}  // namespace orvane
