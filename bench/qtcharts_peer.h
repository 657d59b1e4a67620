#pragma once

// The Qt Charts peer of the monthly chart: candles, six mean lines and volume bars in a QChart,
// drawn by its scene into an image. bench_render times the drawing; qtcharts_png is the peer as
// a whole process.

#include <QBarSeries>
#include <QBarSet>
#include <QCandlestickSeries>
#include <QCandlestickSet>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <array>
#include <span>

namespace orvane::bench {

inline constexpr int kPeerMeans = 6;

struct PeerMonth {
  double open, high, low, close, volume;
  std::array<double, kPeerMeans> means;
};

// Puts the chart of the months into the scene (which owns it), sized width x height.
inline void AddPeerChart(QGraphicsScene& scene, std::span<const PeerMonth> months, int width,
                         int height) {
  auto* chart = new QChart;
  chart->legend()->hide();
  auto* candles = new QCandlestickSeries;
  candles->setIncreasingColor(Qt::red);
  candles->setDecreasingColor(Qt::blue);
  auto* volumeSet = new QBarSet("volume");
  std::array<QLineSeries*, kPeerMeans> lines;
  for (QLineSeries*& line : lines) line = new QLineSeries;
  for (std::size_t i = 0; i < months.size(); ++i) {
    const PeerMonth& m = months[i];
    const auto x = static_cast<qreal>(i);
    candles->append(new QCandlestickSet(m.open, m.high, m.low, m.close, x));
    *volumeSet << m.volume;
    for (std::size_t k = 0; k < lines.size(); ++k) lines[k]->append(x, m.means[k]);
  }
  chart->addSeries(candles);
  for (QLineSeries* line : lines) chart->addSeries(line);
  auto* volume = new QBarSeries;
  volume->append(volumeSet);
  chart->addSeries(volume);
  chart->createDefaultAxes();
  scene.addItem(chart);
  chart->resize(width, height);
}

// Draws the scene, antialiased, over a white image.
inline void RenderPeerScene(QGraphicsScene& scene, QImage& image) {
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF all(0, 0, image.width(), image.height());
  scene.render(&painter, all, all);
}

}  // namespace orvane::bench
