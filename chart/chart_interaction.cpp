#include "chart/chart_interaction.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace orvane {
namespace {

// One past the last visible point of series 0.
int VisibleEnd0(const ChartGeometry& g, const std::vector<ChartSeries>& series) {
  return series.empty() ? g.firstIndex : static_cast<int>(g.VisibleEnd(series.front()));
}

std::optional<double> ValueAt(const ChartSeries& s, int index, const ChartSettings& settings) {
  if (index < 0 || static_cast<std::size_t>(index) >= s.points.size()) return std::nullopt;
  const ChartPoint& p = s.points[static_cast<std::size_t>(index)];
  if (!p.valid || !std::isfinite(p.close)) return std::nullopt;
  return RealValue(p.close, s, settings);
}

// Periods since year 0 (months, quarters or years); empty for a date that is no month.
std::optional<int> PeriodNumber(std::int32_t date, PointPeriod period) {
  const int year = date / 100, month = date % 100;
  if (date <= 0 || month < 1 || month > 12) return std::nullopt;
  switch (period) {
    case PointPeriod::Month:
      return year * 12 + month - 1;
    case PointPeriod::Quarter:
      return year * 4 + (month - 1) / 3;
    case PointPeriod::Year:
      return year;
  }
  return std::nullopt;
}

int PeriodsPerYear(PointPeriod period) {
  return period == PointPeriod::Month ? 12 : period == PointPeriod::Quarter ? 4 : 1;
}

// Real close of the point of period `target` before point `before`; the scan stops at the first
// earlier period, so it walks at most a year of points.
std::optional<double> CloseOfPeriod(const ChartSeries& s, const ChartSettings& settings,
                                    std::size_t before, int target) {
  for (std::size_t k = before; k-- > 0;) {
    const auto n = PeriodNumber(s.points[k].date, settings.pointPeriod);
    if (!n || *n > target) continue;
    if (*n < target) break;
    return ValueAt(s, static_cast<int>(k), settings);
  }
  return std::nullopt;
}

std::optional<double> PercentChange(std::optional<double> now, std::optional<double> then) {
  if (!now || !then || *then <= 0.0) return std::nullopt;
  const double change = (*now / *then - 1.0) * 100.0;
  return std::isfinite(change) ? std::optional(change) : std::nullopt;
}

std::string GroupDigits(std::string digits) {
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return digits;
}

}  // namespace

std::optional<PointIndex> SnapToPoint(const ChartGeometry& g,
                                      const std::vector<ChartSeries>& series, double x) {
  const int end = VisibleEnd0(g, series);
  const int count = end - g.firstIndex;
  if (count <= 0 || g.step <= 0.0) return std::nullopt;
  // X(k) lies within one pixel below (k + 1) d, so the nearest k is next to x / d - 1.
  const double guess = std::round(x / g.step - 1.0);
  const int centre = static_cast<int>(std::clamp(guess, 0.0, static_cast<double>(count - 1)));
  int best = centre;
  double bestDistance = std::abs(g.X(ViewPos{centre}) - x);
  for (int k : {centre - 1, centre + 1}) {
    if (k < 0 || k >= count) continue;
    const double distance = std::abs(g.X(ViewPos{k}) - x);
    if (distance < bestDistance || (distance == bestDistance && k < best)) {
      best = k;
      bestDistance = distance;
    }
  }
  return PointIndex{g.firstIndex + best};
}

double RealValue(double plotted, const ChartSeries& series, const ChartSettings& settings) {
  const bool logarithm = settings.logScale && !series.inLowerPane && !series.plainUnderLogScale;
  return logarithm ? std::pow(10.0, plotted) : plotted;
}

bool IsValueSeries(const ChartSeries& series, std::size_t position) {
  return position > 0 && (series.style == SeriesStyle::Line || series.style == SeriesStyle::Dots);
}

std::string DisplayName(const ChartSeries& series, std::size_t position) {
  const auto first = series.name.find_first_not_of(' ');
  if (first != std::string::npos) {
    const auto last = series.name.find_last_not_of(' ');
    return series.name.substr(first, last - first + 1);
  }
  return fmt::format("선 {}", position);
}

std::optional<Readout> ReadoutAt(const std::vector<ChartSeries>& series,
                                 const ChartSettings& settings, const ChartGeometry& g,
                                 PointIndex index) {
  const int i = static_cast<int>(index);
  if (series.empty() || i < g.firstIndex || i >= VisibleEnd0(g, series)) return std::nullopt;
  const ChartSeries& first = series.front();
  const ChartPoint& p = first.points[static_cast<std::size_t>(i)];
  Readout r;
  r.index = index;
  r.x = g.X(g.PositionOf(index));
  r.date = ReadoutDate(p.date);
  if (p.valid && std::isfinite(p.open) && std::isfinite(p.close) && HasFiniteRange(p)) {
    r.candle = std::array<double, 4>{
        RealValue(p.open, first, settings), RealValue(p.high, first, settings),
        RealValue(p.low, first, settings), RealValue(p.close, first, settings)};
  }
  for (std::size_t s = 1; s < series.size(); ++s) {
    if (!IsValueSeries(series[s], s)) continue;
    r.lines.push_back(
        {DisplayName(series[s], s), series[s].color, ValueAt(series[s], i, settings)});
  }
  r.changes = ChangesAt(first, settings, index);
  return r;
}

PointChanges ChangesAt(const ChartSeries& first, const ChartSettings& settings, PointIndex index) {
  const auto i = static_cast<std::size_t>(index);
  if (i >= first.points.size()) return {};
  const auto n = PeriodNumber(first.points[i].date, settings.pointPeriod);
  const std::optional<double> now = ValueAt(first, static_cast<int>(i), settings);
  if (!n || !now) return {};
  PointChanges changes;
  changes.previous = PercentChange(now, CloseOfPeriod(first, settings, i, *n - 1));
  if (settings.pointPeriod != PointPeriod::Year) {
    const int yearAgo = *n - PeriodsPerYear(settings.pointPeriod);
    changes.yearAgo = PercentChange(now, CloseOfPeriod(first, settings, i, yearAgo));
  }
  return changes;
}

ChangeCaptions ChangeCaptionsFor(PointPeriod period) {
  switch (period) {
    case PointPeriod::Quarter:
      return {"전분기대비", "전년동기대비"};
    case PointPeriod::Year:
      return {"전년대비", {}};
    case PointPeriod::Month:
      break;
  }
  return {"전월대비", "전년동월대비"};
}

std::string FormatChange(std::optional<double> percent) {
  if (!percent) return "-";
  // A change that rounds to zero has no sign.
  if (std::abs(*percent) < 0.005) return "0.00%";
  return fmt::format("{:+.2f}%", *percent);
}

std::string ReadoutDate(std::int32_t date) {
  if (date <= 0) return {};
  return fmt::format("{:04}.{:02}", date / 100, date % 100);
}

std::int32_t ParseMonth(std::string_view text) {
  std::string digits;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (!((c == '.' || c == '-') && k == 4)) {
      return 0;
    }
  }
  if (digits.size() != 6) return 0;
  const int year = std::stoi(digits.substr(0, 4)), month = std::stoi(digits.substr(4));
  if (year < 1 || month < 1 || month > 12) return 0;
  return year * 100 + month;
}

std::string FormatReadoutValue(double value) {
  if (!std::isfinite(value)) return "-";
  if (std::abs(value) >= 1e15) return fmt::format("{:.6g}", value);
  std::string text = fmt::format("{:.{}f}", value, std::abs(value) >= 1000.0 ? 2 : 4);
  const auto dot = text.find('.');
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  const bool negative = text.front() == '-';
  const std::size_t intStart = negative ? 1 : 0;
  const std::size_t intEnd = std::min(dot, text.size());
  std::string grouped = GroupDigits(text.substr(intStart, intEnd - intStart));
  if (grouped == "0" && negative && intEnd == text.size()) return "0";  // -0.00001 rounds to 0
  return (negative ? "-" : "") + grouped + text.substr(intEnd);
}

int AvailablePoints(const std::vector<ChartSeries>& series, const ChartView& home) {
  if (series.empty()) return 0;
  std::size_t n = static_cast<std::size_t>(std::max(0LL, home.lastIndex + 1LL));
  for (const ChartSeries& s : series) n = std::min(n, s.points.size());
  return static_cast<int>(n);
}

double ViewPosAt(const ChartGeometry& g, double x) {
  if (g.step <= 0.0) return 0.0;
  return x / g.step - 1.0;
}

ChartView ZoomView(const ChartView& view, int available, double anchor, double factor) {
  const int n = std::max(0, available);
  const int count = std::clamp(view.visibleCount, std::min(1, n), n);
  if (n == 0 || !std::isfinite(factor) || factor <= 0.0) {
    return PanView(view, available, 0);
  }
  const int fewest = std::min(kMinZoomPoints, n);
  const double wanted = std::round(count * factor);
  int next = count;
  if (factor < 1.0) {
    // At least one point fewer per step, never below the floor nor above what was shown.
    next = std::min(count, std::max(fewest, static_cast<int>(std::min(wanted, count - 1.0))));
  } else if (factor > 1.0) {
    next = std::max(count, std::min(n, static_cast<int>(std::max(wanted, count + 1.0))));
  }
  const double pos = std::clamp(std::isfinite(anchor) ? anchor : 0.0, 0.0, count - 1.0);
  const double share = count > 1 ? pos / (count - 1) : 0.5;
  const double anchorIndex = view.firstIndex + pos;
  const double first = std::round(anchorIndex - share * (next - 1));
  ChartView out = view;
  out.visibleCount = next;
  out.firstIndex = static_cast<int>(std::clamp(first, 0.0, static_cast<double>(n - next)));
  return out;
}

ChartView PanView(const ChartView& view, int available, int shift) {
  const int n = std::max(0, available);
  const int count = std::clamp(view.visibleCount, std::min(1, n), n);
  const long long first = static_cast<long long>(view.firstIndex) + shift;
  ChartView out = view;
  out.visibleCount = count;
  out.firstIndex = static_cast<int>(std::clamp<long long>(first, 0, n - count));
  return out;
}

CanvasRect ReadoutBoxPlace(int pointX, int cursorY, int boxWidth, int boxHeight, int chartWidth,
                           int chartHeight, int offset) {
  CanvasRect box{0, 0, std::max(boxWidth, 0), std::max(boxHeight, 0)};
  if (box.width > chartWidth || box.height > chartHeight) {
    const double scale = std::max(std::min(static_cast<double>(chartWidth) / box.width,
                                           static_cast<double>(chartHeight) / box.height),
                                  0.0);
    box.width = std::min(static_cast<int>(box.width * scale), std::max(chartWidth, 0));
    box.height = std::min(static_cast<int>(box.height * scale), std::max(chartHeight, 0));
  }
  box.left = pointX + offset;
  if (box.left + box.width > chartWidth) box.left = pointX - offset - box.width;
  box.left = std::clamp(box.left, 0, std::max(chartWidth - box.width, 0));
  box.top = std::clamp(cursorY + offset, 0, std::max(chartHeight - box.height, 0));
  return box;
}

}  // namespace orvane
