#pragma once

// Technical indicators over a pipeline's working records. Each function reads prices from the
// records and writes its own derived slots; none touches a chart.
//
// A slot without a value holds kNoValue. Where the arithmetic has no number to give (a zero
// divisor, the logarithm of zero or of a negative price) the slot gets kNoValue as well, so a
// non-finite value never leaves these functions.

#include <cmath>
#include <functional>
#include <span>
#include <vector>

#include "data/data_record.h"

namespace orvane {

// Ichimoku values; one set of slots serves the closes group and later the highs-and-lows group.
inline constexpr int kIchimokuConversion = DerivedSlot(1);    // 9-period midpoint
inline constexpr int kIchimokuBase = DerivedSlot(2);          // 26-period midpoint
inline constexpr int kIchimokuLagging = DerivedSlot(3);       // price 25 records later
inline constexpr int kIchimokuSpan1 = DerivedSlot(4);         // leading span 1, unshifted
inline constexpr int kIchimokuSpan1Shifted = DerivedSlot(5);  // leading span 1, 25 forward
inline constexpr int kIchimokuSpan2 = DerivedSlot(6);         // leading span 2, unshifted
inline constexpr int kIchimokuSpan2Shifted = DerivedSlot(7);  // leading span 2, 25 forward

inline constexpr int kBollingerSum = DerivedSlot(8);  // running sum of the window's closes
inline constexpr int kBollingerMean = DerivedSlot(9);
inline constexpr int kBollingerUpper = DerivedSlot(10);
inline constexpr int kBollingerLower = DerivedSlot(11);

inline constexpr int kMomentumRate = DerivedSlot(12);  // 12-period log rate
inline constexpr int kCoppock = DerivedSlot(13);       // smoothed rate
inline constexpr int kLogCloseMean = DerivedSlot(14);  // exponential mean of log10(close)
inline constexpr int kSonar = DerivedSlot(15);

inline constexpr int kSarTrend = DerivedSlot(16);  // +1 rising, -1 falling, 0 undecided
inline constexpr int kSarStop = DerivedSlot(17);   // working stop
inline constexpr int kSarAccel = DerivedSlot(18);
inline constexpr int kSarHigh = DerivedSlot(19);  // extreme high of the trend
inline constexpr int kSarLow = DerivedSlot(20);   // extreme low of the trend
inline constexpr int kSarCarry =
    DerivedSlot(21);  // 0 at the start of a trend, else the last extreme
inline constexpr int kSarPlot = DerivedSlot(22);  // plotted stop; kNoValue while there is none

static_assert(kIchimokuConversion == 7 && kIchimokuSpan2Shifted == 13);
static_assert(kBollingerSum == 14 && kSonar == 21);
static_assert(kSarTrend == 32 && kSarPlot == 38);

inline constexpr int kBollingerWindow = 12;
inline constexpr int kMomentumPeriod = 12;
inline constexpr int kSonarPeriod = 9;
// Ichimoku windows and shift, in records.
inline constexpr int kIchimokuConversionWindow = 9;
inline constexpr int kIchimokuBaseWindow = 26;
inline constexpr int kIchimokuSpan2Window = 52;
inline constexpr int kIchimokuShift = 25;
// The closes group appends this many copies of the last record and later drops 5 of them.
inline constexpr int kIchimokuAppended = 25;
static_assert(kIchimokuAppended <= kSpareRecords, "the future months would move a read series");
inline constexpr int kIchimokuFutureSlots = 20;
// Lower-pane baselines of the scaled momentum values.
inline constexpr double kCoppockBase = 30.0;
inline constexpr double kSonarBase = 0.0;

// True when a slot holds a drawable number.
inline bool HasValue(double v) { return std::isfinite(v) && v != kNoValue; }

// Parabolic stop and reverse over the high, low and close; writes the seven kSar* slots. Records
// without a stop (the first, and those before a first stop exists) plot kNoValue, not 0.
void ComputeParabolic(std::span<DataRecord> work);

// Mean and bands of two sample deviations over up to 12 closes. The first record has no
// deviation (n - 1 = 0), so its bands get kNoValue.
void ComputeBollinger(std::span<DataRecord> work);

// Log rate, Coppock value, exponential mean of log10(close) and Sonar value over the closes.
// A record whose close gives no logarithm gets kNoValue; the recurrences carry over it.
void ComputeMomentum(std::span<DataRecord> work);

// Scales the Coppock and Sonar values of the shown records to +-100 around their bases, by the
// largest magnitude among them. With a largest magnitude of 0 the shown values get kNoValue.
void ScaleMomentum(std::span<DataRecord> work, const std::function<bool(const DataRecord&)>& shown);

// Ichimoku values on closes. Appends 25 copies of the last record dated 0 and drops the last 5
// afterwards, so the list ends with 20 future records. An empty list stays empty.
void ComputeIchimokuOnCloses(std::vector<DataRecord>& work);

// Ichimoku values on highs and lows over the already extended list, into the same slots.
void ComputeIchimokuOnHighsLows(std::span<DataRecord> work);

// Running means of the close live over further values 1 to 10: mean k sits at v[22 + k].
constexpr int MeanSlot(int k) { return FurtherValue(1) + k; }

struct MeanWindow {
  int slot;    // target slot in v
  int months;  // window length in records
};
// Means of the closes over the last `months` records of each window (fewer at the left edge),
// divided by the number of closes summed. Unlike the other values these are plain means of the
// working closes and keep their non-finite results: a close without a logarithm (-inf, NaN)
// makes the means whose window holds it -inf, +inf or NaN, and only those. A window shorter
// than one record writes nothing.
void ComputeRunningMeans(std::span<DataRecord> work, std::span<const MeanWindow> windows);

}  // namespace orvane
