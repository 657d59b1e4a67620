#include "modes/dashboard.h"

#include <algorithm>
#include <array>

#include "chart/palette.h"
#include "data/series_reader.h"
#include "modes/periods.h"

namespace orvane {
namespace {

constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr std::int32_t kBottomMargin = 20;
constexpr double kLowerPaneRatio = 0.8;
// The monthly chart takes this fraction of the height: height / 1.7.
constexpr double kSplitDivisor = 1.7;

// The line of the k-th running mean of a list of the given period.
SeriesRow MeanLine(RecordPeriod period, std::size_t k, ColorRef color) {
  const MeanWindow mean = period == RecordPeriod::Month     ? kMonthMeans[k]
                          : period == RecordPeriod::Quarter ? kQuarterMeans[k]
                                                            : kYearMeans[k];
  return {.look = {.style = SeriesStyle::Line,
                   .color = color,
                   .name = MeanLineName(period, mean.months)},
          .values = LineOf(mean.slot)};
}

std::vector<SeriesRow> MonthlyRows() {
  return {PriceCandles(),
          MeanLine(RecordPeriod::Month, 0, kMeanLineColors[0]),
          MeanLine(RecordPeriod::Month, 1, kMeanLineColors[1]),
          MeanLine(RecordPeriod::Month, 2, kMeanLineColors[2]),
          MeanLine(RecordPeriod::Month, 3, kMeanLineColors[3]),
          MeanLine(RecordPeriod::Month, 4, kMeanLineColors[4]),
          MeanLine(RecordPeriod::Month, 5, kMeanLineColors[5]),
          {.look = {.style = SeriesStyle::Line, .color = kCompanionColor, .width = 2},
           .values = CompanionLine()},
          MonthlyVolumeBars()};
}

std::vector<SeriesRow> QuarterlyRows() {
  return {PriceCandles(),
          MeanLine(RecordPeriod::Quarter, 0, kMeanLineColors[0]),
          MeanLine(RecordPeriod::Quarter, 1, kMeanLineColors[1]),
          MeanLine(RecordPeriod::Quarter, 2, kMeanLineColors[2]),
          MeanLine(RecordPeriod::Quarter, 3, kMeanLineColors[3]),
          MeanLine(RecordPeriod::Quarter, 4, kMeanLineColors[4]),
          MeanLine(RecordPeriod::Quarter, 5, kMeanLineColors[5]),
          MonthlyVolumeBars()};
}

// The yearly chart draws the change unscaled in its own pane, with no volume and no year body.
std::vector<SeriesRow> YearlyRows(bool labelled) {
  return {PriceCandles(),
          MeanLine(RecordPeriod::Year, 0, kMeanLineColors[1]),
          MeanLine(RecordPeriod::Year, 1, kMeanLineColors[2]),
          MeanLine(RecordPeriod::Year, 2, kMeanLineColors[3]),
          MeanLine(RecordPeriod::Year, 3, kMeanLineColors[4]),
          {.look = {.style = SeriesStyle::FlaggedCandle,
                    .color = kRed,
                    .upColor = kRisingBarColor,
                    .downColor = kFallingBarColor,
                    .inMainRange = true,
                    .inLowerPane = true},
           .values = ChangeBars(labelled)}};
}

// Title, subtitle and highlight month; the legends and the lower pane keep what they are.
void SetChartTexts(ChartModel& chart, std::string title, std::string subtitle,
                   std::int32_t highlightMonth) {
  chart.settings.singlePane = false;
  chart.settings.title = std::move(title);
  chart.settings.subtitle = std::move(subtitle);
  chart.settings.highlightMonth = highlightMonth;
}

// The list is let go once the chart's source is made from it.
void FillChart(ChartModel& chart, std::span<const SeriesRow> rows, std::vector<DataRecord> list,
               const DashboardInputs& in, SwingRule swings, bool yearBody) {
  auto lock = BeginSeries(chart);
  const SeriesSource source(list, RangeFilter{in.fromYear},
                            SlotsRead(rows) | (yearBody ? kYearBodySlots : SlotSet()));
  ReleaseRecords(list);
  AppendSeriesTable(chart, rows, source, swings);
  if (yearBody) AppendYearBody(chart, source, 0.0);
  FinishChart(chart, std::move(lock), in.toYear);
}

int ClampSide(int side) { return std::max(0, side); }

}  // namespace

DashboardLists ReadDashboardLists(const DataTable& table, int scaleChoice) {
  DashboardLists lists;
  std::string_view highlight = table.Text(kHighlightCell.row, kHighlightCell.column);
  for (char c : highlight) {
    if (c != '.') lists.highlightText += c;
  }
  lists.titleText = table.Text(kTitleCell.row, kTitleCell.column);
  lists.captionText = table.Text(kCaptionCell.row, kCaptionCell.column);

  lists.monthly = LoadRecords(table, /*skipUndatedRows=*/true).records;
  lists.quarterly = MergePeriods(lists.monthly, PeriodKind::Quarter);
  lists.yearly = MergePeriods(lists.monthly, PeriodKind::Year);
  SetPercentChange(lists.quarterly);
  SetPercentChange(lists.yearly);
  if (scaleChoice == kScaleLog) {
    static constexpr std::array<int, 5> kLogSlots = {kOpen, kHigh, kLow, kClose, kCompanion};
    for (auto* list : {&lists.monthly, &lists.quarterly, &lists.yearly})
      Log10Slots(*list, kLogSlots);
  }
  ComputeRunningMeans(lists.monthly, kMonthMeans);
  ComputeRunningMeans(lists.quarterly, kQuarterMeans);
  ComputeRunningMeans(lists.yearly, kYearMeans);
  return lists;
}

void PrepareDashboardCharts(const DashboardCharts& charts) {
  for (ChartModel* chart : charts) {
    chart->settings.bottomMargin = kBottomMargin;
    chart->settings.lowerPaneRatio = kLowerPaneRatio;
  }
}

DashboardModels::DashboardModels() {
  for (std::size_t i = 0; i < models.size(); ++i) {
    models[i].Attach();
    charts[i] = &models[i];
  }
  PrepareDashboardCharts(charts);
}

ChartFonts DashboardChartFonts(std::size_t chart) {
  ChartFonts fonts;
  fonts.title.pixelSize = chart == 0 ? 50 : 40;
  fonts.subtitle.pixelSize = 15;
  return fonts;
}

std::int32_t HighlightOnPeriod(std::int32_t month, std::span<const DataRecord> periods,
                               RangeFilter range) {
  for (std::size_t k = 0; k < periods.size(); ++k) {
    if (!range.Passes(periods[k])) continue;
    const std::int32_t date = periods[k].date;
    const bool after = k == 0 || periods[k - 1].date < month;
    if (after && month <= date) month = date;
  }
  return month;
}

void BuildDashboard(const DataTable& table, const DashboardInputs& in,
                    const DashboardCharts& charts) {
  BuildDashboard(ReadDashboardLists(table, in.scaleChoice), in, charts);
}

void BuildDashboard(DashboardLists lists, const DashboardInputs& in,
                    const DashboardCharts& charts) {
  for (ChartModel* chart : charts) chart->settings.logScale = in.scaleChoice == kScaleLog;
  charts[1]->settings.pointPeriod = PointPeriod::Quarter;
  charts[2]->settings.pointPeriod = PointPeriod::Year;
  const std::int32_t highlight = LeadingInteger(lists.highlightText);
  const RangeFilter range{in.fromYear};

  ChartModel& monthly = *charts[0];
  SetChartTexts(monthly, lists.titleText, lists.captionText, highlight);
  FillChart(monthly, MonthlyRows(), std::move(lists.monthly), in, {9, SwingKind::NonStrict}, true);

  ChartModel& quarterly = *charts[1];
  SetChartTexts(quarterly, "분기봉", "", HighlightOnPeriod(highlight, lists.quarterly, range));
  FillChart(quarterly, QuarterlyRows(), std::move(lists.quarterly), in, {6, SwingKind::NonStrict},
            true);

  ChartModel& yearly = *charts[2];
  SetChartTexts(yearly, "연봉", "", HighlightOnPeriod(highlight, lists.yearly, range));
  // The yearly chart has few points: its swings are sought from the second point on.
  FillChart(yearly, YearlyRows(in.freshFile), std::move(lists.yearly), in,
            {6, SwingKind::NonStrict, /*firstPoint=*/1}, false);
}

std::array<CanvasRect, kDashboardChartCount> DashboardLayout(int width, int height) {
  width = ClampSide(width);
  height = ClampSide(height);
  const int split = static_cast<int>(height / kSplitDivisor);
  const int middle = width / 2;
  const int lowerHeight = ClampSide(height - split - 1);
  return {{
      {0, 0, width, ClampSide(split - 1)},
      {0, split + 1, ClampSide(middle - 1), lowerHeight},
      {middle + 1, split + 1, ClampSide(width - middle - 1), lowerHeight},
  }};
}

}  // namespace orvane
