#include "ui/qt/data_module.h"

namespace dt::ui {

TDataModule1::TDataModule1(QObject* parent) : QObject(parent) {
  setObjectName("DataModule1");
}

DataChart::Source PointSource(const PointTable* table, PointField field) {
  return [table, field](int columns) { return TableEnvelope(*table, field, columns); };
}

}  // namespace dt::ui
