// The chart control's gestures: crosshair and readout, keys, zoom and pan, export.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cmath>

#include "chart/qt/cchart_ctl.h"
#include "qt_app.h"
#include "sample_charts.h"

// The application lives until exit; fontconfig's caches it holds are not leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace orvane {
namespace {

constexpr int kMonths = 120;

class ChartControl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureQApplication(); }

  void SetUp() override {
    control_.resize(800, 500);
    control_.show();
    Fill(kMonths);
  }

  void Fill(int months) {
    testing::FillMonthlyChart(control_.Model(), months);
    control_.DrawChart(ChartView{months - 1, months, 0});
    QApplication::processEvents();
  }

  void Send(QEvent& event) {
    QApplication::sendEvent(&control_, &event);
    QApplication::processEvents();
  }
  void Move(int x, int y, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent event(QEvent::MouseMove, QPointF(x, y), control_.mapToGlobal(QPointF(x, y)),
                      Qt::NoButton, buttons, Qt::NoModifier);
    Send(event);
  }
  void Button(QEvent::Type type, int x, int y) {
    QMouseEvent event(type, QPointF(x, y), control_.mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    Send(event);
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    Send(event);
  }
  void Wheel(int x, int y, int delta) {
    QWheelEvent event(QPointF(x, y), control_.mapToGlobal(QPointF(x, y)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    Send(event);
  }
  int Index() const { return static_cast<int>(control_.CurrentReadout()->index); }
  const ChartView& View() { return control_.Model().view; }

  CCHARTctl control_;
};

TEST_F(ChartControl, CrosshairFollowsTheMouseWithoutRepaintingTheChart) {
  const int paints = control_.FullPaintCount();
  ASSERT_GT(paints, 0);
  EXPECT_FALSE(control_.CurrentReadout());
  int last = -1;
  for (int x = 30; x < 790; x += 9) {
    Move(x, 250);
    ASSERT_TRUE(control_.CurrentReadout()) << x;
    EXPECT_GE(Index(), last);
    last = Index();
  }
  EXPECT_EQ(control_.FullPaintCount(), paints);
  EXPECT_EQ(last, kMonths - 1);

  // The readout names the date, the candle and each line in order.
  const Readout& r = *control_.CurrentReadout();
  const ChartPoint& p = control_.Model().series[0].points[kMonths - 1];
  EXPECT_EQ(r.date, ReadoutDate(p.date));
  ASSERT_TRUE(r.candle);
  EXPECT_DOUBLE_EQ((*r.candle)[3], p.close);
  EXPECT_EQ(r.lines.size(), 7u);  // six means and the companion line

  // The crosshair is drawn over the cached frame: the widget differs from it on that column.
  const QImage shown = control_.grab().toImage();
  const QImage frame = control_.Frame();
  int differing = 0;
  for (int y = 0; y < 400; ++y) differing += shown.pixel(r.x, y) != frame.pixel(r.x, y);
  EXPECT_GT(differing, 100);

  QEvent leave(QEvent::Leave);
  Send(leave);
  EXPECT_FALSE(control_.CurrentReadout());
}

TEST_F(ChartControl, ArrowsStepOnePointAndEscapeHides) {
  Move(400, 200);
  const int start = Index();
  Key(Qt::Key_Left);
  EXPECT_EQ(Index(), start - 1);
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  EXPECT_EQ(Index(), start + 1);
  for (int i = 0; i < 200; ++i) Key(Qt::Key_Right);
  EXPECT_EQ(Index(), kMonths - 1);
  Key(Qt::Key_Escape);
  EXPECT_FALSE(control_.CurrentReadout());
  // Without a crosshair an arrow brings it back on the last visible point.
  Key(Qt::Key_Left);
  EXPECT_EQ(Index(), kMonths - 1);

  // At the edge of a zoomed window the arrows move the window along.
  control_.ShowView(ChartView{kMonths - 1, 20, 50});
  Move(1, 200);
  EXPECT_EQ(Index(), 50);
  Key(Qt::Key_Left);
  EXPECT_EQ(Index(), 49);
  EXPECT_EQ(View().firstIndex, 49);
}

TEST_F(ChartControl, WheelZoomsDragPansAndDoubleClickReturnsHome) {
  const ChartView home = control_.HomeView();
  EXPECT_EQ(home.visibleCount, kMonths);
  Move(400, 200);
  const int anchored = Index();
  Wheel(400, 200, 120);
  EXPECT_EQ(View().visibleCount, 96);
  EXPECT_EQ(View().lastIndex, home.lastIndex);
  EXPECT_NEAR(Index(), anchored, 1);
  for (int i = 0; i < 30; ++i) Wheel(400, 200, 120);
  EXPECT_EQ(View().visibleCount, kMinZoomPoints);
  // Every series keeps all its points: zooming never cuts them.
  for (const ChartSeries& s : control_.Model().series) EXPECT_EQ(s.points.size(), 120u);

  const ChartView zoomed = View();
  const double step = (780.0 - 20.0) / (zoomed.visibleCount + 1);
  Button(QEvent::MouseButtonPress, 400, 200);
  Move(400 + static_cast<int>(3 * step), 200, Qt::LeftButton);
  Button(QEvent::MouseButtonRelease, 400 + static_cast<int>(3 * step), 200);
  EXPECT_EQ(View().firstIndex, zoomed.firstIndex - 3);
  EXPECT_EQ(View().visibleCount, zoomed.visibleCount);

  Button(QEvent::MouseButtonDblClick, 400, 200);
  EXPECT_EQ(View().visibleCount, home.visibleCount);
  EXPECT_EQ(View().firstIndex, home.firstIndex);

  Wheel(400, 200, -120);  // at all points zooming out changes nothing
  EXPECT_EQ(View().visibleCount, kMonths);
  Wheel(100, 200, 240);
  Key(Qt::Key_Home);
  EXPECT_EQ(View().visibleCount, kMonths);

  // A pipeline's DrawChart brings a new home view and drops the crosshair.
  Wheel(400, 200, 120);
  Fill(60);
  EXPECT_EQ(control_.HomeView().visibleCount, 60);
  EXPECT_EQ(View().visibleCount, 60);
  EXPECT_FALSE(control_.CurrentReadout());
}

TEST_F(ChartControl, ExportsPngSvgClipboardAndCsv) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  control_.ShowView(ChartView{kMonths - 1, 24, 60});
  Move(300, 200);

  const QString png = dir.filePath("chart.png");
  ASSERT_TRUE(control_.SaveImage(png));
  const QImage saved(png);
  EXPECT_EQ(saved.size(), control_.Frame().size());
  EXPECT_EQ(saved.convertToFormat(QImage::Format_ARGB32),
            control_.Frame().convertToFormat(QImage::Format_ARGB32));  // no crosshair in it
  const QString svg = dir.filePath("chart.svg");
  ASSERT_TRUE(control_.SaveImage(svg));
  QFile svgFile(svg);
  ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(svgFile.readAll().contains("<svg"));
  EXPECT_FALSE(control_.SaveImage(dir.filePath("missing/folder/chart.png")));

  ASSERT_TRUE(control_.CopyImage());
  EXPECT_EQ(QApplication::clipboard()->image().size(), control_.Frame().size());
  // The clipboard's PNG is the saved file's.
  const QMimeData* copied = QApplication::clipboard()->mimeData();
  ASSERT_NE(copied, nullptr);
  QFile savedFile(png);
  ASSERT_TRUE(savedFile.open(QIODevice::ReadOnly));
  EXPECT_EQ(copied->data(QStringLiteral("image/png")), savedFile.readAll());

  control_.SetExportFolder(dir.filePath("ExcelFile"));
  const QString csv = control_.ExportCsv();
  ASSERT_FALSE(csv.isEmpty());
  EXPECT_TRUE(csv.startsWith(dir.filePath("ExcelFile/")));
  EXPECT_TRUE(csv.endsWith("_198001-198112.csv")) << csv.toStdString();
  QFile file(csv);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
  EXPECT_EQ(bytes.count("\r\n"), 25);  // header and the 24 visible months
  file.close();

  // A second export never replaces the first; a file in the way of a name is passed over too.
  QFile blocker(QString(csv).replace(".csv", " (2).csv"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString again = control_.ExportCsv();
  EXPECT_TRUE(again.endsWith("_198001-198112 (3).csv")) << again.toStdString();
  EXPECT_EQ(blocker.size(), 0);
  EXPECT_EQ(QFileInfo(csv).size(), bytes.size());
}

}  // namespace
}  // namespace orvane
