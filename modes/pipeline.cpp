#include "modes/pipeline.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "chart/palette.h"
#include "data/fresh_memory.h"

namespace orvane {

PipelineInputs::PipelineInputs(const PipelineInputs& other)
    : header(other.header),
      scaleChoice(other.scaleChoice),
      fromYear(other.fromYear),
      toYear(other.toYear),
      compareNames(other.compareNames),
      rebaseMonth(other.rebaseMonth) {
  records.reserve(other.records.size() + kSpareRecords);
  records.assign(other.records.begin(), other.records.end());
}

PipelineInputs& PipelineInputs::operator=(const PipelineInputs& other) {
  if (this != &other) *this = PipelineInputs(other);
  return *this;
}

std::vector<DataRecord> WorkingCopy(std::vector<DataRecord> records, bool logScale) {
  std::vector<DataRecord> work = std::move(records);
  if (logScale) {
    static constexpr std::array<int, 5> kSlots = {kOpen, kHigh, kLow, kClose, kCompanion};
    Log10Slots(work, kSlots);
  }
  return work;
}

void ReleaseRecords(std::vector<DataRecord>& records) { std::vector<DataRecord>().swap(records); }

void Log10Slots(std::span<DataRecord> work, std::span<const int> slots) {
  for (DataRecord& r : work) {
    for (int s : slots) r.v[s] = std::log10(r.v[s]);
  }
}

void Log10SlotWhere(std::span<DataRecord> work, int slot, const std::function<bool(double)>& take) {
  for (DataRecord& r : work) {
    if (take(r.v[slot])) r.v[slot] = std::log10(r.v[slot]);
  }
}

std::string_view MeanLineName(RecordPeriod period, int length) {
  static std::mutex guard;
  static std::map<std::pair<RecordPeriod, int>, std::string> names;  // nodes never move
  std::lock_guard lock(guard);
  auto [name, added] = names.try_emplace({period, length});
  if (added) {
    const char* unit = period == RecordPeriod::Month     ? "개월"
                       : period == RecordPeriod::Quarter ? "분기"
                                                         : "년";
    name->second = std::to_string(length) + unit + " 평균";
  }
  return name->second;
}

std::int32_t LeadingInteger(std::string_view text) {
  std::int32_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)ptr;
  return ec == std::errc() ? value : 0;
}

void ApplyChartProperties(ChartModel& chart, const DataHeader& header, Legends legends,
                          double lowerPaneRatio) {
  ChartSettings& s = chart.settings;
  s.singlePane = false;
  s.legendMomentum = legends.momentum;
  s.legendIchimoku = legends.ichimoku;
  s.legendCompare = legends.compare;
  s.lowerPaneRatio = lowerPaneRatio;
  s.title = header.title;
  s.subtitle = header.caption;
  s.highlightMonth = LeadingInteger(header.highlightMonth);
}

SeriesRow PriceCandles(CandlePlacement placement, PointRecipe values) {
  return {.look = {.style = SeriesStyle::Candle,
                   .color = Rgb(255, 0, 0),
                   .upColor = Rgb(255, 0, 0),
                   .downColor = Rgb(0, 0, 255),
                   .inMainRange = true,
                   .showTwoYearLink = placement.showTwoYearLink,
                   .baseLift = placement.baseLift,
                   .horizontalLabels = placement.horizontalLabels},
          .values = std::move(values)};
}

SeriesRow MonthlyVolumeBars(PointRecipe values) {
  return {.look = {.style = SeriesStyle::FlaggedCandle,
                   .color = Rgb(255, 0, 0),
                   .upColor = kRisingBarColor,
                   .downColor = kFallingBarColor,
                   .inMainRange = true,
                   .inLowerPane = true},
          .values = std::move(values)};
}

PointRecipe CandleValues() {
  return {Slots({kOpen, kHigh, kLow, kClose}), [](const SourceRow& r, ChartPoint& p) {
            p.open = r.v[kOpen];
            p.low = r.v[kLow];
            p.high = r.v[kHigh];
            p.close = r.v[kClose];
            p.valid = r.date != 0;
          }};
}

PointRecipe LineOf(int slot) {
  return {Slots({slot}), [slot](const SourceRow& r, ChartPoint& p) {
            p.open = p.low = p.high = p.close = r.v[slot];
            p.valid = true;
          }};
}

PointRecipe LineOf(int slot, double minValid) {
  return {Slots({slot}), [slot, minValid](const SourceRow& r, ChartPoint& p) {
            p.open = p.low = p.high = p.close = r.v[slot];
            p.valid = r.v[slot] >= minValid;
          }};
}

PointRecipe CompanionLine() { return LineOf(kCompanion, 1e-10); }

PointRecipe VolumeBars() {
  return {Slots({kVolume, kOpen, kClose}), [](const SourceRow& r, ChartPoint& p) {
            p.open = 0.0;
            p.low = 0.0;
            p.high = r.v[kVolume];
            p.close = r.v[kVolume];
            p.rising = r.v[kOpen] <= r.v[kClose];
            p.valid = r.date != 0;
          }};
}

SlotSet SlotsRead(std::span<const SeriesRow> rows) {
  SlotSet slots;
  for (const SeriesRow& row : rows) slots |= row.values.reads;
  return slots;
}

SeriesSource::SeriesSource(std::span<const DataRecord> work, RangeFilter range, const SlotSet& held)
    : width_(held.count()) {
  std::array<int, kValueCount> order{};  // the slots held, in slot order
  std::size_t n = 0;
  for (int s = 0; s < kValueCount; ++s) {
    offsets_[s] = -1;
    if (held.test(s)) {
      offsets_[s] = static_cast<std::int8_t>(n);
      order[n++] = s;
    }
  }
  const auto inRange = [range](const DataRecord& r) { return range.Passes(r); };
  const auto rows = static_cast<std::size_t>(std::count_if(work.begin(), work.end(), inRange));
  dates_.reserve(rows);
  values_.reserve(rows * width_);
  MapRoomForWriting(dates_);
  MapRoomForWriting(values_);
  for (const DataRecord& r : work) {
    if (!inRange(r)) continue;
    dates_.push_back(r.date);
    for (std::size_t k = 0; k < width_; ++k) values_.push_back(r.v[order[k]]);
  }
  endsList_ = !work.empty() && inRange(work.back());
}

std::unique_lock<std::recursive_mutex> BeginSeries(ChartModel& chart) {
  std::unique_lock lock(chart.seriesLock);
  chart.series.clear();
  chart.workSeries.name.clear();
  return lock;
}

namespace {

void ApplyLook(ChartSeries& s, const SeriesLook& look) {
  s.color = look.color;
  s.width = look.width;
  s.style = look.style;
  s.upColor = look.upColor;
  s.downColor = look.downColor;
  s.markHighlight = look.markHighlight;
  s.inMainRange = look.inMainRange;
  s.inLowerPane = look.inLowerPane;
  s.showTwoYearLink = look.showTwoYearLink;
  s.baseLift = look.baseLift;
  s.horizontalLabels = look.horizontalLabels;
  s.name = look.name;
  s.plainUnderLogScale = look.plainUnderLogScale;
  s.points.clear();
  s.labels.Clear();
}

void StartPoint(WorkPoint& p, std::int32_t date) { p.Restart(date, kPointTime); }

void SetBody(ChartPoint& p, double open, double close) {
  p.open = open;
  p.close = close;
  p.high = std::max(open, close);
  p.low = std::min(open, close);
}

}  // namespace

void AppendSeries(ChartModel& chart, const SeriesRow& row, const SeriesSource& source) {
  ApplyLook(chart.workSeries, row.look);
  // Room for every point at once: grown by doubling instead, the first series of a long chart
  // would leave megabytes of outgrown blocks behind.
  chart.workSeries.points.reserve(source.size());
  for (std::size_t i = 0; i < source.size(); ++i) {
    const SourceRow r = source.Row(i);
    StartPoint(chart.workPoint, r.date);
    row.values(r, chart.workPoint);
    chart.AppendWorkPoint();
  }
  chart.AppendWorkSeries();
}

SeriesLook YearBodyLook(double baseLift) {
  return {.style = SeriesStyle::Candle,
          .color = Rgb(255, 0, 0),
          .width = 1,
          .upColor = Rgb(255, 255, 0),
          .downColor = Rgb(0, 255, 255),
          .markHighlight = true,
          .inMainRange = true,
          .inLowerPane = false,
          .showTwoYearLink = false,
          .baseLift = baseLift};
}

void AppendYearBody(ChartModel& chart, const SeriesSource& source, double baseLift) {
  ApplyLook(chart.workSeries, YearBodyLook(baseLift));
  chart.workSeries.points.reserve(source.size());
  PointList& points = chart.workSeries.points;
  WorkPoint& p = chart.workPoint;
  bool rising = true;
  if (source.size() > 0) {
    const SourceRow final = source.Row(source.size() - 1);
    rising = final.v[kOpen] <= final.v[kClose];
  }

  double yearOpen = 0.0, yearClose = 0.0;
  std::int32_t currentYear = 0;
  // The points of currentYear form the trailing run [runStart, end). Rewriting the run walks
  // back over all of it; a later rewrite in the same year covers every earlier one, so only the
  // last rewrite of each run is carried out (keeps many zero closes in one year linear).
  std::size_t runStart = 0, pendingEnd = 0;
  double pendingOpen = 0.0, pendingClose = 0.0;
  auto flushRewrite = [&] {
    for (std::size_t k = runStart; k < pendingEnd; ++k)
      points.Edit(k, [&](ChartPoint& q) { SetBody(q, pendingOpen, pendingClose); });
    pendingEnd = runStart;
  };

  for (std::size_t i = 0; i < source.size(); ++i) {
    const SourceRow r = source.Row(i);
    const std::int32_t year = r.date / 100;
    // The working list's last record closes its year; a last row that is not that record does not.
    const bool last = i + 1 == source.size() && source.EndsList();
    const double open = r.v[kOpen], close = r.v[kClose];
    if (year != currentYear || close == 0.0 || last) {
      const bool closingCurrentYear = last && year == currentYear;
      if (closingCurrentYear) yearClose = close;
      pendingEnd = points.size();
      pendingOpen = yearOpen;
      pendingClose = yearClose;
      if (!closingCurrentYear && open != 0.0) yearOpen = open;
      if (year != currentYear) {
        flushRewrite();
        runStart = points.size();
        pendingEnd = runStart;
      }
      currentYear = year;
    }
    if (close != 0.0) yearClose = close;

    StartPoint(p, r.date);
    p.open = p.low = p.high = p.close = open;
    if (last) SetBody(p, yearOpen, yearClose);
    p.valid = r.date != 0;
    p.rising = rising;
    chart.AppendWorkPoint();
  }
  flushRewrite();
  chart.AppendWorkSeries();
}

void AppendSeriesTable(ChartModel& chart, std::span<const SeriesRow> rows,
                       const SeriesSource& source, SwingRule swings) {
  if (rows.empty()) return;
  AppendSeries(chart, rows.front(), source);
  ChartSeries& candle = chart.series.back();
  SetSwingLabels(candle, swings.WindowFor(candle.points.size()), swings.kind, swings.firstPoint);
  for (const SeriesRow& row : rows.subspan(1)) AppendSeries(chart, row, source);
}

ChartView ViewBeforeYear(const ChartModel& chart, int toYear) {
  const PointList none;
  const PointList& pts = chart.series.empty() ? none : chart.series.front().points;
  std::int32_t count = static_cast<std::int32_t>(pts.size());
  for (std::size_t i = 0; i < pts.size(); ++i) {
    if (pts[i].date / 100 >= toYear) {
      count = static_cast<std::int32_t>(i);
      break;
    }
  }
  return ChartView{count - 1, count, 0};
}

void FinishChart(ChartModel& chart, std::unique_lock<std::recursive_mutex> lock, int toYear) {
  const ChartView view = ViewBeforeYear(chart, toYear);
  lock.unlock();
  chart.DrawChart(view);
}

}  // namespace orvane
