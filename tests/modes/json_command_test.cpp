#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "data/series_reader.h"
#include "modes/series_inputs.h"

namespace orvane {
namespace {

const std::string kSample = std::string(ORVANE_TEST_DATA_DIR) + "/samples/10001.txt";

struct ToolRun {
  int status;
  std::string out;
};

ToolRun RunTool(const std::string& args) {
  const std::string command =
      std::string(ORVANE_BINARY_DIR) + "/tools/orvane_chart/orvane-chart " + args + " 2>/dev/null";
  ToolRun run{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 65536> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    run.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(InputsFromTable, ReadsRecordsHeaderAndComparedNames) {
  DataTable table;
  ASSERT_TRUE(LoadDataFile(table, kSample));
  const PipelineInputs in = InputsFromTable(table, kScaleLog, 1990, 2000);
  EXPECT_EQ(in.records.size(), 228u);
  EXPECT_EQ(in.header.highlightMonth, "202106");
  EXPECT_EQ(in.compareNames[0], "비교1");
  EXPECT_EQ(in.compareNames[1], "강남구");
  EXPECT_TRUE(in.LogScale());
  EXPECT_EQ(in.fromYear, 1990);
  EXPECT_EQ(in.toYear, 2000);
}

TEST(JsonCommand, DefaultsPerModeAndExitStatus) {
  const ToolRun monthly = RunTool(kSample + " --json");
  ASSERT_EQ(monthly.status, 0);
  const nlohmann::json dump = nlohmann::json::parse(monthly.out);
  EXPECT_EQ(dump["mode"], 1);
  EXPECT_EQ(dump["scale"], "arith");
  EXPECT_EQ(dump["fromYear"], 2005);
  EXPECT_EQ(dump["toYear"], 2030);
  EXPECT_EQ(dump["charts"][0]["series"].size(), 10u);

  const ToolRun range = RunTool(kSample + " --json --mode 4 --to 2010");
  ASSERT_EQ(range.status, 0);
  const nlohmann::json rangeDump = nlohmann::json::parse(range.out);
  EXPECT_EQ(rangeDump["scale"], "log");
  EXPECT_EQ(rangeDump["fromYear"], 1700);
  EXPECT_EQ(rangeDump["charts"][0]["view"]["visibleCount"], 48);  // 2006 to 2009

  const ToolRun dashboard = RunTool(kSample + " --json --mode 0 --scale log");
  ASSERT_EQ(dashboard.status, 0);
  const nlohmann::json charts = nlohmann::json::parse(dashboard.out)["charts"];
  ASSERT_EQ(charts.size(), 3u);
  EXPECT_EQ(charts[1]["title"], "분기봉");
  EXPECT_EQ(charts[2]["title"], "연봉");
  EXPECT_EQ(charts[0]["highlightMonth"], 202106);
  EXPECT_EQ(charts[2]["highlightMonth"], 202112);

  EXPECT_EQ(RunTool(kSample + " --json --mode 9").status, 2);
  EXPECT_EQ(RunTool(kSample + " --json --scale linear").status, 2);
  EXPECT_EQ(RunTool(kSample + " --json --from 19x0").status, 2);
  EXPECT_EQ(RunTool("/nonexistent/series.txt --json").status, 1);
}

}  // namespace
}  // namespace orvane
