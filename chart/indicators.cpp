#include "chart/indicators.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>

namespace orvane {
namespace {

double ValueOrNone(double v) { return std::isfinite(v) ? v : kNoValue; }

// Indices of a sliding window's candidates, oldest first, in a ring of at least `capacity` slots.
class IndexQueue {
 public:
  explicit IndexQueue(std::size_t capacity) : slots_(std::bit_ceil(capacity)) {}
  bool Empty() const { return size_ == 0; }
  std::size_t Front() const { return slots_[head_]; }
  std::size_t Back() const { return slots_[(head_ + size_ - 1) & Mask()]; }
  void PushBack(std::size_t index) { slots_[(head_ + size_++) & Mask()] = index; }
  void PopBack() { --size_; }
  void PopFront() {
    head_ = (head_ + 1) & Mask();
    --size_;
  }
  void Clear() { size_ = 0; }

 private:
  std::size_t Mask() const { return slots_.size() - 1; }
  std::vector<std::size_t> slots_;
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

// For every record j, (highest + lowest) / 2 over the records j - window + 1 ... j, cut at
// record 0; kNoValue where that window holds a non-finite price. Queues of the window's
// candidates for the highest and the lowest keep it linear in the records, whatever the window.
std::vector<double> Midpoints(std::span<const double> highs, std::span<const double> lows,
                              std::size_t window) {
  const std::size_t n = highs.size();
  std::vector<double> out(n);
  // Indices whose prices fall (rise) from the front; of equal prices the earliest leads, as a
  // scan from the window's start would keep it. Each holds at most window + 1 before the front
  // leaves.
  IndexQueue highest(window + 1), lowest(window + 1);
  std::size_t clearFrom = 0;  // first record after the last non-finite price
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t start = j + 1 > window ? j + 1 - window : 0;
    if (!std::isfinite(highs[j]) || !std::isfinite(lows[j])) {
      highest.Clear();
      lowest.Clear();
      clearFrom = j + 1;
      out[j] = kNoValue;
      continue;
    }
    while (!highest.Empty() && highs[highest.Back()] < highs[j]) highest.PopBack();
    highest.PushBack(j);
    while (!lowest.Empty() && lows[lowest.Back()] > lows[j]) lowest.PopBack();
    lowest.PushBack(j);
    if (highest.Front() < start) highest.PopFront();
    if (lowest.Front() < start) lowest.PopFront();
    out[j] = clearFrom > start ? kNoValue : (highs[highest.Front()] + lows[lowest.Front()]) / 2.0;
  }
  return out;
}

double MeanOf(double a, double b) { return HasValue(a) && HasValue(b) ? (a + b) / 2.0 : kNoValue; }

// One Ichimoku pass over highSlot/lowSlot (the close twice for the closes group). The lagging
// line takes highSlot 25 records later; the last `conversionCut` records lose the conversion.
void IchimokuPass(std::span<DataRecord> work, int highSlot, int lowSlot,
                  std::size_t conversionCut) {
  const std::size_t n = work.size();
  const auto shift = static_cast<std::size_t>(kIchimokuShift);
  // The two prices the windows scan, as plain columns.
  std::vector<double> highs(n);
  std::vector<double> lows(n);
  for (std::size_t j = 0; j < n; ++j) {
    highs[j] = work[j].v[highSlot];
    lows[j] = work[j].v[lowSlot];
  }
  const std::vector<double> conversion = Midpoints(highs, lows, kIchimokuConversionWindow);
  const std::vector<double> base = Midpoints(highs, lows, kIchimokuBaseWindow);
  const std::vector<double> span2 = Midpoints(highs, lows, kIchimokuSpan2Window);
  for (std::size_t j = 0; j < n; ++j) {
    auto& v = work[j].v;
    v[kIchimokuConversion] = conversion[j];
    v[kIchimokuBase] = base[j];
    v[kIchimokuLagging] = kNoValue;
    v[kIchimokuSpan1] = MeanOf(v[kIchimokuConversion], v[kIchimokuBase]);
    const auto& earlier = work[j > shift ? j - shift : 0].v;
    v[kIchimokuSpan1Shifted] = earlier[kIchimokuSpan1];
    v[kIchimokuSpan2] = span2[j];
    v[kIchimokuSpan2Shifted] = earlier[kIchimokuSpan2];
  }
  // The lagging line needs 50 records after it: 25 to shift over and 25 future copies.
  for (std::size_t k = 0; k + 2 * shift < n; ++k) {
    work[k].v[kIchimokuLagging] = ValueOrNone(work[k + shift].v[highSlot]);
  }
  for (std::size_t k = n > conversionCut ? n - conversionCut : 0; k < n; ++k) {
    work[k].v[kIchimokuConversion] = kNoValue;
  }
}

}  // namespace

void ComputeParabolic(std::span<DataRecord> work) {
  if (work.empty()) return;
  auto& first = work[0].v;
  first[kSarTrend] = 0.0;
  first[kSarStop] = first[kClose];
  first[kSarAccel] = 0.02;
  first[kSarHigh] = first[kHigh];
  first[kSarLow] = first[kLow];
  first[kSarCarry] = 0.0;
  // No stop is plotted until the first trend decision.
  first[kSarPlot] = kNoValue;

  for (std::size_t i = 1; i < work.size(); ++i) {
    const auto& prev = work[i - 1].v;
    auto& cur = work[i].v;
    double trend = prev[kSarTrend];
    double stop = prev[kSarStop];
    double accel = prev[kSarAccel];
    double high = prev[kSarHigh];
    double low = prev[kSarLow];
    double carry = prev[kSarCarry];
    const double h = cur[kHigh];
    const double l = cur[kLow];
    const double x = cur[kClose];
    const double px = prev[kClose];

    if (carry == 0.0 && stop == 0.0) {
      // No stop yet: decide the trend from the closes; a turn sets the stop at the extreme.
      cur[kSarPlot] = kNoValue;
      if (trend == 0.0) {
        if (x > px) {
          trend = 1.0;
        } else if (x < px) {
          trend = -1.0;
        }
      }
      if (trend == 1.0 && x < px) {
        trend = -1.0;
        stop = high;
        cur[kSarPlot] = ValueOrNone(stop);
      } else if (trend == -1.0 && x > px) {
        trend = 1.0;
        stop = low;
        cur[kSarPlot] = ValueOrNone(stop);
      }
      high = std::max(high, h);
      low = std::min(low, l);
    } else {
      // The first step of a trend starts at 0.02 (0.04 with a new extreme); later steps grow
      // by 0.02 per new extreme up to 0.2.
      const bool firstStep = carry == 0.0;
      const double step = firstStep ? 0.02 : accel;
      if (firstStep) accel = 0.02;
      const auto grow = [&] { accel = firstStep ? 0.04 : std::min(accel + 0.02, 0.2); };
      if (trend == 1.0) {
        stop += (high - stop) * step;
        double newHigh = high;
        if (h > high) {
          grow();
          newHigh = h;
        }
        if (l < stop) {
          trend = -1.0;
          stop = high;
          accel = 0.0;
          carry = 0.0;
          low = l;
        } else {
          carry = high;
        }
        high = newHigh;
      } else {
        stop += (low - stop) * step;
        double newLow = low;
        if (l < low) {
          grow();
          newLow = l;
        }
        if (h > stop) {
          trend = 1.0;
          stop = low;
          accel = 0.0;
          carry = 0.0;
          high = h;
        } else {
          carry = low;
        }
        low = newLow;
      }
      cur[kSarPlot] = ValueOrNone(stop);
    }
    cur[kSarTrend] = trend;
    cur[kSarStop] = stop;
    cur[kSarAccel] = accel;
    cur[kSarHigh] = high;
    cur[kSarLow] = low;
    cur[kSarCarry] = carry;
  }
}

void ComputeBollinger(std::span<DataRecord> work) {
  const auto window = static_cast<std::size_t>(kBollingerWindow);
  for (std::size_t i = 0; i < work.size(); ++i) {
    const std::size_t begin = i + 1 > window ? i + 1 - window : 0;
    const auto n = static_cast<double>(i + 1 - begin);
    double sum = 0.0;
    for (std::size_t k = begin; k <= i; ++k) sum += work[k].v[kClose];
    const double mean = sum / n;
    double squares = 0.0;
    for (std::size_t k = begin; k <= i; ++k) {
      const double d = work[k].v[kClose] - mean;
      squares += d * d;
    }
    // Sample variance: one close gives 0 / 0, which is no value rather than a band.
    const double sigma = n > 1.0 ? std::sqrt(squares / (n - 1.0)) : kNoValue;
    auto& v = work[i].v;
    v[kBollingerSum] = ValueOrNone(sum);
    v[kBollingerMean] = ValueOrNone(mean);
    const bool banded = HasValue(mean) && HasValue(sigma);
    v[kBollingerUpper] = banded ? ValueOrNone(mean + 2.0 * sigma) : kNoValue;
    v[kBollingerLower] = banded ? ValueOrNone(mean - 2.0 * sigma) : kNoValue;
  }
}

void ComputeMomentum(std::span<DataRecord> work) {
  const auto period = static_cast<std::size_t>(kMomentumPeriod);
  const auto sonarPeriod = static_cast<std::size_t>(kSonarPeriod);
  double coppock = 0.0;  // both recurrences start from zero, not from the first value
  double logMean = 0.0;
  for (std::size_t i = 0; i < work.size(); ++i) {
    auto& v = work[i].v;
    const double logClose = std::log10(v[kClose]);
    const double logEarlier = std::log10(work[i > period ? i - period : 0].v[kClose]);
    const double rate = ValueOrNone(logClose / logEarlier - 1.0);
    v[kMomentumRate] = rate;
    if (HasValue(rate)) {
      coppock = rate / 3.0 + coppock * 2.0 / 3.0;
      v[kCoppock] = coppock;
    } else {
      v[kCoppock] = kNoValue;
    }
    if (std::isfinite(logClose)) {
      logMean = logClose * 2.0 / 13.0 + logMean * 11.0 / 13.0;
      v[kLogCloseMean] = logMean;
    } else {
      v[kLogCloseMean] = kNoValue;
    }
    const double earlierMean = work[i > sonarPeriod ? i - sonarPeriod : 0].v[kLogCloseMean];
    v[kSonar] = HasValue(v[kLogCloseMean]) && HasValue(earlierMean) ? v[kLogCloseMean] - earlierMean
                                                                    : kNoValue;
  }
}

void ScaleMomentum(std::span<DataRecord> work,
                   const std::function<bool(const DataRecord&)>& shown) {
  double coppockMax = 0.0;
  double sonarMax = 0.0;
  for (const auto& r : work) {
    if (!shown(r)) continue;
    if (HasValue(r.v[kCoppock])) coppockMax = std::max(coppockMax, std::abs(r.v[kCoppock]));
    if (HasValue(r.v[kSonar])) sonarMax = std::max(sonarMax, std::abs(r.v[kSonar]));
  }
  const auto scale = [](double v, double max, double base) {
    return HasValue(v) && max > 0.0 ? ValueOrNone(v / max * 100.0 + base) : kNoValue;
  };
  for (auto& r : work) {
    if (!shown(r)) continue;
    r.v[kCoppock] = scale(r.v[kCoppock], coppockMax, kCoppockBase);
    r.v[kSonar] = scale(r.v[kSonar], sonarMax, kSonarBase);
  }
}

void ComputeIchimokuOnCloses(std::vector<DataRecord>& work) {
  if (work.empty()) return;
  DataRecord future = work.back();
  future.date = 0;
  work.insert(work.end(), kIchimokuAppended, future);
  // Cutting 17 of the extended list leaves the last 12 future records without a conversion.
  const auto dropped = static_cast<std::size_t>(kIchimokuAppended - kIchimokuFutureSlots);
  IchimokuPass(work, kClose, kClose, 12 + dropped);
  work.resize(work.size() - dropped);
}

void ComputeIchimokuOnHighsLows(std::span<DataRecord> work) { IchimokuPass(work, kHigh, kLow, 12); }

void ComputeRunningMeans(std::span<DataRecord> work, std::span<const MeanWindow> windows) {
  // Finite closes are kept as a running sum; non-finite ones are counted so that a single -inf or
  // NaN spoils only the means whose window holds it (a plain running sum would turn every later
  // mean into NaN once the -inf leaves the window).
  struct Running {
    std::size_t months;
    int slot;
    double sum = 0.0;
    std::size_t nans = 0, posInfs = 0, negInfs = 0;

    void Account(double c, int sign) {
      if (std::isnan(c)) {
        nans += sign;
      } else if (std::isinf(c)) {
        (c > 0 ? posInfs : negInfs) += sign;
      } else if (sign > 0) {
        sum += c;
      } else {
        sum -= c;
      }
    }
    double Mean(std::size_t count) const {
      if (nans > 0 || (posInfs > 0 && negInfs > 0)) return std::numeric_limits<double>::quiet_NaN();
      if (posInfs > 0) return std::numeric_limits<double>::infinity();
      if (negInfs > 0) return -std::numeric_limits<double>::infinity();
      return sum / static_cast<double>(count);
    }
  };
  std::vector<Running> running;
  for (const MeanWindow& w : windows) {
    assert(w.slot != kClose);  // every window reads the closes
    if (w.months >= 1)
      running.push_back({.months = static_cast<std::size_t>(w.months), .slot = w.slot});
  }
  // Every window in one pass: a long list's records are walked once instead of once a window.
  for (std::size_t i = 0; i < work.size(); ++i) {
    const double close = work[i].v[kClose];
    for (Running& r : running) {
      r.Account(close, 1);
      if (i >= r.months) r.Account(work[i - r.months].v[kClose], -1);
      work[i].v[r.slot] = r.Mean(std::min(i + 1, r.months));
    }
  }
}

}  // namespace orvane
