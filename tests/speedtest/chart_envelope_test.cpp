// The per-column envelope that the charts draw instead of every point, and
// the scales of their axes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "speedtest/chart_axis.h"
#include "speedtest/chart_envelope.h"

namespace dt {
namespace {

using Points = std::vector<ChartPoint>;

// The pixels a polyline passes through, every point snapped to the centre
// of its pixel column and row as a chart of `columns` pixels shows it. Each
// segment lights every pixel along it, both ends included.
std::vector<bool> Raster(const Points& pts, double x0, double x1, double y0, double y1, int columns,
                         int rows) {
  std::vector<bool> lit(static_cast<std::size_t>(columns * rows));
  const double sx = x1 > x0 ? columns / (x1 - x0) : 0;
  const double sy = (rows - 1) / (y1 - y0);
  auto pixel = [&](const ChartPoint& q) {
    const int c = std::min(columns - 1, static_cast<int>((q.x - x0) * sx));
    const int r = static_cast<int>(std::lround((q.y - y0) * sy));
    return std::pair{c, rows - 1 - r};
  };
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const auto [ax, ay] = pixel(pts[i]);
    const auto [bx, by] = i + 1 < pts.size() ? pixel(pts[i + 1]) : pixel(pts[i]);
    const int steps = std::max(std::abs(bx - ax), std::abs(by - ay));
    for (int k = 0; k <= steps; ++k) {
      const double t = steps ? static_cast<double>(k) / steps : 0;
      const long x = std::lround(ax + (bx - ax) * t), y = std::lround(ay + (by - ay) * t);
      lit[static_cast<std::size_t>(y * columns + x)] = true;
    }
  }
  return lit;
}

Points RandomWalk(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> step(-1.0, 1.0);
  std::uniform_real_distribution<double> dx(0.0, 0.02);
  Points pts;
  double x = 0, y = 100;
  for (int i = 0; i < n; ++i) {
    if (i % 3 != 0) x += dx(rng);  // equal X values happen too
    y += step(rng);
    if (i % 5000 == 0) y -= 60;  // sudden slow blocks
    pts.push_back({x, y});
  }
  return pts;
}

Envelope Of(const Points& pts, int columns) {
  return MakeEnvelope(
      pts.size(), [&](std::size_t i) { return pts[i]; }, columns);
}

TEST(ChartEnvelope, DrawsTheSamePixelsAsEveryPoint) {
  for (unsigned seed : {1u, 2u, 3u}) {
    for (int columns : {7, 200, 613}) {
      const Points pts = RandomWalk(60000, seed);
      const Envelope e = Of(pts, columns);
      EXPECT_LE(e.points.size(), 4u * columns);
      EXPECT_EQ(e.xMin, pts.front().x);
      EXPECT_EQ(e.xMax, pts.back().x);
      const auto [lo, hi] = std::minmax_element(
          pts.begin(), pts.end(), [](const auto& a, const auto& b) { return a.y < b.y; });
      EXPECT_EQ(e.yMin, lo->y);
      EXPECT_EQ(e.yMax, hi->y);
      EXPECT_TRUE(Raster(pts, e.xMin, e.xMax, lo->y, hi->y, columns, 300) ==
                  Raster(e.points, e.xMin, e.xMax, lo->y, hi->y, columns, 300))
          << "seed " << seed << ", " << columns << " columns";
    }
  }
}

TEST(ChartEnvelope, ShortLinesOneXAndPointsThatCannotBeDrawn) {
  const Points three = {{0, 5}, {1, 7}, {2, 3}};
  EXPECT_EQ(Of(three, 600).points, three);
  const Envelope one = Of({{4, 9}}, 600);
  EXPECT_EQ(one.points.size(), 1u);
  EXPECT_EQ(one.xMin, 4.0);
  EXPECT_EQ(one.yMax, 9.0);
  EXPECT_TRUE(Of({}, 600).empty());

  EXPECT_EQ(Of({{5, 1}, {5, 9}, {5, 4}, {5, 2}}, 100).points, (Points{{5, 1}, {5, 9}, {5, 2}}));

  const double nan = std::nan("");
  const double inf = INFINITY;
  const Envelope e = Of({{nan, 1}, {0, 5}, {1, inf}, {2, 3}, {3, nan}, {inf, 2}}, 600);
  EXPECT_EQ(e.points, (Points{{0, 5}, {2, 3}}));
  EXPECT_EQ(e.xMax, 2.0);
  EXPECT_TRUE(Of({{nan, nan}}, 10).empty());
}

TEST(ChartEnvelope, SortsALineThatIsNotAscending) {
  const Points pts = RandomWalk(5000, 7);
  const Envelope sorted = Of(pts, 300);
  Points shuffled = pts;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
  const Envelope e = Of(shuffled, 300);
  EXPECT_EQ(e.xMin, sorted.xMin);
  EXPECT_EQ(e.xMax, sorted.xMax);
  EXPECT_EQ(e.yMin, sorted.yMin);
  EXPECT_EQ(e.yMax, sorted.yMax);
  EXPECT_TRUE(std::is_sorted(e.points.begin(), e.points.end(),
                             [](const auto& a, const auto& b) { return a.x < b.x; }));
  const auto a = Raster(sorted.points, e.xMin, e.xMax, e.yMin, e.yMax, 300, 200);
  const auto b = Raster(e.points, e.xMin, e.xMax, e.yMin, e.yMax, 300, 200);
  // Points of equal X may come in another order; the columns' extremes agree.
  int differ = 0;
  for (std::size_t i = 0; i < a.size(); ++i) differ += a[i] != b[i];
  EXPECT_LT(differ, 300);
}

TEST(ChartAxis, RoundsOutToNiceStepsWithTheDecimalsTheyNeed) {
  // 0..100 per cent in five ticks of 20.
  AxisScale s = NiceScale(0.3, 99.7, 5);
  EXPECT_EQ(s.min, 0);
  EXPECT_EQ(s.max, 100);
  EXPECT_EQ(s.ticks, 6);
  EXPECT_EQ(s.decimals, 0);
  // The speed of a run: 48 to 93 MB/s in steps of ten million.
  s = NiceScale(48.2e6, 92.9e6, 5);
  EXPECT_EQ(s.min, 40e6);
  EXPECT_EQ(s.max, 100e6);
  EXPECT_EQ(s.ticks, 7);
  // The axis keeps its tick count: the next range aims at the last count.
  EXPECT_EQ(NiceScale(48.2e6, 92.9e6, s.ticks).ticks, 7);
  // Small steps carry their decimals.
  s = NiceScale(0.0123, 0.0178, 5);
  EXPECT_DOUBLE_EQ(s.min, 0.012);
  EXPECT_DOUBLE_EQ(s.max, 0.018);
  EXPECT_EQ(s.ticks, 4);
  EXPECT_EQ(s.decimals, 3);
  // One value: a range of one on either side.
  s = NiceScale(7, 7, 5);
  EXPECT_EQ(s.min, 6);
  EXPECT_EQ(s.max, 8);
  EXPECT_EQ(s.decimals, 1);
}

}  // namespace
}  // namespace dt
