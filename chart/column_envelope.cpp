#include "chart/column_envelope.h"

namespace orvane {

void ColumnEnvelope::Add(CanvasPoint p, int column) {
  if (open_ && column != column_) Flush();
  if (!open_) {
    open_ = true;
    column_ = column;
    first_ = last_ = top_ = bottom_ = p;
    count_ = 1;
    topAt_ = bottomAt_ = 0;
    return;
  }
  if (p.y < top_.y) {
    top_ = p;
    topAt_ = count_;
  }
  if (p.y > bottom_.y) {
    bottom_ = p;
    bottomAt_ = count_;
  }
  last_ = p;
  ++count_;
}

void ColumnEnvelope::Flush() {
  if (!open_) return;
  open_ = false;
  const int lastAt = count_ - 1;
  auto keep = [this](int at, CanvasPoint p, int& kept) {
    if (at != kept) out_.push_back(p);
    kept = at;
  };
  int kept = -1;
  keep(0, first_, kept);
  if (topAt_ < bottomAt_) {
    keep(topAt_, top_, kept);
    keep(bottomAt_, bottom_, kept);
  } else {
    keep(bottomAt_, bottom_, kept);
    keep(topAt_, top_, kept);
  }
  keep(lastAt, last_, kept);
}

}  // namespace orvane
