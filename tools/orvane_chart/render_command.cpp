#include "tools/orvane_chart/render_command.h"

#include <fontconfig/fontconfig.h>
#include <QGuiApplication>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>
#include <utility>

#include "chart/qt/chart_render.h"
#include "chart/qt/png_encoder.h"
#include "chart/qt/qt_canvas.h"
#include "modes/modes.h"
#include "tools/orvane_chart/chart_commands.h"
#include "tools/orvane_chart/dashboard_render.h"

namespace orvane::tool {
namespace {

constexpr int kMaxSide = 16384;
constexpr int kWindowBottomMargin = 20;

std::optional<int> ParseSide(std::string_view text) {
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || end != text.data() + text.size() || v < 1 || v > kMaxSide) {
    return std::nullopt;
  }
  return v;
}

bool ParseSize(std::string_view text, int& width, int& height) {
  const auto x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  const auto w = ParseSide(text.substr(0, x));
  const auto h = ParseSide(text.substr(x + 1));
  if (!w || !h) return false;
  width = *w;
  height = *h;
  return true;
}

constexpr ValueOption kRenderOptions[] = {
    {"--png", "OUT.png", "draw the chart of the mode into a PNG picture"},
    {"--svg", "OUT.svg", "draw the chart into an SVG drawing"},
    {"--ops", "OUT.jsonl", "write the draw operations, one JSON object per line"},
    {"--size", "WxH", "client size in pixels (default 1900x980)"},
    {"--background", "IMAGE", "picture drawn 350 x 350 in the middle, as the chart window does"},
};

constexpr std::string_view kHelp =
    R"(Rendering: --png, --svg and --ops may be combined and need no command and no
display; the chart is what the single-chart window shows for --mode (default 1).
Mode 0 draws the dashboard's three charts (monthly on top, quarterly and yearly below)
laid out for --size as the dashboard window lays them out.

Draw operations (--ops), in drawing order; coordinates are pixels from the top-left corner,
colours are [r,g,b], a pen is "color", "width" (pixels), "style" ("solid"|"dotted") and
"cap" ("round"|"flat"):
  {"op":"fillRect","rect":[left,top,width,height],"color":[r,g,b]}
  {"op":"line","from":[x,y],"to":[x,y], pen}        a zero-length line is a dot of the pen width
  {"op":"polyline","points":[[x,y],...], pen}
  {"op":"ellipse","center":[x,y],"radius":r, pen,"fill":true|false}
  {"op":"path","points":[[x,y],...], pen,"fill":[r,g,b]}   closed and filled
  {"op":"text","text":"...","at":[x,y],"align":"left"|"center"|"right","color":[r,g,b],
   "font":{"family":"...","size":pixels,"weight":100-900,"escapement":tenths of a degree}}
       the anchor is the top of the text; align places it left of, around or right of x;
       an escapement of 900 turns the text to run upward from the anchor
  {"op":"image","rect":[left,top,width,height],"source":"file"}
)";

int RunRenderCommand(const Invocation& invocation) {
  // The first font a process asks for reads the whole font configuration, which takes longer
  // than starting Qt and reading and building a small chart together. A second thread reads it
  // from the start and fills Qt's font database as soon as Qt is running; the picture is painted
  // once that is done, so that neither is ever done twice. The faces themselves are left to the
  // painting thread: Qt keeps the faces a thread has loaded for that thread alone.
  std::latch qtStarted(1);
  std::jthread fontSetup([&qtStarted] {
    FcInit();
    qtStarted.wait();
    (void)ChartQFont(ChartFonts{}.title);
  });
  EnsureGuiApplication();
  qtStarted.count_down();
  ChartRequest request;
  if (const int status = ReadChartRequest(invocation, request); status != kExitOk) return status;
  std::ostringstream err;
  int status = kExitOk;
  if (request.mode == static_cast<int>(ChartMode::Dashboard)) {
    DashboardModels dashboard;
    BuildDashboardFrom(request.table, request.in, dashboard.charts);
    fontSetup.join();
    status = RunDashboardRender(dashboard.charts, request.render, err);
  } else {
    // A single chart reads the records alone, and the picture only the series: the pipeline
    // takes the records over.
    request.table = DataTable{};
    ChartModel chart;
    chart.Attach();
    BuildChart(request.mode, std::move(request.in), chart);
    fontSetup.join();
    status = RunRender(chart, request.render, err);
  }
  std::fputs(err.str().c_str(), stderr);
  return status;
}

constexpr Command kRenderCommand{"--png/--svg/--ops", "draw the chart", RunRenderCommand};

}  // namespace

void EnsureGuiApplication() {
  if (QGuiApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "orvane-chart";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends; tearing it down among static destructors is unsafe.
  static QGuiApplication* const app = new QGuiApplication(argc, argv);
  (void)app;
}

const Command& RenderCommand() { return kRenderCommand; }

std::span<const ValueOption> RenderValueOptions() { return kRenderOptions; }

bool WantsRender(const Invocation& invocation) {
  for (const char* flag : {"--png", "--svg", "--ops"}) {
    if (invocation.values.contains(std::string_view(flag))) return true;
  }
  return false;
}

std::optional<std::string> ParseRenderRequest(const Invocation& invocation,
                                              RenderRequest& request) {
  auto value = [&](std::string_view flag) {
    const auto it = invocation.values.find(flag);
    return it == invocation.values.end() ? std::string() : it->second;
  };
  request.png = value("--png");
  request.svg = value("--svg");
  request.ops = value("--ops");
  request.background = value("--background");
  if (const std::string size = value("--size");
      !size.empty() && !ParseSize(size, request.width, request.height)) {
    return "--size wants WxH with sides of 1 to " + std::to_string(kMaxSide) + ", not " + size;
  }
  return std::nullopt;
}

int ReadChartRequest(const Invocation& invocation, ChartRequest& request) {
  if (const auto error = ParseRenderRequest(invocation, request.render)) {
    std::fprintf(stderr, "orvane-chart: %s\n", error->c_str());
    return kExitUsage;
  }
  return LoadChartInputs(invocation, request.mode, request.in, request.table);
}

int RunRender(ChartModel& chart, const RenderRequest& request, std::ostream& err) {
  EnsureGuiApplication();
  chart.settings.bottomMargin = kWindowBottomMargin;
  RenderOptions options;
  options.width = request.width;
  options.height = request.height;
  options.backgroundImage = request.background;
  int status = 0;
  auto check = [&](bool ok, const std::string& path) {
    if (!ok) {
      err << "orvane-chart: cannot write " << path << '\n';
      status = kExitFailure;
    }
  };
  if (!request.png.empty()) {
    QImage image = RenderChartImage(chart, options);
    // With nothing else to draw, the series go before the picture is encoded: a long chart's
    // series and the encoder's buffers are then never held at once.
    if (request.svg.empty() && request.ops.empty()) {
      std::lock_guard lock(chart.seriesLock);
      std::vector<ChartSeries>().swap(chart.series);
    }
    check(SavePng(image, request.png), request.png);
  }
  if (!request.svg.empty()) check(RenderChartSvg(chart, options, request.svg), request.svg);
  if (!request.ops.empty()) check(RenderChartOps(chart, options, request.ops), request.ops);
  return status;
}

std::string_view RenderHelp() { return kHelp; }

}  // namespace orvane::tool
