#include "modes/pipeline.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <limits>
#include <map>

namespace orvane {

std::vector<DataRecord> WorkingCopy(std::span<const DataRecord> records, bool logScale) {
  std::vector<DataRecord> work(records.begin(), records.end());
  if (logScale) {
    static constexpr std::array<int, 5> kSlots = {kOpen, kHigh, kLow, kClose, kCompanion};
    Log10Slots(work, kSlots);
  }
  return work;
}

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

void RunningMeans(std::span<DataRecord> work, std::span<const MeanWindow> windows) {
  for (const MeanWindow& w : windows) {
    if (w.months < 1) continue;
    const std::size_t months = static_cast<std::size_t>(w.months);
    // Finite closes are kept as a running sum; non-finite ones are counted so that a single
    // -inf or NaN spoils only the means whose window holds it (a plain running sum would turn
    // every later mean into NaN once the -inf leaves the window).
    double sum = 0.0;
    std::size_t nans = 0, posInfs = 0, negInfs = 0;
    auto account = [&](double c, int sign) {
      if (std::isnan(c)) {
        nans += sign;
      } else if (std::isinf(c)) {
        (c > 0 ? posInfs : negInfs) += sign;
      } else if (sign > 0) {
        sum += c;
      } else {
        sum -= c;
      }
    };
    for (std::size_t i = 0; i < work.size(); ++i) {
      account(work[i].v[kClose], 1);
      if (i >= months) account(work[i - months].v[kClose], -1);
      const double count = static_cast<double>(std::min(i + 1, months));
      double mean = sum / count;
      if (nans > 0 || (posInfs > 0 && negInfs > 0)) {
        mean = std::numeric_limits<double>::quiet_NaN();
      } else if (posInfs > 0) {
        mean = std::numeric_limits<double>::infinity();
      } else if (negInfs > 0) {
        mean = -std::numeric_limits<double>::infinity();
      }
      work[i].v[w.slot] = mean;
    }
  }
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

SeriesRow MonthlyVolumeBars() {
  return {.look = {.style = SeriesStyle::FlaggedCandle,
                   .color = Rgb(255, 0, 0),
                   .upColor = Rgb(255, 153, 205),
                   .downColor = Rgb(153, 204, 0),
                   .inMainRange = true,
                   .inLowerPane = true},
          .values = VolumeBars()};
}

PointRecipe CandleValues() {
  return [](const DataRecord& r, ChartPoint& p) {
    p.open = r.v[kOpen];
    p.low = r.v[kLow];
    p.high = r.v[kHigh];
    p.close = r.v[kClose];
    p.valid = r.date != 0;
  };
}

PointRecipe LineOf(int slot) {
  return [slot](const DataRecord& r, ChartPoint& p) {
    p.open = p.low = p.high = p.close = r.v[slot];
    p.valid = true;
  };
}

PointRecipe LineOf(int slot, double minValid) {
  return [slot, minValid](const DataRecord& r, ChartPoint& p) {
    p.open = p.low = p.high = p.close = r.v[slot];
    p.valid = r.v[slot] >= minValid;
  };
}

PointRecipe CompanionLine() { return LineOf(kCompanion, 1e-10); }

PointRecipe VolumeBars() {
  return [](const DataRecord& r, ChartPoint& p) {
    p.open = 0.0;
    p.low = 0.0;
    p.high = r.v[kVolume];
    p.close = r.v[kVolume];
    p.rising = r.v[kOpen] <= r.v[kClose];
    p.valid = r.date != 0;
  };
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
  if (look.horizontalLabels) s.horizontalLabels = *look.horizontalLabels;
  s.name = look.name;
  s.plainUnderLogScale = look.plainUnderLogScale;
  s.points.clear();
}

void StartPoint(ChartPoint& p, const DataRecord& r) {
  p.date = r.date;
  p.time = kPointTime;
  p.upperLabel.clear();
  p.lowerLabel.clear();
}

void SetBody(ChartPoint& p, double open, double close) {
  p.open = open;
  p.close = close;
  p.high = std::max(open, close);
  p.low = std::min(open, close);
}

}  // namespace

void AppendSeries(ChartModel& chart, const SeriesRow& row, std::span<const DataRecord> work,
                  RangeFilter range) {
  ApplyLook(chart.workSeries, row.look);
  for (const DataRecord& r : work) {
    if (!range.Passes(r)) continue;
    StartPoint(chart.workPoint, r);
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

void AppendYearBody(ChartModel& chart, std::span<const DataRecord> work, RangeFilter range,
                    double baseLift) {
  ApplyLook(chart.workSeries, YearBodyLook(baseLift));
  std::vector<ChartPoint>& points = chart.workSeries.points;
  ChartPoint& p = chart.workPoint;

  double yearOpen = 0.0, yearClose = 0.0;
  std::int32_t currentYear = 0;
  // The points of currentYear form the trailing run [runStart, end). Rewriting the run walks
  // back over all of it; a later rewrite in the same year covers every earlier one, so only the
  // last rewrite of each run is carried out (keeps many zero closes in one year linear).
  std::size_t runStart = 0, pendingEnd = 0;
  double pendingOpen = 0.0, pendingClose = 0.0;
  auto flushRewrite = [&] {
    for (std::size_t k = runStart; k < pendingEnd; ++k)
      SetBody(points[k], pendingOpen, pendingClose);
    pendingEnd = runStart;
  };

  for (std::size_t i = 0; i < work.size(); ++i) {
    const DataRecord& r = work[i];
    if (!range.Passes(r)) continue;
    const std::int32_t year = r.date / 100;
    const bool last = i + 1 == work.size();
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

    StartPoint(p, r);
    p.open = p.low = p.high = p.close = open;
    if (last) SetBody(p, yearOpen, yearClose);
    p.valid = r.date != 0;
    chart.AppendWorkPoint();
  }
  flushRewrite();
  chart.AppendWorkSeries();
}

int ScaledSwingWindow(std::size_t points) {
  return static_cast<int>(std::max<std::size_t>(3, points / 50));
}

std::string DateLabel(std::int32_t date) {
  if (date == 0) return {};
  const std::string digits = std::to_string(date);
  const std::string_view tail =
      std::string_view(digits).substr(digits.size() > 4 ? digits.size() - 4 : 0);
  if (tail.size() < 2) return std::string(tail);
  std::string label(tail.substr(0, 2));
  label += '-';
  label += tail.substr(2);
  return label;
}

namespace {

constexpr double kNone = -std::numeric_limits<double>::infinity();

// For every index e: the largest non-NaN value of a[e - m + 1 .. e] (clipped at 0), or kNone.
std::vector<double> TrailingMax(const std::vector<double>& a, std::size_t m) {
  std::vector<double> out(a.size(), kNone);
  if (m == 0) return out;
  std::deque<std::size_t> best;  // indices of non-NaN values, values decreasing
  for (std::size_t e = 0; e < a.size(); ++e) {
    if (!std::isnan(a[e])) {
      while (!best.empty() && a[best.back()] <= a[e]) best.pop_back();
      best.push_back(e);
    }
    while (!best.empty() && best.front() + m <= e) best.pop_front();
    if (!best.empty()) out[e] = a[best.front()];
  }
  return out;
}

// Marks the points whose value beats every other value within window - 1 places on either side,
// exactly as comparing one by one would, NaN included (a NaN compares false either way).
std::vector<bool> SwingExtremes(const std::vector<double>& a, int window, SwingKind kind,
                                std::size_t first) {
  const std::size_t n = a.size();
  const std::size_t w = static_cast<std::size_t>(window);
  const std::size_t m = w - 1;
  std::vector<bool> marked(n, false);
  if (n <= first) return marked;

  std::vector<std::size_t> nanBefore(n + 1, 0);
  for (std::size_t i = 0; i < n; ++i) nanBefore[i + 1] = nanBefore[i] + (std::isnan(a[i]) ? 1 : 0);
  const std::vector<double> leftMax = TrailingMax(a, m);
  const std::vector<double> reversed(a.rbegin(), a.rend());
  const std::vector<double> rightMaxReversed = TrailingMax(reversed, m);

  for (std::size_t j = first; j < n; ++j) {
    const std::size_t rightEnd = std::min(n - 1, j + m);  // inclusive; j itself when none
    const std::size_t leftStart = j > m ? j - m : 0;
    const double left = leftMax[j - 1];
    const double right = rightEnd > j ? rightMaxReversed[n - 1 - (j + 1)] : kNone;
    const double others = std::max(left, right);
    if (kind == SwingKind::NonStrict) {
      marked[j] = !(others > a[j]);
    } else if (m == 0) {
      marked[j] = true;  // no neighbours to beat
    } else {
      const std::size_t nans =
          (nanBefore[j] - nanBefore[leftStart]) + (nanBefore[rightEnd + 1] - nanBefore[j + 1]);
      marked[j] = nans == 0 && a[j] > others;
    }
  }
  return marked;
}

}  // namespace

void SetSwingLabels(ChartSeries& series, int window, SwingKind kind, int firstPoint) {
  if (window < 1 || firstPoint < 0) return;
  // Point j - 1 loses its label when j gets one, so the first point examined is at least 1.
  const std::size_t first = static_cast<std::size_t>(firstPoint > 0 ? firstPoint : window);
  std::vector<ChartPoint>& pts = series.points;
  std::vector<double> highs(pts.size()), negLows(pts.size());
  for (std::size_t i = 0; i < pts.size(); ++i) {
    highs[i] = pts[i].high;
    negLows[i] = -pts[i].low;  // a trough is a peak of the negated lows
  }
  const std::vector<bool> peaks = SwingExtremes(highs, window, kind, first);
  const std::vector<bool> troughs = SwingExtremes(negLows, window, kind, first);
  for (std::size_t j = 0; j < pts.size(); ++j) {
    if (peaks[j]) {
      pts[j - 1].upperLabel.clear();
      pts[j].SetUpperLabel(DateLabel(pts[j].date));
    }
    if (troughs[j]) {
      pts[j - 1].lowerLabel.clear();
      pts[j].SetLowerLabel(DateLabel(pts[j].date));
    }
  }
}

void AppendSeriesTable(ChartModel& chart, std::span<const SeriesRow> rows,
                       std::span<const DataRecord> work, RangeFilter range, SwingRule swings) {
  if (rows.empty()) return;
  AppendSeries(chart, rows.front(), work, range);
  ChartSeries& candle = chart.series.back();
  SetSwingLabels(candle, swings.WindowFor(candle.points.size()), swings.kind, swings.firstPoint);
  for (const SeriesRow& row : rows.subspan(1)) AppendSeries(chart, row, work, range);
}

ChartView ViewBeforeYear(const ChartModel& chart, int toYear) {
  const std::vector<ChartPoint> none;
  const std::vector<ChartPoint>& pts = chart.series.empty() ? none : chart.series.front().points;
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
