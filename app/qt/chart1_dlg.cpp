#include "app/qt/chart1_dlg.h"

#include <QMenu>
#include <mutex>
#include <system_error>

#include "app/main_window_logic.h"
#include "chart/qt/qt_canvas.h"
#include "data/series_reader.h"
#include "modes/modes.h"
#include "modes/series_inputs.h"

namespace orvane::app {

CChart1Dlg::CChart1Dlg(const std::filesystem::path& workingFolder, QWidget* parent)
    : QWidget(parent), chart_(new CCHARTctl(this)), pane_(new DataPane(this)) {
  chart_->setObjectName(QStringLiteral("1001"));
  chart_->setAccessibleName(QStringLiteral("차트"));
  chart_->setGeometry(rect());

  std::error_code ignored;
  exportFolder_ = workingFolder / "ExcelFile";
  if (!std::filesystem::exists(exportFolder_, ignored)) {
    std::filesystem::create_directories(exportFolder_, ignored);
  }
  chart_->SetExportFolder(QString::fromStdString(exportFolder_.string()));

  chart_->Model().settings.bottomMargin = 20;
  ChartFonts& fonts = chart_->Resources().fonts;
  fonts.title = FontSpec{std::string(kKoreanFace), 50, 800, 0};
  fonts.subtitle = FontSpec{std::string(kKoreanFace), 15, 800, 0};
  fonts.legend = FontSpec{std::string(kKoreanFace), 25, 800, 0};
  chart_->Resources().backgroundImage = LoadChartImage((workingFolder / "orvane_bg.bmp").string());

  pane_->Follow(chart_);
  connect(pane_, &DataPane::placementChanged, this, &CChart1Dlg::LayoutChart);
  notes_.Attach(*chart_);

  repaintTimer_.setObjectName(QString::number(kRepaintTimerId));
  repaintTimer_.setSingleShot(true);
  repaintTimer_.setInterval(kRepaintDelay);
  connect(&repaintTimer_, &QTimer::timeout, this, [this] {
    update();
    chart_->update();
  });
}

bool CChart1Dlg::LoadDataFile(const std::filesystem::path& path) {
  notes_.SetSeries(path.filename().string());
  return orvane::LoadDataFile(table_, path);
}

bool CChart1Dlg::RunPipeline(int mode) {
  inputs_ = InputsFromTable(table_, scaleChoice, fromYear, toYear);
  chart_->SetExportNaming(
      {inputs_.header.title, mode >= 0 && mode < static_cast<int>(kModeCaptions.size())
                                 ? kModeCaptions[static_cast<std::size_t>(mode)]
                                 : ""});
  pane_->SetVolumes(MonthlyVolumes(inputs_.records));
  if (BuildChart(mode, inputs_, chart_->Model())) return true;
  ClearChart(*chart_);
  return false;
}

void CChart1Dlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutChart();
  // Each change restarts the timer: one extra repaint after the last change of a burst.
  repaintTimer_.start();
}

void CChart1Dlg::LayoutChart() { chart_->setGeometry(pane_->PlaceIn(rect())); }

void CChart1Dlg::AddMenuActions(QMenu& menu, const QPoint& globalPos) {
  menu.addAction(pane_->toggleViewAction());
  const QPoint at = chart_->mapFromGlobal(globalPos);
  if (chart_->rect().contains(at)) notes_.AddActions(menu, *chart_, at.x());
}

void ClearChart(CCHARTctl& chart) {
  {
    std::lock_guard lock(chart.Model().seriesLock);
    chart.Model().series.clear();
  }
  chart.update();
}

}  // namespace orvane::app
