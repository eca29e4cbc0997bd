// Reduction of a long polyline to what a chart of a given width can show.
//
// For every pixel column the first, the lowest, the highest and the last
// point of the column are kept, in their order along the line. Drawing those
// at most four points per column lights the same pixels as drawing every
// point, so a table of millions of records draws as fast as one of a few
// thousand. The points are taken in ascending X; a table whose X values are
// not ascending is visited through a sorted index instead.
#pragma once

#include <QPointF>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace dt::ui {

struct Envelope {
  QVector<QPointF> points;
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  bool empty() const { return points.isEmpty(); }
};

namespace detail {

inline bool Finite(const QPointF& p) {
  return std::isfinite(p.x()) && std::isfinite(p.y());
}

// Walks the records in the order `at(k)` gives (k = 0 .. n-1) and keeps the
// extreme points of every column. Returns false, with `out` unusable, as soon
// as X falls back: that order is not ascending.
template <class At, class Get>
bool CollectColumns(std::size_t n, At at, Get get, int columns, Envelope* out) {
  // Non-finite values cannot be placed on an axis; they are left out.
  std::size_t k0 = 0;
  while (k0 < n && !Finite(get(at(k0)))) ++k0;
  std::size_t k1 = n;
  while (k1 > k0 && !Finite(get(at(k1 - 1)))) --k1;
  if (k0 == k1) return true;
  const double x0 = get(at(k0)).x();
  const double x1 = get(at(k1 - 1)).x();
  const double span = x1 - x0;
  const double scale = span > 0 ? columns / span : 0.0;
  const int last = columns - 1;

  out->xMin = x0;
  out->xMax = x1;
  out->yMin = std::numeric_limits<double>::infinity();
  out->yMax = -std::numeric_limits<double>::infinity();

  int cur = -1;
  // The column's first, lowest, highest and last point, and where they are.
  QPointF pts[4];
  std::size_t pos[4] = {0, 0, 0, 0};
  double prevX = x0;
  auto flush = [&] {
    int order[4] = {0, 1, 2, 3};
    std::sort(order, order + 4, [&](int a, int b) { return pos[a] < pos[b]; });
    std::size_t prev = static_cast<std::size_t>(-1);
    for (int j : order) {
      if (pos[j] == prev) continue;
      prev = pos[j];
      out->points.append(pts[j]);
    }
    out->yMin = std::min(out->yMin, pts[1].y());
    out->yMax = std::max(out->yMax, pts[2].y());
  };
  for (std::size_t k = k0; k < k1; ++k) {
    const QPointF p = get(at(k));
    if (!Finite(p)) continue;
    if (p.x() < prevX) return false;
    prevX = p.x();
    int c = static_cast<int>((p.x() - x0) * scale);
    if (c > last) c = last;
    if (c != cur) {
      if (cur >= 0) flush();
      cur = c;
      pts[0] = pts[1] = pts[2] = pts[3] = p;
      pos[0] = pos[1] = pos[2] = pos[3] = k;
      continue;
    }
    pts[3] = p;
    pos[3] = k;
    if (p.y() < pts[1].y()) {
      pts[1] = p;
      pos[1] = k;
    } else if (p.y() > pts[2].y()) {
      pts[2] = p;
      pos[2] = k;
    }
  }
  if (cur >= 0) flush();
  return true;
}

}  // namespace detail

// The envelope of the n records whose points `get(i)` gives, for a chart
// `columns` pixels wide.
template <class Get>
Envelope MakeEnvelope(std::size_t n, Get get, int columns) {
  Envelope e;
  if (n == 0) return e;
  columns = std::max(columns, 1);
  // Records are appended in the order of the blocks, so X normally rises and
  // one pass over the table does.
  if (detail::CollectColumns(
          n, [](std::size_t k) { return k; }, get, columns, &e))
    return e;
  e = Envelope();
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::vector<double> xs(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double x = get(i).x();
    // NaN sorts last so that the order stays strict.
    xs[i] = std::isnan(x) ? std::numeric_limits<double>::infinity() : x;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return xs[a] < xs[b]; });
  detail::CollectColumns(
      n, [&](std::size_t k) { return order[k]; }, get, columns, &e);
  return e;
}

}  // namespace dt::ui
