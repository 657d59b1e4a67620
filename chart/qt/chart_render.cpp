#include "chart/qt/chart_render.h"

#include <QPainter>
#include <QSvgGenerator>
#include <fstream>
#include <memory>

#include "chart/qt/png_encoder.h"
#include "chart/qt/qt_canvas.h"
#include "chart/recording_canvas.h"
#include "data/fresh_memory.h"

namespace orvane {
namespace {

ChartResources ResourcesFor(const RenderOptions& options) {
  ChartResources resources;
  resources.fonts = options.fonts;
  if (!options.backgroundImage.empty()) {
    resources.backgroundImage = LoadChartImage(options.backgroundImage);
  }
  return resources;
}

void PaintOrFrame(ChartModel& chart, Canvas& canvas, const RenderOptions& options,
                  const ChartResources& resources) {
  if (!PaintChart(chart, canvas, options.width, options.height, resources)) {
    PaintEmptyFrame(chart.settings, canvas, options.width, options.height);
  }
}

}  // namespace

QImage NewPicture(QSize size) {
  constexpr auto kFormat = QImage::Format_ARGB32_Premultiplied;
  constexpr std::size_t kLargeBytes = std::size_t{2} << 20;
  QImage image;
  if (size.width() > 0 && size.height() > 0 &&
      static_cast<std::size_t>(size.width()) * static_cast<std::size_t>(size.height()) * 4 >=
          kLargeBytes) {
    const qsizetype bytesPerLine = qsizetype{size.width()} * 4;
    const LargeBlock block = MapLargeBlock(static_cast<std::size_t>(bytesPerLine) *
                                           static_cast<std::size_t>(size.height()));
    if (block.data != nullptr) {
      auto* const held = new LargeBlock(block);
      image = QImage(
          static_cast<uchar*>(block.data), size.width(), size.height(), bytesPerLine, kFormat,
          [](void* info) {
            const std::unique_ptr<LargeBlock> gone(static_cast<LargeBlock*>(info));
            UnmapLargeBlock(*gone);
          },
          held);
      if (image.isNull()) {
        UnmapLargeBlock(block);
        delete held;
      }
    }
  }
  if (image.isNull()) {
    image = QImage(size, kFormat);
    if (image.isNull()) return image;
    MapForWriting(image.bits(), static_cast<std::size_t>(image.sizeInBytes()));
  }
  image.fill(Qt::white);
  return image;
}

QImage RenderChartImage(ChartModel& chart, const RenderOptions& options) {
  const double ratio = options.devicePixelRatio > 0 ? options.devicePixelRatio : 1.0;
  QImage image = NewPicture(QSize(options.width, options.height) * ratio);
  if (image.isNull()) return image;
  image.setDevicePixelRatio(ratio);
  QPainter painter(&image);
  QtCanvas canvas(painter);
  PaintOrFrame(chart, canvas, options, ResourcesFor(options));
  return image;
}

bool RenderChartPng(ChartModel& chart, const RenderOptions& options, const std::string& path) {
  return SavePng(RenderChartImage(chart, options), path);
}

bool RenderChartSvg(ChartModel& chart, const RenderOptions& options, const std::string& path) {
  return RenderChartSvg(chart, options.width, options.height, ResourcesFor(options), path);
}

bool RenderChartSvg(ChartModel& chart, int width, int height, const ChartResources& resources,
                    const std::string& path) {
  QSvgGenerator svg;
  svg.setFileName(QString::fromStdString(path));
  svg.setSize(QSize(width, height));
  svg.setViewBox(QRect(0, 0, width, height));
  svg.setTitle(QString::fromStdString(chart.settings.title));
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  {
    QtCanvas canvas(painter);
    if (!PaintChart(chart, canvas, width, height, resources)) {
      PaintEmptyFrame(chart.settings, canvas, width, height);
    }
  }
  return painter.end();
}

bool RenderChartOps(ChartModel& chart, const RenderOptions& options, const std::string& path) {
  RecordingCanvas canvas;
  PaintOrFrame(chart, canvas, options, ResourcesFor(options));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  canvas.WriteJsonLines(out);
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace orvane
