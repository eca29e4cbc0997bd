// The data module: the tables that the charts and the printed reports read.
#pragma once

#include <string>
#include <vector>

#include "speedtest/chart_envelope.h"
#include "speedtest/point_table.h"
#include "ui/win32/chart.h"

namespace dt::win {

class TDataModule1 {
 public:
  // The read-speed points (Tm, Ps, Speed), filled by the read-speed worker.
  PointTable RxMemoryData1;
  // The lines of the last SMART report (Str), printed by the SMART reports.
  std::vector<std::string> RxMemoryData2;
};

// A chart source reading `field` against Ps from `table`.
inline LineChart::Source PointSource(const PointTable* table, PointField field) {
  return [table, field](int columns) { return TableEnvelope(*table, field, columns); };
}

}  // namespace dt::win
