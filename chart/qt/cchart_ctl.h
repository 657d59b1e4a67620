#pragma once

#include <QImage>
#include <QWidget>

#include "chart/chart_model.h"
#include "chart/chart_painter.h"

namespace orvane {

// The chart control: shows a ChartModel. DrawChart paints the whole chart into an off-screen
// image and then shows it, so a half-drawn chart is never on screen.
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

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs the full paint into a new off-screen image; keeps the old one when nothing was drawn.
  bool PaintFrame();

  ChartModel model_;
  ChartResources resources_;
  QImage frame_;
  bool frameIsFresh_ = false;
};

}  // namespace orvane
