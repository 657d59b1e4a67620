#include "tools/orvane_chart/render_command.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "modes/modes.h"
#include "tests/chart/qt_app.h"
#include "tests/chart/sample_charts.h"

namespace orvane::tool {
namespace {

std::filesystem::path OutDir() {
  const auto dir = std::filesystem::path(ORVANE_BINARY_DIR) / "render_command";
  std::filesystem::create_directories(dir);
  return dir;
}

TEST(RenderCommand, ReadsOutputsAndSize) {
  Invocation invocation;
  invocation.values = {{"--png", "a.png"}, {"--size", "800x600"}, {"--ops", "b.jsonl"}};
  EXPECT_TRUE(WantsRender(invocation));
  RenderRequest request;
  EXPECT_FALSE(ParseRenderRequest(invocation, request));
  EXPECT_EQ(request.png, "a.png");
  EXPECT_EQ(request.ops, "b.jsonl");
  EXPECT_TRUE(request.svg.empty());
  EXPECT_EQ(request.width, 800);
  EXPECT_EQ(request.height, 600);

  for (const char* bad : {"800", "0x10", "10x99999", "12ax9", "x", "-5x5"}) {
    invocation.values["--size"] = bad;
    EXPECT_TRUE(ParseRenderRequest(invocation, request)) << bad;
  }
  EXPECT_FALSE(WantsRender(Invocation{}));
}

TEST(RenderCommand, WritesEveryRequestedOutput) {
  orvane::testing::EnsureQApplication();
  const auto dir = OutDir();
  RenderRequest request;
  request.png = (dir / "m.png").string();
  request.svg = (dir / "m.svg").string();
  request.ops = (dir / "m.jsonl").string();
  request.width = 640;
  request.height = 360;
  ChartModel chart;
  orvane::testing::FillMonthlyChart(chart, 48);
  std::ostringstream err;
  ASSERT_EQ(RunRender(chart, request, err), kExitOk) << err.str();
  EXPECT_EQ(chart.settings.bottomMargin, 20);
  EXPECT_EQ(QImage(QString::fromStdString(request.png)).size(), QSize(640, 360));
  EXPECT_GT(std::filesystem::file_size(request.svg), 1000u);
  std::ifstream ops(request.ops);
  std::string first;
  std::getline(ops, first);
  EXPECT_EQ(first, R"({"color":[255,255,255],"op":"fillRect","rect":[0,0,640,360]})");
  EXPECT_FALSE(chart.series.empty());  // kept for the SVG and the operations

  // With only a PNG to write, the series go once it is painted: the picture is the same.
  const QImage withOthers(QString::fromStdString(request.png));
  request.png = (dir / "alone.png").string();
  request.svg.clear();
  request.ops.clear();
  ASSERT_EQ(RunRender(chart, request, err), kExitOk) << err.str();
  EXPECT_TRUE(chart.series.empty());
  EXPECT_EQ(QImage(QString::fromStdString(request.png)), withOthers);

  request.png = (dir / "missing-folder" / "x.png").string();
  EXPECT_EQ(RunRender(chart, request, err), kExitFailure);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

// Fraction of pixels that are not white.
double InkShare(const QImage& image) {
  long long ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  return static_cast<double>(ink) / (static_cast<double>(image.width()) * image.height());
}

class RenderEveryMode : public ::testing::TestWithParam<int> {};

// Every mode draws a chart, not a blank or empty frame, from a sample series.
TEST_P(RenderEveryMode, SampleSeriesToPng) {
  orvane::testing::EnsureQApplication();
  const int mode = GetParam();
  EXPECT_TRUE(mode == 0 || IsModeBuilt(mode));
  const std::string png = (OutDir() / ("mode" + std::to_string(mode) + ".png")).string();
  Invocation invocation;
  invocation.file = std::string(ORVANE_TEST_DATA_DIR) + "/samples/10001.txt";
  invocation.values = {{"--mode", std::to_string(mode)}, {"--png", png}};
  ASSERT_EQ(RenderCommand().run(invocation), kExitOk);
  const QImage image(QString::fromStdString(png));
  ASSERT_EQ(image.size(), QSize(1900, 980));
  EXPECT_GT(InkShare(image), 0.03);
}

INSTANTIATE_TEST_SUITE_P(Modes, RenderEveryMode, ::testing::Range(0, 9));

// The dashboard's three charts sit where the window's resize rule puts them, with their fonts.
TEST(RenderCommand, DashboardLaysOutItsThreeCharts) {
  const std::string ops = (OutDir() / "dashboard.jsonl").string();
  Invocation invocation;
  invocation.file = std::string(ORVANE_TEST_DATA_DIR) + "/samples/10001.txt";
  invocation.values = {{"--mode", "0"}, {"--ops", ops}, {"--size", "1001x1700"}};
  ASSERT_EQ(RenderCommand().run(invocation), kExitOk);
  std::ifstream in(ops);
  std::string line, all;
  while (std::getline(in, line)) all += line + "\n";
  for (const char* frame :
       {R"("rect":[0,0,1001,999])", R"("rect":[0,1001,499,699])", R"("rect":[501,1001,500,699])"}) {
    EXPECT_NE(all.find(frame), std::string::npos) << frame;
  }
  EXPECT_NE(all.find(R"("size":50,"weight":800},"op":"text","text":"서울시)"), std::string::npos);
  EXPECT_NE(all.find(R"("at":[521.0,1016.0])"), std::string::npos);  // 연봉, 40 pixels
  EXPECT_NE(all.find(R"("size":40,"weight":800},"op":"text","text":"연봉")"), std::string::npos);
}

TEST(RenderCommand, RefusesUnknownModesAndMissingFiles) {
  Invocation invocation;
  invocation.file = std::string(ORVANE_TEST_DATA_DIR) + "/samples/10001.txt";
  invocation.values = {{"--mode", "42"}, {"--ops", (OutDir() / "x.jsonl").string()}};
  EXPECT_EQ(RenderCommand().run(invocation), kExitUsage);
  invocation.values["--mode"] = "1";
  invocation.values["--scale"] = "cubic";
  EXPECT_EQ(RenderCommand().run(invocation), kExitUsage);
  invocation.values.erase("--scale");
  invocation.file = "/nonexistent/series.txt";
  EXPECT_EQ(RenderCommand().run(invocation), kExitFailure);
}

}  // namespace
}  // namespace orvane::tool
