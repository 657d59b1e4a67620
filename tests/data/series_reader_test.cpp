#include "data/series_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "data/fresh_memory.h"
#include "data/number_text.h"
#include "data/text_codec.h"

namespace orvane {
namespace {

// Ten header lines (the given ones, the rest empty), then the data lines, CR LF ended.
std::string SeriesText(const std::map<int, std::string>& header,
                       const std::vector<std::string>& data) {
  std::string text;
  for (int row = 0; row < kFirstDataRow; ++row) {
    const auto it = header.find(row);
    text += (it == header.end() ? std::string() : it->second) + "\r\n";
  }
  for (const std::string& line : data) text += line + "\r\n";
  return text;
}

DataTable Load(std::string_view text) {
  DataTable table;
  LoadDataText(table, text);
  return table;
}

SeriesData Records(const std::map<int, std::string>& header, const std::vector<std::string>& data) {
  return LoadRecords(Load(SeriesText(header, data)));
}

// A line whose field `column` is `field`, the fields before it "x" (or a date in column 1).
std::string LineWithField(int column, const std::string& field) {
  std::string line;
  for (int k = 1; k < column; ++k) line += (k == 1 ? "2023.01" : "x") + std::string(";");
  return line + field;
}

TEST(LoadDataFileTest, CleansEveryFieldByTheRules) {
  const struct {
    bool dataLine;
    int column;
    const char* field;
    const char* cell;
  } cases[] = {
      {true, 3, "a?b", "a·b"},
      {false, 3, "주의?", "주의·"},
      {true, 3, "\"1,234\"", "1234"},
      {true, 3, " \t 12.5 \t ", "12.5"},
      {true, 3, "1,234.56789", "1234.567"},
      {false, 3, "1,234.56789", "1234.56789"},  // no decimal cut on header lines
      {true, 3, "12.3", "12.3"},
      {true, 3, "-0.98765", "-0.987"},
      {true, 3, "1.2.3456", "1.2.3"},
      {true, 3, "1.가나다라", "1.가나다"},  // the cut counts characters, not bytes
      {true, 3, "1.5E-03", "0.001500000"},
      {false, 3, "1.5E-03", "0.001500000"},
      {true, 3, "2.0E-3", "0.002000000"},
      {true, 3, "1.5E+05", "150000.000000000"},
      {true, 3, "1.5e5", "150000.000000000"},
      {true, 3, "\"-1,250E-06\"", "-0.001250000"},
      {true, 3, "1.5E+99999", "1.5E+99999"},
      {false, 2, "E-mart 지수", "E-mart 지수"},  // only numbers are converted
      {true, 3, "1.5E-x", "1.5E-"},
      {true, 8, "+3.25", "3.25"},
      {true, 8, "+3.12345", "3.123"},
      {true, 8, "++1", "+1"},
      {true, 7, "+3.25", "+3.25"},
      {false, 8, "+3.25", "+3.25"},
      {true, 1, "2023.1", "2023.10"},
      {false, 1, "2023.1", "2023.10"},
      {true, 1, "2023.07", "2023.07"},
      {true, 1, " 2023.1 ", "2023.10"},
      {true, 1, "202307", "202307"},
      {false, 1, "지수명", "지수명"},
      {false, 1, "Series", "Series"},
      {true, 3, "", ""},
      {true, 3, "   ", ""},
      {true, 3, "\"\"", ""},
  };
  for (const auto& c : cases) {
    const int row = c.dataLine ? kFirstDataRow : 2;
    std::map<int, std::string> header;
    std::vector<std::string> data;
    if (c.dataLine) {
      data.push_back(LineWithField(c.column, c.field));
    } else {
      header[row] = LineWithField(c.column, c.field);
    }
    const DataTable table = Load(SeriesText(header, data));
    EXPECT_EQ(table.Text(row, c.column), c.cell)
        << (c.dataLine ? "data" : "header") << " column " << c.column << ": " << c.field;
  }
}

TEST(LoadDataFileTest, NumbersRowsAndSplitsLines) {
  const DataTable table = Load("a;b\r\nc\n\n;;\r\nlast");
  ASSERT_EQ(table.RowCount(), 5u);
  EXPECT_EQ(table.Text(0, 0), "");  // row 0 has no number
  EXPECT_EQ(table.Text(0, 1), "a");
  EXPECT_EQ(table.Text(0, 2), "b");
  EXPECT_EQ(table.Text(1, 0), "1");
  EXPECT_EQ(table.Text(1, 1), "c");
  EXPECT_EQ(table.CellCount(2), 2);  // an empty line is one empty field
  EXPECT_EQ(table.CellCount(3), 4);
  EXPECT_EQ(table.LastFilledColumn(3), 0);
  EXPECT_EQ(table.Text(4, 0), "4");
  EXPECT_EQ(table.Text(4, 1), "last");
  EXPECT_EQ(table.Text(4, 9), "");
  EXPECT_EQ(table.Text(99, 1), "");

  EXPECT_EQ(Load("\nx").LastFilledColumn(0), -1);  // printed as [] by the tool
  EXPECT_EQ(Load("only\r\n").RowCount(), 1u);
  EXPECT_EQ(Load("\n").RowCount(), 1u);
  EXPECT_EQ(Load("").RowCount(), 0u);
  EXPECT_EQ(Load("\xEF\xBB\xBFtitle").Text(0, 1), "title");
}

TEST(LoadDataFileTest, DecodesCp949AndTakesUtf8AsItIs) {
  const std::string utf8 = SeriesText({{1, "지수명;서울시 아파트 매매지수"}}, {"2023.01;1;1;1"});
  const DataTable fromCp949 = Load(EncodeCp949(utf8));
  const DataTable fromUtf8 = Load(utf8);
  EXPECT_EQ(fromCp949.Text(1, 2), "서울시 아파트 매매지수");
  EXPECT_EQ(fromUtf8.Text(1, 2), "서울시 아파트 매매지수");
  EXPECT_EQ(fromCp949.Text(10, 1), "2023.01");
}

TEST(LoadDataFileTest, ClearsTheTableBeforeEveryRead) {
  DataTable table;
  LoadDataText(table, SeriesText({}, {"2023.01;1;2;3", "2023.02;1;2;3"}));
  ASSERT_EQ(table.RowCount(), 12u);
  LoadDataText(table, "one line");
  EXPECT_EQ(table.RowCount(), 1u);
  EXPECT_FALSE(LoadDataFile(table, std::filesystem::path(ORVANE_TEST_DATA_DIR) / "no-such-file"));
  EXPECT_EQ(table.RowCount(), 0u);
}

TEST(LoadDataFileTest, MissingEmptyAndDirectoryPathsGiveAnEmptyTable) {
  DataTable table;
  EXPECT_FALSE(LoadDataFile(table, "/nonexistent/series.txt"));
  EXPECT_EQ(table.RowCount(), 0u);
  EXPECT_FALSE(LoadDataFile(table, ORVANE_TEST_DATA_DIR));
  EXPECT_EQ(table.RowCount(), 0u);
  EXPECT_FALSE(LoadDataFile(table, "/dev/zero"));  // endless: refused, not read whole

  const auto empty = std::filesystem::temp_directory_path() / "orvane_empty_series.txt";
  { std::ofstream(empty, std::ios::binary); }
  EXPECT_TRUE(LoadDataFile(table, empty));
  EXPECT_EQ(table.RowCount(), 0u);
  std::filesystem::remove(empty);

  const SeriesData series = LoadRecords(table);
  EXPECT_TRUE(series.records.empty());
  EXPECT_EQ(series.header.highlightMonth, "10000101");
  EXPECT_EQ(series.header.title, "");
  EXPECT_EQ(series.layout, SeriesLayout::Hlc);
}

TEST(LoadDataFileTest, KeepsSeventySixFieldsOfALongLine) {
  std::string line;
  for (int k = 1; k <= 80; ++k) line += "f" + std::to_string(k) + (k < 80 ? ";" : "");
  const DataTable table = Load(line);
  EXPECT_EQ(table.CellCount(0), DataTable::kColumnCount);
  EXPECT_EQ(table.Text(0, 76), "f76");
  EXPECT_EQ(table.Text(0, 77), "");

  std::string wide = "2023.01";
  for (int k = 0; k < 10000; ++k) wide += ";1.23456";
  const DataTable wideTable = Load(SeriesText({}, {wide}));
  EXPECT_EQ(wideTable.CellCount(kFirstDataRow), DataTable::kColumnCount);
  EXPECT_EQ(wideTable.Text(kFirstDataRow, 76), "1.234");
}

TEST(LoadDataFileTest, SurvivesHugeLinesNulBytesAndGarbage) {
  const std::string huge(1 << 20, '7');
  const DataTable hugeTable = Load(SeriesText({}, {"2023.01;1;1;" + huge}));
  EXPECT_EQ(hugeTable.Text(kFirstDataRow, 4).size(), huge.size());
  EXPECT_EQ(LoadRecords(hugeTable).records.size(), 1u);

  constexpr char kNulLine[] = "2023.01;1\0;2;3\0x\r\n";
  const std::string withNul(kNulLine, sizeof kNulLine - 1);
  const DataTable nulTable = Load(SeriesText({}, {}) + withNul);
  EXPECT_EQ(nulTable.Text(kFirstDataRow, 2), std::string("1\0", 2));
  const SeriesData nulSeries = LoadRecords(nulTable);
  ASSERT_EQ(nulSeries.records.size(), 1u);
  EXPECT_EQ(nulSeries.records[0].v[kClose], 3);

  std::mt19937 random(2024);
  std::string garbage(1 << 16, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const DataTable garbageTable = Load(garbage);
  EXPECT_GT(garbageTable.RowCount(), 100u);
  EXPECT_LT(garbageTable.MemoryUse(), 8 * garbage.size());
  for (std::size_t row = 0; row < garbageTable.RowCount(); ++row) {
    for (int column = 0; column < garbageTable.CellCount(row); ++column) {
      ASSERT_TRUE(IsValidUtf8(garbageTable.Text(row, column))) << row << "," << column;
    }
  }
  LoadRecords(garbageTable);

  // A million empty data lines: the records reserve nothing for them.
  const DataTable emptyLines = Load(std::string(1'000'000, '\n'));
  const SeriesData none = LoadRecords(emptyLines);
  EXPECT_TRUE(none.records.empty());
  EXPECT_LE(none.records.capacity(), 1000u);
}

TEST(LoadDataFileTest, HoldsAFewTimesTheFileSizeForAnyShapeOfInput) {
  std::string normal = SeriesText({{1, "t;Title"}}, {});
  for (int k = 0; k < 20000; ++k) normal += "2023.01;101.1234;99.5;100.25;1,234;0.12;7\r\n";
  std::string longLines;
  for (int k = 0; k < 8; ++k) longLines += std::string(100000, k % 2 ? ';' : '7') + "\n";
  auto repeat = [](std::string_view unit, int times) {
    std::string text;
    for (int k = 0; k < times; ++k) text += unit;
    return text;
  };
  const struct {
    const char* name;
    std::string text;
    double mostPerByte;
  } cases[] = {
      {"blank lines", std::string(1'000'000, '\n'), 0.3},
      {"blank CR LF lines", repeat("\r\n", 500'000), 0.3},
      {"normal file", normal, 2.0},
      {"long lines", longLines, 1.0},
      {"bare fields", repeat("x\n", 100'000), 5.0},
  };
  for (const auto& c : cases) {
    const DataTable table = Load(c.text);
    EXPECT_LE(static_cast<double>(table.MemoryUse()), c.mostPerByte * c.text.size()) << c.name;
  }

  // Blank rows still read as numbered rows with one empty field.
  const DataTable blank = Load(std::string(1'000'000, '\n') + "end");
  ASSERT_EQ(blank.RowCount(), 1'000'001u);
  EXPECT_EQ(blank.CellCount(999'999), 2);
  EXPECT_EQ(blank.Text(999'999, 0), "999999");
  EXPECT_EQ(blank.LastFilledColumn(999'999), 0);
  EXPECT_EQ(blank.Text(1'000'000, 1), "end");
}

TEST(LoadDataFileTest, InvalidCp949BecomesReplacementCharacters) {
  const std::string bad = SeriesText({{1, "t;\xBE\xC6\xFF\xC6\xAE;\x81"}}, {});
  const DataTable table = Load(bad);
  EXPECT_EQ(table.Text(1, 2), "아\xEF\xBF\xBD트");
  EXPECT_EQ(table.Text(1, 3), "\xEF\xBF\xBD");
}

TEST(LoadRecordsTest, ReadsTheHeaderCells) {
  const SeriesData series = Records({{1, "지수명;서울 매매지수"},
                                     {3, "형식;open"},
                                     {5, "강조;;;2021.06"},
                                     {9, "설명;;;2017.11=100"}},
                                    {});
  EXPECT_EQ(series.header.title, "서울 매매지수");
  EXPECT_EQ(series.header.highlightMonth, "202106");
  EXPECT_EQ(series.header.caption, "2017.11=100");
  EXPECT_EQ(series.layout, SeriesLayout::Ohlc);
  EXPECT_TRUE(series.records.empty());

  EXPECT_EQ(Records({{3, "x;Open"}}, {}).layout, SeriesLayout::Hlc);
  EXPECT_EQ(Records({{3, "x; open "}}, {}).layout, SeriesLayout::Ohlc);  // trimmed when read
  EXPECT_EQ(Records({{5, "x;;;"}}, {}).header.highlightMonth, "10000101");
  EXPECT_EQ(Records({{5, "x;;;."}}, {}).header.highlightMonth, "10000101");
}

TEST(LoadRecordsTest, HlcCarriesTheCloseAcrossSkippedRows) {
  const SeriesData series = Records({}, {
                                            "2023.01;110;90;100;5;1.5;7;8",
                                            "2023.02;120;80;0;6",    // zero close
                                            "2023.03;120;80;;6",     // empty close
                                            "2023.04;120;80;n/a;6",  // not a number
                                            "2023.05",               // too few fields
                                            "2023.06;130;95;105;7;2",
                                            "2023.07;1,30;95;\"99\"",
                                        });
  ASSERT_EQ(series.layout, SeriesLayout::Hlc);
  ASSERT_EQ(series.records.size(), 3u);
  const DataRecord& first = series.records[0];
  EXPECT_EQ(first.date, 202301);
  EXPECT_EQ(first.v[kOpen], 100);  // the first open is its own close
  EXPECT_EQ(first.v[kHigh], 110);
  EXPECT_EQ(first.v[kLow], 90);
  EXPECT_EQ(first.v[kClose], 100);
  EXPECT_EQ(first.v[kVolume], 5);
  EXPECT_EQ(first.v[kCompanion], 1.5);
  EXPECT_EQ(first.v[FurtherValue(1)], 1.5);
  EXPECT_EQ(first.v[FurtherValue(2)], 7);
  EXPECT_EQ(first.v[FurtherValue(3)], 8);
  EXPECT_EQ(first.v[FurtherValue(4)], 0);
  EXPECT_EQ(first.v[DerivedSlot(0)], 0);
  EXPECT_EQ(first.v[DerivedSlot(22)], 0);
  EXPECT_EQ(series.records[1].date, 202306);
  EXPECT_EQ(series.records[1].v[kOpen], 100);
  EXPECT_EQ(series.records[1].v[kCompanion], 2);
  EXPECT_EQ(series.records[2].v[kOpen], 105);
  EXPECT_EQ(series.records[2].v[kHigh], 130);
  EXPECT_EQ(series.records[2].v[kClose], 99);
}

TEST(LoadRecordsTest, OhlcReadsItsOwnOpenOrTheClose) {
  std::string further;
  for (int n = 1; n <= 11; ++n) further += ";" + std::to_string(n * 10);
  const SeriesData series = Records({{3, "형식;open"}}, {
                                                            "2023.1;95;110;90;100;5" + further,
                                                            "2023.11;;120;80;105;6",
                                                            "2023.12;1,01.5;1;1;0",
                                                        });
  ASSERT_EQ(series.records.size(), 2u);
  const DataRecord& first = series.records[0];
  EXPECT_EQ(first.date, 202310);
  EXPECT_EQ(first.v[kOpen], 95);
  EXPECT_EQ(first.v[kHigh], 110);
  EXPECT_EQ(first.v[kLow], 90);
  EXPECT_EQ(first.v[kClose], 100);
  EXPECT_EQ(first.v[kVolume], 5);
  EXPECT_EQ(first.v[kCompanion], 10);
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(first.v[FurtherValue(n)], n * 10) << n;
  EXPECT_EQ(series.records[1].v[kOpen], 105);
}

TEST(LoadRecordsTest, ConvertsDatesAndScientificValues) {
  const SeriesData series = Records({}, {
                                            "2023.07;1;1;1.5E-03",
                                            "99999999;1;1;2.0E-3",
                                            "2023.07.15;1;1;1.5E+05",
                                            "abc;1;1;1",
                                            "9999999999999;1;1;1",
                                        });
  ASSERT_EQ(series.records.size(), 5u);
  EXPECT_EQ(series.records[0].date, 202307);
  EXPECT_DOUBLE_EQ(series.records[0].v[kClose], 0.0015);
  EXPECT_EQ(series.records[1].date, 99999999);
  EXPECT_DOUBLE_EQ(series.records[1].v[kClose], 0.002);
  EXPECT_EQ(series.records[2].date, 202307);  // cut to 2023.07. before the dots go
  EXPECT_EQ(series.records[2].v[kClose], 150000);
  EXPECT_EQ(series.records[3].date, 0);
  EXPECT_EQ(series.records[4].date, std::numeric_limits<std::int32_t>::max());

  const DataTable table = Load(SeriesText({}, {"abc;1;1;1", "2023.01;1;1;1"}));
  EXPECT_EQ(LoadRecords(table, /*skipUndatedRows=*/true).records.size(), 1u);
}

TEST(LoadRecordsTest, RemovesSeparatorsFromPricesInCellsItIsGiven) {
  DataTable table;
  for (int row = 0; row < kFirstDataRow; ++row) table.AppendRow();
  table.AppendRow();
  for (const char* cell : {"2023.01", "1,234.5", "1,000", "2,000", "9,9"}) {
    table.AppendCell(cell);
  }
  const SeriesData series = LoadRecords(table);
  ASSERT_EQ(series.records.size(), 1u);
  EXPECT_EQ(series.records[0].v[kHigh], 1234.5);
  EXPECT_EQ(series.records[0].v[kClose], 2000);
  EXPECT_EQ(series.records[0].v[kVolume], 9);  // only prices lose their separators
}

TEST(LoadRecordsTest, ReadsEveryShapeOfNumberAsTextToDoubleDoes) {
  // Cells handed to the table as they are (no decimals cut), in a further-value column.
  const char* texts[] = {"7",
                         "12345678",
                         "123456789",
                         "1234567890123456",
                         "0.1",
                         "65.123",
                         "1234567.123",
                         "123456789012.345",
                         "5.",
                         ".5",
                         "1.2.3",
                         "12a",
                         "-4.5",
                         "0x1A",
                         "1e3",
                         " 8",
                         "1,5",
                         "9999999999999999",
                         "99999999999999999",
                         "0000000000000.25"};
  for (const char* text : texts) {
    DataTable table;
    for (int row = 0; row <= kFirstDataRow; ++row) table.AppendRow();
    for (const char* cell : {"2023.01", "1", "1", "1", "1", "1", "1", "1", "1"}) {
      table.AppendCell(cell);
    }
    table.AppendCell(text);
    const SeriesData series = LoadRecords(table);
    ASSERT_EQ(series.records.size(), 1u);
    EXPECT_EQ(series.records[0].v[FurtherValue(5)], TextToDouble(text)) << text;
  }
}

TEST(LoadRecordsTest, ReadsTheBundledSamples) {
  DataTable table;
  ASSERT_TRUE(
      LoadDataFile(table, std::filesystem::path(ORVANE_TEST_DATA_DIR) / "samples/10001.txt"));
  const SeriesData hlc = LoadRecords(table);
  EXPECT_EQ(hlc.layout, SeriesLayout::Hlc);
  EXPECT_EQ(hlc.header.title, "서울시 아파트 매매지수");
  EXPECT_EQ(hlc.header.highlightMonth, "202106");
  EXPECT_EQ(hlc.records.size(), 19u * 12);
  EXPECT_EQ(hlc.records.front().date, 200601);
  for (std::size_t i = 1; i < hlc.records.size(); ++i) {
    EXPECT_EQ(hlc.records[i].v[kOpen], hlc.records[i - 1].v[kClose]) << i;
    EXPECT_GT(hlc.records[i].date, hlc.records[i - 1].date) << i;
  }

  ASSERT_TRUE(
      LoadDataFile(table, std::filesystem::path(ORVANE_TEST_DATA_DIR) / "samples/60001.txt"));
  const SeriesData ohlc = LoadRecords(table);
  EXPECT_EQ(ohlc.layout, SeriesLayout::Ohlc);
  EXPECT_EQ(ohlc.header.caption, "코스피 월봉과 거래대금");
  EXPECT_EQ(ohlc.records.size(), 20u * 12);
}

// A series has room after its last record for the months a chart appends; mapping room ahead of
// writing leaves the records as they are.
TEST(LoadRecordsTest, LeavesRoomAfterTheLastRecordWithTheRecordsIntact) {
  std::vector<std::string> lines;
  for (int k = 0; k < 3000; ++k) lines.push_back("1900.01;1;2;" + std::to_string(k + 3));
  SeriesData series = Records({}, lines);
  ASSERT_EQ(series.records.size(), 3000u);
  const DataRecord* before = series.records.data();
  series.records.resize(3000 + kSpareRecords);
  EXPECT_EQ(series.records.data(), before);
  series.records.reserve(4 * series.records.capacity());
  MapRoomForWriting(series.records);
  MapForWriting(reinterpret_cast<char*>(series.records.data()) + 1, 1000 * sizeof(DataRecord));
  for (std::size_t k = 0; k < 3000; ++k) ASSERT_EQ(series.records[k].v[kClose], k + 3.0) << k;
}

// A large block is cut from a wider mapping to a 2 MiB boundary; every byte asked for is there
// and writable, and nothing is handed out for nothing.
TEST(LargeBlock, IsAlignedWholeAndWritable) {
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  for (const std::size_t bytes : {std::size_t{1}, kHuge, kHuge + 1, 7 * kHuge / 2}) {
    const LargeBlock block = MapLargeBlock(bytes);
    ASSERT_NE(block.data, nullptr) << bytes;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data) % kHuge, 0u);
    EXPECT_EQ(block.bytes, (bytes + kHuge - 1) / kHuge * kHuge);
    std::memset(block.data, 0x5A, block.bytes);
    UnmapLargeBlock(block);
  }
  EXPECT_EQ(MapLargeBlock(0).data, nullptr);
  EXPECT_EQ(MapLargeBlock(SIZE_MAX).data, nullptr);
}

}  // namespace
}  // namespace orvane
