// The data module: the tables that the charts and the printed reports read.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "speedtest/chart_envelope.h"
#include "speedtest/point_table.h"
#include "ui/qt/line_chart.h"

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

// A chart source reading `field` against Ps from `table`.
DataChart::Source PointSource(const PointTable* table, PointField field);

}  // namespace dt::ui
