#include "chart/qt/cchart_ctl.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStandardPaths>
#include <QTimerEvent>
#include <QWheelEvent>
#include <cmath>
#include <mutex>

#include "chart/chart_export.h"
#include "chart/chart_tools.h"
#include "chart/qt/chart_render.h"
#include "chart/qt/png_encoder.h"
#include "chart/qt/qt_canvas.h"

namespace orvane {
namespace {

// One wheel notch shows this share of the points; the other way round its inverse.
constexpr double kZoomPerNotch = 0.8;
constexpr int kWheelNotch = 120;
constexpr int kBoxOffset = 16;
constexpr int kBoxPadding = 6;
constexpr int kBoxColumnGap = 14;
const QColor kCrosshairColor(70, 70, 70, 170);
const QColor kBoxBorderColor(120, 120, 120);
const QColor kBoxFill(255, 255, 255, 235);
constexpr std::chrono::milliseconds kNoteTime{6000};
// Enough variants for any folder a person fills by hand; past them the export fails.
constexpr int kMaxNameVariants = 9999;

QColor ToQColor(ColorRef c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

QString DefaultExportFolder() {
  QString base = QCoreApplication::applicationDirPath();
  if (base.isEmpty() || !QFileInfo(base).isWritable()) {
    base = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
  }
  return QDir(base).filePath(QStringLiteral("ExcelFile"));
}

bool SameView(const ChartView& a, const ChartView& b) {
  return a.firstIndex == b.firstIndex && a.visibleCount == b.visibleCount &&
         a.lastIndex == b.lastIndex;
}

}  // namespace

CCHARTctl::CCHARTctl(QWidget* parent) : QWidget(parent), exportFolder_(DefaultExportFolder()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // Resolved once: looking a font up costs more than laying out the whole readout box.
  readoutFont_ = ChartQFont(FontSpec{std::string(kDialogFace), 12, 400, 0});
  readoutBoldFont_ = readoutFont_;
  readoutBoldFont_.setBold(true);
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("exportNote"));
  note_->setStyleSheet(QStringLiteral(
      "QLabel { background: rgba(255, 255, 240, 235); color: black; border: 1px solid gray;"
      " padding: 3px 6px; }"));
  note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  note_->hide();
  noteTimer_.setSingleShot(true);
  noteTimer_.setInterval(kNoteTime);
  connect(&noteTimer_, &QTimer::timeout, note_, &QWidget::hide);
  // "%" is read from the key's text in keyPressEvent, so it works on every keyboard layout.
  showChanges_ = new QAction(QStringLiteral("전기·전년 대비 변화 보기\t%"), this);
  showChanges_->setCheckable(true);
  connect(showChanges_, &QAction::toggled, this, [this] {
    if (!readout_) return;
    {
      std::lock_guard lock(model_.seriesLock);
      RenderReadoutBox();
    }
    // Same point: only the box's size and place change.
    PlaceCrosshair(readout_->index, crosshairY_);
  });
  model_.Attach();
  model_.SetPainter([this](ChartModel&) {
    // A DrawChart from a pipeline brings new series: its view becomes the home view.
    if (!showingOwnView_) {
      homeView_ = model_.view;
      readout_.reset();
      dragging_ = false;
    }
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
  std::optional<ChartGeometry> painted;
  {
    QPainter painter(&image);
    QtCanvas canvas(painter);
    painted = PaintChart(model_, canvas, width(), height(), resources_);
    if (painted && decoration_) decoration_(painter, *painted, model_.series);
  }
  if (!painted) return false;
  frame_ = std::move(image);
  frameIsFresh_ = true;
  ++fullPaints_;
  // The overlays use the geometry the frame was drawn with.
  geometry_ = *painted;
  geometryValid_ = true;
  if (readout_) {
    readout_ = ReadoutAt(model_.series, model_.settings, geometry_, readout_->index);
    if (readout_) RenderReadoutBox();
  }
  emit framePainted();
  return true;
}

void CCHARTctl::paintEvent(QPaintEvent* event) {
  bool hasSeries = false;
  {
    std::lock_guard lock(model_.seriesLock);
    hasSeries = !model_.series.empty();
  }
  const QSize deviceSize = size() * devicePixelRatioF();
  const bool frameFits = !frame_.isNull() && frame_.size() == deviceSize;
  // Only the crosshair moved: the cached frame is still the chart.
  const bool overlayOnly = overlayOnly_ && frameFits;
  overlayOnly_ = false;
  // Every paint request repaints from the series, except right after DrawChart made the frame.
  if (hasSeries && !overlayOnly && !(frameIsFresh_ && frameFits)) PaintFrame();
  frameIsFresh_ = false;

  QPainter painter(this);
  if (hasSeries && !frame_.isNull()) {
    const double ratio = frame_.devicePixelRatio();
    // Clipped to one rectangle at a time: blending through the whole many-rectangle region of
    // a crosshair move costs several times as much.
    for (const QRect& r : event->region()) {
      painter.setClipRect(r);
      painter.drawImage(
          QRectF(r), frame_,
          QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio));
    }
    painter.setClipping(false);
    DrawOverlay(painter);
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

void CCHARTctl::RepaintFrame() {
  if (isVisible() && PaintFrame()) repaint();
}

void CCHARTctl::ShowView(ChartView view) {
  if (SameView(view, model_.view)) return;
  showingOwnView_ = true;
  model_.DrawChart(view);
  showingOwnView_ = false;
}

void CCHARTctl::ResetView() { ShowView(homeView_); }

void CCHARTctl::ShowCrosshairAt(int x, int y) {
  if (!geometryValid_) return;
  std::optional<PointIndex> index;
  {
    std::lock_guard lock(model_.seriesLock);
    index = SnapToPoint(geometry_, model_.series, x);
  }
  if (!index) {
    HideCrosshair();
    return;
  }
  PlaceCrosshair(*index, y);
}

std::optional<PointIndex> CCHARTctl::PointAt(int x) {
  if (!geometryValid_) return std::nullopt;
  std::lock_guard lock(model_.seriesLock);
  return SnapToPoint(geometry_, model_.series, x);
}

void CCHARTctl::ShowCrosshairAtPoint(PointIndex index) {
  bool visible = false;
  if (geometryValid_) {
    std::lock_guard lock(model_.seriesLock);
    visible = !model_.series.empty() && static_cast<int>(index) >= geometry_.firstIndex &&
              index < geometry_.VisibleEnd(model_.series.front());
  }
  if (visible) {
    PlaceCrosshair(index, -1);
  } else {
    HideCrosshair();
  }
}

void CCHARTctl::HideCrosshair() {
  if (!readout_) return;
  const QRegion before = OverlayRegion();
  readout_.reset();
  UpdateOverlay(before);
  emit crosshairMoved(-1);
}

void CCHARTctl::PlaceCrosshair(PointIndex index, int y) {
  const QRegion before = OverlayRegion();
  const bool sameIndex = readout_ && readout_->index == index;
  if (!sameIndex) {
    std::lock_guard lock(model_.seriesLock);
    readout_ = ReadoutAt(model_.series, model_.settings, geometry_, index);
    if (readout_) RenderReadoutBox();
  }
  crosshairY_ = y;
  if (!sameIndex) emit crosshairMoved(readout_ ? static_cast<int>(readout_->index) : -1);
  if (readout_) {
    const QSize box = readoutBox_.deviceIndependentSize().toSize();
    const CanvasRect place =
        ReadoutBoxPlace(readout_->x, y, box.width(), box.height(), width(), height(), kBoxOffset);
    boxRect_ = QRect(place.left, place.top, place.width, place.height);
  }
  UpdateOverlay(before);
}

QRegion CCHARTctl::OverlayRegion() const {
  if (!readout_) return {};
  QRegion region(readout_->x - 1, 0, 3, geometry_.plotBottom + 1);
  region += QRect(0, crosshairY_ - 1, geometry_.plotRight + 1, 3);
  region += boxRect_;
  return region;
}

void CCHARTctl::UpdateOverlay(const QRegion& before) {
  const QRegion dirty = before + OverlayRegion();
  if (dirty.isEmpty()) return;
  overlayOnly_ = true;
  update(dirty);
}

void CCHARTctl::RenderReadoutBox() {
  struct Row {
    QString name, value;
    QColor color;
  };
  std::vector<Row> rows;
  const QColor black(0, 0, 0);
  if (readout_->candle) {
    static const char* const kNames[] = {"시가", "고가", "저가", "종가"};
    for (int i = 0; i < 4; ++i) {
      rows.push_back({QString::fromUtf8(kNames[i]),
                      QString::fromStdString(FormatReadoutValue((*readout_->candle)[i])), black});
    }
  }
  for (const ReadoutValue& line : readout_->lines) {
    rows.push_back({QString::fromStdString(line.name),
                    line.value ? QString::fromStdString(FormatReadoutValue(*line.value)) : "-",
                    ToQColor(line.color)});
  }
  if (showChanges_->isChecked() && readout_->candle) {
    const ChangeCaptions captions = ChangeCaptionsFor(model_.settings.pointPeriod);
    for (const auto& [caption, change] : {std::pair{captions.previous, readout_->changes.previous},
                                          std::pair{captions.yearAgo, readout_->changes.yearAgo}}) {
      if (caption.empty()) continue;
      // Rises red and falls blue, as the candles.
      const QColor color = !change || *change == 0.0 ? black
                           : *change > 0.0           ? QColor(255, 0, 0)
                                                     : QColor(0, 0, 255);
      rows.push_back({QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                      QString::fromStdString(FormatChange(change)), color});
    }
  }

  const QFont& font = readoutFont_;
  const QFont& bold = readoutBoldFont_;
  const QFontMetrics metrics(font), boldMetrics(bold);
  const QString date =
      readout_->date.empty() ? QStringLiteral("-") : QString::fromStdString(readout_->date);
  int nameWidth = 0, valueWidth = 0;
  for (const Row& row : rows) {
    nameWidth = std::max(nameWidth, metrics.horizontalAdvance(row.name));
    valueWidth = std::max(valueWidth, metrics.horizontalAdvance(row.value));
  }
  const int lineHeight = metrics.height();
  const int innerWidth =
      std::max(boldMetrics.horizontalAdvance(date), nameWidth + kBoxColumnGap + valueWidth);
  const QSize size(
      innerWidth + 2 * kBoxPadding,
      boldMetrics.height() + static_cast<int>(rows.size()) * lineHeight + 2 * kBoxPadding);

  const double ratio = devicePixelRatioF();
  readoutBox_ = QImage(size * ratio, QImage::Format_ARGB32_Premultiplied);
  readoutBox_.setDevicePixelRatio(ratio);
  readoutBox_.fill(Qt::transparent);
  QPainter p(&readoutBox_);
  p.setPen(kBoxBorderColor);
  p.setBrush(kBoxFill);
  p.drawRect(QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0));
  p.setFont(bold);
  p.setPen(black);
  p.drawText(QPoint(kBoxPadding, kBoxPadding + boldMetrics.ascent()), date);
  p.setFont(font);
  int baseline = kBoxPadding + boldMetrics.height() + metrics.ascent();
  for (const Row& row : rows) {
    p.setPen(row.color);
    p.drawText(QPoint(kBoxPadding, baseline), row.name);
    p.drawText(QPoint(size.width() - kBoxPadding - metrics.horizontalAdvance(row.value), baseline),
               row.value);
    baseline += lineHeight;
  }
}

void CCHARTctl::DrawOverlay(QPainter& painter) const {
  if (!readout_) return;
  // One-pixel rectangles: a translucent pen line costs ten times as much on a large widget.
  painter.fillRect(QRect(readout_->x, 0, 1, geometry_.plotBottom + 1), kCrosshairColor);
  if (crosshairY_ >= 0 && crosshairY_ <= geometry_.plotBottom) {
    painter.fillRect(QRect(0, crosshairY_, geometry_.plotRight + 1, 1), kCrosshairColor);
  }
  painter.setClipRect(boxRect_);
  painter.drawImage(boxRect_, readoutBox_);
  painter.setClipping(false);
}

void CCHARTctl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (dragging_ && geometryValid_ && geometry_.step > 0.0) {
    // Dragging right brings earlier points into view.
    const int shift = -static_cast<int>(std::lround((at.x() - dragStartX_) / geometry_.step));
    if (shift != dragShift_) {
      dragShift_ = shift;
      int available = 0;
      {
        std::lock_guard lock(model_.seriesLock);
        available = AvailablePoints(model_.series, homeView_);
      }
      if (available > 0) ShowView(PanView(dragStartView_, available, shift));
    }
  }
  ShowCrosshairAt(at.x(), at.y());
  QWidget::mouseMoveEvent(event);
}

void CCHARTctl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && event->modifiers() == Qt::ShiftModifier) {
    ShowCrosshairAt(event->position().toPoint().x(), event->position().toPoint().y());
    std::int32_t date = 0;
    if (readout_) {
      std::lock_guard lock(model_.seriesLock);
      const auto i = static_cast<std::size_t>(readout_->index);
      if (!model_.series.empty() && i < model_.series.front().points.size())
        date = model_.series.front().points[i].date;
    }
    if (date > 0) emit monthPicked(date);
  } else if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragStartX_ = event->position().toPoint().x();
    dragShift_ = 0;
    dragStartView_ = model_.view;
  }
  QWidget::mousePressEvent(event);
}

void CCHARTctl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void CCHARTctl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = false;
    ResetView();
    const QPoint at = event->position().toPoint();
    ShowCrosshairAt(at.x(), at.y());
  }
  QWidget::mouseDoubleClickEvent(event);
}

void CCHARTctl::wheelEvent(QWheelEvent* event) {
  if (!geometryValid_) return QWidget::wheelEvent(event);
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / kWheelNotch;
  event->accept();
  if (notches == 0) return;
  wheelRemainder_ -= notches * kWheelNotch;
  const QPoint at = event->position().toPoint();
  int available = 0;
  {
    std::lock_guard lock(model_.seriesLock);
    available = AvailablePoints(model_.series, homeView_);
  }
  if (available == 0) return;
  // Turning the wheel away from the user zooms in.
  ShowView(ZoomView(model_.view, available, ViewPosAt(geometry_, at.x()),
                    std::pow(kZoomPerNotch, notches)));
  ShowCrosshairAt(at.x(), at.y());
}

void CCHARTctl::StepCrosshair(int delta) {
  if (!geometryValid_) return;
  int available = 0, visibleEnd = 0;
  {
    std::lock_guard lock(model_.seriesLock);
    if (model_.series.empty()) return;
    available = AvailablePoints(model_.series, homeView_);
    visibleEnd = static_cast<int>(geometry_.VisibleEnd(model_.series.front()));
  }
  if (visibleEnd <= geometry_.firstIndex) return;
  if (!readout_) {
    PlaceCrosshair(PointIndex{visibleEnd - 1},
                   (geometry_.mainPane.top + geometry_.mainPane.bottom) / 2);
    return;
  }
  const int target = static_cast<int>(readout_->index) + delta;
  if (target < 0 || target >= available) return;
  // Stepping past either edge moves the window along by one point.
  if (target < geometry_.firstIndex || target >= visibleEnd) {
    ShowView(PanView(model_.view, available, delta));
  }
  PlaceCrosshair(PointIndex{target}, crosshairY_);
}

void CCHARTctl::keyPressEvent(QKeyEvent* event) {
  const bool control = event->modifiers() == Qt::ControlModifier;
  if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
    StepCrosshair(event->key() == Qt::Key_Left ? -1 : 1);
  } else if (event->key() == Qt::Key_Escape && readout_) {
    HideCrosshair();
  } else if (event->key() == Qt::Key_Home) {
    ResetView();
  } else if (event->modifiers() == Qt::NoModifier &&
             (event->key() == Qt::Key_1 || event->key() == Qt::Key_3 || event->key() == Qt::Key_5 ||
              event->key() == Qt::Key_0 || event->key() == Qt::Key_A)) {
    // 0 is ten years; A every point there is.
    const int key = event->key();
    ShowRecentYears(key == Qt::Key_A ? 0 : key == Qt::Key_0 ? 10 : key - Qt::Key_0);
  } else if (event->matches(QKeySequence::Save)) {
    SaveWithDialog();
  } else if (event->matches(QKeySequence::Copy)) {
    ShowNote(CopyImage() ? QStringLiteral("차트 그림을 클립보드에 복사했습니다.")
                         : QStringLiteral("차트 그림을 복사하지 못했습니다."));
  } else if (event->text() == QStringLiteral("%")) {
    showChanges_->toggle();
  } else if (control && event->key() == Qt::Key_E) {
    const QString path = ExportCsv();
    ShowNote(path.isEmpty() ? QStringLiteral("CSV를 저장하지 못했습니다: ") + exportFolder_
                            : QStringLiteral("CSV 저장: ") + QDir::toNativeSeparators(path));
  } else {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
}

void CCHARTctl::ShowRecentYears(int years) {
  ChartView view;
  {
    std::lock_guard lock(model_.seriesLock);
    if (model_.series.empty()) return;
    view = RecentYearsView(model_.series, homeView_, years);
  }
  ShowView(view);
}

void CCHARTctl::leaveEvent(QEvent* event) {
  HideCrosshair();
  QWidget::leaveEvent(event);
}

bool CCHARTctl::SaveImage(const QString& path) {
  bool ok = false;
  if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    ok = RenderChartSvg(model_, width(), height(), resources_, path.toStdString());
  } else {
    ok = SavePng(frame_, path.toStdString());
  }
  emit exported(path, ok);
  return ok;
}

bool CCHARTctl::CopyImage() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (frame_.isNull() || clipboard == nullptr) return false;
  // PNG is what other programs ask for first; it comes from the same encoder as a saved file,
  // and the picture itself stays on offer for the formats Qt converts to.
  const std::string png = EncodePng(frame_);
  if (png.empty()) return false;
  auto* data = new QMimeData;
  data->setImageData(frame_);
  data->setData(QStringLiteral("image/png"),
                QByteArray(png.data(), static_cast<qsizetype>(png.size())));
  clipboard->setMimeData(data);
  return true;
}

QString CCHARTctl::ExportCsv() {
  std::string csv, name;
  {
    std::lock_guard lock(model_.seriesLock);
    if (model_.series.empty() || model_.series.front().points.empty()) return {};
    csv = ChartCsv(model_.series, model_.settings, model_.view);
    name = ExportFileName(model_.series, model_.settings, model_.view, exportNaming_, "csv");
  }
  const QDir folder(exportFolder_);
  QString path = folder.filePath(QString::fromStdString(name));
  bool ok = false;
  if (QDir().mkpath(exportFolder_)) {
    // NewOnly: an existing file is never replaced, not even one made since the name was chosen.
    for (int n = 1; n <= kMaxNameVariants && !ok; ++n) {
      path = folder.filePath(QString::fromStdString(NumberedFileName(name, n)));
      QFile file(path);
      if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (file.exists()) continue;
        break;
      }
      ok = file.write(csv.data(), static_cast<qint64>(csv.size())) ==
               static_cast<qint64>(csv.size()) &&
           file.flush();
      if (!ok) file.remove();
    }
  }
  emit exported(path, ok);
  return ok ? path : QString();
}

QString CCHARTctl::NoteText() const { return note_->isVisible() ? note_->text() : QString(); }

void CCHARTctl::ShowNote(const QString& text) {
  note_->setText(text);
  note_->setMaximumWidth(std::max(width() - 8, 0));
  note_->adjustSize();
  note_->move(4, std::max(height() - note_->height() - 4, 0));
  note_->show();
  note_->raise();
  noteTimer_.start();
}

void CCHARTctl::SaveWithDialog() {
  QDir().mkpath(exportFolder_);
  std::string name;
  {
    std::lock_guard lock(model_.seriesLock);
    name = ExportFileName(model_.series, model_.settings, model_.view, exportNaming_, "png");
  }
  const QString png = QStringLiteral("PNG 그림 (*.png)");
  const QString svg = QStringLiteral("SVG 그림 (*.svg)");
  QString filter = png;
  QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("차트 저장"), QDir(exportFolder_).filePath(QString::fromStdString(name)),
      png + QStringLiteral(";;") + svg, &filter);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += filter == svg ? ".svg" : ".png";
  ShowNote(
      (SaveImage(path) ? QStringLiteral("그림 저장: ") : QStringLiteral("저장하지 못했습니다: ")) +
      QDir::toNativeSeparators(path));
}

}  // namespace orvane
