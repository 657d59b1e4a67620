// Soak: the rotation runs on its real timer with a 1 ms period across the whole sample
// catalogue, against the reference service on loopback, every opened series fetched as the main
// window does (--main-window: inside the client's main window, every series charted).
// Prints the steps, the ends, and the resident size along the way.
// Usage: menu_soak [STEPS] [--main-window]
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/qt/plinthview_dlg.h"
#include "data/fetch.h"
#include "tests/support/test_support.h"
#include "views/qt/menu_dlg.h"

namespace {

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane::views;
  int wanted = 2000;
  bool mainWindow = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--main-window") {
      mainWindow = true;
    } else {
      wanted = std::max(1, std::atoi(argv[i]));
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  orvane::test::ServerProcess server(orvane::test::SampleRoot());
  if (!server.started()) {
    std::fprintf(stderr, "menu_soak: the reference service did not start\n");
    return 1;
  }
  QTemporaryDir cache;
  const std::string cacheDir = cache.path().toStdString() + "/";
  int opened = 0;
  int failedSeries = 0;
  int ends = 0;
  MenuDlgHooks hooks;
  hooks.cacheDir = cacheDir;
  hooks.rotationUnit = std::chrono::milliseconds(1);
  hooks.openDataUrl = [&](const std::string& url) {
    ++opened;
    const std::string name = url.substr(url.rfind('/') + 1);
    if (orvane::FetchFile(url, name, cacheDir) != orvane::FetchResult::Ok) ++failedSeries;
    std::remove((cacheDir + name).c_str());
  };
  CMenuDlg* menu = nullptr;
  // Each end moves on to the next tab that rotates, and starts again.
  const int tabs[] = {1, 3, 5, 7};
  auto onEnd = [&](QWidget*, const QString&) {
    ++ends;
    QTimer::singleShot(0, [&] {
      menu->OnCellClicked(0, tabs[ends % 4]);
      menu->StartRotation();
    });
  };
  hooks.showMessage = onEnd;
  std::unique_ptr<CMenuDlg> ownMenu;
  std::unique_ptr<orvane::app::CPlinthviewDlg> window;
  QTemporaryDir working;
  if (mainWindow) {
    orvane::app::MainWindowSetup setup;
    setup.contentHost = orvane::HostPort{"127.0.0.1", server.port()};
    setup.workingFolder = working.path().toStdString();
    setup.reLogin = [] { return true; };
    setup.hooks.showMessage = onEnd;
    window = std::make_unique<orvane::app::CPlinthviewDlg>(std::move(setup));
    window->setWindowState(Qt::WindowNoState);
    window->resize(2400, 1100);
    window->show();
    menu = window->Menu();
    menu->SetRotationUnit(std::chrono::milliseconds(1));
  } else {
    ownMenu = std::make_unique<CMenuDlg>(hooks);
    menu = ownMenu.get();
    menu->resize(550, 980);
    menu->show();
    menu->SetHomeState(server.BaseUrl());
    menu->LoadMenuList(server.BaseUrl() + "/1010018.txt");
  }
  CMenuDlg& dlg = *menu;
  // The main window fetches its series itself: count the URLs the menu hands it.
  if (mainWindow) QObject::connect(dlg.SeriesUrlEdit(), &QLineEdit::textChanged, [&] { ++opened; });
  dlg.PeriodEdit()->setText("1");

  const auto begin = std::chrono::steady_clock::now();
  long firstRss = 0;
  long peakRss = 0;
  int lastReported = 0;
  dlg.StartRotation();
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const int steps = dlg.Rotation().Steps();
    const long rss = ResidentKiB();
    peakRss = std::max(peakRss, rss);
    if (firstRss == 0 && steps >= wanted / 10) firstRss = rss;
    if (steps / 250 > lastReported / 250) {
      std::printf("steps %5d  opened %5d  ends %d  rss %ld KiB\n", steps, opened, ends, rss);
      lastReported = steps;
    }
    if (steps >= wanted) {
      dlg.StopRotation();
      QApplication::quit();
    }
  });
  watch.start(5);
  QApplication::exec();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  const long lastRss = ResidentKiB();
  std::printf(
      "menu_soak%s: %d rotation steps in %.1f s, %d series fetched (%d failed), %d rotation "
      "ends\n"
      "resident size: %ld KiB after %d steps, %ld KiB at the end, peak %ld KiB\n",
      mainWindow ? " --main-window" : "", dlg.Rotation().Steps(), seconds, opened, failedSeries,
      ends, firstRss, wanted / 10, lastRss, peakRss);
  return failedSeries == 0 ? 0 : 1;
}
