// Arbitrary bytes as a series file: the reader and the record builder must neither crash nor
// leave the table holding anything but valid UTF-8 within its column limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/series_reader.h"
#include "data/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  orvane::DataTable table;
  orvane::LoadDataText(table, bytes);
  for (std::size_t row = 0; row < table.RowCount(); ++row) {
    if (table.CellCount(row) > orvane::DataTable::kColumnCount) std::abort();
    for (int column = 0; column < table.CellCount(row); ++column) {
      if (!orvane::IsValidUtf8(table.Text(row, column))) std::abort();
    }
  }
  const orvane::SeriesData series = orvane::LoadRecords(table);
  const orvane::SeriesData dashboard = orvane::LoadRecords(table, /*skipUndatedRows=*/true);
  if (series.records.size() > table.RowCount() ||
      dashboard.records.size() > series.records.size()) {
    std::abort();
  }
  return 0;
}
