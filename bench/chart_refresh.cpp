// Refresh of the speed chart from a large point table (built with the Qt
// front end as build/<dir>/bench/chart_refresh).
//
// Fills the point table with N points (default 10,000,000: a run of 4 KiB
// blocks over 40 GB), then times the chart's refresh: reading the whole
// table into the per-column envelope, handing it to the chart and painting
// the chart. Prints the memory the table took per point as well.
//
//   chart_refresh [points] [repeats]
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "speedtest/point_table.h"
#include "ui/qt/data_module.h"
#include "ui/qt/line_chart.h"

namespace {

// Resident memory of this process in bytes (Linux).
std::int64_t ResidentBytes() {
  std::ifstream in("/proc/self/statm");
  std::int64_t pages = 0, resident = 0;
  in >> pages >> resident;
  return resident * 4096;
}

// A point table that walks its points under one lock.
struct LockedDeque {
  std::deque<dt::SpeedPoint> points;
  mutable std::mutex mu;
  std::size_t Size() const {
    std::lock_guard<std::mutex> lock(mu);
    return points.size();
  }
  dt::SpeedPoint At(std::size_t i) const {
    std::lock_guard<std::mutex> lock(mu);
    return points.at(i);
  }
  template <class F>
  void ForEach(std::size_t from, std::size_t to, F&& f) const {
    std::lock_guard<std::mutex> lock(mu);
    to = std::min(to, points.size());
    for (auto it = points.begin() + static_cast<std::ptrdiff_t>(from),
              e = points.begin() + static_cast<std::ptrdiff_t>(to);
         it != e; ++it)
      f(*it);
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::int64_t n = argc > 1 ? std::atoll(argv[1]) : 10000000;
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;

  dt::PointTable table;
  const std::int64_t before = ResidentBytes();
  QElapsedTimer t;
  t.start();
  // A disk whose speed falls from 110 to 55 MB/s, with noise and slow
  // blocks, as a real run records it.
  std::uint32_t seed = 12345;
  for (std::int64_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double pos = static_cast<double>(i + 1) / static_cast<double>(n);
    double speed = 110e6 - 55e6 * pos;
    speed *= 0.9 + 0.2 * static_cast<double>(seed >> 8) / 16777216.0;
    if ((seed & 0xFFFF) == 0) speed /= 20;
    const std::int32_t tm = static_cast<std::int32_t>(4096.0 * 1e6 / speed);
    table.Append(dt::SpeedPoint{tm, std::floor(pos * 10000) / 100, std::floor(speed)});
  }
  const double fillMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
  const std::int64_t grown = ResidentBytes() - before;

  dt::ui::LineChart chart("Speed of disk");
  chart.resize(625, 322);
  chart.Chart()->SetSource(dt::ui::PointSource(&table, dt::PointField::Speed));
  chart.show();
  QApplication::processEvents();

  std::vector<double> reload, paint;
  QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
  for (int r = 0; r < repeats; ++r) {
    t.restart();
    chart.Refresh();
    reload.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    t.restart();
    // The chart lays the new curve out on the next pass of the event loop.
    QApplication::processEvents();
    QPainter p(&image);
    chart.render(&p);
    p.end();
    paint.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  const double total = Median(reload) + Median(paint);
  // The same points in a table that walks them under one lock.
  double walked = 0;
  {
    LockedDeque copy;
    for (const dt::SpeedPoint& p : table.Snapshot()) copy.points.push_back(p);
    std::vector<double> env;
    for (int r = 0; r < repeats; ++r) {
      t.restart();
      auto e = dt::TableEnvelope(copy, dt::PointField::Speed, 2048);
      env.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    walked = Median(env);
  }
  std::printf("points:               %" PRId64 "\n", n);
  std::printf("table fill:           %.0f ms\n", fillMs);
  std::printf("table memory:         %.1f bytes per point (resident growth %.1f MB)\n",
              n > 0 ? static_cast<double>(grown) / static_cast<double>(n) : 0.0,
              static_cast<double>(grown) / 1e6);
  std::printf("chart points drawn:   %d\n", chart.Chart()->ShownPoints());
  std::printf("refresh (read table): %.1f ms median of %d\n", Median(reload), repeats);
  std::printf("paint:                %.1f ms median of %d\n", Median(paint), repeats);
  std::printf("refresh + paint:      %.1f ms (goal <= 100 ms): %s\n", total,
              total <= 100 ? "met" : "NOT met");
  std::printf("envelope, one lock:   %.1f ms median of %d (a point table with ForEach)\n", walked,
              repeats);
  return 0;
}
