// The menu and web windows inside the client's main window, against the reference service.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "app/qt/plinthview_dlg.h"
#include "app/qt/web_view_dlg.h"
#include "tests/views/sample_root.h"
#include "tests/views/test_app.h"
#include "views/qt/dash_board_dlg.h"
#include "views/qt/menu_dlg.h"

namespace orvane::views {
namespace {

QModelIndex FindCell(QTableView* view, const QString& text) {
  for (int r = 0; r < view->model()->rowCount(); ++r) {
    for (int k = 0; k < kGridColumns; ++k) {
      const QModelIndex index = view->model()->index(r, k);
      if (index.data().toString() == text) return index;
    }
  }
  return {};
}

void Click(QTableView* view, const QModelIndex& index) {
  ASSERT_TRUE(index.isValid());
  view->scrollTo(index);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

TEST(MainWindowMenu, HomeListSeriesClicksReachTheChartsAndTheWebWindowShows) {
  testing::App();
  testing::ServerProcess server(testing::SampleRoot());
  ASSERT_TRUE(server.started());
  QTemporaryDir folder;
  app::MainWindowSetup setup;
  setup.contentHost = HostPort{"127.0.0.1", server.port()};
  setup.workingFolder = folder.path().toStdString();
  setup.reLogin = [] { return true; };
  QStringList messages;
  setup.hooks.showMessage = [&messages](QWidget*, const QString& text) { messages << text; };
  app::CPlinthviewDlg window(std::move(setup));
  window.setWindowState(Qt::WindowNoState);
  window.show();

  // Created third, at the left, with the home list and the home choice.
  CMenuDlg* menu = window.Menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->geometry().topLeft(), QPoint(10, 10));
  EXPECT_EQ(menu->width(), 550);
  const MenuGrid& grid = menu->Grid();
  EXPECT_EQ(grid.ListFile(), "/1010018.txt");
  EXPECT_GT(grid.RowCount(), 20);
  EXPECT_EQ(grid.SelectedCell(), (GridCell{9, 2}));
  QTableView* view = menu->GridView();
  EXPECT_EQ(view->model()->index(9, 2).data(Qt::BackgroundRole).value<QColor>(),
            QColor(240, 240, 150));
  const auto& dashboardTitle = [&window] {
    return window.Dashboard()->Chart(0).Model().settings.title;
  };
  EXPECT_EQ(dashboardTitle(), "Orvane 전국 아파트 매매가격지수");

  Click(view, FindCell(view, QString::fromUtf8("금융시장")));
  EXPECT_EQ(grid.ListFile(), "/1060001.txt");
  Click(view, FindCell(view, QStringLiteral("KOSDAQ")));
  EXPECT_EQ(menu->SeriesUrlEdit()->text().toStdString(), window.BaseUrl() + "/60002.txt");
  EXPECT_EQ(dashboardTitle(), "KOSDAQ 월봉");
  EXPECT_EQ(view->model()->index(4, 3).data(Qt::BackgroundRole).value<QColor>(),
            QColor(240, 240, 150));
  QTest::keyClick(view, Qt::Key_Up);
  EXPECT_EQ(grid.SelectedCell(), (GridCell{3, 3}));
  EXPECT_EQ(dashboardTitle(), "KOSPI 월봉");

  // Growing the main window stretches the menu down to 10 pixels above the bottom.
  window.resize(1400, 1200);
  EXPECT_EQ(menu->geometry().bottom() + 1, window.height() - 10);
  EXPECT_EQ(view->geometry().bottom() + 1, menu->height());

  app::CWebViewDlg* web = window.WebWindow();
  ASSERT_NE(web, nullptr);
  EXPECT_FALSE(web->isVisible());
  EXPECT_EQ(web->geometry(), QRect(560, 40, 1900, 980));
  QTest::mouseClick(menu->WebButton(), Qt::LeftButton);
  EXPECT_TRUE(web->isVisible());
  web->close();
  EXPECT_FALSE(web->isVisible());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
}  // namespace orvane::views
