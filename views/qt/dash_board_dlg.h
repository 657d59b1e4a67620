#pragma once

#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>

class QAction;
class QMenu;

#include "chart/qt/cchart_ctl.h"
#include "chart/qt/data_pane.h"
#include "chart/qt/note_marks.h"
#include "data/data_table.h"
#include "modes/dashboard.h"
#include "modes/pipeline.h"

namespace orvane {

// The three-chart dashboard (chart mode 0): monthly candles across the top,
// quarterly and yearly candles below, read from its own data table. Switched on from the
// context menu: the data pane beside the charts (also D), following the chart last pointed at,
// and linked crosshairs (pointing at a month shows its quarter and year in the other charts).
class CDashBoardDlg : public QWidget {
 public:
  static constexpr int kTemplateId = 111;
  static constexpr int kRepaintTimerId = 9999;
  static constexpr std::chrono::milliseconds kRepaintDelay{100};
  static constexpr std::array<int, 3> kChartIds = {1001, 1002, 1003};

  // workingFolder holds "orvane_bg.bmp", the monthly chart's background picture.
  CDashBoardDlg(const std::filesystem::path& workingFolder, QWidget* parent);

  // 0 monthly, 1 quarterly, 2 yearly.
  CCHARTctl& Chart(int index) { return *charts_[static_cast<std::size_t>(index)]; }
  DataTable& Table() { return table_; }
  QTimer& RepaintTimer() { return repaintTimer_; }
  DataPane& Pane() { return *pane_; }
  ChartNotes& Notes() { return notes_; }
  // The checkable "십자선 연동" item; off at start.
  QAction& LinkAction() { return *linkAction_; }
  // The window's items of the main window's context menu, for a click at globalPos.
  void AddMenuActions(QMenu& menu, const QPoint& globalPos);

  // Reads a series file into the dashboard's table; false (table empty) when it cannot be read.
  bool LoadDataFile(const std::filesystem::path& path);
  // Fills and paints the three charts from the table with the settings below.
  void BuildDashboard();

  int scaleChoice = kScaleArith;
  int fromYear = 2005;
  int toYear = 2030;
  std::uint8_t freshFile = 1;  // set by every new series file; nothing clears it

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  DashboardCharts Models();
  void LayoutCharts();
  // The months' volumes of the table, for the data pane (read only while it is shown).
  void UpdatePaneVolumes();
  // Chart `from` moved its crosshair to point index (-1: hidden).
  void OnCrosshair(std::size_t from, int index);

  std::array<CCHARTctl*, 3> charts_{};
  DataTable table_;
  QTimer repaintTimer_;
  DataPane* pane_ = nullptr;
  ChartNotes notes_;
  QAction* linkAction_ = nullptr;
  bool linking_ = false;  // set while the linked charts follow, so they do not answer back
};

}  // namespace orvane
