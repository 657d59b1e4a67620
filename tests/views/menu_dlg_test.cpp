// The menu window under offscreen Qt against the reference service on loopback.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "tests/views/sample_root.h"
#include "tests/views/test_app.h"
#include "views/qt/menu_dlg.h"

// Fontconfig keeps its cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace orvane::views {
namespace {

using namespace std::chrono_literals;

using testing::App;

class MenuDlgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new testing::ServerProcess(testing::SampleRoot());
    ASSERT_TRUE(server->started());
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

  void SetUp() override {
    App();
    ASSERT_TRUE(cache.isValid());
    MenuDlgHooks hooks;
    hooks.cacheDir = cache.path().toStdString() + "/";
    hooks.openDataUrl = [this](const std::string& url) { opened.push_back(url); };
    hooks.showWebWindow = [this] { ++webShown; };
    hooks.showMessage = [this](QWidget*, const QString& text) { messages << text; };
    hooks.rotationUnit = 1ms;
    dlg = std::make_unique<CMenuDlg>(hooks);
    dlg->resize(550, 980);
    dlg->show();
    dlg->SetHomeState(server->BaseUrl());
    dlg->LoadMenuList(server->BaseUrl() + "/1010018.txt");
  }

  QTableView* View() { return dlg->GridView(); }
  QModelIndex Find(const QString& text, int first, int last) {
    for (int r = first; r <= last; ++r) {
      for (int k = 0; k < kGridColumns; ++k) {
        const QModelIndex index = View()->model()->index(r, k);
        if (index.data().toString() == text) return index;
      }
    }
    return {};
  }
  void ClickCell(const QModelIndex& index) {
    ASSERT_TRUE(index.isValid());
    View()->scrollTo(index);
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, View()->visualRect(index).center());
  }
  QColor Back(int r, int k) {
    return View()->model()->index(r, k).data(Qt::BackgroundRole).value<QColor>();
  }

  static testing::ServerProcess* server;
  QTemporaryDir cache;
  std::vector<std::string> opened;
  int webShown = 0;
  QStringList messages;
  std::unique_ptr<CMenuDlg> dlg;
};

testing::ServerProcess* MenuDlgTest::server = nullptr;

TEST_F(MenuDlgTest, GridLayoutAndHomeList) {
  EXPECT_EQ(View()->model()->columnCount(), 10);
  EXPECT_GT(View()->model()->rowCount(), 20);
  EXPECT_TRUE(View()->isColumnHidden(0));
  EXPECT_TRUE(View()->isColumnHidden(9));
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(View()->columnWidth(k), 65);
  EXPECT_EQ(View()->rowHeight(3), 20);
  EXPECT_FALSE(View()->horizontalHeader()->isVisible());
  EXPECT_TRUE(View()->showGrid());
  EXPECT_EQ(View()->model()->index(9, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHCenter,
            Qt::AlignHCenter);
  EXPECT_EQ(View()->model()->index(9, 5).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
            Qt::AlignRight);
  EXPECT_EQ(Back(0, 1), QColor(240, 240, 150));
  EXPECT_EQ(Back(8, 4), QColor(240, 240, 240));
  EXPECT_EQ(Back(10, 4), QColor(255, 255, 255));
  EXPECT_EQ(dlg->PeriodEdit()->text(), "3");
  EXPECT_FALSE(dlg->SeriesUrlEdit()->isVisible());

  // A cut text shows whole as the cell's tooltip; a text that fits has none.
  const QString text = View()->model()->index(9, 1).data().toString();
  ASSERT_FALSE(text.isEmpty());
  EXPECT_TRUE(dlg->CellToolTip(9, 1).isEmpty());
  View()->setColumnWidth(1, 8);
  EXPECT_EQ(dlg->CellToolTip(9, 1), text);
  View()->setColumnWidth(1, 65);

  // The grid reaches the bottom of the window whatever its height.
  dlg->resize(550, 700);
  EXPECT_EQ(View()->geometry().bottom(), dlg->height() - 1);
  EXPECT_EQ(View()->width(), dlg->GridView()->width());
}

TEST_F(MenuDlgTest, ClicksOnTabRegionDistrictAndSeriesRow) {
  ClickCell(Find("아파트", 0, 0));
  EXPECT_EQ(dlg->Grid().ListFile(), "/1050028.txt");
  ClickCell(Find("부산시", 2, 4));
  EXPECT_EQ(dlg->Grid().ListFile(), "/1050211.txt");
  const QModelIndex district = Find("중구", 6, 11);
  ClickCell(district);
  EXPECT_EQ(dlg->Grid().ListFile(), "/1050218.txt");
  EXPECT_EQ(Back(district.row(), district.column()), QColor(240, 240, 150));
  EXPECT_TRUE(opened.empty());

  const QModelIndex row = View()->model()->index(14, 2);
  const QString link = View()->model()->index(14, 9).data().toString();
  ClickCell(row);
  const std::string url = server->BaseUrl() + "/" + link.toStdString() + ".txt";
  EXPECT_EQ(opened, std::vector<std::string>{url});
  EXPECT_EQ(dlg->SeriesUrlEdit()->text().toStdString(), url);
  EXPECT_EQ(Back(14, 3), QColor(240, 240, 150));
  // Signed numbers of the sign columns: the row's -0.0014 in blue, its 0.0220 in red.
  const auto colour = [this](int column) {
    return View()->model()->index(14, column).data(Qt::ForegroundRole).value<QColor>();
  };
  EXPECT_EQ(colour(7), QColor(0, 0, 255));
  EXPECT_EQ(colour(8), QColor(255, 0, 0));

  // Down moves to the next series row; Enter and Escape do nothing.
  QTest::keyClick(View(), Qt::Key_Down);
  EXPECT_EQ(dlg->Grid().SelectedCell(), (GridCell{15, 3}));
  QTest::keyClick(View(), Qt::Key_Escape);
  QTest::keyClick(View(), Qt::Key_Return);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(opened.size(), 2u);

  QTest::mouseClick(dlg->WebButton(), Qt::LeftButton);
  EXPECT_EQ(webShown, 1);
  QTest::mouseClick(dlg->HomeButton(), Qt::LeftButton);
  EXPECT_EQ(dlg->Grid().ListFile(), "/1010018.txt");
  EXPECT_EQ(opened.back(), server->BaseUrl() + "/10001.txt");
}

TEST_F(MenuDlgTest, RotationRunsOnItsTimerToTheEndOnce) {
  ClickCell(Find("경제지표", 0, 0));
  QTest::mouseClick(dlg->PeriodDown(), Qt::LeftButton);
  EXPECT_EQ(dlg->PeriodEdit()->text(), "2");
  dlg->PeriodEdit()->setText("1");
  QTest::mouseClick(dlg->StartButton(), Qt::LeftButton);
  EXPECT_FALSE(dlg->StartButton()->isEnabled());
  EXPECT_TRUE(dlg->Rotation().Running());
  // A click while it runs does not stop it.
  ClickCell(View()->model()->index(4, 3));
  EXPECT_TRUE(dlg->Rotation().Running());
  QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 10000);
  EXPECT_EQ(messages.front(), QString::fromUtf8("자동돌려보기 종료"));
  EXPECT_TRUE(dlg->StartButton()->isEnabled());
  EXPECT_FALSE(dlg->RotationTimerForTest().isActive());
  QTest::qWait(20);
  EXPECT_EQ(messages.size(), 1);

  // Stop halts a running rotation.
  ClickCell(Find("금융시장", 0, 0));
  QTest::mouseClick(dlg->StartButton(), Qt::LeftButton);
  QTest::mouseClick(dlg->StopButton(), Qt::LeftButton);
  EXPECT_FALSE(dlg->Rotation().Running());
  EXPECT_TRUE(dlg->StartButton()->isEnabled());
  EXPECT_FALSE(dlg->RotationTimerForTest().isActive());
}

}  // namespace
}  // namespace orvane::views
