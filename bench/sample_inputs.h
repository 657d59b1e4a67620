#pragma once

// The pipeline inputs the chart benchmarks share: sample months with the title, caption and
// highlight month of a real series file, all years in range.

#include <string>

#include "modes/pipeline.h"
#include "tests/chart/sample_charts.h"

namespace orvane::bench {

inline PipelineInputs SampleInputs(int months, int scaleChoice) {
  PipelineInputs in;
  for (const auto& m : testing::SampleMonths(months)) {
    DataRecord r;
    r.date = m.date;
    r.v[kOpen] = m.open;
    r.v[kHigh] = m.high;
    r.v[kLow] = m.low;
    r.v[kClose] = m.close;
    r.v[kVolume] = m.volume;
    r.v[kCompanion] = m.companion;
    in.records.push_back(r);
  }
  in.header.title = "서울 아파트 매매가격지수";
  in.header.caption = "월간 지수";
  in.header.highlightMonth = std::to_string(in.records[in.records.size() * 3 / 4].date);
  in.scaleChoice = scaleChoice;
  in.fromYear = 1700;
  return in;
}

}  // namespace orvane::bench
