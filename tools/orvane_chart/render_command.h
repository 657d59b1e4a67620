#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "chart/chart_model.h"
#include "data/data_table.h"
#include "modes/pipeline.h"
#include "tools/orvane_chart/command.h"

namespace orvane::tool {

// Picture outputs of orvane-chart and how to draw them.
struct RenderRequest {
  std::string png;
  std::string svg;
  std::string ops;
  std::string background;
  int width = 1900;
  int height = 980;
};

// --png, --svg, --ops, --size and --background.
std::span<const ValueOption> RenderValueOptions();

// Whether the command line asks for a picture.
bool WantsRender(const Invocation& invocation);

// Reads the render options; an error text for a malformed --size.
std::optional<std::string> ParseRenderRequest(const Invocation& invocation, RenderRequest& request);

// What a command that draws or exports a chart reads: the render options, then the mode and the
// inputs from the series file.
struct ChartRequest {
  RenderRequest render;
  int mode = 0;
  PipelineInputs in;
  DataTable table;
};
// Reads both; kExitOk, or the exit status once the error has been reported.
int ReadChartRequest(const Invocation& invocation, ChartRequest& request);

// Renders the chart with its stored view to every requested output, at the margins the
// single-chart window uses; returns the exit code. Runs without a display.
int RunRender(ChartModel& chart, const RenderRequest& request, std::ostream& err);

// Fonts and images need a GUI application; without a display the offscreen platform serves.
void EnsureGuiApplication();

// Builds the chosen mode's chart from the series file and renders it.
const Command& RenderCommand();

// The --help section on rendering and the draw-operation format.
std::string_view RenderHelp();

}  // namespace orvane::tool
