// Not a test: shows one chart control full screen with the crosshair and readout over it, for
// screenshots (scripts/chart-screenshots).
//   chart_control_preview FILE MODE WIDTHxHEIGHT X Y [ZOOM_NOTCHES [BASE_MONTH|- [changes]]]
// BASE_MONTH (YYYY.MM) rebases a compare chart; "changes" adds the changes to the readout.
#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <cstdio>
#include <string>
#include <string_view>

#include "chart/qt/cchart_ctl.h"
#include "data/series_reader.h"
#include "modes/modes.h"
#include "modes/series_inputs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: %s FILE MODE WIDTHxHEIGHT X Y [ZOOM_NOTCHES [BASE_MONTH|- [changes]]]\n",
                 argv[0]);
    return 2;
  }
  const int mode = std::stoi(argv[2]);
  int width = 0, height = 0;
  if (std::sscanf(argv[3], "%dx%d", &width, &height) != 2) return 2;
  const int x = std::stoi(argv[4]), y = std::stoi(argv[5]);
  const int notches = argc > 6 ? std::stoi(argv[6]) : 0;

  orvane::DataTable table;
  if (!orvane::LoadDataFile(table, argv[1])) return 1;
  const orvane::ModeDefaults defaults = orvane::DefaultsForMode(mode);
  orvane::PipelineInputs in =
      orvane::InputsFromTable(table, defaults.scaleChoice, defaults.fromYear, defaults.toYear);
  if (argc > 7) in.rebaseMonth = orvane::ParseMonth(argv[7]);

  orvane::CCHARTctl control;
  control.Model().settings.bottomMargin = 20;
  control.setGeometry(0, 0, width, height);
  control.show();
  control.ShowChangesAction()->setChecked(argc > 8 && std::string_view(argv[8]) == "changes");
  if (!orvane::BuildChart(mode, in, control.Model())) return 2;

  QTimer::singleShot(500, &control, [&] {
    const QPointF at(x, y);
    for (int i = 0; i < notches; ++i) {
      QWheelEvent wheel(at, control.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(&control, &wheel);
    }
    QMouseEvent move(QEvent::MouseMove, at, control.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&control, &move);
  });
  return QApplication::exec();
}
