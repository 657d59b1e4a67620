// Full paint of a 600-month candle chart against Qt Charts drawing the same content.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QValueAxis>
#include <array>
#include <cstdio>
#include <map>
#include <string>

#include "bench/qtcharts_peer.h"
#include "bench/sample_inputs.h"
#include "chart/chart_painter.h"
#include "chart/qt/chart_render.h"
#include "chart/qt/png_encoder.h"
#include "chart/qt/qt_canvas.h"
#include "chart/recording_canvas.h"
#include "data/series_reader.h"
#include "modes/dashboard.h"
#include "modes/modes.h"
#include "tests/chart/sample_charts.h"

namespace {

constexpr int kWidth = 1900;
constexpr int kHeight = 980;
constexpr int kMonths = 600;

// The chart a mode's pipeline builds from 600 sample months, all of them in view.
void BuildModeChart(int mode, orvane::ChartModel& chart) {
  orvane::BuildChart(
      mode, orvane::bench::SampleInputs(kMonths, orvane::DefaultsForMode(mode).scaleChoice), chart);
}

void PaintMode(benchmark::State& state, int mode, int width = kWidth, int height = kHeight) {
  if (!orvane::IsModeBuilt(mode)) {
    state.SkipWithError("mode has no pipeline yet");
    return;
  }
  orvane::ChartModel chart;
  BuildModeChart(mode, chart);
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  const orvane::ChartResources resources;
  for (auto _ : state) {
    QPainter painter(&image);
    orvane::QtCanvas canvas(painter);
    benchmark::DoNotOptimize(orvane::PaintChart(chart, canvas, width, height, resources));
  }
  state.counters["series"] = static_cast<double>(chart.series.size());
}

// Every mode with a pipeline; mode 1 is the one compared with Qt Charts below.
void BM_FullPaintMode600(benchmark::State& state) {
  PaintMode(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_FullPaintMode600)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);

// The same on a 2560 x 1440 screen, where the paint must stay under 8 ms.
void BM_FullPaintMode600At2560x1440(benchmark::State& state) {
  PaintMode(state, static_cast<int>(state.range(0)), 2560, 1440);
}
BENCHMARK(BM_FullPaintMode600At2560x1440)->DenseRange(1, 8)->Unit(benchmark::kMillisecond);

// The dashboard's three charts of 600 months, each painted into its own part of a 2560 x 1440
// window as the dashboard lays them out.
void BM_FullPaintDashboard600At2560x1440(benchmark::State& state) {
  orvane::DataTable table;
  orvane::LoadDataText(table, orvane::testing::SampleSeriesText(kMonths));
  std::array<orvane::ChartModel, orvane::kDashboardChartCount> models;
  const orvane::DashboardCharts charts = {&models[0], &models[1], &models[2]};
  orvane::PrepareDashboardCharts(charts);
  orvane::DashboardInputs in;
  in.fromYear = 1700;
  orvane::BuildDashboard(table, in, charts);
  const auto layout = orvane::DashboardLayout(2560, 1440);
  std::vector<QImage> images;
  std::vector<orvane::ChartResources> resources(orvane::kDashboardChartCount);
  for (std::size_t i = 0; i < orvane::kDashboardChartCount; ++i) {
    images.emplace_back(layout[i].width, layout[i].height, QImage::Format_ARGB32_Premultiplied);
    resources[i].fonts = orvane::DashboardChartFonts(i);
  }
  for (auto _ : state) {
    for (std::size_t i = 0; i < orvane::kDashboardChartCount; ++i) {
      QPainter painter(&images[i]);
      orvane::QtCanvas canvas(painter);
      benchmark::DoNotOptimize(
          orvane::PaintChart(*charts[i], canvas, layout[i].width, layout[i].height, resources[i]));
    }
  }
  state.counters["points"] = static_cast<double>(models[0].series.front().points.size());
}
BENCHMARK(BM_FullPaintDashboard600At2560x1440)->Unit(benchmark::kMillisecond);

// Geometry and renderers alone, without rasterising.
void BM_FullPaintMonthly600Recorded(benchmark::State& state) {
  orvane::ChartModel chart;
  BuildModeChart(1, chart);
  const orvane::ChartResources resources;
  for (auto _ : state) {
    orvane::RecordingCanvas canvas;
    benchmark::DoNotOptimize(orvane::PaintChart(chart, canvas, kWidth, kHeight, resources));
  }
}
BENCHMARK(BM_FullPaintMonthly600Recorded)->Unit(benchmark::kMillisecond);

void BM_QtChartsMonthly600(benchmark::State& state) {
  const auto months = orvane::testing::SampleMonths(kMonths);
  std::vector<orvane::bench::PeerMonth> peer;
  peer.reserve(months.size());
  for (const auto& m : months) peer.push_back({m.open, m.high, m.low, m.close, m.volume, {}});
  const int windows[orvane::bench::kPeerMeans] = {12, 36, 60, 120, 180, 24};
  for (std::size_t k = 0; k < std::size(windows); ++k) {
    const auto mean = orvane::testing::RunningMean(months, windows[k]);
    for (std::size_t i = 0; i < peer.size(); ++i) peer[i].means[k] = mean[i];
  }
  QGraphicsScene scene;
  orvane::bench::AddPeerChart(scene, peer, kWidth, kHeight);
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) orvane::bench::RenderPeerScene(scene, image);
}
BENCHMARK(BM_QtChartsMonthly600)->Unit(benchmark::kMillisecond);

// PNG encoding of the mode 1 picture: Qt's writer (what the files cost before) against the
// encoder every PNG now goes through, at its level and at ISA-L's others.
QImage Mode1Picture() {
  orvane::ChartModel chart;
  BuildModeChart(1, chart);
  orvane::RenderOptions options;
  options.width = kWidth;
  options.height = kHeight;
  return orvane::RenderChartImage(chart, options);
}

void BM_PngQtWriter(benchmark::State& state) {
  const QImage image = Mode1Picture();
  for (auto _ : state) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    state.counters["bytes"] = static_cast<double>(bytes.size());
  }
}
BENCHMARK(BM_PngQtWriter)->Unit(benchmark::kMillisecond);

void BM_PngEncoder(benchmark::State& state) {
  const QImage image = Mode1Picture();
  for (auto _ : state) {
    const std::string png = orvane::EncodePng(image, static_cast<int>(state.range(0)));
    state.counters["bytes"] = static_cast<double>(png.size());
  }
}
BENCHMARK(BM_PngEncoder)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration for the closing comparison.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration)
        times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto ours = reporter.times.find("BM_FullPaintMode600/1");
  const auto peer = reporter.times.find("BM_QtChartsMonthly600");
  if (ours != reporter.times.end() && peer != reporter.times.end() && ours->second > 0) {
    std::printf("mode 1 full paint %.2f ms, Qt Charts %.2f ms: Qt Charts takes %.1fx as long\n",
                ours->second, peer->second, peer->second / ours->second);
  }
  benchmark::Shutdown();
  return 0;
}
