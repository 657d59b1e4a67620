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
    : QWidget(parent),
      chart_(new CCHARTctl(this)),
      baseField_(new QLineEdit(chart_)),
      pane_(new DataPane(this)) {
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

  baseField_->setObjectName(QStringLiteral("baseMonth"));
  baseField_->setAccessibleName(QStringLiteral("기준월"));
  baseField_->setPlaceholderText(QStringLiteral("YYYY.MM"));
  baseField_->setToolTip(QStringLiteral(
      "이 달의 값을 100으로 맞춥니다. 비우고 Enter를 누르면 원래 값으로 돌아갑니다."));
  baseField_->setFixedWidth(baseField_->fontMetrics().horizontalAdvance(QStringLiteral("0000.00")) +
                            40);
  baseField_->hide();
  connect(chart_, &CCHARTctl::monthPicked, this, [this](int date) {
    if (mode_ == static_cast<int>(ChartMode::Compare)) SetRebaseMonth(date);
  });
  connect(baseField_, &QLineEdit::editingFinished, this, [this] {
    const std::int32_t month = ParseMonth(baseField_->text().toStdString());
    // A text that is no month puts back the base in force.
    if (month > 0 || baseField_->text().isEmpty()) {
      SetRebaseMonth(month);
    } else {
      baseField_->setText(QString::fromStdString(ReadoutDate(rebaseMonth_)));
    }
  });
}

void CChart1Dlg::SetRebaseMonth(std::int32_t month) {
  if (month == rebaseMonth_) return;
  rebaseMonth_ = month;
  if (mode_ == static_cast<int>(ChartMode::Compare)) RunPipeline(mode_);
  PlaceBaseField();
}

void CChart1Dlg::PlaceBaseField() {
  const bool shown = mode_ == static_cast<int>(ChartMode::Compare) && rebaseMonth_ > 0;
  if (shown) {
    const QString text = QString::fromStdString(ReadoutDate(rebaseMonth_));
    if (baseField_->text() != text) baseField_->setText(text);
    // Below the last compare legend line, which the chart paints at y = 90 + 40 n.
    const auto& names = chart_->Model().settings.compareNames;
    int lines = 0;
    for (std::size_t n = 0; n < names.size(); ++n) {
      if (!names[n].empty()) lines = static_cast<int>(n) + 1;
    }
    baseField_->move(20, 90 + 40 * lines + 5);
  }
  baseField_->setVisible(shown);
}

bool CChart1Dlg::LoadDataFile(const std::filesystem::path& path) {
  notes_.SetSeries(path.filename().string());
  return orvane::LoadDataFile(table_, path);
}

bool CChart1Dlg::RunPipeline(int mode) {
  mode_ = mode;
  inputs_ = InputsFromTable(table_, scaleChoice, fromYear, toYear);
  if (mode == static_cast<int>(ChartMode::Compare)) inputs_.rebaseMonth = rebaseMonth_;
  chart_->SetExportNaming(
      {inputs_.header.title, mode >= 0 && mode < static_cast<int>(kModeCaptions.size())
                                 ? kModeCaptions[static_cast<std::size_t>(mode)]
                                 : ""});
  pane_->SetVolumes(MonthlyVolumes(inputs_.records));
  const bool built = BuildChart(mode, inputs_, chart_->Model());
  if (!built) ClearChart(*chart_);
  PlaceBaseField();
  return built;
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
  menu.addAction(chart_->ShowChangesAction());
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
