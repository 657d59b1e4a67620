#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path kTool = fs::path(ORVANE_BINARY_DIR) / "tools/orvane_chart/orvane-chart";
const fs::path kFixture = fs::path(ORVANE_TEST_DATA_DIR) / "fixtures/rules_hlc.txt";

class OrvaneChartToolTest : public testing::Test {
 protected:
  void SetUp() override {
    out_ =
        fs::temp_directory_path() / ("orvane_chart_test_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { fs::remove(out_); }

  // Runs the tool with the arguments, standard output into out_; returns the exit status.
  int Run(const std::string& arguments) const {
    const std::string command =
        "'" + kTool.string() + "' " + arguments + " > '" + out_.string() + "' 2> /dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Output() const {
    std::ifstream in(out_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path out_;
};

TEST_F(OrvaneChartToolTest, PrintsTheTable) {
  ASSERT_EQ(Run("'" + kFixture.string() + "' --table"), 0);
  const auto json = nlohmann::json::parse(Output());
  const auto& rows = json.at("rows");
  ASSERT_EQ(rows.size(), 15u);
  EXPECT_EQ(rows[0], nlohmann::json({"", "구분", "금리 지표"}));
  EXPECT_EQ(rows[1], nlohmann::json({"1", "지수명", "국고채 3년 금리·"}));
  EXPECT_EQ(rows[5], nlohmann::json({"5", "강조", "", "", "2023.1"}));
  EXPECT_EQ(rows[6], nlohmann::json({"6"}));
  EXPECT_EQ(rows[11], nlohmann::json({"11", "2023.10", "4012.345", "0.001500000", "0.002000000",
                                      "150000.000000000", "+1", "+2", "3.25"}));
}

TEST_F(OrvaneChartToolTest, PrintsTheRecords) {
  ASSERT_EQ(Run("--records '" + kFixture.string() + "'"), 0);
  const auto json = nlohmann::json::parse(Output());
  EXPECT_EQ(json.at("header"), nlohmann::json({{"highlightMonth", "20231"},
                                               {"title", "국고채 3년 금리·"},
                                               {"caption", "단위 %"},
                                               {"layout", "HLC"}}));
  const auto& records = json.at("records");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].at("date"), 202309);
  ASSERT_EQ(records[0].at("v").size(), 39u);
  EXPECT_EQ(records[0].at("v")[0], 3.85);
  EXPECT_EQ(records[1].at("date"), 202310);
  EXPECT_EQ(records[1].at("v")[0], 3.85);
  EXPECT_EQ(records[1].at("v")[1], 4012.345);
  EXPECT_EQ(records[1].at("v")[2], 0.0015);
  EXPECT_EQ(records[1].at("v")[3], 0.002);
  EXPECT_EQ(records[1].at("v")[4], 150000.0);
  EXPECT_EQ(records[2].at("v")[0], 0.002);  // the zero-close line left the carried open alone
  EXPECT_EQ(records[2].at("v")[3], 3.5);
  EXPECT_TRUE(records[3].at("v")[1].is_null());  // infinity
  EXPECT_TRUE(records[3].at("v")[2].is_null());  // not a number
}

TEST_F(OrvaneChartToolTest, WritesToTheOutFile) {
  const fs::path file = out_.string() + ".json";
  ASSERT_EQ(Run("'" + kFixture.string() + "' --records --out '" + file.string() + "'"), 0);
  EXPECT_EQ(Output(), "");
  std::ifstream in(file);
  EXPECT_EQ(nlohmann::json::parse(in).at("header").at("layout"), "HLC");
  fs::remove(file);
  EXPECT_EQ(Run("'" + kFixture.string() + "' --table --out=/nonexistent/dir/x.json"), 1);
}

TEST_F(OrvaneChartToolTest, ReportsErrorsByExitStatus) {
  EXPECT_EQ(Run("/nonexistent/series.txt --table"), 1);
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("'" + kFixture.string() + "'"), 2);
  EXPECT_EQ(Run("'" + kFixture.string() + "' --table --records"), 2);
  EXPECT_EQ(Run("'" + kFixture.string() + "' --bogus"), 2);
  EXPECT_EQ(Run("a b --table"), 2);
  EXPECT_EQ(Run("'" + kFixture.string() + "' --table --out"), 2);
  ASSERT_EQ(Run("--help"), 0);
  for (const char* option : {"--table", "--records", "--out", "--help"}) {
    EXPECT_NE(Output().find(option), std::string::npos) << option;
  }
}

}  // namespace
