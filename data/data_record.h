#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane {

// Slot numbers of DataRecord::v.
inline constexpr int kOpen = 0;
inline constexpr int kHigh = 1;
inline constexpr int kLow = 2;
inline constexpr int kClose = 3;
inline constexpr int kVolume = 4;
inline constexpr int kCompanion = 5;
// Derived slots 0 to 15 sit at v[6] to v[21], 16 to 22 at v[32] to v[38].
inline constexpr int kValueCount = 39;
constexpr int DerivedSlot(int n) { return n < 16 ? 6 + n : 32 + (n - 16); }
// Further values 1 to 10 of a data line sit at v[22] to v[31]; value 1 is the companion field.
constexpr int FurtherValue(int n) { return 21 + n; }

// Marks a derived slot without a value.
inline constexpr double kNoValue = -999999999.0;

// One data line of a series.
struct DataRecord {
  std::int32_t date = 0;  // YYYYMM; 0 marks a future or filler slot
  std::array<double, kValueCount> v{};
};

// A reader leaves room for this many records after the last it reads. Charts that append future
// months to their working records (the cloud's) then extend the list in place; moving a long
// series' records would touch as much fresh memory again.
inline constexpr std::size_t kSpareRecords = 32;

struct DataHeader {
  std::string highlightMonth;  // YYYYMM text, "10000101" when the cell is empty
  std::string title;
  std::string caption;
};

}  // namespace orvane
