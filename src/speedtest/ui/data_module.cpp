#include "speedtest/ui/data_module.h"

namespace dt::ui {

TDataModule1::TDataModule1(QObject* parent) : QObject(parent) {
  setObjectName("DataModule1");
}

DataChart::Source PointSource(const PointTable* table, PointField field) {
  return [table, field](int columns) {
    const std::size_t n = table->Size();
    if (field == PointField::Speed)
      return MakeEnvelope(
          n,
          [table](std::size_t i) {
            const SpeedPoint p = table->At(i);
            return QPointF(p.Ps, p.Speed);
          },
          columns);
    return MakeEnvelope(
        n,
        [table](std::size_t i) {
          const SpeedPoint p = table->At(i);
          return QPointF(p.Ps, p.Tm);
        },
        columns);
  };
}

}  // namespace dt::ui
