// The Qt Charts peer of `orvane-chart --png` as a whole process: reads a prepared table (one
// month a line: open high low close volume and six means, blank-separated), builds candles, six
// mean lines and volume bars in a QChart, renders it into a QImage and saves it with Qt's PNG
// writer. scripts/bench-picture-peers runs it beside orvane-chart, gnuplot and matplotlib.
#include <QApplication>
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
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

constexpr int kMeans = 6;

struct Month {
  double open, high, low, close, volume;
  std::array<double, kMeans> means;
};

std::vector<Month> ReadTable(const char* path) {
  std::ifstream in(path);
  std::vector<Month> months;
  Month m{};
  while (in >> m.open >> m.high >> m.low >> m.close >> m.volume) {
    for (double& mean : m.means) in >> mean;
    months.push_back(m);
  }
  return months;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: qtcharts_png TABLE OUT.png [WIDTH HEIGHT]\n");
    return 2;
  }
  const int width = argc > 4 ? std::atoi(argv[3]) : 1900;
  const int height = argc > 4 ? std::atoi(argv[4]) : 980;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const std::vector<Month> months = ReadTable(argv[1]);

  auto* chart = new QChart;
  chart->legend()->hide();
  auto* candles = new QCandlestickSeries;
  candles->setIncreasingColor(Qt::red);
  candles->setDecreasingColor(Qt::blue);
  auto* volumeSet = new QBarSet("volume");
  std::array<QLineSeries*, kMeans> lines;
  for (QLineSeries*& line : lines) line = new QLineSeries;
  for (std::size_t i = 0; i < months.size(); ++i) {
    const Month& m = months[i];
    candles->append(new QCandlestickSet(m.open, m.high, m.low, m.close, static_cast<qreal>(i)));
    *volumeSet << m.volume;
    for (int k = 0; k < kMeans; ++k) lines[k]->append(static_cast<qreal>(i), m.means[k]);
  }
  chart->addSeries(candles);
  for (QLineSeries* line : lines) chart->addSeries(line);
  auto* volume = new QBarSeries;
  volume->append(volumeSet);
  chart->addSeries(volume);
  chart->createDefaultAxes();

  QGraphicsScene scene;
  scene.addItem(chart);
  chart->resize(width, height);
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(0, 0, width, height), QRectF(0, 0, width, height));
  }
  return image.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
