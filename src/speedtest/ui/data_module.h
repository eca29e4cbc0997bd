// The data module: the tables that the charts and the printed reports read.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "speedtest/point_table.h"
#include "speedtest/ui/line_chart.h"

namespace dt::ui {

class TDataModule1 : public QObject {
  Q_OBJECT
 public:
  explicit TDataModule1(QObject* parent = nullptr);

  // The read-speed points (Tm, Ps, Speed), filled by the read-speed worker.
  PointTable RxMemoryData1;
  // The lines of the last SMART report (Str), printed by the SMART reports.
  std::vector<std::string> RxMemoryData2;
};

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
    return QPointF(p.Ps, field == PointField::Speed ? p.Speed : static_cast<double>(p.Tm));
  };
  return MakeEnvelope(
      n, [&](std::size_t i) { return toPoint(table.At(i)); },
      [&](auto&& f) { VisitPoints(table, n, [&](const SpeedPoint& p) { f(toPoint(p)); }); },
      columns);
}

// A chart source reading `field` against Ps from `table`.
DataChart::Source PointSource(const PointTable* table, PointField field);

}  // namespace dt::ui
