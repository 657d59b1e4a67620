#include "chart/chart_model.h"

#include <algorithm>
#include <utility>

namespace orvane {

std::string CutLabel(std::string_view text) {
  if (text.size() <= kMaxLabelBytes) return std::string(text);
  std::size_t end = kMaxLabelBytes;
  // Step back over continuation bytes (10xxxxxx) so no character is split.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

namespace {

// The first of `texts` (by ascending point) at `point` or after it.
template <typename Texts>
auto AtOrAfter(Texts& texts, std::size_t point) {
  return std::lower_bound(texts.begin(), texts.end(), point,
                          [](const auto& t, std::size_t p) { return t.point < p; });
}

}  // namespace

const PointLabels::Texts* PointLabels::Find(std::size_t point) const {
  const auto it = AtOrAfter(texts_, point);
  return it != texts_.end() && it->point == point ? &*it : nullptr;
}

std::string_view PointLabels::Upper(std::size_t point) const {
  const Texts* t = Find(point);
  return t ? std::string_view(t->upper) : std::string_view();
}

std::string_view PointLabels::Lower(std::size_t point) const {
  const Texts* t = Find(point);
  return t ? std::string_view(t->lower) : std::string_view();
}

void PointLabels::Set(std::size_t point, std::string Texts::*which, std::string_view text) {
  // Labels are mostly set in point order, which makes this an append.
  const auto it =
      texts_.empty() || texts_.back().point < point ? texts_.end() : AtOrAfter(texts_, point);
  if (it != texts_.end() && it->point == point) {
    (*it).*which = CutLabel(text);
    if (it->upper.empty() && it->lower.empty()) texts_.erase(it);
  } else if (!text.empty()) {
    Texts added{.point = point, .upper = {}, .lower = {}};
    added.*which = CutLabel(text);
    texts_.insert(it, std::move(added));
  }
}

void PointLabels::DropFrom(std::size_t first) {
  texts_.erase(AtOrAfter(texts_, first), texts_.end());
}

ChartModel::ChartModel() {
  series.reserve(20);
  workSeries.points.reserve(5);
}

void ChartModel::AppendWorkLabels() {
  const std::size_t point = workSeries.points.size() - 1;
  workSeries.labels.SetUpper(point, workPoint.upperLabel);
  workSeries.labels.SetLower(point, workPoint.lowerLabel);
}

void ChartModel::AppendWorkSeries() {
  PointList points = std::exchange(workSeries.points, {});
  PointLabels labels = std::exchange(workSeries.labels, {});
  series.push_back(workSeries);
  workSeries.points.reserve(points.size());
  series.back().points = std::move(points);
  series.back().labels = std::move(labels);
}

void ChartModel::Attach() {
  settings.highlightMonth = 0;
  settings.backgroundColor = Rgb(255, 255, 255);
  settings.rightMargin = 20;
  settings.bottomMargin = 15;
  view = ChartView{};
  settings.legendMomentum = false;
  settings.legendIchimoku = false;
  settings.legendCompare = false;
  settings.singlePane = true;
  settings.lowerPaneRatio = 0.8;
  settings.topMargin = 65;
  {
    std::lock_guard lock(seriesLock);
    series.clear();
  }
  workerState = kEmptyFrame;
}

bool ChartModel::DrawChart(ChartView newView) {
  view = newView;
  workerState = kFullPaint;
  const bool painted = painter_ ? painter_(*this) : false;
  workerState = kIdle;
  return painted;
}

}  // namespace orvane
