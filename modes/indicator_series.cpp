#include "modes/indicator_series.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace orvane {
namespace {

// A band point; where an edge has no value the band lies flat on the base (or on 0 when the
// base has none either), so the painter, which draws bands whatever their validity, gets no
// stray edge.
void SetBand(ChartPoint& p, double base, double edge) {
  const bool hasBase = HasValue(base);
  p.valid = hasBase && HasValue(edge);
  if (!p.valid) edge = base = hasBase ? base : 0.0;
  p.open = p.low = base;
  p.high = p.close = edge;
}

}  // namespace

void Log10IndicatorSlots(std::span<DataRecord> work, std::span<const int> slots) {
  for (DataRecord& r : work) {
    for (int s : slots) {
      const double v = r.v[s];
      r.v[s] = HasValue(v) && v > 0.0 ? std::log10(v) : kNoValue;
    }
  }
}

PointRecipe IndicatorLine(int slot) {
  return {Slots({slot}), [slot](const SourceRow& r, ChartPoint& p) {
            p.open = p.low = p.high = p.close = r.v[slot];
            p.valid = HasValue(r.v[slot]);
          }};
}

PointRecipe BandToHigher(int baseSlot, int otherSlot) {
  return {Slots({baseSlot, otherSlot}), [baseSlot, otherSlot](const SourceRow& r, ChartPoint& p) {
            const double base = r.v[baseSlot];
            const double other = r.v[otherSlot];
            SetBand(p, base, HasValue(other) ? std::max(base, other) : kNoValue);
          }};
}

PointRecipe BandBetween(int baseSlot, int edgeSlot) {
  return {Slots({baseSlot, edgeSlot}), [baseSlot, edgeSlot](const SourceRow& r, ChartPoint& p) {
            SetBand(p, r.v[baseSlot], r.v[edgeSlot]);
          }};
}

PointRecipe BandAboveLevel(int slot, double level) {
  return {Slots({slot}), [slot, level](const SourceRow& r, ChartPoint& p) {
            const double v = r.v[slot];
            SetBand(p, level, HasValue(v) ? std::max(v, level) : kNoValue);
          }};
}

PointRecipe BandBelowLevel(int slot, double level) {
  return {Slots({slot}), [slot, level](const SourceRow& r, ChartPoint& p) {
            const double v = r.v[slot];
            SetBand(p, level, HasValue(v) ? std::min(v, level) : kNoValue);
            // The level is the upper edge here: open = high = level, low = close = the value.
            std::swap(p.low, p.high);
          }};
}

void MoveBandsToEnd(std::vector<ChartSeries>& series) {
  for (std::size_t i = series.size(); i-- > 1;) {
    if (series[i].style != SeriesStyle::Band) continue;
    ChartSeries band = std::move(series[i]);
    series.erase(series.begin() + static_cast<std::ptrdiff_t>(i));
    series.push_back(std::move(band));
  }
}

void DropTrailingPoints(std::vector<ChartSeries>& series, std::size_t count) {
  if (series.empty()) return;
  const std::size_t n = series.front().points.size();
  const std::size_t first = n > count ? n - count : 0;
  for (ChartSeries& s : series) {
    if (first < s.points.size()) s.points.erase(first, std::min(n, s.points.size()));
  }
}

}  // namespace orvane
