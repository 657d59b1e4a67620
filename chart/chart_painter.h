#pragma once

#include <memory>
#include <optional>

#include "chart/canvas.h"
#include "chart/chart_geometry.h"
#include "chart/chart_model.h"

namespace orvane {

// Fonts a host lends to the chart for its captions and legends.
struct ChartFonts {
  FontSpec title{std::string(kKoreanFace), 50, 800, 0};
  FontSpec subtitle{std::string(kKoreanFace), 15, 800, 0};
  FontSpec legend{std::string(kKoreanFace), 25, 800, 0};
};

// What the host supplies besides the model: fonts and the background picture.
struct ChartResources {
  ChartFonts fonts;
  std::shared_ptr<const ChartImage> backgroundImage;
};

inline constexpr int kBackgroundImageSize = 350;

// The frame shown before any data: background, axes, a 100-pixel grid and the border.
void PaintEmptyFrame(const ChartSettings& settings, Canvas& canvas, int width, int height);

// The full paint. Takes seriesLock, cuts every series to lastIndex + 1 points and draws the
// chart; returns the geometry it drew with (for the host's overlays), or nothing without drawing
// when a series is empty after the cut.
std::optional<ChartGeometry> PaintChart(ChartModel& chart, Canvas& canvas, int width, int height,
                                        const ChartResources& resources);

// Draws one series by its style against its pane; unknown styles draw nothing.
void DrawSeries(const ChartGeometry& geometry, const ChartSeries& series, Canvas& canvas);

// The highlight band over a series' own points of the highlight month, across the main pane.
void DrawHighlightOver(const ChartGeometry& geometry, const ChartSeries& series, Canvas& canvas);

}  // namespace orvane
