#include "chart/chart_model.h"

#include <utility>

namespace orvane {

std::string CutLabel(std::string_view text) {
  if (text.size() <= kMaxLabelBytes) return std::string(text);
  std::size_t end = kMaxLabelBytes;
  // Step back over continuation bytes (10xxxxxx) so no character is split.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

PointLabels& PointLabels::operator=(const PointLabels& other) {
  if (!other.texts_) {
    texts_.reset();
  } else if (texts_) {
    *texts_ = *other.texts_;
  } else {
    texts_ = std::make_unique<Texts>(*other.texts_);
  }
  return *this;
}

void PointLabels::Set(std::string Texts::*which, std::string_view text) {
  if (!texts_) {
    if (text.empty()) return;
    texts_ = std::make_unique<Texts>();
  }
  (*texts_).*which = CutLabel(text);
  if (texts_->upper.empty() && texts_->lower.empty()) texts_.reset();
}

ChartModel::ChartModel() {
  series.reserve(20);
  workSeries.points.reserve(5);
}

void ChartModel::AppendWorkSeries() {
  std::vector<ChartPoint> points = std::exchange(workSeries.points, {});
  series.push_back(workSeries);
  workSeries.points.reserve(points.size());
  series.back().points = std::move(points);
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
