// A mouse move across the dashboard's monthly chart at 2560 x 1440: the move itself and the
// paints it asks for, processed before the next move. Argument 0: nothing switched on (the
// peer); 1: the data pane open and the crosshairs linked, so each move also places the
// crosshairs of the quarterly and yearly charts and highlights (and scrolls to) the pane's row.
// The figure asked of the tools: a real time per move (the Time column) under 2 ms.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/chart/sample_charts.h"
#include "tests/support/test_support.h"
#include "views/qt/dash_board_dlg.h"

namespace {

constexpr int kWidth = 2560;
constexpr int kHeight = 1440;
constexpr int kMonths = 600;

void BM_DashboardCrosshairMove(benchmark::State& state) {
  const bool tools = state.range(0) != 0;
  orvane::testing::TempDir folder;
  const std::filesystem::path file = folder.path() / "10001.txt";
  std::ofstream(file, std::ios::binary) << orvane::testing::SampleSeriesText(kMonths);
  orvane::CDashBoardDlg dash(folder.path(), nullptr);
  dash.fromYear = 1970;
  dash.LoadDataFile(file);
  dash.resize(kWidth, kHeight);
  dash.show();
  dash.Pane().setVisible(tools);
  dash.LinkAction().setChecked(tools);
  dash.BuildDashboard();
  QApplication::processEvents();

  orvane::CCHARTctl& monthly = dash.Chart(0);
  const int visible = monthly.Model().view.visibleCount;
  const double step = (monthly.width() - 40) / (visible + 1.0);
  int k = 0;
  for (auto _ : state) {
    k = k + 1 >= visible ? 0 : k + 1;
    const QPointF at((k + 1) * step, monthly.height() / 3);
    QMouseEvent move(QEvent::MouseMove, at, monthly.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&monthly, &move);
    QApplication::processEvents();
  }
  if (tools && (!dash.Chart(1).CurrentReadout() || !dash.Pane().HighlightedRow())) {
    state.SkipWithError("the linked crosshair or the pane's row did not follow");
  }
  state.counters["paneRows"] = static_cast<double>(dash.Pane().Data().rows.size());
}
BENCHMARK(BM_DashboardCrosshairMove)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
