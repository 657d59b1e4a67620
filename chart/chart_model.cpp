#include "chart/chart_model.h"

namespace orvane {

std::string CutLabel(std::string_view text) {
  if (text.size() <= kMaxLabelBytes) return std::string(text);
  std::size_t end = kMaxLabelBytes;
  // Step back over continuation bytes (10xxxxxx) so no character is split.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

ChartModel::ChartModel() {
  series.reserve(20);
  workSeries.points.reserve(5);
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
