#include "chart/point_list.h"

namespace orvane {

PointList::PointList(std::span<const ChartPoint> points) {
  reserve(points.size());
  for (const ChartPoint& p : points) push_back(p);
}

void PointList::MakeWhole() {
  if (whole_) return;
  wholePoints_.reserve(flatPoints_.capacity());
  for (std::size_t i = 0; i < flatPoints_.size(); ++i) wholePoints_.push_back((*this)[i]);
  whole_ = true;
  flatPoints_ = {};
}

void PointList::PushWhole(const ChartPoint& p) {
  MakeWhole();
  wholePoints_.push_back(p);
}

void PointList::Set(std::size_t i, const ChartPoint& p) {
  if (!whole_ && IsFlat(p)) {
    flatPoints_[i] = Flatten(p);
    return;
  }
  MakeWhole();
  wholePoints_[i] = p;
}

void PointList::reserve(std::size_t n) {
  if (whole_) {
    wholePoints_.reserve(n);
  } else {
    flatPoints_.reserve(n);
  }
}

void PointList::resize(std::size_t n) {
  if (whole_) {
    wholePoints_.resize(n);
  } else {
    flatPoints_.resize(n, Flatten(ChartPoint{}));
  }
}

void PointList::erase(std::size_t first, std::size_t last) {
  const auto cut = [&](auto& points) {
    points.erase(points.begin() + static_cast<std::ptrdiff_t>(first),
                 points.begin() + static_cast<std::ptrdiff_t>(last));
  };
  if (whole_) {
    cut(wholePoints_);
  } else {
    cut(flatPoints_);
  }
}

void PointList::clear() {
  flatPoints_.clear();
  wholePoints_ = {};
  whole_ = false;
}

}  // namespace orvane
