#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class QAction;
class QLabel;

#include "chart/chart_export.h"
#include "chart/chart_geometry.h"
#include "chart/chart_interaction.h"
#include "chart/chart_model.h"
#include "chart/chart_painter.h"

namespace orvane {

// The chart control: shows a ChartModel. DrawChart paints the whole chart into an off-screen
// image and then shows it, so a half-drawn chart is never on screen.
//
// Over the finished image the control draws a crosshair with a value readout that follows the
// mouse (Left/Right step it, Escape or leaving hides it) without repainting the chart. The wheel
// zooms around the cursor, dragging pans, a double-click or Home returns to the view the last
// DrawChart call set. Ctrl+S saves the chart as PNG or SVG, Ctrl+C copies it, Ctrl+E writes the
// visible data as CSV into the export folder. "%" (or ShowChangesAction) adds the close's change
// from the period before and a year before to the readout; it starts off. A Shift+click reports
// the month under the cursor (compare mode takes it as the base month).
class CCHARTctl : public QWidget {
  Q_OBJECT

 public:
  explicit CCHARTctl(QWidget* parent = nullptr);

  ChartModel& Model() { return model_; }
  // Fonts and background picture lent by the host window.
  ChartResources& Resources() { return resources_; }

  // Stores the view, paints and shows the result; false when a series was empty.
  bool DrawChart(ChartView view) { return model_.DrawChart(view); }

  // The last finished full paint (device pixels, with its pixel ratio); null before the first.
  const QImage& Frame() const { return frame_; }
  // Full paints run so far (the crosshair never adds one).
  int FullPaintCount() const { return fullPaints_; }

  // The view the last DrawChart call set; zooming and panning start from and return to it.
  ChartView HomeView() const { return homeView_; }
  // Shows another window onto the same series (zoom and pan); the home view stays.
  void ShowView(ChartView view);
  void ResetView();

  // Crosshair on the point nearest to column x; hides it when nothing is visible.
  void ShowCrosshairAt(int x, int y);
  void HideCrosshair();
  const std::optional<Readout>& CurrentReadout() const { return readout_; }
  // Checkable action that shows the changes in the readout; off at start. Menus add it as is.
  QAction* ShowChangesAction() const { return showChanges_; }
  // The point under column x in the last full paint.
  std::optional<PointIndex> PointAt(int x);
  // Crosshair on a point without a horizontal line (a linked chart); hides it when the point is
  // not visible.
  void ShowCrosshairAtPoint(PointIndex index);

  // Drawn over every full paint, after the chart, with the geometry it was drawn with; the
  // caller holds seriesLock. Empty: nothing more is drawn.
  using FrameDecoration =
      std::function<void(QPainter&, const ChartGeometry&, const std::vector<ChartSeries>&)>;
  void SetFrameDecoration(FrameDecoration decoration) { decoration_ = std::move(decoration); }
  // Paints the chart again when shown, after what the decoration draws has changed.
  void RepaintFrame();

  // Folder of the CSV export and the first folder of the save dialog; created when missing.
  // Defaults to "ExcelFile" in the working folder (the program's folder when writable, else the
  // per-user data folder), where the single-chart window keeps it too.
  void SetExportFolder(const QString& folder) { exportFolder_ = folder; }
  QString ExportFolder() const { return exportFolder_; }
  // What exports are named after: the series shown and the mode that drew it.
  void SetExportNaming(ExportNaming naming) { exportNaming_ = std::move(naming); }
  // The visible chart as PNG, or SVG when the name ends in ".svg".
  bool SaveImage(const QString& path);
  bool CopyImage();
  // Writes the visible data into the export folder under a name no file has yet; the file's
  // path, or empty on failure.
  QString ExportCsv();
  // The short-lived note that says what an export did; empty when none is showing.
  QString NoteText() const;
  // Shows a note along the chart's bottom edge for a few seconds.
  void ShowNote(const QString& text);

 signals:
  // A file written by an export, or a failure to write one.
  void exported(const QString& path, bool ok);
  // A Shift+click on a dated point: its date, YYYYMM.
  void monthPicked(int date);
  // The crosshair moved to another point, or was hidden (index -1).
  void crosshairMoved(int index);
  // A full paint finished: the series or the visible window may have changed.
  void framePainted();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Runs the full paint into a new off-screen image; keeps the old one when nothing was drawn.
  bool PaintFrame();
  // Crosshair on a point index; the horizontal line at row y.
  void PlaceCrosshair(PointIndex index, int y);
  // Area the overlay covers now: both crosshair lines and the readout box.
  QRegion OverlayRegion() const;
  void UpdateOverlay(const QRegion& before);
  void RenderReadoutBox();
  void DrawOverlay(QPainter& painter) const;
  void SaveWithDialog();
  void StepCrosshair(int delta);
  void ShowRecentYears(int years);

  ChartModel model_;
  ChartResources resources_;
  QImage frame_;
  bool frameIsFresh_ = false;
  int fullPaints_ = 0;

  // Geometry of the frame, for the overlay; valid while geometryValid_.
  ChartGeometry geometry_;
  bool geometryValid_ = false;
  ChartView homeView_;
  bool showingOwnView_ = false;
  // Set while only the overlay needs repainting; the frame is drawn from the cached image.
  bool overlayOnly_ = false;

  std::optional<Readout> readout_;
  int crosshairY_ = 0;
  QImage readoutBox_;
  QFont readoutFont_;
  QFont readoutBoldFont_;
  QRect boxRect_;  // the readout box on the chart, shrunk when the chart is smaller

  bool dragging_ = false;
  int dragStartX_ = 0;
  int dragShift_ = 0;
  ChartView dragStartView_;
  int wheelRemainder_ = 0;

  FrameDecoration decoration_;
  QString exportFolder_;
  ExportNaming exportNaming_;
  QLabel* note_ = nullptr;
  QTimer noteTimer_;
  QAction* showChanges_ = nullptr;
};

}  // namespace orvane
