#pragma once

#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>

#include "chart/qt/cchart_ctl.h"
#include "data/data_table.h"
#include "modes/dashboard.h"
#include "modes/pipeline.h"

namespace orvane {

// The three-chart dashboard (chart mode 0): monthly candles across the top,
// quarterly and yearly candles below, read from its own data table.
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

  std::array<CCHARTctl*, 3> charts_{};
  DataTable table_;
  QTimer repaintTimer_;
};

}  // namespace orvane
