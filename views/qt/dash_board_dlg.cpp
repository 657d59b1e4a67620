#include "views/qt/dash_board_dlg.h"

#include <mutex>
#include <string>

#include "chart/qt/qt_canvas.h"
#include "data/series_reader.h"
#include "modes/dashboard.h"

namespace orvane {
namespace {

QRect ToQRect(const CanvasRect& r) { return QRect(r.left, r.top, r.width, r.height); }

// What each chart is called in export names and by screen readers.
constexpr std::array<const char*, 3> kChartNames = {"3분할 월봉", "3분할 분기봉", "3분할 연봉"};

}  // namespace

CDashBoardDlg::CDashBoardDlg(const std::filesystem::path& workingFolder, QWidget* parent)
    : QWidget(parent) {
  for (std::size_t i = 0; i < charts_.size(); ++i) {
    charts_[i] = new CCHARTctl(this);
    charts_[i]->setObjectName(QString::number(kChartIds[i]));
    charts_[i]->setAccessibleName(QString::fromUtf8(kChartNames[i]));
    charts_[i]->Resources().fonts = DashboardChartFonts(i);
    charts_[i]->SetExportFolder(QString::fromStdString((workingFolder / "ExcelFile").string()));
  }
  PrepareDashboardCharts(Models());
  charts_[0]->Resources().backgroundImage =
      LoadChartImage((workingFolder / "orvane_bg.bmp").string());

  repaintTimer_.setObjectName(QString::number(kRepaintTimerId));
  repaintTimer_.setSingleShot(true);
  repaintTimer_.setInterval(kRepaintDelay);
  connect(&repaintTimer_, &QTimer::timeout, this, [this] {
    update();
    for (CCHARTctl* chart : charts_) chart->update();
  });
}

bool CDashBoardDlg::LoadDataFile(const std::filesystem::path& path) {
  return orvane::LoadDataFile(table_, path);
}

DashboardCharts CDashBoardDlg::Models() {
  return {&charts_[0]->Model(), &charts_[1]->Model(), &charts_[2]->Model()};
}

void CDashBoardDlg::BuildDashboard() {
  DashboardInputs in;
  in.scaleChoice = scaleChoice;
  in.fromYear = fromYear;
  in.toYear = toYear;
  in.freshFile = freshFile != 0;
  orvane::BuildDashboard(table_, in, Models());
  // The three charts export under their own names; only the monthly one carries the title.
  std::string title;
  {
    std::lock_guard lock(charts_[0]->Model().seriesLock);
    title = charts_[0]->Model().settings.title;
  }
  for (std::size_t i = 0; i < charts_.size(); ++i) {
    charts_[i]->SetExportNaming({title, kChartNames[i]});
  }
}

void CDashBoardDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const auto layout = DashboardLayout(width(), height());
  for (std::size_t i = 0; i < charts_.size(); ++i) charts_[i]->setGeometry(ToQRect(layout[i]));
  repaintTimer_.start();
}

}  // namespace orvane
