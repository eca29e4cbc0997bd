// The per-column envelope that the charts draw instead of every point.
#include <QImage>
#include <QtTest>
#include <cmath>
#include <random>

#include "speedtest/ui/envelope.h"

using dt::ui::Envelope;
using dt::ui::MakeEnvelope;

namespace {

// The pixels a polyline passes through, every point snapped to the centre
// of its pixel column and row as a chart of `columns` pixels shows it. Each
// segment lights every pixel along it, both ends included.
QImage Raster(const QVector<QPointF>& pts, double x0, double x1, double y0, double y1, int columns,
              int rows) {
  QImage img(columns, rows, QImage::Format_RGB32);
  img.fill(Qt::white);
  const double sx = x1 > x0 ? columns / (x1 - x0) : 0;
  const double sy = (rows - 1) / (y1 - y0);
  auto pixel = [&](const QPointF& q) {
    const int c = std::min(columns - 1, static_cast<int>((q.x() - x0) * sx));
    const int r = static_cast<int>(std::lround((q.y() - y0) * sy));
    return QPoint(c, rows - 1 - r);
  };
  for (int i = 0; i < pts.size(); ++i) {
    const QPoint a = pixel(pts[i]);
    const QPoint b = i + 1 < pts.size() ? pixel(pts[i + 1]) : a;
    const int steps = std::max(std::abs(b.x() - a.x()), std::abs(b.y() - a.y()));
    for (int k = 0; k <= steps; ++k) {
      const double t = steps ? static_cast<double>(k) / steps : 0;
      img.setPixel(static_cast<int>(std::lround(a.x() + (b.x() - a.x()) * t)),
                   static_cast<int>(std::lround(a.y() + (b.y() - a.y()) * t)), qRgb(0, 0, 0));
    }
  }
  return img;
}

QVector<QPointF> RandomWalk(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> step(-1.0, 1.0);
  std::uniform_real_distribution<double> dx(0.0, 0.02);
  QVector<QPointF> pts;
  double x = 0, y = 100;
  for (int i = 0; i < n; ++i) {
    if (i % 3 != 0) x += dx(rng);  // equal X values happen too
    y += step(rng);
    if (i % 5000 == 0) y -= 60;  // sudden slow blocks
    pts.append(QPointF(x, y));
  }
  return pts;
}

Envelope Of(const QVector<QPointF>& pts, int columns) {
  return MakeEnvelope(
      static_cast<std::size_t>(pts.size()), [&](std::size_t i) { return pts[static_cast<int>(i)]; },
      columns);
}

}  // namespace

class EnvelopeTest : public QObject {
  Q_OBJECT

 private slots:
  void drawsTheSamePixelsAsEveryPoint() {
    for (unsigned seed : {1u, 2u, 3u}) {
      for (int columns : {7, 200, 613}) {
        const QVector<QPointF> pts = RandomWalk(60000, seed);
        const Envelope e = Of(pts, columns);
        QVERIFY(e.points.size() <= 4 * columns);
        QCOMPARE(e.xMin, pts.front().x());
        QCOMPARE(e.xMax, pts.back().x());
        double lo = 1e300, hi = -1e300;
        for (const QPointF& p : pts) {
          lo = std::min(lo, p.y());
          hi = std::max(hi, p.y());
        }
        QCOMPARE(e.yMin, lo);
        QCOMPARE(e.yMax, hi);
        const QImage all = Raster(pts, e.xMin, e.xMax, lo, hi, columns, 300);
        const QImage few = Raster(e.points, e.xMin, e.xMax, lo, hi, columns, 300);
        QVERIFY2(all == few, qPrintable(QString("seed %1, %2 columns").arg(seed).arg(columns)));
      }
    }
  }

  void keepsShortLinesWhole() {
    const QVector<QPointF> pts = {{0, 5}, {1, 7}, {2, 3}};
    QCOMPARE(Of(pts, 600).points, pts);
    const Envelope one = Of({QPointF(4, 9)}, 600);
    QCOMPARE(one.points.size(), 1);
    QCOMPARE(one.xMin, 4.0);
    QCOMPARE(one.yMax, 9.0);
    QVERIFY(Of({}, 600).empty());
  }

  void leavesOutPointsThatCannotBeDrawn() {
    const double nan = std::nan("");
    const double inf = INFINITY;
    const QVector<QPointF> pts = {{nan, 1}, {0, 5}, {1, inf}, {2, 3}, {3, nan}, {inf, 2}};
    const Envelope e = Of(pts, 600);
    QCOMPARE(e.points, (QVector<QPointF>{{0, 5}, {2, 3}}));
    QCOMPARE(e.xMax, 2.0);
    QVERIFY(Of({QPointF(nan, nan)}, 10).empty());
  }

  void sortsALineThatIsNotAscending() {
    QVector<QPointF> pts = RandomWalk(5000, 7);
    const Envelope sorted = Of(pts, 300);
    // Swap a few runs of points: the chart keeps X ascending all the same.
    std::mt19937 rng(3);
    QVector<QPointF> shuffled = pts;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    const Envelope e = Of(shuffled, 300);
    QCOMPARE(e.xMin, sorted.xMin);
    QCOMPARE(e.xMax, sorted.xMax);
    QCOMPARE(e.yMin, sorted.yMin);
    QCOMPARE(e.yMax, sorted.yMax);
    for (int i = 1; i < e.points.size(); ++i) QVERIFY(e.points[i].x() >= e.points[i - 1].x());
    const QImage a = Raster(sorted.points, e.xMin, e.xMax, e.yMin, e.yMax, 300, 200);
    const QImage b = Raster(e.points, e.xMin, e.xMax, e.yMin, e.yMax, 300, 200);
    // Points of equal X may come in another order; the columns' extremes agree.
    int differ = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) differ += a.pixel(x, y) != b.pixel(x, y);
    QVERIFY2(differ < a.width(), qPrintable(QString::number(differ)));
  }

  void aLineOfOneXIsOneColumn() {
    const QVector<QPointF> pts = {{5, 1}, {5, 9}, {5, 4}, {5, 2}};
    const Envelope e = Of(pts, 100);
    QCOMPARE(e.points, (QVector<QPointF>{{5, 1}, {5, 9}, {5, 2}}));
  }
};

QTEST_MAIN(EnvelopeTest)
#include "envelope_test.moc"
