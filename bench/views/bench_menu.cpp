// Latency of a menu click to the refilled grid, against the reference service on loopback, for
// the largest list of the sample catalogue; and the list formatting alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>

#include "tests/support/test_support.h"
#include "views/qt/menu_dlg.h"

namespace {

using namespace orvane::views;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_menu";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// The largest menu list of the sample and the tab cell that loads it.
struct Largest {
  std::string path;
  std::uintmax_t bytes = 0;
};

Largest LargestList() {
  Largest largest;
  for (const auto& entry :
       std::filesystem::directory_iterator(orvane::test::SampleRoot() / "orvane_data")) {
    const std::string name = entry.path().filename().string();
    if (name.size() != 11 || entry.file_size() <= largest.bytes) continue;
    largest = {"/" + name, entry.file_size()};
  }
  return largest;
}

void BM_MenuClickToRefilledGrid(benchmark::State& state) {
  App();
  static orvane::test::ServerProcess server(orvane::test::SampleRoot());
  if (!server.started()) {
    state.SkipWithError("no reference service");
    return;
  }
  QTemporaryDir cache;
  MenuDlgHooks hooks;
  hooks.cacheDir = cache.path().toStdString() + "/";
  CMenuDlg dlg(hooks);
  dlg.resize(550, 980);
  dlg.show();
  const Largest largest = LargestList();
  dlg.SetHomeState(server.BaseUrl());
  dlg.LoadMenuList(server.BaseUrl() + largest.path);
  // The home list is the largest one: its tab cell reloads it.
  if (largest.path != "/1010018.txt") {
    state.SkipWithError(("largest list is " + largest.path).c_str());
    return;
  }
  for (auto _ : state) {
    dlg.OnCellClicked(0, 1);
    dlg.GridView()->viewport()->repaint();
  }
  state.counters["rows"] = dlg.Grid().RowCount();
  state.counters["bytes"] = static_cast<double>(largest.bytes);
}
BENCHMARK(BM_MenuClickToRefilledGrid)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_MenuListFormatting(benchmark::State& state) {
  const Largest largest = LargestList();
  std::ifstream in(orvane::test::SampleRoot() / "orvane_data" / largest.path.substr(1),
                   std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string body = bytes.str();
  MenuCallbacks callbacks;
  callbacks.fetchList = [&body](const std::string&) { return std::optional<std::string>(body); };
  MenuGrid grid(callbacks);
  grid.SetHomeState("http://x/orvane_data");
  for (auto _ : state) {
    grid.LoadCurrentList();
    benchmark::DoNotOptimize(grid.Rows().data());
  }
}
BENCHMARK(BM_MenuListFormatting)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
