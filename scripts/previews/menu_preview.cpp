// Not a test: shows the menu window and the web chart window against a running reference
// service, for screenshots. Usage: menu_preview HOST:PORT [--web] [CELL TEXT ...]
// Each cell text is clicked in turn, the first matching cell of the grid.
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <string>
#include <vector>

#include "app/qt/web_view_dlg.h"
#ifdef ORVANE_WITH_WEBENGINE
#include "app/qt/web_engine_view.h"
#endif
#include "data/content_host.h"
#include "views/qt/menu_dlg.h"

int main(int argc, char** argv) {
#ifdef ORVANE_WITH_WEBENGINE
  orvane::app::UseWebEngine();
#endif
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  const auto host = orvane::ParseHostPort(argv[1], orvane::kDefaultContentPort);
  if (!host) return 2;
  bool web = false;
  std::vector<std::string> clicks;
  for (int i = 2; i < argc; ++i) {
    if (std::string(argv[i]) == "--web") {
      web = true;
    } else {
      clicks.emplace_back(argv[i]);
    }
  }

  QWidget main;
  main.setWindowTitle("Orvane");
  main.resize(580, 1000);
  orvane::app::CWebViewDlg webWindow(orvane::ContentUrl(*host, orvane::app::kWorldMarketPath),
                                     &main);
  webWindow.setGeometry(560, 40, 1900, 980);
  orvane::views::MenuDlgHooks hooks;
  hooks.cacheDir = "/tmp/";
  hooks.showWebWindow = [&webWindow] { webWindow.ShowWindow(); };
  orvane::views::CMenuDlg menu(hooks, &main);
  menu.setGeometry(10, 10, 550, 980);
  menu.SetHomeState(orvane::DataBaseUrl(*host));
  menu.Grid().LoadCurrentList();
  for (const std::string& text : clicks) {
    const auto& grid = menu.Grid();
    bool done = false;
    for (int r = 0; r < grid.RowCount() && !done; ++r) {
      for (int k = 0; k < orvane::views::kGridColumns && !done; ++k) {
        if (grid.Text(r, k) == text) {
          menu.OnCellClicked(r, k);
          done = true;
        }
      }
    }
  }
  main.show();
  if (web) QTimer::singleShot(0, [&menu] { menu.WebButton()->click(); });
  return QApplication::exec();
}
