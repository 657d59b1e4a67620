#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "data/data_record.h"
#include "data/data_table.h"

namespace orvane {

// Rows 0 to 9 of a series file are header lines; data lines follow to the end of the file.
inline constexpr int kFirstDataRow = 10;

// Header cells (row, column) that the program reads.
struct TableCell {
  int row;
  int column;
};
inline constexpr TableCell kTitleCell{1, 2};
inline constexpr TableCell kLayoutCell{3, 2};
inline constexpr TableCell kHighlightCell{5, 4};
inline constexpr TableCell kCaptionCell{9, 4};
// Names of the ten compared lines: row 4, columns 7 to 16.
inline constexpr TableCell kFirstCompareNameCell{4, 7};

// Highlight month used when the file names none; it matches no month.
inline constexpr std::string_view kNoHighlightMonth = "10000101";

enum class SeriesLayout {
  Hlc,   // date; high; low; close; volume; companion, further values
  Ohlc,  // date; open; high; low; close; volume; companion, further values
};

std::string_view LayoutName(SeriesLayout layout);

// A series as the chart pipelines read it.
struct SeriesData {
  DataHeader header;
  SeriesLayout layout = SeriesLayout::Hlc;
  std::vector<DataRecord> records;
};

// Empties the table and reads the series file into it, one row per line. Returns false when
// the file cannot be read, is not a regular file or is larger than 1 GiB; the table is then empty.
bool LoadDataFile(DataTable& table, const std::filesystem::path& path);

// The same for file contents already in memory (CP949, or UTF-8 when valid UTF-8).
void LoadDataText(DataTable& table, std::string_view bytes);

// Header and records from the table. With skipUndatedRows a row whose date reads 0 is left
// out as well (the dashboard's rule).
SeriesData LoadRecords(const DataTable& table, bool skipUndatedRows = false);

}  // namespace orvane
