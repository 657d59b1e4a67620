#pragma once

// What the chart shows under the cursor and how gestures move the visible window. Pure
// arithmetic over the series, the settings and the geometry of the last full paint.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/canvas.h"
#include "chart/chart_geometry.h"
#include "chart/chart_model.h"

namespace orvane {

// Zooming in stops when this many points are visible (or all of them, when there are fewer).
inline constexpr int kMinZoomPoints = 10;

// The point under pixel column x: the visible point of series 0 whose X is nearest (the earlier
// of two equally near). Empty when no point is visible.
std::optional<PointIndex> SnapToPoint(const ChartGeometry& g,
                                      const std::vector<ChartSeries>& series, double x);

// The value as the user knows it: under the logarithmic scale the main pane holds base-10
// logarithms, so 10^v; the lower pane (volume, momentum) and series marked plain never are.
double RealValue(double plotted, const ChartSeries& series, const ChartSettings& settings);

// Series whose values the readout and the export list one by one: lines and dots after series 0.
bool IsValueSeries(const ChartSeries& series, std::size_t position);

// The series' name, or one made from its place when the pipeline gave none.
std::string DisplayName(const ChartSeries& series, std::size_t position);

struct ReadoutValue {
  std::string name;
  ColorRef color = 0;
  std::optional<double> value;  // real value; empty for a gap
};

// Percentage changes of series 0's close (real values) at one point; empty where the point
// compared with is missing or has no usable value.
struct PointChanges {
  std::optional<double> previous;  // against the period before
  std::optional<double> yearAgo;   // against the same period a year before
};
// Changes of the close at point i of series 0. The points compared with are found by date, so
// a missing month gives no figure rather than the change against another month.
PointChanges ChangesAt(const ChartSeries& first, const ChartSettings& settings, PointIndex index);

// Captions of the two changes: "전월대비"/"전년동월대비", "전분기대비"/"전년동기대비"; in a
// yearly chart the period before is the year before, so only the first ("전년대비") is shown.
struct ChangeCaptions {
  std::string_view previous;
  std::string_view yearAgo;  // empty when it would repeat the first
};
ChangeCaptions ChangeCaptionsFor(PointPeriod period);

// A change for the readout and the export: "+1.25%"; "-" for none.
std::string FormatChange(std::optional<double> percent);

struct Readout {
  PointIndex index{};
  int x = 0;         // crosshair column
  std::string date;  // "2021.06"; empty for a point dated 0
  // Open, high, low and close of series 0 (real values); empty when its point is a gap.
  std::optional<std::array<double, 4>> candle;
  std::vector<ReadoutValue> lines;
  PointChanges changes;
};

// Everything the readout box shows at a point; empty when the point is not visible.
std::optional<Readout> ReadoutAt(const std::vector<ChartSeries>& series,
                                 const ChartSettings& settings, const ChartGeometry& g,
                                 PointIndex index);

// "2021.06" for 202106; empty for 0.
std::string ReadoutDate(std::int32_t date);
// 202106 for "2021.06" (also "2021-06" and "202106"); 0 when the text is no such month.
std::int32_t ParseMonth(std::string_view text);
// A value for the readout box: at most four decimals (two from 1000 up), thousands grouped.
std::string FormatReadoutValue(double value);

// Where the crosshair's readout box goes in a chart of chartWidth x chartHeight: right of and
// below the point (left of it where the right edge is near), always wholly inside the chart; a
// box larger than the chart shrinks to fit, keeping its shape.
CanvasRect ReadoutBoxPlace(int pointX, int cursorY, int boxWidth, int boxHeight, int chartWidth,
                           int chartHeight, int offset);

// Points an interactive view may show: the shortest series, no further than the pipeline's
// lastIndex (the full paint cuts every series there).
int AvailablePoints(const std::vector<ChartSeries>& series, const ChartView& home);

// Fractional view position under pixel column x.
double ViewPosAt(const ChartGeometry& g, double x);

// Scales the number of visible points by factor (below 1 zooms in) keeping the point at view
// position anchor where it is. The result stays inside the available points, shows at least
// kMinZoomPoints (or all) and keeps lastIndex, so no series is cut shorter.
ChartView ZoomView(const ChartView& view, int available, double anchor, double factor);
// Moves the visible window by shift points (positive: later), inside the available points.
ChartView PanView(const ChartView& view, int available, int shift);

}  // namespace orvane
