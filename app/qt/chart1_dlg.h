#pragma once

#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <filesystem>

class QMenu;

#include "chart/qt/cchart_ctl.h"
#include "chart/qt/data_pane.h"
#include "chart/qt/note_marks.h"
#include "data/data_table.h"
#include "modes/pipeline.h"

namespace orvane::app {

// The single-chart window of modes 1 to 8: one chart control filling the client
// area, the data table the series file is read into, and the settings Apply writes before a
// pipeline runs. Beside the chart, the data pane (hidden until the context menu or D shows it);
// on the chart, the series' dated notes.
class CChart1Dlg : public QWidget {
 public:
  static constexpr int kTemplateId = 103;
  static constexpr int kRepaintTimerId = 9999;
  static constexpr std::chrono::milliseconds kRepaintDelay{100};

  // workingFolder holds "orvane_bg.bmp" and gets the export folder "ExcelFile".
  CChart1Dlg(const std::filesystem::path& workingFolder, QWidget* parent);

  CCHARTctl& Chart() { return *chart_; }
  DataTable& Table() { return table_; }
  const std::filesystem::path& ExportFolder() const { return exportFolder_; }
  // Records and header texts of the last pipeline run.
  const PipelineInputs& Inputs() const { return inputs_; }
  QTimer& RepaintTimer() { return repaintTimer_; }
  DataPane& Pane() { return *pane_; }
  ChartNotes& Notes() { return notes_; }
  // The window's items of the main window's context menu, for a click at globalPos.
  void AddMenuActions(QMenu& menu, const QPoint& globalPos);

  // Reads a series file into the data table; false (table empty) when it cannot be read.
  bool LoadDataFile(const std::filesystem::path& path);
  // Records from the table, then the mode's pipeline on the chart. A mode without a pipeline
  // leaves the chart empty and gives false.
  bool RunPipeline(int mode);

  // Compare mode's base month, YYYYMM (0: off). A Shift+click on the chart sets it; while it
  // is set, a field below the compare legend shows it for editing; emptying the field turns it
  // off. Setting it redraws a compare chart.
  void SetRebaseMonth(std::int32_t month);
  std::int32_t RebaseMonth() const { return rebaseMonth_; }
  QLineEdit& BaseField() { return *baseField_; }

  int scaleChoice = kScaleArith;
  int fromYear = 2005;
  int toYear = 2030;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceBaseField();
  void LayoutChart();

  CCHARTctl* chart_;
  QLineEdit* baseField_;
  DataPane* pane_;
  ChartNotes notes_;
  int mode_ = -1;
  std::int32_t rebaseMonth_ = 0;
  DataTable table_;
  PipelineInputs inputs_;
  std::filesystem::path exportFolder_;
  QTimer repaintTimer_;
};

// Empties a chart's series and shows its empty frame.
void ClearChart(CCHARTctl& chart);

}  // namespace orvane::app
