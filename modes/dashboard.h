#pragma once

// The three-chart dashboard (mode 0): one series as monthly, quarterly and yearly candles. It
// reads its own data table, with its own rules, and fills three charts in one run.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "chart/canvas.h"
#include "chart/chart_model.h"
#include "chart/chart_painter.h"
#include "data/data_table.h"
#include "modes/pipeline.h"

namespace orvane {

// What the main window's Apply hands the dashboard.
struct DashboardInputs {
  int scaleChoice = kScaleArith;  // only kScaleLog takes logarithms here
  int fromYear = 2005;
  int toYear = 2030;  // exclusive
  // Set when a series file was loaded; the yearly change bars are labelled only then.
  bool freshFile = true;
};

// The header texts and the three record lists of one run.
struct DashboardLists {
  std::string highlightText;  // highlight cell with every "." removed; empty when the cell is
  std::string titleText;
  std::string captionText;
  std::vector<DataRecord> monthly;    // rows with a close and a date, means in v[22..27]
  std::vector<DataRecord> quarterly;  // merged quarters with their change, means in v[22..27]
  std::vector<DataRecord> yearly;     // merged years with their change, means in v[22..26]
};

// Header texts and record lists from the table: months as the single-chart reader reads them,
// except that rows dated 0 are left out; quarters and years merged from those months with their
// percentage change; logarithms under the log scale (volume and change stay); running means.
DashboardLists ReadDashboardLists(const DataTable& table, int scaleChoice);

// The monthly chart across the top, the quarterly chart bottom left, the yearly bottom right.
inline constexpr std::size_t kDashboardChartCount = 3;
using DashboardCharts = std::array<ChartModel*, kDashboardChartCount>;

// What the dashboard sets on its charts once, when it creates them.
void PrepareDashboardCharts(const DashboardCharts& charts);
// The dashboard's three charts without its window (for the tools): attached models prepared as
// the dashboard prepares them.
struct DashboardModels {
  DashboardModels();
  DashboardModels(const DashboardModels&) = delete;
  DashboardModels& operator=(const DashboardModels&) = delete;

  std::array<ChartModel, kDashboardChartCount> models;
  DashboardCharts charts;  // the models, in order
};

// Title fonts: 50 pixels over the monthly chart, 40 over the other two; subtitles 15 pixels.
ChartFonts DashboardChartFonts(std::size_t chart);

// The period that shows a month: the first period in range dated at or after it, when the
// period before it (in the whole list) is dated before the month. Otherwise the month itself.
std::int32_t HighlightOnPeriod(std::int32_t month, std::span<const DataRecord> periods,
                               RangeFilter range);

// Fills and paints the three charts from the table.
void BuildDashboard(const DataTable& table, const DashboardInputs& in,
                    const DashboardCharts& charts);
// The same from lists read with in.scaleChoice; the months are let go once their chart is filled.
void BuildDashboard(DashboardLists lists, const DashboardInputs& in, const DashboardCharts& charts);

// Places the charts in a client area of width x height pixels: the monthly chart takes the top
// height / 1.7 pixels less one, the two others split the rest at width / 2 with one pixel
// between. Sides never go below 0.
std::array<CanvasRect, kDashboardChartCount> DashboardLayout(int width, int height);

}  // namespace orvane
