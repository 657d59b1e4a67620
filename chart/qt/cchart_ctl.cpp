#include "chart/qt/cchart_ctl.h"

#include <QCloseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <mutex>

#include "chart/qt/qt_canvas.h"

namespace orvane {

CCHARTctl::CCHARTctl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  model_.Attach();
  model_.SetPainter([this](ChartModel&) {
    const bool painted = PaintFrame();
    if (painted && isVisible()) repaint();
    return painted;
  });
}

bool CCHARTctl::PaintFrame() {
  const double ratio = devicePixelRatioF();
  QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return false;
  image.setDevicePixelRatio(ratio);
  // Held until the finished image replaces the shown one.
  std::lock_guard lock(model_.seriesLock);
  bool painted = false;
  {
    QPainter painter(&image);
    QtCanvas canvas(painter);
    painted = PaintChart(model_, canvas, width(), height(), resources_);
  }
  if (!painted) return false;
  frame_ = std::move(image);
  frameIsFresh_ = true;
  return true;
}

void CCHARTctl::paintEvent(QPaintEvent*) {
  bool hasSeries = false;
  {
    std::lock_guard lock(model_.seriesLock);
    hasSeries = !model_.series.empty();
  }
  const QSize deviceSize = size() * devicePixelRatioF();
  // Every paint request repaints from the series, except right after DrawChart made the frame.
  if (hasSeries && !(frameIsFresh_ && frame_.size() == deviceSize)) PaintFrame();
  frameIsFresh_ = false;

  QPainter painter(this);
  if (hasSeries && !frame_.isNull()) {
    painter.drawImage(QPoint(0, 0), frame_);
    return;
  }
  QtCanvas canvas(painter);
  PaintEmptyFrame(model_.settings, canvas, width(), height());
  if (model_.workerState == ChartModel::kEmptyFrame) model_.workerState = ChartModel::kIdle;
}

void CCHARTctl::timerEvent(QTimerEvent* event) {
  killTimer(event->timerId());
  QWidget::timerEvent(event);
}

void CCHARTctl::closeEvent(QCloseEvent* event) {
  model_.workerState = ChartModel::kStop;
  QWidget::closeEvent(event);
}

}  // namespace orvane
