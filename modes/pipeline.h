#pragma once

// The shared skeleton of the chart-mode pipelines and the recipes they are built from.
//
// A pipeline reads like its recipe:
//   1. work = WorkingCopy(...)              the records, logarithms under the log scale
//   2. ComputeRunningMeans(work, ...) etc.  derived values over the whole working list
//   3. ApplyChartProperties(chart, ...)     title, captions, legends, lower pane
//   4. auto lock = BeginSeries(chart)       takes seriesLock and empties series
//   5. SeriesSource source(work, ...)       the records in range, with the slots the table reads;
//                                           the working list is let go before the series grow
//   6. AppendSeries(chart, row, source)     one call per row of the mode's series table
//   7. SetSwingLabels(chart.series[0], ...) where the mode labels its swings (swing_labels.h)
//   8. FinishChart(chart, lock, toYear)     the view cut at toYear, unlock, DrawChart
//
// Every series goes through chart.workSeries and chart.workPoint, each filled whole for every
// series and every point: a mode's series table states every field, so nothing one series, point
// or earlier run leaves in them reaches the next.

#include <array>
#include <bitset>
#include <cassert>
#include <functional>
#include <initializer_list>
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
  PipelineInputs() = default;
  // A copy keeps room after its last record, as a series just read does (kSpareRecords): the
  // future months a chart appends then extend it in place instead of moving every record.
  PipelineInputs(const PipelineInputs& other);
  PipelineInputs& operator=(const PipelineInputs& other);
  PipelineInputs(PipelineInputs&&) = default;
  PipelineInputs& operator=(PipelineInputs&&) = default;
  ~PipelineInputs() = default;

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

// Lets a working list's memory go (assigning {} would keep it).
void ReleaseRecords(std::vector<DataRecord>& records);

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

// A set of slots of DataRecord::v.
using SlotSet = std::bitset<kValueCount>;
constexpr SlotSet Slots(std::initializer_list<int> list) {
  unsigned long long bits = 0;
  for (int s : list) bits |= 1ULL << s;
  return SlotSet(bits);
}
static_assert(kValueCount <= 64, "Slots builds its set in one 64-bit word");

// One record of a SeriesSource, read the way a DataRecord is: r.date and r.v[slot].
struct SourceRow {
  class Values {
   public:
    Values(const double* row, const std::int8_t* offsets) : row_(row), offsets_(offsets) {}
    // Only the slots the source holds may be read.
    double operator[](int slot) const {
      assert(offsets_[slot] >= 0 && "a recipe reads a slot it does not declare");
      return row_[offsets_[slot]];
    }

   private:
    const double* row_;
    const std::int8_t* offsets_;  // by slot: place in row_, -1 when not held
  };

  std::int32_t date;
  Values v;
};

// Fills the values and `valid` (and where the recipe says so `rising` and the labels) of
// workPoint from a record. AppendSeries first states the whole point: the record's date,
// kPointTime, values 0, `valid` and `rising` true, no labels. `reads` names every slot `fill`
// reads: the series source holds those and no others.
struct PointRecipe {
  SlotSet reads;
  std::function<void(const SourceRow&, WorkPoint&)> fill;

  void operator()(const SourceRow& r, WorkPoint& p) const { fill(r, p); }
};

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

// Every slot the rows' recipes read.
SlotSet SlotsRead(std::span<const SeriesRow> rows);
// What the year body reads.
inline constexpr SlotSet kYearBodySlots = Slots({kOpen, kClose});

// The records of a working list that are in range, narrowed to the slots a series table reads:
// what the series are filled from. Once it is made the working list can go, so a long list and
// its many series are not held at once.
class SeriesSource {
 public:
  SeriesSource(std::span<const DataRecord> work, RangeFilter range, const SlotSet& held);
  SeriesSource(const SeriesSource&) = delete;
  SeriesSource& operator=(const SeriesSource&) = delete;

  std::size_t size() const { return dates_.size(); }
  SourceRow Row(std::size_t i) const {
    return {dates_[i], SourceRow::Values(values_.data() + i * width_, offsets_.data())};
  }
  // Whether the last row is the working list's last record.
  bool EndsList() const { return endsList_; }

 private:
  std::vector<std::int32_t> dates_;
  std::vector<double> values_;  // row by row, width_ values each
  std::size_t width_ = 0;
  std::array<std::int8_t, kValueCount> offsets_{};
  bool endsList_ = false;
};

// Starts the series part of a pipeline: takes seriesLock, empties series, clears the name.
std::unique_lock<std::recursive_mutex> BeginSeries(ChartModel& chart);

// The series procedure: look into workSeries, one workPoint per row of the source, then a copy
// of workSeries into series.
void AppendSeries(ChartModel& chart, const SeriesRow& row, const SeriesSource& source);

// The year-body look: red candles with yellow/cyan bodies over the highlight band.
SeriesLook YearBodyLook(double baseLift);
// Appends the year body: each point of a calendar year carries that year's open and its last
// non-zero close. A point dated 0 is a gap. Every point is `rising` when the last record in range
// did not fall (open <= close), the flag the bars before the year body end on. The source holds
// kYearBodySlots.
void AppendYearBody(ChartModel& chart, const SeriesSource& source, double baseLift);

// Appends rows[0] (the candle), labels its swings, then appends the other rows in order.
void AppendSeriesTable(ChartModel& chart, std::span<const SeriesRow> rows,
                       const SeriesSource& source, SwingRule swings);

// The view over all points of the first series, ending before the first point of toYear.
ChartView ViewBeforeYear(const ChartModel& chart, int toYear);
// Sets the view, releases seriesLock and has the chart paint.
void FinishChart(ChartModel& chart, std::unique_lock<std::recursive_mutex> lock, int toYear);

}  // namespace orvane
