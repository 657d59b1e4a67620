#pragma once

#include <array>

#include "chart/chart_model.h"

// The colours the chart modes and the painter share, each stated once.
namespace orvane {

// The running-mean lines, shortest window first.
inline constexpr std::array<ColorRef, 6> kMeanLineColors = {Rgb(255, 153, 0),   Rgb(153, 204, 0),
                                                            Rgb(255, 153, 204), Rgb(0, 204, 255),
                                                            Rgb(255, 204, 0),   Rgb(150, 150, 255)};

// The compared lines 1 to 10, in the chart and in its legend.
inline constexpr std::array<ColorRef, 10> kCompareColors = {
    Rgb(0, 0, 0),       Rgb(153, 204, 0),   Rgb(255, 153, 204), Rgb(0, 204, 255),
    Rgb(255, 204, 0),   Rgb(150, 150, 255), Rgb(143, 90, 91),   Rgb(98, 159, 164),
    Rgb(135, 115, 160), Rgb(240, 100, 100)};

// The band over the highlighted month and the highlight marks of the series.
inline constexpr ColorRef kHighlightColor = Rgb(151, 202, 255);

// Bars of the lower pane: rising and falling volume or change.
inline constexpr ColorRef kRisingBarColor = Rgb(255, 153, 205);
inline constexpr ColorRef kFallingBarColor = Rgb(153, 204, 0);

// The companion line of the monthly charts.
inline constexpr ColorRef kCompanionColor = Rgb(0, 128, 0);

}  // namespace orvane
