#include "views/qt/dash_board_dlg.h"

#include <QAction>
#include <QMenu>
#include <mutex>
#include <string>

#include "chart/chart_tools.h"
#include "chart/qt/qt_canvas.h"
#include "data/series_reader.h"
#include "modes/dashboard.h"
#include "modes/series_inputs.h"

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
  pane_ = new DataPane(this);
  pane_->Follow(charts_[0]);
  connect(pane_, &DataPane::placementChanged, this, &CDashBoardDlg::LayoutCharts);
  connect(pane_, &QDockWidget::visibilityChanged, this, [this](bool shown) {
    if (shown) UpdatePaneVolumes();
  });
  linkAction_ = new QAction(QStringLiteral("십자선 연동"), this);
  linkAction_->setObjectName(QStringLiteral("linkCrosshairs"));
  linkAction_->setCheckable(true);
  for (std::size_t i = 0; i < charts_.size(); ++i) {
    notes_.Attach(*charts_[i]);
    connect(charts_[i], &CCHARTctl::crosshairMoved, this,
            [this, i](int index) { OnCrosshair(i, index); });
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
  notes_.SetSeries(path.filename().string());
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
  if (!pane_->isHidden()) UpdatePaneVolumes();
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
  LayoutCharts();
  repaintTimer_.start();
}

void CDashBoardDlg::LayoutCharts() {
  const QRect area = pane_->PlaceIn(rect());
  const auto layout = DashboardLayout(area.width(), area.height());
  for (std::size_t i = 0; i < charts_.size(); ++i) charts_[i]->setGeometry(ToQRect(layout[i]));
}

void CDashBoardDlg::UpdatePaneVolumes() {
  pane_->SetVolumes(MonthlyVolumes(InputsFromTable(table_, scaleChoice, fromYear, toYear).records));
}

void CDashBoardDlg::AddMenuActions(QMenu& menu, const QPoint& globalPos) {
  menu.addAction(pane_->toggleViewAction());
  menu.addAction(linkAction_);
  for (CCHARTctl* chart : charts_) {
    const QPoint at = chart->mapFromGlobal(globalPos);
    if (!chart->rect().contains(at)) continue;
    menu.addAction(chart->ShowChangesAction());
    notes_.AddActions(menu, *chart, at.x());
  }
}

void CDashBoardDlg::OnCrosshair(std::size_t from, int index) {
  if (linking_) return;
  if (index >= 0) pane_->Follow(charts_[from]);
  if (!linkAction_->isChecked()) return;
  std::int32_t month = 0;
  if (index >= 0) {
    ChartModel& m = charts_[from]->Model();
    std::lock_guard lock(m.seriesLock);
    if (!m.series.empty() && static_cast<std::size_t>(index) < m.series.front().points.size()) {
      month = m.series.front().points[static_cast<std::size_t>(index)].date;
    }
  }
  linking_ = true;
  for (std::size_t i = 0; i < charts_.size(); ++i) {
    if (i == from) continue;
    std::optional<PointIndex> point;
    {
      ChartModel& m = charts_[i]->Model();
      std::lock_guard lock(m.seriesLock);
      point = PointForMonth(m.series, month);
    }
    if (point) {
      charts_[i]->ShowCrosshairAtPoint(*point);
    } else {
      charts_[i]->HideCrosshair();
    }
  }
  linking_ = false;
}

}  // namespace orvane
