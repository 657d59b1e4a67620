// Shows the main window on a content server without the login step, for screenshots.
//   main_window_preview [--content-host HOST:PORT] [--mode N] [--folder DIR]
//                       [--window-manager 1]   (leave maximising to the window manager)
#include <QApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>
#include <string_view>

#include "app/qt/plinthview_dlg.h"
#include "app/qt/qt_translations.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  orvane::app::InstallQtTranslations(application);
  QTemporaryDir scratch;
  std::string contentHost;
  std::string folder = scratch.path().toStdString();
  int mode = -1;
  bool windowManager = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view name = argv[i];
    if (name == "--content-host") contentHost = argv[i + 1];
    if (name == "--mode") mode = std::atoi(argv[i + 1]);
    if (name == "--folder") folder = argv[i + 1];
    if (name == "--window-manager") windowManager = std::atoi(argv[i + 1]) != 0;
  }
  orvane::app::MainWindowSetup setup;
  setup.contentHost = orvane::ResolveContentHost(contentHost, "");
  setup.workingFolder = folder;
  orvane::app::CPlinthviewDlg window(std::move(setup));
  if (mode >= 0 && window.RadioOfMode(mode) != nullptr) window.RadioOfMode(mode)->click();
  // Xvfb runs no window manager to honour the maximised state: fill the screen by hand.
  QScreen* screen = windowManager ? nullptr : QApplication::primaryScreen();
  if (screen != nullptr) {
    window.setGeometry(screen->availableGeometry());
  }
  return window.exec();
}
