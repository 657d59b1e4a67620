#include "modes/swing_labels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace orvane {

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
  // best[head, tail): indices of non-NaN values, values decreasing. Each index enters once, so
  // a flat array with a moving head serves as the queue.
  std::vector<std::size_t> best(a.size());
  std::size_t head = 0, tail = 0;
  for (std::size_t e = 0; e < a.size(); ++e) {
    if (!std::isnan(a[e])) {
      while (tail > head && a[best[tail - 1]] <= a[e]) --tail;
      best[tail++] = e;
    }
    while (tail > head && best[head] + m <= e) ++head;
    if (tail > head) out[e] = a[best[head]];
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
  const PointList& pts = series.points;
  std::vector<double> highs(pts.size()), negLows(pts.size());
  for (std::size_t i = 0; i < pts.size(); ++i) {
    highs[i] = pts[i].high;
    negLows[i] = -pts[i].low;  // a trough is a peak of the negated lows
  }
  const std::vector<bool> peaks = SwingExtremes(highs, window, kind, first);
  const std::vector<bool> troughs = SwingExtremes(negLows, window, kind, first);
  for (std::size_t j = 0; j < pts.size(); ++j) {
    if (peaks[j]) {
      series.labels.SetUpper(j - 1, {});
      series.labels.SetUpper(j, DateLabel(pts[j].date));
    }
    if (troughs[j]) {
      series.labels.SetLower(j - 1, {});
      series.labels.SetLower(j, DateLabel(pts[j].date));
    }
  }
}

}  // namespace orvane
