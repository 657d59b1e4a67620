// The Qt Charts peer of `orvane-chart --png` as a whole process: reads a prepared table (one
// month a line: open high low close volume and six means, blank-separated), builds candles, six
// mean lines and volume bars in a QChart, renders it into a QImage and saves it with Qt's PNG
// writer. scripts/bench-picture-peers runs it beside orvane-chart, gnuplot and matplotlib.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "bench/qtcharts_peer.h"

namespace {

std::vector<orvane::bench::PeerMonth> ReadTable(const char* path) {
  std::ifstream in(path);
  std::vector<orvane::bench::PeerMonth> months;
  orvane::bench::PeerMonth m{};
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
  QGraphicsScene scene;
  orvane::bench::AddPeerChart(scene, ReadTable(argv[1]), width, height);
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  orvane::bench::RenderPeerScene(scene, image);
  return image.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
