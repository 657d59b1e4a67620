#pragma once

#include <string>

#include <QImage>

#include "chart/chart_model.h"
#include "chart/chart_painter.h"

namespace orvane {

struct RenderOptions {
  int width = 1900;
  int height = 980;
  double devicePixelRatio = 1.0;
  std::string backgroundImage;  // picture file; empty or unreadable = none
  ChartFonts fonts;
};

// A white picture of `size` device pixels to paint on (32-bit premultiplied ARGB). One of 2 MiB
// or more has a mapping of its own (MapLargeBlock), given back when its last copy goes.
QImage NewPicture(QSize size);

// Paints the model with its stored view into an image: the full paint, or the empty frame when
// a series is empty. Needs a QGuiApplication.
QImage RenderChartImage(ChartModel& chart, const RenderOptions& options);

bool RenderChartPng(ChartModel& chart, const RenderOptions& options, const std::string& path);
bool RenderChartSvg(ChartModel& chart, const RenderOptions& options, const std::string& path);
// The SVG drawing of a chart whose host already holds its fonts and picture (the chart control).
bool RenderChartSvg(ChartModel& chart, int width, int height, const ChartResources& resources,
                    const std::string& path);
// One JSON object per drawn primitive and line.
bool RenderChartOps(ChartModel& chart, const RenderOptions& options, const std::string& path);

}  // namespace orvane
