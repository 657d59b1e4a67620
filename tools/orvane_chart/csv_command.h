#pragma once

#include <span>

#include "tools/orvane_chart/command.h"

namespace orvane::tool {

// --csv OUT.
std::span<const ValueOption> CsvValueOptions();

// Whether the command line asks for the chart's data as CSV.
bool WantsCsv(const Invocation& invocation);

// Builds the chosen mode's chart from the series file and writes its visible data as CSV (the
// chart control's Ctrl+E export); renders the pictures too when --png, --svg or --ops are given.
const Command& CsvCommand();

}  // namespace orvane::tool
