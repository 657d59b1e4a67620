#include "tools/orvane_chart/render_command.h"

#include <QGuiApplication>
#include <charconv>
#include <cstdlib>
#include <ostream>

#include "chart/qt/chart_render.h"

namespace orvane {
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

// Fonts and images need a GUI application; without a display the offscreen platform serves.
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

constexpr std::string_view kHelp = R"(Rendering:
  --png OUT.png         draw the chart into a PNG picture
  --svg OUT.svg         draw the chart into an SVG drawing
  --ops OUT.jsonl       write the draw operations, one JSON object per line
  --size WxH            client size in pixels (default 1900x980)
  --background IMAGE    picture drawn 350 x 350 in the middle, as the chart window does
  Several outputs may be given at once. No display is needed.

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

}  // namespace

std::optional<std::string> TakeRenderOptions(std::vector<std::string>& args,
                                             RenderRequest& request) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* target = nullptr;
    if (a == "--png") target = &request.png;
    if (a == "--svg") target = &request.svg;
    if (a == "--ops") target = &request.ops;
    if (a == "--background") target = &request.background;
    if (target == nullptr && a != "--size") {
      rest.push_back(a);
      continue;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) return a + " needs a value";
    const std::string& value = args[++i];
    if (target != nullptr) {
      *target = value;
    } else if (!ParseSize(value, request.width, request.height)) {
      return "--size wants WxH with sides of 1 to " + std::to_string(kMaxSide) + ", not " + value;
    }
  }
  args = std::move(rest);
  return std::nullopt;
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
      status = 1;
    }
  };
  if (!request.png.empty()) check(RenderChartPng(chart, options, request.png), request.png);
  if (!request.svg.empty()) check(RenderChartSvg(chart, options, request.svg), request.svg);
  if (!request.ops.empty()) check(RenderChartOps(chart, options, request.ops), request.ops);
  return status;
}

std::string_view RenderHelp() { return kHelp; }

}  // namespace orvane
