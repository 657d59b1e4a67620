#include "views/qt/dash_board_dlg.h"

#include <mutex>

#include "chart/qt/qt_canvas.h"
#include "data/series_reader.h"
#include "views/dashboard_layout.h"

namespace orvane {
namespace {

FontSpec KoreanFont(int pixelSize) { return FontSpec{std::string(kKoreanFace), pixelSize, 800, 0}; }

QRect ToQRect(const PixelRect& r) { return QRect(r.x, r.y, r.width, r.height); }

}  // namespace

CDashBoardDlg::CDashBoardDlg(const std::filesystem::path& workingFolder, QWidget* parent)
    : QWidget(parent) {
  for (std::size_t i = 0; i < charts_.size(); ++i) {
    charts_[i] = new CCHARTctl(this);
    charts_[i]->setObjectName(QString::number(kChartIds[i]));
    CCHARTctl& chart = *charts_[i];
    chart.Model().settings.bottomMargin = 20;
    chart.Model().settings.lowerPaneRatio = 0.8;
    chart.Resources().fonts.title = KoreanFont(i == 0 ? 50 : 40);
    chart.Resources().fonts.subtitle = KoreanFont(15);
  }
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

bool CDashBoardDlg::CanBuild() { return false; }

bool CDashBoardDlg::BuildDashboard() {
  for (CCHARTctl* chart : charts_) {
    {
      std::lock_guard lock(chart->Model().seriesLock);
      chart->Model().series.clear();
    }
    chart->update();
  }
  return false;
}

void CDashBoardDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const DashboardLayout layout = DashboardSplit(width(), height());
  charts_[0]->setGeometry(ToQRect(layout.monthly));
  charts_[1]->setGeometry(ToQRect(layout.quarterly));
  charts_[2]->setGeometry(ToQRect(layout.yearly));
  repaintTimer_.start();
}

}  // namespace orvane
