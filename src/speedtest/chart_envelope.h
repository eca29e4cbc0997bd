// Reduction of a long polyline to what a chart of a given width can show.
//
// For every pixel column the first, the lowest, the highest and the last
// point of the column are kept, in their order along the line. Drawing those
// at most four points per column lights the same pixels as drawing every
// point, so a table of millions of records draws as fast as one of a few
// thousand. The points are taken in ascending X; a table whose X values are
// not ascending is sorted first.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "speedtest/point_table.h"

namespace dt {

// Columns of the envelope of a chart on screen: at least as many as any
// ordinary screen shows, so that the curve stays exact when the window is
// enlarged before the next refresh.
inline constexpr int kMinScreenColumns = 2048;

struct ChartPoint {
  double x = 0;
  double y = 0;
  bool operator==(const ChartPoint&) const = default;
};

struct Envelope {
  std::vector<ChartPoint> points;
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  bool empty() const { return points.empty(); }
};

inline bool FinitePoint(const ChartPoint& p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// Builds an envelope from points fed in ascending X between x0 and x1 (the
// first and the last finite X of the line).
class EnvelopeBuilder {
 public:
  EnvelopeBuilder(double x0, double x1, int columns)
      : x0_(x0), prevX_(x0), last_(std::max(columns, 1) - 1) {
    const double span = x1 - x0;
    scale_ = span > 0 ? std::max(columns, 1) / span : 0.0;
    env_.xMin = x0;
    env_.xMax = x1;
    env_.yMin = std::numeric_limits<double>::infinity();
    env_.yMax = -std::numeric_limits<double>::infinity();
  }

  // Takes the next point; non-finite points are left out. False when X fell
  // back: the line is not ascending and the envelope is unusable.
  bool Add(const ChartPoint& p) {
    if (!FinitePoint(p)) return true;
    if (p.x < prevX_) return false;
    prevX_ = p.x;
    int c = static_cast<int>((p.x - x0_) * scale_);
    if (c > last_) c = last_;
    if (c != cur_) {
      if (cur_ >= 0) Flush();
      cur_ = c;
      pts_[0] = pts_[1] = pts_[2] = pts_[3] = p;
      pos_[0] = pos_[1] = pos_[2] = pos_[3] = k_++;
      return true;
    }
    pts_[3] = p;
    pos_[3] = k_;
    if (p.y < pts_[1].y) {
      pts_[1] = p;
      pos_[1] = k_;
    } else if (p.y > pts_[2].y) {
      pts_[2] = p;
      pos_[2] = k_;
    }
    ++k_;
    return true;
  }

  Envelope Finish() {
    if (cur_ >= 0) Flush();
    cur_ = -1;
    if (env_.points.empty()) return Envelope();
    return std::move(env_);
  }

 private:
  // Emits the column's first, lowest, highest and last point in line order.
  void Flush() {
    int order[4] = {0, 1, 2, 3};
    std::sort(order, order + 4, [&](int a, int b) { return pos_[a] < pos_[b]; });
    std::size_t prev = static_cast<std::size_t>(-1);
    for (int j : order) {
      if (pos_[j] == prev) continue;
      prev = pos_[j];
      env_.points.push_back(pts_[j]);
    }
    env_.yMin = std::min(env_.yMin, pts_[1].y);
    env_.yMax = std::max(env_.yMax, pts_[2].y);
  }

  Envelope env_;
  double x0_;
  double scale_;
  double prevX_;
  int last_;
  int cur_ = -1;
  std::size_t k_ = 0;
  ChartPoint pts_[4];
  std::size_t pos_[4] = {0, 0, 0, 0};
};

// The envelope of points sorted by X (stable, so equal X keep their order).
inline Envelope SortedEnvelope(std::vector<ChartPoint> points, int columns) {
  points.erase(std::remove_if(points.begin(), points.end(),
                              [](const ChartPoint& p) { return !FinitePoint(p); }),
               points.end());
  if (points.empty()) return Envelope();
  std::stable_sort(points.begin(), points.end(),
                   [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
  EnvelopeBuilder b(points.front().x, points.back().x, columns);
  for (const ChartPoint& p : points) b.Add(p);
  return b.Finish();
}

// The envelope of the n points that `get(i)` gives, for a chart `columns`
// pixels wide; `visit(f)` calls f with every point in order (a faster walk
// than n calls of get).
template <class Get, class Visit>
Envelope MakeEnvelope(std::size_t n, Get get, Visit visit, int columns) {
  std::size_t first = 0;
  while (first < n && !FinitePoint(get(first))) ++first;
  std::size_t end = n;
  while (end > first && !FinitePoint(get(end - 1))) --end;
  if (first == end) return Envelope();
  // Records are appended in the order of the blocks, so X normally rises and
  // one pass does.
  EnvelopeBuilder b(get(first).x, get(end - 1).x, columns);
  bool ascending = true;
  visit([&](const ChartPoint& p) {
    if (ascending) ascending = b.Add(p);
  });
  if (ascending) return b.Finish();
  std::vector<ChartPoint> all;
  all.reserve(n);
  visit([&](const ChartPoint& p) { all.push_back(p); });
  return SortedEnvelope(std::move(all), columns);
}

// The same for points held in a random-access sequence.
template <class Get>
Envelope MakeEnvelope(std::size_t n, Get get, int columns) {
  return MakeEnvelope(
      n, get,
      [&](auto&& f) {
        for (std::size_t i = 0; i < n; ++i) f(get(i));
      },
      columns);
}

// The values a chart draws from the point table.
enum class PointField { Speed, Tm };

// Calls f with the first n points in order. A table that can walk its
// points under one lock (ForEach) is walked so; otherwise point by point.
template <class Table, class F>
void VisitPoints(const Table& table, std::size_t n, F&& f) {
  if constexpr (requires { table.ForEach(std::size_t{0}, n, f); }) {
    table.ForEach(std::size_t{0}, n, f);
  } else {
    for (std::size_t i = 0; i < n; ++i) f(table.At(i));
  }
}

// The envelope of `field` against Ps of a point table.
template <class Table>
Envelope TableEnvelope(const Table& table, PointField field, int columns) {
  const std::size_t n = table.Size();
  auto toPoint = [field](const SpeedPoint& p) {
    return ChartPoint{p.Ps, field == PointField::Speed ? p.Speed : static_cast<double>(p.Tm)};
  };
  return MakeEnvelope(
      n, [&](std::size_t i) { return toPoint(table.At(i)); },
      [&](auto&& f) { VisitPoints(table, n, [&](const SpeedPoint& p) { f(toPoint(p)); }); },
      columns);
}

}  // namespace dt
