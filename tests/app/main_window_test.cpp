#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "app/main_window_logic.h"
#include "app/qt/chart1_dlg.h"
#include "app/qt/plinthview_dlg.h"
#include "chart/chart_export.h"
#include "chart/chart_interaction.h"
#include "tests/support/test_support.h"
#include "ui/dialog_units.h"
#include "views/qt/dash_board_dlg.h"

// Fontconfig keeps a cache for the life of the process; LeakSanitizer should not count it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace orvane::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void EnsureApp() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "app_window_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: QTest's input devices must not outlive the application at exit.
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
}

std::size_t SeriesCount(CCHARTctl& chart) {
  std::lock_guard lock(chart.Model().seriesLock);
  return chart.Model().series.size();
}

std::size_t PointCount(CCHARTctl& chart) {
  std::lock_guard lock(chart.Model().seriesLock);
  std::size_t points = 0;
  for (const ChartSeries& s : chart.Model().series) points += s.points.size();
  return points;
}

// Delivers a running timer's expiry now, as the event loop would once its interval passed.
void FireNow(QTimer& timer) {
  ASSERT_TRUE(timer.isActive());
  QTimerEvent expiry(timer.timerId());
  QCoreApplication::sendEvent(&timer, &expiry);
}

const fs::path kSample = fs::path(ORVANE_TEST_DATA_DIR) / "samples/10001.txt";

// The main window against a content server that is not there: start-up fetches fail at once
// and every series is loaded by hand.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { EnsureApp(); }

  std::unique_ptr<CPlinthviewDlg> MakeWindow(fs::path notesFile = {}) {
    MainWindowSetup setup;
    setup.notesFile = std::move(notesFile);
    setup.hooks.showMessage = [this](QWidget*, const QString& text) { messages << text; };
    setup.contentHost = HostPort{"127.0.0.1", 1};
    setup.workingFolder = folder.path().toStdString();
    setup.reLogin = [this] {
      ++reLogins;
      return reLoginAdmits;
    };
    setup.showAbout = [this](QWidget*) { ++aboutBoxes; };
    auto window = std::make_unique<CPlinthviewDlg>(std::move(setup));
    window->Dashboard()->LoadDataFile(kSample);
    window->SingleChart()->LoadDataFile(kSample);
    return window;
  }

  // A window large enough for a chart step of several pixels, in the dashboard.
  std::unique_ptr<CPlinthviewDlg> MakeLargeDashboard(fs::path notesFile = {}) {
    auto window = MakeWindow(std::move(notesFile));
    window->show();
    window->setWindowState(Qt::WindowNoState);
    window->resize(2600, 1500);
    window->Apply();
    QCoreApplication::processEvents();
    return window;
  }

  YearsAndScale SingleSettings(CPlinthviewDlg& w) {
    return {w.SingleChart()->scaleChoice, w.SingleChart()->fromYear, w.SingleChart()->toYear};
  }
  YearsAndScale DashboardSettings(CPlinthviewDlg& w) {
    return {w.Dashboard()->scaleChoice, w.Dashboard()->fromYear, w.Dashboard()->toYear};
  }

  QTemporaryDir folder;
  int reLogins = 0;
  bool reLoginAdmits = true;
  int aboutBoxes = 0;
  QStringList messages;
};

TEST_F(MainWindowTest, StartsWithTheTemplatesDefaults) {
  auto window = MakeWindow();
  EXPECT_EQ(window->windowTitle().toStdString(), "Orvane");
  EXPECT_EQ(window->Edit(1003)->text(), "2005");
  EXPECT_EQ(window->Edit(1004)->text(), "2030");
  EXPECT_EQ(window->Edit(1005)->text(), "1700");
  EXPECT_EQ(window->Edit(1012)->text(), "2030");
  EXPECT_EQ(window->Combo(1010)->currentText().toStdString(), "산술");
  EXPECT_EQ(window->Combo(1014)->currentText().toStdString(), "로그");
  ASSERT_EQ(window->Combo(1010)->count(), 2);
  EXPECT_EQ(window->Combo(1010)->itemText(0).toStdString(), "로그");
  EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(window->ReLoginTimer().interval(), 86'400'000);
  EXPECT_TRUE(window->ReLoginTimer().isActive());
  EXPECT_TRUE(fs::is_directory(window->CacheDir()));
  EXPECT_TRUE(fs::is_directory(fs::path(folder.path().toStdString()) / "ExcelFile"));
  EXPECT_EQ(window->MenuSlot()->geometry(), QRect(10, 10, 550, 980));
  EXPECT_EQ(window->Dashboard()->geometry(), QRect(560, 40, 1900, 980));
  EXPECT_EQ(window->SingleChart()->geometry(), QRect(560, 40, 1900, 980));
  // The radio captions stand in screen order while the modes follow the template.
  EXPECT_EQ(window->RadioOfMode(2)->text().toStdString(), "볼린저");
  EXPECT_EQ(window->RadioOfMode(5)->text().toStdString(), "분기봉");
  EXPECT_LT(window->RadioOfMode(5)->x(), window->RadioOfMode(2)->x());
  EXPECT_EQ(window->ChartMode(), 0);
}

TEST_F(MainWindowTest, ARadioClickAppliesItsModeAtOnce) {
  auto window = MakeWindow();
  window->show();
  QTest::mouseClick(window->RadioOfMode(2), Qt::LeftButton);
  EXPECT_EQ(window->ChartMode(), 2);
  EXPECT_TRUE(window->SingleChart()->isVisible());
  EXPECT_FALSE(window->Dashboard()->isVisible());
  const std::size_t bollinger = SeriesCount(window->SingleChart()->Chart());
  EXPECT_GT(bollinger, 0u);

  QTest::mouseClick(window->RadioOfMode(1), Qt::LeftButton);
  EXPECT_EQ(window->ChartMode(), 1);
  EXPECT_GT(SeriesCount(window->SingleChart()->Chart()), 0u);
  EXPECT_NE(SeriesCount(window->SingleChart()->Chart()), bollinger);

  QTest::mouseClick(window->RadioOfMode(0), Qt::LeftButton);
  EXPECT_EQ(window->ChartMode(), 0);
  EXPECT_TRUE(window->Dashboard()->isVisible());
  EXPECT_FALSE(window->SingleChart()->isVisible());
}

TEST_F(MainWindowTest, RangeSearchTakesItsOwnFieldsWhileTheDashboardKeepsTheMain) {
  auto window = MakeWindow();
  window->show();
  window->Edit(1003)->setText("1999");
  window->Edit(1004)->setText("2020");
  window->Combo(1010)->setCurrentIndex(0);
  window->Edit(1005)->setText("1800");
  window->Edit(1012)->setText("2011");
  window->Combo(1014)->setCurrentIndex(1);
  QTest::mouseClick(window->RadioOfMode(4), Qt::LeftButton);
  EXPECT_EQ(SingleSettings(*window), (YearsAndScale{1, 1800, 2011}));
  EXPECT_EQ(DashboardSettings(*window), (YearsAndScale{0, 1999, 2020}));
  EXPECT_GT(SeriesCount(window->SingleChart()->Chart()), 0u);

  QTest::mouseClick(window->ApplyButton(1013), Qt::LeftButton);
  EXPECT_EQ(SingleSettings(*window), (YearsAndScale{1, 1800, 2011}));
  QTest::mouseClick(window->RadioOfMode(6), Qt::LeftButton);
  EXPECT_EQ(SingleSettings(*window), (YearsAndScale{0, 1999, 2020}));
}

TEST_F(MainWindowTest, EmptyOrNonNumericYearsGiveZero) {
  auto window = MakeWindow();
  window->show();
  window->Edit(1003)->setText("");
  window->Edit(1004)->setText("abc");
  QTest::mouseClick(window->ApplyButton(1000), Qt::LeftButton);
  EXPECT_EQ(window->SingleChart()->fromYear, 0);
  EXPECT_EQ(window->SingleChart()->toYear, 0);
  EXPECT_EQ(window->Dashboard()->fromYear, 0);
  EXPECT_EQ(window->Dashboard()->toYear, 0);
  window->Edit(1004)->setText("2016년");
  QTest::mouseClick(window->ApplyButton(1000), Qt::LeftButton);
  EXPECT_EQ(window->Dashboard()->toYear, 2016);
}

TEST_F(MainWindowTest, EnterAndEscapeDoNothing) {
  auto window = MakeWindow();
  window->show();
  window->Edit(1003)->setText("1990");
  const int before = window->SingleChart()->fromYear;
  for (QWidget* target : std::initializer_list<QWidget*>{
           window.get(), window->Edit(1003), window->ApplyButton(1000), window->RadioOfMode(3)}) {
    target->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(target, key);
    }
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Rejected);  // never ended: done() would have hidden it
  EXPECT_EQ(window->SingleChart()->fromYear, before);
  EXPECT_NE(window->ChartMode(), 3);
}

TEST_F(MainWindowTest, GrowingMovesRightAndBottomEdgesOnly) {
  auto window = MakeWindow();
  window->setWindowState(Qt::WindowNoState);
  window->show();
  window->resize(2600, 1500);
  QCoreApplication::processEvents();
  const QSize client = window->size();
  EXPECT_EQ(window->Dashboard()->geometry(),
            QRect(560, 40, client.width() - 10 - 560, client.height() - 10 - 40));
  EXPECT_EQ(window->SingleChart()->geometry(), window->Dashboard()->geometry());
  EXPECT_EQ(window->MenuSlot()->geometry(), QRect(10, 10, 550, client.height() - 10 - 10));
  // The chart inside the single-chart window follows it.
  QTest::mouseClick(window->RadioOfMode(1), Qt::LeftButton);
  EXPECT_EQ(window->SingleChart()->Chart().size(), window->SingleChart()->size());
}

TEST_F(MainWindowTest, DashboardSplitsAHeightOf1700AtOneThousand) {
  auto window = MakeWindow();
  window->show();
  QCoreApplication::processEvents();
  CDashBoardDlg& dashboard = *window->Dashboard();
  dashboard.show();
  dashboard.resize(1900, 1700);
  QCoreApplication::processEvents();
  EXPECT_EQ(dashboard.Chart(0).geometry(), QRect(0, 0, 1900, 999));
  EXPECT_EQ(dashboard.Chart(1).geometry(), QRect(0, 1001, 949, 699));
  EXPECT_EQ(dashboard.Chart(2).geometry(), QRect(951, 1001, 949, 699));
  EXPECT_TRUE(dashboard.RepaintTimer().isActive());
  EXPECT_EQ(dashboard.RepaintTimer().interval(), 100);
}

TEST_F(MainWindowTest, RepaintTimerFiresOnceAfterABurstOfSizeChanges) {
  auto window = MakeWindow();
  window->show();
  CChart1Dlg& chart = *window->SingleChart();
  chart.show();
  QCoreApplication::processEvents();
  QTimer& timer = chart.RepaintTimer();
  EXPECT_TRUE(timer.isSingleShot());
  EXPECT_EQ(timer.interval(), 100);
  // An hour-long interval: the burst ends long before the timer could fire by itself. Precise, so
  // that its remaining time is not rounded.
  constexpr int kHour = 3'600'000;
  timer.stop();
  timer.setInterval(kHour);
  timer.setTimerType(Qt::PreciseTimer);
  int fired = 0;
  QObject::connect(&timer, &QTimer::timeout, [&fired] { ++fired; });
  int remaining = 0;
  for (int i = 0; i < 5; ++i) {
    if (i > 0) QTest::qWait(100);
    chart.resize(800 + 10 * i, 600);
    QCoreApplication::processEvents();
    ASSERT_TRUE(timer.isActive());
    // Restarted by each change: not 100 ms less than after the change before.
    if (i > 0) {
      EXPECT_GT(timer.remainingTime(), remaining - 50) << i;
    }
    remaining = timer.remainingTime();
  }
  EXPECT_EQ(fired, 0);
  FireNow(timer);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(timer.isActive());
}

TEST_F(MainWindowTest, DailyReLoginClosesTheWindowOnlyOnRefusal) {
  auto window = MakeWindow();
  window->show();
  FireNow(window->ReLoginTimer());
  EXPECT_EQ(reLogins, 1);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->ReLoginTimer().isActive());
  EXPECT_EQ(window->ReLoginTimer().interval(), 86'400'000);
  reLoginAdmits = false;
  FireNow(window->ReLoginTimer());
  QCoreApplication::processEvents();  // the close is queued
  EXPECT_EQ(reLogins, 2);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, F1OpensTheAboutBox) {
  auto window = MakeWindow();
  window->show();
  QTest::keyClick(window.get(), Qt::Key_F1);
  QTest::keyClick(window->Edit(1005), Qt::Key_F1);
  EXPECT_EQ(aboutBoxes, 2);
}

TEST_F(MainWindowTest, AUrlWithoutAFileNameLeavesTheCacheFolderAlone) {
  auto window = MakeWindow();
  window->show();
  window->OpenDataUrl(window->BaseUrl() + "/");
  window->OpenDataUrl(window->BaseUrl() + "/..");
  EXPECT_TRUE(fs::is_directory(window->CacheDir()));
  EXPECT_EQ(window->SingleChart()->Table().RowCount(), 0u);
  EXPECT_EQ(window->Dashboard()->Table().RowCount(), 0u);
  EXPECT_TRUE(window->isVisible());
}

// Screens from the commonest laptop to 1440p, the window maximised under a 30-pixel title bar;
// the 1440p case runs again under QT_SCALE_FACTOR=2 (a ctest entry of its own), 1280 x 720
// logical pixels with fonts twice as fine.
class MainWindowLayoutTest : public MainWindowTest, public ::testing::WithParamInterface<QSize> {};

// The strip's controls with IDs at their template rectangles (dialog units).
struct TemplatePlace {
  int id, x, y, width, height;
};
constexpr TemplatePlace kTemplatePlaces[] = {
    {1000, 324, 7, 34, 14},  {1003, 359, 7, 35, 14},  {1004, 403, 7, 35, 14},
    {1011, 498, 10, 31, 10}, {1006, 539, 10, 31, 10}, {1015, 584, 10, 31, 10},
    {1016, 627, 10, 31, 10}, {1018, 667, 10, 31, 10}, {1019, 700, 10, 31, 10},
    {1007, 736, 10, 39, 10}, {1008, 783, 10, 39, 10}, {1009, 825, 10, 39, 10},
    {1005, 879, 9, 35, 12},  {1012, 923, 9, 35, 12},  {1013, 1007, 8, 34, 13}};

TEST_P(MainWindowLayoutTest, EveryControlIsInsideTheWindowAndNamed) {
  const double scale = qApp->devicePixelRatio();
  const QSize client(static_cast<int>(GetParam().width() / scale),
                     static_cast<int>(GetParam().height() / scale) - 30);
  auto window = MakeWindow();
  window->setWindowState(Qt::WindowNoState);
  window->show();
  window->resize(client);
  QCoreApplication::processEvents();
  ASSERT_EQ(window->size(), client);

  const QRect inside = window->rect();
  std::vector<QWidget*> strip;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(window.get()) || w->window() != window.get()) continue;
    const QRect r(w->mapTo(window.get(), QPoint(0, 0)), w->size());
    EXPECT_TRUE(inside.contains(r))
        << w->objectName().toStdString() << " at " << r.x() << "," << r.y() << " " << r.width()
        << "x" << r.height() << " in " << client.width() << "x" << client.height();
    if (w->focusPolicy() != Qt::NoFocus) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(a, nullptr);
      EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty()) << w->objectName().toStdString();
    }
    if (w->parentWidget() == window.get() && qobject_cast<QGroupBox*>(w) == nullptr &&
        w != window->MenuSlot() && w != window->Dashboard() && w != window->SingleChart()) {
      strip.push_back(w);
    }
  }
  // Usable: no strip control lies under another or under the menu or the charts.
  for (std::size_t i = 0; i < strip.size(); ++i) {
    for (std::size_t j = i + 1; j < strip.size(); ++j) {
      EXPECT_FALSE(strip[i]->geometry().intersects(strip[j]->geometry()))
          << strip[i]->objectName().toStdString() << " / " << strip[j]->objectName().toStdString();
    }
    for (QWidget* pane : {window->MenuSlot(), static_cast<QWidget*>(window->Dashboard())}) {
      EXPECT_FALSE(strip[i]->geometry().intersects(pane->geometry()))
          << strip[i]->objectName().toStdString();
    }
  }
  for (int mode = 0; mode < 9; ++mode) {  // the frame still holds every radio
    EXPECT_TRUE(window->findChild<QGroupBox*>()->geometry().contains(
        window->RadioOfMode(mode)->geometry()));
  }

  const ui::DialogUnits du(window->font());
  if (client.width() >= 1900) {
    for (const TemplatePlace& p : kTemplatePlaces) {
      auto* w = window->findChild<QWidget*>(QString::number(p.id));
      ASSERT_NE(w, nullptr);
      EXPECT_EQ(w->geometry(), du.Rect(p.x, p.y, p.width, p.height)) << p.id;
    }
    EXPECT_EQ(window->Dashboard()->geometry().topLeft(), QPoint(560, 40));
  }
  EXPECT_EQ(window->MenuSlot()->geometry(), QRect(10, 10, 550, client.height() - 20));
  EXPECT_EQ(window->Dashboard()->geometry().right(), client.width() - 11);
  EXPECT_EQ(window->Dashboard()->geometry().bottom(), client.height() - 11);
  EXPECT_EQ(window->SingleChart()->geometry(), window->Dashboard()->geometry());
}

INSTANTIATE_TEST_SUITE_P(Screens, MainWindowLayoutTest,
                         ::testing::Values(QSize(1280, 720), QSize(1366, 768), QSize(1920, 1080),
                                           QSize(2560, 1440)),
                         [](const auto& info) {
                           return std::to_string(info.param.width()) + "x" +
                                  std::to_string(info.param.height());
                         });

TEST_F(MainWindowTest, FocusRunsAlongTheStripAndArrowsFollowTheModes) {
  auto window = MakeWindow();
  window->show();
  std::vector<QString> chain;
  QWidget* w = window->ApplyButton(1000);
  for (int guard = 0; guard < 40 && chain.size() < 17; ++guard, w = w->nextInFocusChain()) {
    if (w->parentWidget() == window.get() && w->focusPolicy() != Qt::NoFocus &&
        !w->objectName().isEmpty()) {
      chain.push_back(w->objectName());
    }
  }
  const std::vector<QString> expected = {"1000", "1003", "1004", "1010", "1011", "1006",
                                         "1007", "1008", "1009", "1015", "1016", "1018",
                                         "1019", "1005", "1012", "1014", "1013"};
  EXPECT_EQ(chain, expected);

  // Right from 3분할 goes to 월봉 then 볼린저 (template order, not screen order), applying each.
  window->RadioOfMode(0)->setFocus();
  QTest::keyClick(window->RadioOfMode(0), Qt::Key_Right);
  EXPECT_EQ(window->ChartMode(), 1);
  EXPECT_TRUE(window->SingleChart()->isVisible());
  QTest::keyClick(window->RadioOfMode(1), Qt::Key_Down);
  EXPECT_EQ(window->ChartMode(), 2);
  EXPECT_EQ(window->focusWidget(), window->RadioOfMode(2));
  QTest::keyClick(window->RadioOfMode(2), Qt::Key_Up);
  QTest::keyClick(window->RadioOfMode(1), Qt::Key_Left);
  QTest::keyClick(window->RadioOfMode(0), Qt::Key_Left);
  EXPECT_EQ(window->ChartMode(), 8);  // and round from the first to the last
}

TEST_F(MainWindowTest, DashboardChartsExportUnderTheirOwnNamesAndSaySo) {
  auto window = MakeWindow();
  window->show();
  window->Dashboard()->BuildDashboard();
  for (int c = 0; c < 3; ++c) {
    CCHARTctl& chart = window->Dashboard()->Chart(c);
    chart.SetExportFolder(folder.filePath("out"));
    QTest::keyClick(&chart, Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(chart.NoteText().contains(QStringLiteral("CSV 저장"))) << c;
  }
  const QStringList files = QDir(folder.filePath("out")).entryList(QDir::Files);
  ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
  EXPECT_EQ(files.filter(QStringLiteral("3분할 분기봉")).size(), 1);
}

// The real service on loopback: every mode opens series through OpenDataUrl.
class OpenDataUrlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureApp();
    server = new test::ServerProcess(test::SampleRoot());
  }
  static void TearDownTestSuite() { delete server; }
  static inline test::ServerProcess* server = nullptr;
};

TEST_F(OpenDataUrlTest, EveryModeShowsTheSeriesItOpened) {
  ASSERT_GT(server->port(), 0);
  QTemporaryDir folder;
  MainWindowSetup setup;
  setup.contentHost = HostPort{"127.0.0.1", server->port()};
  setup.workingFolder = folder.path().toStdString();
  setup.reLogin = [] { return true; };
  CPlinthviewDlg window(std::move(setup));
  window.setWindowState(Qt::WindowNoState);
  window.show();
  const fs::path working = folder.path().toStdString();
  EXPECT_GT(fs::file_size(working / "orvane_bg.bmp"), 0u);
  // Start-up opened the home series on the dashboard.
  EXPECT_GT(window.SingleChart()->Table().RowCount(), 400u);
  EXPECT_EQ(window.ChartMode(), 0);
  EXPECT_TRUE(window.Dashboard()->isVisible());
  for (int c = 0; c < 3; ++c) EXPECT_GT(PointCount(window.Dashboard()->Chart(c)), 0u);
  EXPECT_EQ(window.Dashboard()->Chart(0).Model().settings.title, "Orvane 전국 아파트 매매가격지수");

  const char* files[] = {"10002.txt", "60001.txt", "11005.txt", "40001.txt", "10003.txt",
                         "50001.txt", "70002.txt", "12001.txt", "60002.txt"};
  for (int mode = 0; mode < 9; ++mode) {
    SCOPED_TRACE(mode);
    window.RadioOfMode(mode)->setChecked(true);
    window.OpenDataUrl(window.BaseUrl() + "/" + files[mode]);
    EXPECT_GT(window.Dashboard()->Table().RowCount(), 10u);
    EXPECT_EQ(window.Dashboard()->Table().RowCount(), window.SingleChart()->Table().RowCount());
    EXPECT_FALSE(fs::exists(window.CacheDir() + files[mode]));
    EXPECT_EQ(window.Dashboard()->freshFile, 1);
    if (mode == 0) {
      EXPECT_TRUE(window.Dashboard()->isVisible());
      for (int c = 0; c < 3; ++c) EXPECT_GT(PointCount(window.Dashboard()->Chart(c)), 0u);
    } else {
      EXPECT_TRUE(window.SingleChart()->isVisible());
      EXPECT_GT(PointCount(window.SingleChart()->Chart()), 0u);
      EXPECT_FALSE(window.SingleChart()->Inputs().records.empty());
    }
  }
  EXPECT_TRUE(fs::is_empty(window.CacheDir()));

  // A series the server does not have empties the tables and the chart; nothing else happens.
  window.RadioOfMode(1)->setChecked(true);
  window.OpenDataUrl(window.BaseUrl() + "/99999.txt");
  EXPECT_EQ(window.SingleChart()->Table().RowCount(), 0u);
  EXPECT_EQ(PointCount(window.SingleChart()->Chart()), 0u);
  EXPECT_TRUE(window.isVisible());
}

namespace analyst_tools {

void MoveMouse(CCHARTctl& chart, int x, int y) {
  QMouseEvent move(QEvent::MouseMove, QPointF(x, y), chart.mapToGlobal(QPointF(x, y)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&chart, &move);
}

std::int32_t PointDate(CCHARTctl& chart, int index) {
  std::lock_guard lock(chart.Model().seriesLock);
  return chart.Model().series.front().points[static_cast<std::size_t>(index)].date;
}

std::int32_t CrosshairDate(CCHARTctl& chart) {
  const auto& r = chart.CurrentReadout();
  return r ? PointDate(chart, static_cast<int>(r->index)) : 0;
}

QAction* ActionStartingWith(QMenu& menu, const QString& text) {
  for (QAction* a : menu.actions()) {
    if (a->text().startsWith(text)) return a;
  }
  return nullptr;
}

TEST_F(MainWindowTest, DataPaneFollowsTheCrosshairAndCopiesRows) {
  auto window = MakeWindow();
  window->show();
  QTest::mouseClick(window->RadioOfMode(1), Qt::LeftButton);
  CChart1Dlg& single = *window->SingleChart();
  CCHARTctl& chart = single.Chart();
  EXPECT_TRUE(single.Pane().isHidden());
  EXPECT_EQ(chart.geometry(), single.rect());

  QTest::keyClick(&chart, Qt::Key_D);
  QCoreApplication::processEvents();
  ASSERT_FALSE(single.Pane().isHidden());
  EXPECT_LT(chart.width(), single.width());
  EXPECT_EQ(single.Pane().geometry().right(), single.rect().right());
  const VisibleData& data = single.Pane().Data();
  ASSERT_GT(data.rows.size(), 5u);
  // The volume column is the file's volume of the month.
  for (const DataRecord& r : single.Inputs().records) {
    if (r.date == data.rows[2].date) {
      EXPECT_EQ(data.rows[2].values[4], r.v[kVolume]);
    }
  }

  chart.ShowCrosshairAtPoint(data.rows[3].index);
  EXPECT_EQ(single.Pane().HighlightedRow(), 3);
  chart.HideCrosshair();
  EXPECT_EQ(single.Pane().HighlightedRow(), std::nullopt);

  single.Pane().Table()->selectRow(4);
  const QStringList lines = single.Pane().SelectedRowsText().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("날짜\t시가\t고가\t저가\t종가\t거래량")));
  EXPECT_TRUE(lines[1].startsWith(QString::fromStdString(ExportDate(data.rows[4].date))));
  EXPECT_EQ(lines[1].count('\t'), lines[0].count('\t'));

  QTest::keyClick(&chart, Qt::Key_D);
  QCoreApplication::processEvents();
  EXPECT_EQ(chart.geometry(), single.rect());
}

TEST_F(MainWindowTest, LinkedCrosshairsShowTheSameMonthQuarterAndYear) {
  auto window = MakeLargeDashboard();
  CDashBoardDlg& dash = *window->Dashboard();
  CCHARTctl& monthly = dash.Chart(0);
  const int x = monthly.width() * 2 / 3;
  MoveMouse(monthly, x, 100);
  ASSERT_TRUE(monthly.CurrentReadout());
  EXPECT_FALSE(dash.Chart(1).CurrentReadout());  // not linked yet

  dash.LinkAction().setChecked(true);
  MoveMouse(monthly, x + 40, 100);
  const std::int32_t month = CrosshairDate(monthly);
  const auto quarter = dash.Chart(1).CurrentReadout();
  ASSERT_TRUE(quarter);
  EXPECT_GE(CrosshairDate(dash.Chart(1)), month);
  EXPECT_LT(PointDate(dash.Chart(1), static_cast<int>(quarter->index) - 1), month);
  EXPECT_EQ(CrosshairDate(dash.Chart(2)) / 100, month / 100);

  // From a year to its months and quarters: the year's last month.
  CCHARTctl& yearly = dash.Chart(2);
  MoveMouse(yearly, yearly.width() / 2, 100);
  EXPECT_EQ(CrosshairDate(monthly), CrosshairDate(yearly));
  EXPECT_EQ(CrosshairDate(dash.Chart(1)), CrosshairDate(yearly));
  yearly.HideCrosshair();
  EXPECT_FALSE(monthly.CurrentReadout());
}

TEST_F(MainWindowTest, RangeKeysShowTheLastYearsAndHomeReturns) {
  auto window = MakeWindow();
  window->show();
  QTest::mouseClick(window->RadioOfMode(1), Qt::LeftButton);
  CCHARTctl& chart = window->SingleChart()->Chart();
  const ChartView home = chart.HomeView();
  int available = 0;
  {
    std::lock_guard lock(chart.Model().seriesLock);
    available = AvailablePoints(chart.Model().series, home);
  }
  QTest::keyClick(&chart, Qt::Key_3);
  const ChartView three = chart.Model().view;
  EXPECT_EQ(three.firstIndex + three.visibleCount, available);
  const std::int32_t last = PointDate(chart, available - 1);
  EXPECT_GT(PointDate(chart, three.firstIndex), last - 300);
  EXPECT_LE(PointDate(chart, three.firstIndex - 1), last - 300);
  QTest::keyClick(&chart, Qt::Key_A);
  EXPECT_EQ(chart.Model().view.firstIndex, 0);
  EXPECT_EQ(chart.Model().view.visibleCount, available);
  QTest::keyClick(&chart, Qt::Key_Home);
  EXPECT_EQ(chart.Model().view.firstIndex, home.firstIndex);
  EXPECT_EQ(chart.Model().view.visibleCount, home.visibleCount);
}

TEST_F(MainWindowTest, NotesAreAddedEditedRemovedAndSurviveARestart) {
  const fs::path notesFile = fs::path(folder.path().toStdString()) / "user" / "orvane-notes.json";
  auto window = MakeWindow(notesFile);
  window->show();
  QTest::mouseClick(window->RadioOfMode(1), Qt::LeftButton);
  CChart1Dlg& single = *window->SingleChart();
  CCHARTctl& chart = single.Chart();
  const PointIndex at = *chart.PointAt(chart.width() / 2);
  chart.ShowCrosshairAtPoint(at);
  ASSERT_TRUE(chart.CurrentReadout());
  const int x = chart.CurrentReadout()->x;
  const QPoint global = chart.mapToGlobal(QPoint(x, 200));
  single.Notes().prompt = [](QWidget*, const QString&, const QString&) {
    return QStringLiteral("금리 인상");
  };
  {
    QMenu menu;
    single.AddMenuActions(menu, global);
    ASSERT_NE(ActionStartingWith(menu, QStringLiteral("메모 추가")), nullptr);
    ActionStartingWith(menu, QStringLiteral("메모 추가"))->trigger();
  }
  ASSERT_EQ(single.Notes().Notes().size(), 1u);
  EXPECT_EQ(single.Notes().Notes()[0].month, PointDate(chart, static_cast<int>(at)));
  // The marker is in the frame, in its own colour.
  const QImage& frame = chart.Frame();
  bool marked = false;
  for (int y = 0; y < frame.height() && !marked; ++y) {
    marked = QColor(frame.pixel(x, y)) == QColor(128, 0, 160);
  }
  EXPECT_TRUE(marked);

  window.reset();
  window = MakeLargeDashboard(notesFile);
  CDashBoardDlg& dash = *window->Dashboard();
  ASSERT_EQ(dash.Notes().Notes().size(), 1u);
  dash.Notes().prompt = [](QWidget*, const QString&, const QString& text) {
    EXPECT_EQ(text, QStringLiteral("금리 인상"));
    return QStringLiteral("금리 동결");
  };
  CCHARTctl& monthly = dash.Chart(0);
  std::optional<PointIndex> point;
  {
    std::lock_guard lock(monthly.Model().seriesLock);
    point = PointForMonth(monthly.Model().series, dash.Notes().Notes()[0].month);
  }
  monthly.ShowCrosshairAtPoint(*point);
  ASSERT_TRUE(monthly.CurrentReadout());
  const QPoint onNote = monthly.mapToGlobal(QPoint(monthly.CurrentReadout()->x, 200));
  for (const QString& item : {QStringLiteral("메모 편집"), QStringLiteral("메모 삭제")}) {
    QMenu menu;
    dash.AddMenuActions(menu, onNote);
    ASSERT_NE(ActionStartingWith(menu, item), nullptr) << item.toStdString();
    ActionStartingWith(menu, item)->trigger();
    if (item.contains(QStringLiteral("편집"))) {
      EXPECT_EQ(dash.Notes().Notes()[0].text, "금리 동결");
    }
  }
  EXPECT_TRUE(dash.Notes().Notes().empty());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainWindowTest, ACorruptNotesFileIsSetAsideAndReported) {
  const fs::path notesFile = fs::path(folder.path().toStdString()) / "orvane-notes.json";
  {
    std::ofstream out(notesFile);
    out << "[\"truncated";
  }
  auto window = MakeWindow(notesFile);
  QCoreApplication::processEvents();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("orvane-notes.json.corrupt")));
  EXPECT_TRUE(fs::exists(notesFile.string() + ".corrupt"));
  EXPECT_FALSE(fs::exists(notesFile));
}

}  // namespace analyst_tools

}  // namespace
}  // namespace orvane::app
