#include "modes/series_inputs.h"

#include "data/series_reader.h"

namespace orvane {

PipelineInputs InputsFromTable(const DataTable& table, int scaleChoice, int fromYear, int toYear) {
  SeriesData series = LoadRecords(table);
  PipelineInputs in;
  in.records = std::move(series.records);
  in.header = std::move(series.header);
  in.scaleChoice = scaleChoice;
  in.fromYear = fromYear;
  in.toYear = toYear;
  for (std::size_t k = 0; k < in.compareNames.size(); ++k) {
    const int column = kFirstCompareNameCell.column + static_cast<int>(k);
    in.compareNames[k] = std::string(table.Text(kFirstCompareNameCell.row, column));
  }
  return in;
}

}  // namespace orvane
