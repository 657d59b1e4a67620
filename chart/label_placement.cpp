#include "chart/label_placement.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

namespace orvane {
namespace {

constexpr int kLabelAir = 1;

// Placed boxes filed by bands of pixel columns, so that a box is compared only with the boxes
// that share its columns: a long series can bring thousands of labels.
class PlacedBoxes {
 public:
  explicit PlacedBoxes(const CanvasRect& bounds)
      : origin_(bounds.left),
        band_(std::max(32, bounds.width / 4096 + 1)),
        bands_(static_cast<std::size_t>(std::max(bounds.width, 0) / band_ + 1)) {}

  const CanvasRect& operator[](std::size_t i) const { return boxes_[i]; }

  void Add(const CanvasRect& box) {
    const auto [first, last] = Bands(box);
    for (std::size_t b = first; b <= last; ++b) bands_[b].push_back(boxes_.size());
    boxes_.push_back(box);
  }

  // In placing order, every placed box whose columns may meet those of `box` (any box that
  // Overlaps it, wherever it lies from top to bottom), and perhaps a few more.
  std::vector<std::size_t> Near(const CanvasRect& box) const {
    const auto [first, last] = Bands(box);
    std::vector<std::size_t> near;
    for (std::size_t b = first; b <= last; ++b)
      near.insert(near.end(), bands_[b].begin(), bands_[b].end());
    std::sort(near.begin(), near.end());
    near.erase(std::unique(near.begin(), near.end()), near.end());
    return near;
  }

 private:
  // Bands from the box's left to its right edge (either way round for an empty box), clamped to
  // the bands there are: clamping keeps every pair of meeting spans in a shared band.
  std::pair<std::size_t, std::size_t> Bands(const CanvasRect& box) const {
    const long long right = static_cast<long long>(box.left) + box.width;
    const auto band = [&](long long x) {
      const long long b = (x - origin_) / band_;
      return static_cast<std::size_t>(
          std::clamp<long long>(b, 0, static_cast<long long>(bands_.size()) - 1));
    };
    return {band(std::min<long long>(box.left, right)), band(std::max<long long>(box.left, right))};
  }

  int origin_;
  int band_;
  std::vector<std::vector<std::size_t>> bands_;
  std::vector<CanvasRect> boxes_;
};

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
  PlacedBoxes placed(bounds);
  std::vector<bool> keep(labels.size(), false);
  for (std::size_t i : order) {
    CanvasRect box = KeptInside(boxes[i], bounds);
    // The box only moves up or down from here, so the placed boxes it can meet are known now.
    const std::vector<std::size_t> near = placed.Near(box);
    auto isFree = [&](const CanvasRect& r) {
      return std::none_of(near.begin(), near.end(),
                          [&](std::size_t p) { return Overlaps(r, placed[p]); });
    };
    if (!isFree(box)) {
      // Away from the middle, just past every box in the way; a few tries, then leave it out.
      const bool upward = 2 * box.top + box.height < 2 * middleY;
      for (int attempt = 0; attempt < 4 && !isFree(box); ++attempt) {
        for (std::size_t k : near) {
          const CanvasRect& p = placed[k];
          if (!Overlaps(box, p)) continue;
          box.top = upward ? p.top - box.height : p.top + p.height;
        }
        if (KeptInside(box, bounds).top != box.top) break;
      }
      if (!isFree(box) || KeptInside(box, bounds).top != box.top) continue;
    }
    placed.Add({box.left - kLabelAir, box.top - kLabelAir, box.width + 2 * kLabelAir,
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
