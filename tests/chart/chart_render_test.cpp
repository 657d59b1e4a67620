#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "chart/qt/cchart_ctl.h"
#include "chart/qt/chart_render.h"
#include "chart/qt/png_encoder.h"
#include "chart/qt/qt_canvas.h"
#include "qt_app.h"
#include "sample_charts.h"

namespace orvane {
namespace {

// Fraction of pixels that are not white.
double InkShare(const QImage& image) {
  long long ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  return static_cast<double>(ink) / (static_cast<double>(image.width()) * image.height());
}

std::string OutPath(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(ORVANE_BINARY_DIR) / "chart_render";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

class ChartRender : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureQApplication(); }
};

// Pixels whose colours differ by more than a quarter of the range in any channel.
int DifferentPixels(const QImage& a, const QImage& b) {
  int differ = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      differ += std::abs(qRed(p) - qRed(q)) > 64 || std::abs(qGreen(p) - qGreen(q)) > 64 ||
                std::abs(qBlue(p) - qBlue(q)) > 64;
    }
  }
  return differ;
}

QImage WhiteImage() {
  QImage image(300, 200, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  return image;
}

TEST_F(ChartRender, FastStrokesLookLikeQtsOwnStrokes) {
  std::vector<CanvasPoint> zigzag;
  for (int i = 0; i < 120; ++i)
    zigzag.push_back({10.0 + 2.3 * i, 100.0 + 60.0 * std::sin(i * 0.4)});
  for (int width : {1, 2, 4}) {
    SCOPED_TRACE(width);
    Pen pen;
    pen.color = Rgb(0, 0, 0);
    pen.width = width;
    pen.cap = PenCap::Round;
    QImage ours = WhiteImage();
    {
      QPainter painter(&ours);
      QtCanvas canvas(painter);
      canvas.Polyline(zigzag, pen);
    }
    QImage qt = WhiteImage();
    {
      QPainter painter(&qt);
      painter.setRenderHint(QPainter::Antialiasing);
      QPen q(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
      painter.setPen(q);
      QPolygonF poly;
      const double o = width % 2 == 1 ? 0.5 : 0.0;
      for (const CanvasPoint& p : zigzag) poly << QPointF(p.x + o, p.y + o);
      painter.drawPolyline(poly);
    }
    const double ink = InkShare(qt) * 300 * 200;
    EXPECT_LT(DifferentPixels(ours, qt), ink * 0.025);
  }

  // Dots on whole pixels are copies of one drawn dot; they match a dot drawn in place, also
  // where the painter is moved off the pixel grid.
  for (double shift : {0.0, 0.5}) {
    SCOPED_TRACE(shift);
    Pen dot;
    dot.color = Rgb(200, 0, 0);
    dot.width = 5;
    dot.cap = PenCap::Round;
    QImage ours = WhiteImage();
    QImage qt = WhiteImage();
    {
      QPainter painter(&ours);
      painter.translate(shift, 0);
      QtCanvas canvas(painter);
      for (int i = 0; i < 10; ++i) canvas.Line({20.0 + 25 * i, 50}, {20.0 + 25 * i, 50}, dot);
    }
    {
      QPainter painter(&qt);
      painter.translate(shift, 0);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setPen(Qt::NoPen);
      painter.setBrush(QColor(200, 0, 0));
      for (int i = 0; i < 10; ++i) painter.drawEllipse(QPointF(20.5 + 25 * i, 50.5), 2.5, 2.5);
    }
    EXPECT_EQ(DifferentPixels(ours, qt), 0);
    EXPECT_GT(InkShare(ours), 0.0);
  }

  // A band outlined and filled in one colour, its fill rasterised without anti-aliasing under
  // the outline, matches Qt's anti-aliased path; also where its edges cross.
  for (double crossing : {0.0, 1.0}) {
    SCOPED_TRACE(crossing);
    std::vector<CanvasPoint> band;
    for (int i = 0; i < 120; ++i) band.push_back({10.0 + 2.3 * i, 80.0 + 40.0 * std::sin(i * 0.1)});
    for (int i = 119; i >= 0; --i)
      band.push_back({10.0 + 2.3 * i, 120.0 - crossing * 80.0 * std::sin(i * 0.05)});
    band.push_back(band.front());
    const Pen pen{Rgb(0, 160, 220), 1, PenStyle::Solid, PenCap::Round};
    QImage ours = WhiteImage();
    {
      QPainter painter(&ours);
      QtCanvas canvas(painter);
      canvas.Path(band, pen, pen.color);
    }
    QImage qt = WhiteImage();
    {
      QPainter painter(&qt);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setPen(QPen(QColor(0, 160, 220), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      painter.setBrush(QColor(0, 160, 220));
      QPainterPath path(QPointF(band[0].x + 0.5, band[0].y + 0.5));
      for (const CanvasPoint& p : band) path.lineTo(p.x + 0.5, p.y + 0.5);
      path.closeSubpath();
      painter.drawPath(path);
    }
    const double ink = InkShare(qt) * 300 * 200;
    EXPECT_GT(ink, 2000.0);
    EXPECT_LT(DifferentPixels(ours, qt), ink * 0.005);
    EXPECT_NEAR(InkShare(ours) * 300 * 200, ink, ink * 0.01);
  }
}

TEST_F(ChartRender, MonthlyChartRendersToPngAndSvg) {
  ChartModel chart;
  testing::FillMonthlyChart(chart, 600);
  const QImage image = RenderChartImage(chart, RenderOptions{});
  ASSERT_EQ(image.size(), QSize(1900, 980));
  EXPECT_GT(InkShare(image), 0.05);

  const std::string png = OutPath("monthly.png");
  ASSERT_TRUE(RenderChartPng(chart, RenderOptions{}, png));
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(1900, 980));
  const std::string svg = OutPath("monthly.svg");
  ASSERT_TRUE(RenderChartSvg(chart, RenderOptions{}, svg));
  EXPECT_GT(std::filesystem::file_size(svg), 10000u);
}

TEST_F(ChartRender, PngKeepsEveryPixelAndStaysAsSmallAsQtsWriter) {
  ChartModel chart;
  testing::FillMonthlyChart(chart, 600);
  const QImage image = RenderChartImage(chart, RenderOptions{});
  // A picture with transparency keeps its alpha channel, in colours that are not premultiplied.
  QImage translucent(64, 48, QImage::Format_ARGB32_Premultiplied);
  translucent.fill(Qt::transparent);
  {
    QPainter painter(&translucent);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(200, 40, 90, 120));
    painter.drawEllipse(QRectF(4.5, 3.5, 50, 40));
  }
  for (const QImage& picture : {image, translucent}) {
    const std::string png = EncodePng(picture);
    const QImage decoded = QImage::fromData(
        QByteArray::fromRawData(png.data(), static_cast<qsizetype>(png.size())), "PNG");
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32),
              picture.convertToFormat(QImage::Format_ARGB32));
    QByteArray qts;
    QBuffer buffer(&qts);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
    EXPECT_LE(static_cast<double>(png.size()), 1.5 * static_cast<double>(qts.size()));
  }
  EXPECT_TRUE(EncodePng(QImage()).empty());
}

// Rows are filtered four pixels at a time with the last few one by one, and a large picture is
// deflated in two bands whose streams and checksums are joined: any slip shows in the pixels
// (the decoder checks the stream's checksum too). A translucent pixel in the second band alone
// still turns the whole picture to RGBA.
TEST_F(ChartRender, PngKeepsEveryPixelAtAnyWidthAndAcrossBands) {
  unsigned seed = 7;
  auto noise = [&seed](QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
      for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, seed = seed * 1103515245 + 12345);
    }
    return image;
  };
  std::vector<QImage> pictures;
  for (int width = 1; width <= 9; ++width) pictures.push_back(noise(QSize(width, 3)));
  pictures.push_back(noise(QSize(701, 1000)));  // two bands of about a megabyte each
  QImage translucent = pictures.back().convertToFormat(QImage::Format_ARGB32);
  translucent.setPixelColor(350, 990, QColor(10, 20, 30, 40));
  pictures.push_back(translucent);
  for (const QImage& picture : pictures) {
    const std::string png = EncodePng(picture);
    const QImage decoded = QImage::fromData(
        QByteArray::fromRawData(png.data(), static_cast<qsizetype>(png.size())), "PNG");
    EXPECT_EQ(decoded.hasAlphaChannel(), picture.hasAlphaChannel()) << picture.width();
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32),
              picture.convertToFormat(QImage::Format_ARGB32))
        << picture.width() << "x" << picture.height();
  }
}

// A large picture lives in a mapping of its own until its last copy goes; a small one is an
// ordinary image. Both start white, and a copy written to parts from the original.
TEST_F(ChartRender, NewPicturesAreWhiteAndALargeOneOutlivesItsFirstHandle) {
  const QRgb white = qRgb(255, 255, 255);
  QImage kept;
  {
    QImage large = NewPicture(QSize(1024, 768));
    ASSERT_EQ(large.size(), QSize(1024, 768));
    EXPECT_EQ(large.pixel(0, 0), white);
    EXPECT_EQ(large.pixel(1023, 767), white);
    kept = large;
    large.setPixel(5, 5, qRgb(1, 2, 3));
  }
  EXPECT_EQ(kept.pixel(5, 5), white);
  kept.setPixel(1023, 767, qRgb(4, 5, 6));
  EXPECT_EQ(kept.pixel(1023, 767), qRgb(4, 5, 6));
  const QImage small = NewPicture(QSize(3, 2));
  EXPECT_EQ(small.size(), QSize(3, 2));
  EXPECT_EQ(small.pixel(2, 1), white);
  EXPECT_TRUE(NewPicture(QSize(0, 5)).isNull());
}

TEST_F(ChartRender, AxisLinesStaySharpAtDoublePixelRatio) {
  ChartModel chart;
  testing::FillMonthlyChart(chart, 120);
  RenderOptions options;
  options.width = 400;
  options.height = 300;
  options.devicePixelRatio = 2.0;
  const QImage image = RenderChartImage(chart, options);
  ASSERT_EQ(image.size(), QSize(800, 600));
  // The right axis at R = 380 covers device columns 760 and 761 in pure black, nothing beside.
  const int row = 200;
  EXPECT_EQ(image.pixelColor(760, row), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(761, row), QColor(Qt::black));
  EXPECT_NE(image.pixelColor(762, row), QColor(Qt::black));
  EXPECT_NE(image.pixelColor(759, row), QColor(Qt::black));
}

TEST_F(ChartRender, KoreanFacesResolveToAFontWithHangulAndHanja) {
  const QFont font = ChartQFont(FontSpec{std::string(kKoreanFace), 25, 800, 0});
  const QRawFont raw = QRawFont::fromFont(font);
  ASSERT_TRUE(raw.isValid());
  for (const QChar c : QStringLiteral("맑은고딕一目均衡票轉換線")) {
    EXPECT_TRUE(raw.supportsCharacter(c))
        << QString(c).toStdString() << " in " << raw.familyName().toStdString();
  }
  EXPECT_GE(QFontInfo(font).weight(), 700);
  EXPECT_EQ(ChartQFont(DialogFont8()).pixelSize(), 11);
  EXPECT_EQ(ChartQFont(DialogFont10()).pixelSize(), 13);
}

TEST_F(ChartRender, WidgetShowsEmptyFrameThenTheDrawnChart) {
  CCHARTctl control;
  control.resize(640, 400);
  EXPECT_EQ(control.Model().workerState, ChartModel::kEmptyFrame);
  const QImage empty = control.grab().toImage();
  EXPECT_EQ(control.Model().workerState, ChartModel::kIdle);
  EXPECT_GT(InkShare(empty), 0.0);
  EXPECT_TRUE(control.Frame().isNull());

  testing::FillMonthlyChart(control.Model(), 60);
  EXPECT_TRUE(control.DrawChart(ChartView{59, 60, 0}));
  ASSERT_FALSE(control.Frame().isNull());
  EXPECT_EQ(control.Frame().size(), QSize(640, 400) * control.devicePixelRatioF());
  EXPECT_GT(InkShare(control.Frame()), InkShare(empty));
  EXPECT_EQ(control.Model().workerState, ChartModel::kIdle);

  // An empty series keeps the previous picture.
  const QImage before = control.Frame();
  control.Model().series.front().points.clear();
  EXPECT_FALSE(control.DrawChart(ChartView{59, 60, 0}));
  EXPECT_EQ(control.Frame(), before);
}

}  // namespace
}  // namespace orvane
