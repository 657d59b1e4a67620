#pragma once

// The shared skeleton of the chart-mode pipelines and the recipes they are built from.
//
// A pipeline reads like its recipe:
//   1. work = WorkingCopy(...)              the records, logarithms under the log scale
//   2. ComputeRunningMeans(work, ...) etc.  derived values over the whole working list
//   3. ApplyChartProperties(chart, ...)     title, captions, legends, lower pane
//   4. auto lock = BeginSeries(chart)       takes seriesLock and empties series
//   5. AppendSeries(chart, row, ...)        one call per row of the mode's series table
//   6. SetSwingLabels(chart.series[0], ...) where the mode labels its swings (swing_labels.h)
//   7. FinishChart(chart, lock, toYear)     the view cut at toYear, unlock, DrawChart
//
// Every series goes through chart.workSeries and chart.workPoint, each filled whole for every
// series and every point: a mode's series table states every field, so nothing one series, point
// or earlier run leaves in them reaches the next.

#include <array>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_model.h"
#include "chart/indicators.h"
#include "data/data_record.h"
#include "modes/swing_labels.h"

namespace orvane {

// Index of the scale combo boxes.
inline constexpr int kScaleLog = 0;
inline constexpr int kScaleArith = 1;

// What the main window hands a pipeline on Apply.
struct PipelineInputs {
  std::vector<DataRecord> records;
  DataHeader header;
  int scaleChoice = kScaleArith;  // anything but kScaleArith means base-10 logarithms
  int fromYear = 2005;
  int toYear = 2030;  // exclusive
  // Names of the compared lines: data-table row 4, columns 7 to 16.
  std::array<std::string, 10> compareNames;
  // Compare mode only: YYYYMM at which every series is set to 100; 0 draws the values as read.
  std::int32_t rebaseMonth = 0;

  bool LogScale() const { return scaleChoice != kScaleArith; }
};

// The time every pipeline stamps on its points.
inline constexpr std::int32_t kPointTime = 150000;

// Price slots that take logarithms under the log scale.
inline constexpr std::array<int, 4> kPriceSlots = {kOpen, kHigh, kLow, kClose};

// The records as a pipeline's working list; under the log scale open, high, low, close and
// companion become base-10 logarithms (volume never does). Pipelines take their inputs by value:
// a caller that keeps its records passes a copy, one that is done with them moves them in.
std::vector<DataRecord> WorkingCopy(std::vector<DataRecord> records, bool logScale);

// Replaces the given slots by their base-10 logarithms (0 gives -inf, negatives NaN).
void Log10Slots(std::span<DataRecord> work, std::span<const int> slots);
// Replaces one slot by its logarithm only where take(value) holds.
void Log10SlotWhere(std::span<DataRecord> work, int slot, const std::function<bool(double)>& take);

// What one record of a working list stands for.
enum class RecordPeriod { Month, Quarter, Year };
// Name of the line of a running mean over `length` records in the value readout and the data
// export: "12개월 평균", "4분기 평균", "3년 평균". The text lives as long as the program.
std::string_view MeanLineName(RecordPeriod period, int length);

struct Legends {
  bool momentum = false;
  bool ichimoku = false;
  bool compare = false;
};
// singlePane off, legends, lowerPaneRatio, title, subtitle and highlightMonth from the header.
void ApplyChartProperties(ChartModel& chart, const DataHeader& header, Legends legends,
                          double lowerPaneRatio);

// Leading decimal integer of a text ("202106" -> 202106); 0 when there is none or it overflows.
std::int32_t LeadingInteger(std::string_view text);

// A record is drawn when it is dated 0 (a future or filler slot) or falls in fromYear or later.
struct RangeFilter {
  int fromYear = 0;
  bool Passes(const DataRecord& r) const { return r.date < 1 || r.date / 100 >= fromYear; }
};

// The look of one series: every field here is written into workSeries before its points.
struct SeriesLook {
  SeriesStyle style = SeriesStyle::Line;
  ColorRef color = 0;
  std::int32_t width = 1;
  ColorRef upColor = Rgb(255, 0, 0);
  ColorRef downColor = Rgb(0, 0, 255);
  bool markHighlight = false;
  bool inMainRange = false;
  bool inLowerPane = false;
  bool showTwoYearLink = false;
  double baseLift = 0.0;
  bool horizontalLabels = true;
  // Shown in the value readout and the data export; empty = named by its place.
  std::string_view name = {};
  // A main-pane line whose values the pipeline leaves as they are under the log scale.
  bool plainUnderLogScale = false;
};

// Fills the values and `valid` (and where the recipe says so `rising` and the labels) of
// workPoint from a record. AppendSeries first states the whole point: the record's date,
// kPointTime, values 0, `valid` and `rising` true, no labels.
using PointRecipe = std::function<void(const DataRecord&, ChartPoint&)>;

// Open, low, high, close of the record; a point dated 0 is a gap.
PointRecipe CandleValues();
// All four values := v[slot]; always valid.
PointRecipe LineOf(int slot);
// All four values := v[slot]; valid only where the value is at least minValid.
PointRecipe LineOf(int slot, double minValid);
// The companion line: a gap where companion < 1e-10 (so also where its logarithm is negative).
PointRecipe CompanionLine();
// 0, 0, volume, volume; rising when the record's open <= close; a point dated 0 is a gap.
PointRecipe VolumeBars();

struct SeriesRow {
  SeriesLook look;
  PointRecipe values;
};

// Where a chart places its price candles.
struct CandlePlacement {
  double baseLift = 0.0;
  bool showTwoYearLink = false;
  bool horizontalLabels = true;
};
// The price candles every chart starts with: rising red, falling blue, setting the main range.
SeriesRow PriceCandles(CandlePlacement placement = {}, PointRecipe values = CandleValues());
// The volume bars of the monthly candles, in the lower pane.
SeriesRow MonthlyVolumeBars(PointRecipe values = VolumeBars());

// Starts the series part of a pipeline: takes seriesLock, empties series, clears the name.
std::unique_lock<std::recursive_mutex> BeginSeries(ChartModel& chart);

// The series procedure: look into workSeries, one workPoint per record in range, then a copy
// of workSeries into series.
void AppendSeries(ChartModel& chart, const SeriesRow& row, std::span<const DataRecord> work,
                  RangeFilter range);

// The year-body look: red candles with yellow/cyan bodies over the highlight band.
SeriesLook YearBodyLook(double baseLift);
// Appends the year body: each point of a calendar year carries that year's open and its last
// non-zero close. A point dated 0 is a gap. Every point is `rising` when the last record in range
// did not fall (open <= close), the flag the bars before the year body end on.
void AppendYearBody(ChartModel& chart, std::span<const DataRecord> work, RangeFilter range,
                    double baseLift);

// Appends rows[0] (the candle), labels its swings, then appends the other rows in order.
void AppendSeriesTable(ChartModel& chart, std::span<const SeriesRow> rows,
                       std::span<const DataRecord> work, RangeFilter range, SwingRule swings);

// The view over all points of the first series, ending before the first point of toYear.
ChartView ViewBeforeYear(const ChartModel& chart, int toYear);
// Sets the view, releases seriesLock and has the chart paint.
void FinishChart(ChartModel& chart, std::unique_lock<std::recursive_mutex> lock, int toYear);

}  // namespace orvane
