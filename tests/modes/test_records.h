#pragma once

#include <functional>
#include <vector>

#include "data/data_record.h"

namespace orvane::test {

// `count` consecutive months from year/month; close(i) gives the i-th close, the other prices
// sit around it (open = previous close, high = close + 1, low = open - 1 or so).
inline std::vector<DataRecord> Months(int year, int month, int count,
                                      const std::function<double(int)>& close) {
  std::vector<DataRecord> out;
  double previous = close(0);
  for (int i = 0; i < count; ++i) {
    DataRecord r;
    r.date = year * 100 + month;
    const double c = close(i);
    r.v[kOpen] = previous;
    r.v[kClose] = c;
    r.v[kHigh] = std::max(previous, c) + 1.0;
    r.v[kLow] = std::min(previous, c) - 1.0;
    r.v[kVolume] = 1000.0 + i;
    r.v[kCompanion] = c / 2.0;
    previous = c;
    out.push_back(r);
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  return out;
}

}  // namespace orvane::test
