// Shows the main window on a content server without the login step, for screenshots.
//   main_window_preview [--content-host HOST:PORT] [--mode N] [--folder DIR]
//                       [--window-manager 1]   (leave maximising to the window manager)
//                       [--tool pane|link|notes|range]   (switch one analyst's tool on)
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "app/qt/chart1_dlg.h"
#include "app/qt/plinthview_dlg.h"
#include "app/qt/qt_translations.h"
#include "views/qt/dash_board_dlg.h"

namespace {

// The crosshair where a mouse at x, a third down the chart, would put it.
void Point(orvane::CCHARTctl& chart, int x) {
  const QPointF at(x, chart.height() / 3.0);
  QMouseEvent move(QEvent::MouseMove, at, chart.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&chart, &move);
}

// Two notes on the home series, as a member would have left them.
void WriteSampleNotes(const std::string& path) {
  std::ofstream(path) << R"({"version": 1, "series": {"10001.txt": [)"
                      << R"({"month": 202009, "text": "부동산 대책"},)"
                      << R"({"month": 202208, "text": "기준금리 2.5%"}]}})";
}

void ShowTool(orvane::app::CPlinthviewDlg& window, const std::string& tool) {
  orvane::CDashBoardDlg& dash = *window.Dashboard();
  orvane::app::CChart1Dlg& single = *window.SingleChart();
  orvane::CCHARTctl& chart = dash.isVisible() ? dash.Chart(0) : single.Chart();
  if (tool == "pane") {
    (dash.isVisible() ? dash.Pane() : single.Pane()).show();
    QApplication::processEvents();
    Point(chart, chart.width() * 3 / 4);
  } else if (tool == "link") {
    dash.LinkAction().setChecked(true);
    Point(chart, chart.width() * 3 / 4);
  } else if (tool == "range") {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
    QApplication::sendEvent(&chart, &key);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  orvane::app::InstallQtTranslations(application);
  QTemporaryDir scratch;
  std::string contentHost;
  std::string folder = scratch.path().toStdString();
  int mode = -1;
  bool windowManager = false;
  std::string tool;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view name = argv[i];
    if (name == "--content-host") contentHost = argv[i + 1];
    if (name == "--mode") mode = std::atoi(argv[i + 1]);
    if (name == "--folder") folder = argv[i + 1];
    if (name == "--window-manager") windowManager = std::atoi(argv[i + 1]) != 0;
    if (name == "--tool") tool = argv[i + 1];
  }
  orvane::app::MainWindowSetup setup;
  setup.contentHost = orvane::ResolveContentHost(contentHost, "");
  setup.workingFolder = folder;
  if (tool == "notes") {
    setup.notesFile = scratch.filePath(QStringLiteral("notes.json")).toStdString();
    WriteSampleNotes(setup.notesFile.string());
  }
  orvane::app::CPlinthviewDlg window(std::move(setup));
  if (mode >= 0 && window.RadioOfMode(mode) != nullptr) window.RadioOfMode(mode)->click();
  // Xvfb runs no window manager to honour the maximised state: fill the screen by hand.
  QScreen* screen = windowManager ? nullptr : QApplication::primaryScreen();
  if (screen != nullptr) {
    window.setGeometry(screen->availableGeometry());
  }
  if (!tool.empty()) QTimer::singleShot(2000, &window, [&window, tool] { ShowTool(window, tool); });
  return window.exec();
}
