#include <cstdio>
#include <nlohmann/json.hpp>

#include "data/series_reader.h"
#include "tools/orvane_chart/command.h"
#include "tools/orvane_chart/tool_output.h"

namespace orvane::tool {

namespace {

bool LoadTable(const Invocation& invocation, DataTable& table) {
  if (LoadDataFile(table, invocation.file)) return true;
  std::fprintf(stderr, "orvane-chart: cannot read %s\n", invocation.file.c_str());
  return false;
}

// {"rows": [[column 0 .. last non-empty column], ...]}
int RunTable(const Invocation& invocation) {
  DataTable table;
  if (!LoadTable(invocation, table)) return kExitFailure;
  nlohmann::json rows = nlohmann::json::array();
  for (std::size_t row = 0; row < table.RowCount(); ++row) {
    nlohmann::json cells = nlohmann::json::array();
    const int last = table.LastFilledColumn(row);
    for (int column = 0; column <= last; ++column) cells.push_back(table.Text(row, column));
    rows.push_back(std::move(cells));
  }
  return WriteOutput(invocation, JsonText({{"rows", std::move(rows)}}));
}

// {"header": {...}, "records": [{"date": YYYYMM, "v": [39 numbers]}, ...]}
int RunRecords(const Invocation& invocation) {
  DataTable table;
  if (!LoadTable(invocation, table)) return kExitFailure;
  const SeriesData series = LoadRecords(table);
  nlohmann::json records = nlohmann::json::array();
  for (const DataRecord& record : series.records) {
    nlohmann::json values = nlohmann::json::array();
    for (double v : record.v) values.push_back(JsonNumber(v));
    records.push_back({{"date", record.date}, {"v", std::move(values)}});
  }
  const nlohmann::json header = {{"highlightMonth", series.header.highlightMonth},
                                 {"title", series.header.title},
                                 {"caption", series.header.caption},
                                 {"layout", LayoutName(series.layout)}};
  return WriteOutput(invocation, JsonText({{"header", header}, {"records", std::move(records)}}));
}

constexpr Command kTableCommands[] = {
    {"--table", "print the data table as JSON: {\"rows\": [[cell, ...], ...]}", RunTable},
    {"--records",
     "print the header and the records as JSON: {\"header\": {...}, \"records\": [...]}",
     RunRecords},
};

}  // namespace

std::span<const Command> TableCommands() { return kTableCommands; }

}  // namespace orvane::tool
