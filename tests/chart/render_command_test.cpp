#include "tools/orvane_chart/render_command.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "qt_app.h"
#include "sample_charts.h"

namespace orvane {
namespace {

TEST(RenderCommand, TakesItsOptionsAndLeavesTheRest) {
  testing::EnsureQApplication();
  std::vector<std::string> args{"file.txt", "--mode",  "1",     "--png",  "a.png",
                                "--size",   "800x600", "--ops", "b.jsonl"};
  RenderRequest request;
  EXPECT_FALSE(TakeRenderOptions(args, request));
  EXPECT_EQ(args, (std::vector<std::string>{"file.txt", "--mode", "1"}));
  EXPECT_EQ(request.png, "a.png");
  EXPECT_EQ(request.ops, "b.jsonl");
  EXPECT_EQ(request.width, 800);
  EXPECT_EQ(request.height, 600);
  EXPECT_TRUE(request.WantsOutput());

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--png"},
                                              {"--size", "800"},
                                              {"--size", "0x10"},
                                              {"--size", "10x99999"},
                                              {"--size", "12ax9"}}) {
    std::vector<std::string> a = bad;
    RenderRequest r;
    EXPECT_TRUE(TakeRenderOptions(a, r)) << bad.back();
  }
}

TEST(RenderCommand, WritesEveryRequestedOutput) {
  testing::EnsureQApplication();
  const auto dir = std::filesystem::path(ORVANE_BINARY_DIR) / "render_command";
  std::filesystem::create_directories(dir);
  RenderRequest request;
  request.png = (dir / "m.png").string();
  request.svg = (dir / "m.svg").string();
  request.ops = (dir / "m.jsonl").string();
  request.width = 640;
  request.height = 360;
  ChartModel chart;
  testing::FillMonthlyChart(chart, 48);
  std::ostringstream err;
  ASSERT_EQ(RunRender(chart, request, err), 0) << err.str();
  EXPECT_EQ(chart.settings.bottomMargin, 20);
  EXPECT_EQ(QImage(QString::fromStdString(request.png)).size(), QSize(640, 360));
  EXPECT_GT(std::filesystem::file_size(request.svg), 1000u);
  std::ifstream ops(request.ops);
  std::string first;
  std::getline(ops, first);
  EXPECT_EQ(first, R"({"color":[255,255,255],"op":"fillRect","rect":[0,0,640,360]})");

  request.png = (dir / "missing-folder" / "x.png").string();
  request.svg.clear();
  request.ops.clear();
  EXPECT_EQ(RunRender(chart, request, err), 1);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

}  // namespace
}  // namespace orvane
