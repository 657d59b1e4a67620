// A mouse move across the dashboard's monthly chart at 2560 x 1440: the move itself and the
// paints it asks for, processed before the next move. Argument 0: nothing switched on (the
// peer); 1: the data pane open (each move highlights and scrolls to the pane's row); 2: the
// crosshairs linked (each move also places those of the quarterly and yearly charts); 3: both.
// The figure asked of the tools: a real time per move (the Time column) under 2 ms.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTableView>
#include <filesystem>
#include <fstream>

#include "bench/qt_benchmark_main.h"
#include "tests/chart/sample_charts.h"
#include "tests/support/test_support.h"
#include "views/qt/dash_board_dlg.h"

namespace {

// Counts the paint events a widget receives and the height they cover: a move repaints two rows
// of the table, not all of it.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  double paintedRows = 0;  // pixel rows painted
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      paintedRows += static_cast<QPaintEvent*>(event)->region().boundingRect().height();
    }
    return false;
  }
};

constexpr int kWidth = 2560;
constexpr int kHeight = 1440;
constexpr int kMonths = 600;

void BM_DashboardCrosshairMove(benchmark::State& state) {
  const bool pane = (state.range(0) & 1) != 0, link = (state.range(0) & 2) != 0;
  orvane::test::TempDir folder;
  const std::filesystem::path file = folder.path() / "10001.txt";
  std::ofstream(file, std::ios::binary) << orvane::testing::SampleSeriesText(kMonths);
  orvane::CDashBoardDlg dash(folder.path(), nullptr);
  dash.fromYear = 1970;
  dash.LoadDataFile(file);
  dash.resize(kWidth, kHeight);
  dash.show();
  dash.Pane().setVisible(pane);
  dash.LinkAction().setChecked(link);
  dash.BuildDashboard();
  QApplication::processEvents();

  PaintCounter tablePaints;
  dash.Pane().Table()->viewport()->installEventFilter(&tablePaints);
  orvane::CCHARTctl& monthly = dash.Chart(0);
  const int visible = monthly.Model().view.visibleCount;
  const double step = (monthly.width() - 40) / (visible + 1.0);
  int k = 0;
  for (auto _ : state) {
    k = k + 1 >= visible ? 0 : k + 1;
    const QPointF at((k + 1) * step, monthly.height() / 3.0);
    QMouseEvent move(QEvent::MouseMove, at, monthly.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&monthly, &move);
    QApplication::processEvents();
  }
  if ((link && !dash.Chart(1).CurrentReadout()) || (pane && !dash.Pane().HighlightedRow())) {
    state.SkipWithError("the linked crosshair or the pane's row did not follow");
  }
  state.counters["tablePaints"] =
      benchmark::Counter(tablePaints.paints, benchmark::Counter::kAvgIterations);
  state.counters["tablePixelRows"] =
      benchmark::Counter(tablePaints.paintedRows, benchmark::Counter::kAvgIterations);
  state.counters["paneRows"] = static_cast<double>(dash.Pane().Data().rows.size());
}
BENCHMARK(BM_DashboardCrosshairMove)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return orvane::bench::RunQtBenchmarks(argc, argv); }
