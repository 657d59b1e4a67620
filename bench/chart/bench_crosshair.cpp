// A mouse move over a full-screen chart: crosshair and readout over the cached frame, against
// the full paint that the move does not run. The argument is the mode: 7 (zoom: the latest four
// years, 19 series) and 2 (Bollinger: all 600 months, 21 series).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <chrono>

#include "bench/qt_benchmark_main.h"
#include "bench/sample_inputs.h"
#include "chart/qt/cchart_ctl.h"
#include "modes/modes.h"

namespace {

constexpr int kWidth = 2560;
constexpr int kHeight = 1440;
constexpr int kMonths = 600;

// Counts the paint events the control receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

struct Fixture {
  orvane::CCHARTctl control;
  PaintCounter counter;
  int mode;
  explicit Fixture(int chartMode) : mode(chartMode) {
    control.resize(kWidth, kHeight);
    control.show();
    orvane::BuildChart(mode, orvane::bench::SampleInputs(kMonths, orvane::kScaleLog),
                       control.Model());
    QApplication::processEvents();
    control.installEventFilter(&counter);
  }
  // Time spent handling the move (readout, box) and in the paint and flush it asks for.
  double moveSeconds = 0.0, paintSeconds = 0.0;
  void MoveTo(int x, int y) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, y), control.mapToGlobal(QPointF(x, y)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    const auto t0 = std::chrono::steady_clock::now();
    QApplication::sendEvent(&control, &move);
    const auto t1 = std::chrono::steady_clock::now();
    QApplication::processEvents();
    const auto t2 = std::chrono::steady_clock::now();
    moveSeconds += std::chrono::duration<double>(t1 - t0).count();
    paintSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
};

// Each move lands on the next point, so the readout box is laid out again every time.
void BM_MouseMoveNextPoint(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  const int fullPaints = f.control.FullPaintCount();
  // One point further each time: plot right 2540, step (R - 20) / (visibleCount + 1).
  const double step = (kWidth - 20 - 20) / (f.control.Model().view.visibleCount + 1.0);
  int k = 0;
  for (auto _ : state) {
    k = k + 1 >= f.control.Model().view.visibleCount ? 0 : k + 1;
    f.MoveTo(static_cast<int>((k + 1) * step), 700);
  }
  if (f.control.FullPaintCount() != fullPaints) state.SkipWithError("a move ran the full paint");
  state.counters["paintEvents"] =
      benchmark::Counter(f.counter.paints, benchmark::Counter::kAvgIterations);
  state.counters["moveUs"] = 1e6 * f.moveSeconds / static_cast<double>(state.iterations());
  state.counters["paintUs"] = 1e6 * f.paintSeconds / static_cast<double>(state.iterations());
  state.counters["mode"] = f.mode;
  state.counters["visiblePoints"] = f.control.Model().view.visibleCount;
  state.counters["series"] = static_cast<double>(f.control.Model().series.size());
  state.counters["readoutLines"] =
      f.control.CurrentReadout() ? static_cast<double>(f.control.CurrentReadout()->lines.size())
                                 : 0;
}
BENCHMARK(BM_MouseMoveNextPoint)->Arg(7)->Arg(2)->Unit(benchmark::kMicrosecond);

// Moves up and down on one point: only the lines and the box move.
void BM_MouseMoveSamePoint(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  int y = 200;
  for (auto _ : state) {
    y = y >= 1200 ? 200 : y + 3;
    f.MoveTo(1280, y);
  }
  state.counters["paintEvents"] =
      benchmark::Counter(f.counter.paints, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MouseMoveSamePoint)->Arg(7)->Arg(2)->Unit(benchmark::kMicrosecond);

// What every move would cost if it repainted the chart.
void BM_FullRepaint(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    f.control.repaint();
  }
  state.counters["fullPaints"] = f.control.FullPaintCount();
}
BENCHMARK(BM_FullRepaint)->Arg(7)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return orvane::bench::RunQtBenchmarks(argc, argv); }
