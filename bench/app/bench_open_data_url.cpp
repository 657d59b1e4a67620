// OpenDataUrl from the click to the painted chart, per mode, against the reference service on
// loopback, for a 600-month series in a 1900 x 980 chart; and the resident size over 50 and 500
// consecutive OpenDataUrl calls through different series (scripts/memcheck runs each of the two
// under heaptrack).
//   bench_open_data_url [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QRadioButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/chart1_dlg.h"
#include "app/qt/plinthview_dlg.h"
#include "modes/modes.h"
#include "server/sample/sample_catalogue.h"
#include "tests/support/test_support.h"
#include "views/qt/dash_board_dlg.h"

namespace {

namespace fs = std::filesystem;

constexpr char kLongSeries[] = "bench600.txt";

// A 600-month OHLC series, 1974.07 to 2024.06, with the sample's header lines.
void WriteLongSeries(const fs::path& dataDir) {
  std::ifstream sample(fs::path(ORVANE_TEST_DATA_DIR) / "samples/10001.txt", std::ios::binary);
  std::ofstream out(dataDir / kLongSeries, std::ios::binary);
  std::string line;
  for (int i = 0; i < 10 && std::getline(sample, line); ++i) out << line << "\n";
  double close = 20.0;
  unsigned seed = 12345;
  for (int k = 0; k < 600; ++k) {
    seed = seed * 1103515245u + 12345u;
    const double step = (static_cast<double>((seed >> 8) % 2001) - 1000.0) / 40000.0 + 0.003;
    const double open = close;
    close = open * (1.0 + step);
    const int month = 1974 * 12 + 6 + k;
    char text[160];
    std::snprintf(text, sizeof text, "%d.%02d;%.2f;%.2f;%.2f;%.2f;%d;%.2f\n", month / 12,
                  month % 12 + 1, open, std::max(open, close) * 1.004,
                  std::min(open, close) * 0.996, close, 30000 + static_cast<int>(seed % 20000),
                  close * 0.8);
    out << text;
  }
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(4096, '\n');
  }
  return 0;
}

struct Fixture {
  orvane::test::TempDir root;
  QTemporaryDir folder;
  std::unique_ptr<orvane::test::ServerProcess> server;
  std::unique_ptr<orvane::app::CPlinthviewDlg> window;
  std::vector<std::string> seriesFiles;

  Fixture() {
    // A catalogue of its own, with one long series added.
    const fs::path& rootPath = root.path();
    std::string error;
    if (!orvane::server::MakeSampleCatalogue(rootPath, error))
      std::fprintf(stderr, "%s\n", error.c_str());
    WriteLongSeries(rootPath / "orvane_data");
    server = std::make_unique<orvane::test::ServerProcess>(rootPath);
    for (const auto& entry : fs::directory_iterator(rootPath / "orvane_data")) {
      const std::string name = entry.path().filename().string();
      // Series files are named by five digits; menu lists by seven.
      if (name.size() == 9 && name.ends_with(".txt")) seriesFiles.push_back(name);
    }
    std::sort(seriesFiles.begin(), seriesFiles.end());
    orvane::app::MainWindowSetup setup;
    setup.contentHost = orvane::HostPort{"127.0.0.1", server->port()};
    setup.workingFolder = folder.path().toStdString();
    setup.reLogin = [] { return true; };
    window = std::make_unique<orvane::app::CPlinthviewDlg>(std::move(setup));
    window->setWindowState(Qt::WindowNoState);
    // Client area that leaves the content windows at 1900 x 980.
    window->resize(560 + 1900 + 10, 40 + 980 + 10);
    window->show();
    QCoreApplication::processEvents();
  }
};

std::unique_ptr<Fixture> shared;

Fixture& Shared() {
  if (!shared) shared = std::make_unique<Fixture>();
  return *shared;
}

void BM_OpenDataUrl(benchmark::State& state) {
  Fixture& f = Shared();
  const int mode = static_cast<int>(state.range(0));
  if (mode != 0 && !orvane::IsModeBuilt(mode)) {
    state.SkipWithError("mode not built");
    return;
  }
  f.window->RadioOfMode(mode)->setChecked(true);
  const std::string url = f.window->BaseUrl() + "/" + kLongSeries;
  for (auto _ : state) {
    // Returns once the chart has been painted into its frame and onto the window.
    f.window->OpenDataUrl(url);
  }
  const QWidget* shown = mode == 0 ? static_cast<QWidget*>(f.window->Dashboard())
                                   : static_cast<QWidget*>(f.window->SingleChart());
  state.SetLabel(std::string(orvane::ModeCaption(mode)) + " " + std::to_string(shown->width()) +
                 "x" + std::to_string(shown->height()));
}
BENCHMARK(BM_OpenDataUrl)->DenseRange(0, 8)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ResidentSizeOverOpens(benchmark::State& state) {
  Fixture& f = Shared();
  const int opens = static_cast<int>(state.range(0));
  for (auto _ : state) {
    long afterTenth = 0;
    for (int i = 0; i < opens; ++i) {
      int mode = 1 + i % 8;
      while (!orvane::IsModeBuilt(mode)) mode = 1 + (mode % 8);
      f.window->RadioOfMode(i % 9 == 0 ? 0 : mode)->setChecked(true);
      f.window->OpenDataUrl(f.window->BaseUrl() + "/" +
                            f.seriesFiles[static_cast<std::size_t>(i) % f.seriesFiles.size()]);
      QCoreApplication::processEvents();
      if (i == opens / 10 - 1) afterTenth = ResidentKiB();
    }
    const long atEnd = ResidentKiB();
    state.counters["rss_after_tenth_KiB"] = static_cast<double>(afterTenth);
    state.counters["rss_at_end_KiB"] = static_cast<double>(atEnd);
    state.counters["growth_pct"] =
        100.0 * static_cast<double>(atEnd - afterTenth) / static_cast<double>(afterTenth);
  }
}
BENCHMARK(BM_ResidentSizeOverOpens)->Arg(50)->Arg(500)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  shared.reset();  // stops the service before the application goes
  return 0;
}
