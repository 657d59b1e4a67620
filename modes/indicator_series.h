#pragma once

// Recipes for the series drawn from indicator slots (chart/indicators.h). A slot without a value,
// and a value that has no logarithm, becomes a gap; no point carries a non-finite number.

#include <span>
#include <vector>

#include "chart/indicators.h"
#include "modes/pipeline.h"

namespace orvane {

// Replaces the slots by their base-10 logarithms. A slot without a value, or whose value is not
// above 0, gets kNoValue.
void Log10IndicatorSlots(std::span<DataRecord> work, std::span<const int> slots);

// All four values := v[slot]; a gap where the slot has no value.
PointRecipe IndicatorLine(int slot);

// A band from v[baseSlot] (`open`, `low`) up to max(v[baseSlot], v[otherSlot]) (`high`,
// `close`). With v[otherSlot] := v[baseSlot] this is a band from base to base.
PointRecipe BandToHigher(int baseSlot, int otherSlot);
// A band from v[baseSlot] (`open`, `low`) to v[edgeSlot] (`high`, `close`).
PointRecipe BandBetween(int baseSlot, int edgeSlot);
// A band from a fixed level to v[slot] where that is above the level (else flat at the level).
PointRecipe BandAboveLevel(int slot, double level);
// A band from a fixed level down to v[slot] where that is below the level (else flat).
PointRecipe BandBelowLevel(int slot, double level);

// Moves every Band series after series 0 to the end: scanning from the last series down to
// series 1, each band met is appended and removed from its place. The control draws from the
// last series to the first, so the bands end up under the lines.
void MoveBandsToEnd(std::vector<ChartSeries>& series);

// Removes the last `count` points of the first series, at the same indices, from every series
// (the future slots of the Ichimoku values); indices that a series lacks are skipped.
void DropTrailingPoints(std::vector<ChartSeries>& series, std::size_t count);

}  // namespace orvane
