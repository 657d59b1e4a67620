#include "tools/orvane_chart/csv_command.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <charconv>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/series_reader.h"

// The application lives until exit; fontconfig's caches it holds are not leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace orvane::tool {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(ORVANE_TEST_DATA_DIR) / "samples/10001.txt";

const fs::path kCompareFile = fs::path(ORVANE_TEST_DATA_DIR) / "fixtures/compare_lines.txt";

std::vector<std::vector<std::string>> RunCsv(std::map<std::string, std::string, std::less<>> values,
                                             std::string* bom = nullptr,
                                             const fs::path& file = kSample) {
  // CTest runs each test in its own process, in parallel: every test writes a file of its own.
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const fs::path out = fs::path(ORVANE_BINARY_DIR) / ("csv_command_" + test + ".csv");
  Invocation invocation;
  invocation.file = file.string();
  invocation.values = std::move(values);
  invocation.values["--csv"] = out.string();
  EXPECT_TRUE(WantsCsv(invocation));
  EXPECT_EQ(CsvCommand().run(invocation), kExitOk);
  std::ifstream in(out, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string all = text.str();
  if (bom != nullptr) *bom = all.substr(0, 3);
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(all.substr(3));
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(line.ends_with('\r'));
    line.pop_back();
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
    if (line.ends_with(',')) cells.emplace_back();
    rows.push_back(std::move(cells));
  }
  return rows;
}

double Number(const std::string& text) {
  double v = NAN;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

TEST(CsvCommand, WritesTheMonthlyChartOfTheSampleFile) {
  DataTable table;
  ASSERT_TRUE(LoadDataFile(table, kSample));
  const std::vector<DataRecord> records = LoadRecords(table).records;
  ASSERT_GT(records.size(), 200u);

  std::string bom;
  const auto rows = RunCsv({}, &bom);
  EXPECT_EQ(bom, "\xEF\xBB\xBF");
  ASSERT_EQ(rows.size(), records.size() + 1);  // the file starts in 2006, after --from 2005
  const std::vector<std::string> header = {
      "날짜",        "시가",        "고가",         "저가",         "종가",        "12개월 평균",
      "36개월 평균", "60개월 평균", "120개월 평균", "180개월 평균", "24개월 평균", "보조 지표"};
  EXPECT_EQ(rows[0], header);

  double sum = 0.0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const DataRecord& r = records[i];
    const auto& row = rows[i + 1];
    ASSERT_EQ(row.size(), header.size());
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d", r.date / 100, r.date % 100);
    EXPECT_EQ(row[0], date);
    EXPECT_DOUBLE_EQ(Number(row[1]), r.v[kOpen]);
    EXPECT_DOUBLE_EQ(Number(row[2]), r.v[kHigh]);
    EXPECT_DOUBLE_EQ(Number(row[3]), r.v[kLow]);
    EXPECT_DOUBLE_EQ(Number(row[4]), r.v[kClose]);
    // The 12-month mean, summed here from the closes.
    sum += r.v[kClose];
    if (i >= 12) sum -= records[i - 12].v[kClose];
    EXPECT_NEAR(Number(row[5]), sum / std::min<double>(i + 1, 12), 1e-9) << row[0];
    // The companion line is a gap where the companion is below 1e-10.
    if (r.v[kCompanion] >= 1e-10) {
      EXPECT_DOUBLE_EQ(Number(row[11]), r.v[kCompanion]);
    } else {
      EXPECT_EQ(row[11], "");
    }
  }
}

TEST(CsvCommand, LogScaleGivesTheRealValuesBack) {
  const auto arith = RunCsv({{"--mode", "2"}, {"--from", "2015"}});
  const auto log = RunCsv({{"--mode", "2"}, {"--from", "2015"}, {"--scale", "log"}});
  ASSERT_EQ(arith.size(), log.size());
  ASSERT_GT(arith.size(), 100u);
  EXPECT_EQ(arith[0], log[0]);
  const std::size_t coppock =
      std::find(arith[0].begin(), arith[0].end(), "Coppock") - arith[0].begin();
  ASSERT_LT(coppock, arith[0].size());
  for (std::size_t i = 1; i < arith.size(); ++i) {
    EXPECT_EQ(arith[i][0], log[i][0]);
    for (std::size_t c : {1u, 2u, 3u, 4u}) {
      EXPECT_NEAR(Number(log[i][c]), Number(arith[i][c]), 1e-9 * Number(arith[i][c]));
    }
    // Momentum is drawn unscaled under either scale.
    EXPECT_EQ(log[i][coppock], arith[i][coppock]);
  }
}

// The file's records as --records prints them: date -> the 39 values.
std::map<int, std::vector<double>> RecordsOf(const fs::path& file) {
  // Per test, as in RunCsv: two tests read the same file's records in parallel processes.
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const fs::path out = fs::path(ORVANE_BINARY_DIR) / ("csv_command_records_" + test + ".json");
  Invocation invocation;
  invocation.file = file.string();
  invocation.outPath = out.string();
  for (const Command& c : TableCommands()) {
    if (c.flag == "--records") {
      EXPECT_EQ(c.run(invocation), kExitOk);
    }
  }
  std::ifstream in(out);
  const nlohmann::json dump = nlohmann::json::parse(in);
  std::map<int, std::vector<double>> records;
  for (const auto& r : dump["records"]) {
    records[r["date"].get<int>()] = r["v"].get<std::vector<double>>();
  }
  return records;
}

int RowDate(const std::string& cell) {
  return std::stoi(cell.substr(0, 4)) * 100 + std::stoi(cell.substr(5));
}

TEST(CsvCommand, RebaseSetsEverySeriesTo100AtItsBaseMonth) {
  const auto records = RecordsOf(kCompareFile);
  // The candles and the lines A and B have a value at 2020.01; C starts at 2020.04.
  const std::size_t slots[] = {kOpen,           kHigh,           kLow,           kClose,
                               FurtherValue(1), FurtherValue(2), FurtherValue(3)};
  const auto base = [&records](std::size_t slot) {
    return records.at(slot == FurtherValue(3) ? 202004 : 202001)[slot < kVolume ? kClose : slot];
  };
  for (const char* scale : {"arith", "log"}) {
    const auto rows = RunCsv({{"--mode", "8"}, {"--rebase", "2020.01"}, {"--scale", scale}},
                             nullptr, kCompareFile);
    ASSERT_EQ(rows.size(), records.size() + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"날짜", "시가", "고가", "저가", "종가", "A지수",
                                                 "B지수", "C지수 (기준 2020.04)"}));
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const int date = RowDate(rows[i][0]);
      for (std::size_t c = 0; c < 7; ++c) {
        const double raw = records.at(date)[slots[c]];
        if (raw < 1e-8) {
          EXPECT_EQ(rows[i][1 + c], "") << date;
        } else {
          const double expected = raw / base(slots[c]) * 100.0;
          EXPECT_NEAR(Number(rows[i][1 + c]), expected, 1e-9 * expected) << date << scale;
        }
      }
      if (date == 202001) {
        EXPECT_EQ(std::vector(rows[i].begin() + 4, rows[i].end() - 1),
                  std::vector<std::string>(3, "100"));
      }
    }
  }
}

TEST(CsvCommand, ChangesGiveThePercentFromTheMonthBeforeAndAYearBefore) {
  const auto records = RecordsOf(kCompareFile);
  const auto rows = RunCsv({{"--changes", ""}}, nullptr, kCompareFile);
  EXPECT_EQ(std::vector(rows[0].end() - 2, rows[0].end()),
            (std::vector<std::string>{"전월대비", "전년동월대비"}));
  const auto change = [&](int now, int then) {
    return (records.at(now)[kClose] / records.at(then)[kClose] - 1.0) * 100.0;
  };
  // 2020.06 has no year before (2019.06 is missing from the file); 2019.07 no month before.
  const auto row = [&rows](int date) {
    return *std::find_if(rows.begin() + 1, rows.end(),
                         [&](const auto& r) { return RowDate(r[0]) == date; });
  };
  EXPECT_NEAR(Number(row(202006)[12]), change(202006, 202005), 1e-9);
  EXPECT_EQ(row(202006)[13], "");
  EXPECT_EQ(row(201907)[12], "");
  EXPECT_NEAR(Number(row(202001)[12]), change(202001, 201912), 1e-9);
  EXPECT_NEAR(Number(row(202007)[13]), change(202007, 201907), 1e-9);
}

TEST(CsvCommand, AFailedWriteIsReportedAndLeavesNoFile) {
  const fs::path out = fs::path(ORVANE_BINARY_DIR) / "csv_command_failed_write.csv";
  Invocation invocation;
  invocation.file = kSample.string();
  invocation.values["--csv"] = out.string();
  // A file size limit makes the write fail part way, as a full disk would.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int status = CsvCommand().run(invocation);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(status, kExitFailure);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace orvane::tool
