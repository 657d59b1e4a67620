#pragma once

#include "data/data_table.h"
#include "modes/pipeline.h"

namespace orvane {

// What Apply hands a single-chart pipeline: the records and header read back from the data
// table, the compared names of row 4, and the scale and years of the main window.
PipelineInputs InputsFromTable(const DataTable& table, int scaleChoice, int fromYear, int toYear);

}  // namespace orvane
