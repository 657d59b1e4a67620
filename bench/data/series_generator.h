#pragma once

#include <cstddef>
#include <string>

namespace orvane::bench {

// A CP949 series file in the HLC layout: ten Korean header lines, then `dataLines` monthly
// lines of fifteen fields (prices with four decimals, a volume with "," separators).
std::string GenerateSeriesFile(std::size_t dataLines);

}  // namespace orvane::bench
