#include "speedtest/ui/speed_report.h"

namespace dt::ui {

namespace {

ReportLayout SpeedLayout() {
  ReportLayout l;
  l.reportTitle = "Disk speed";
  l.chartTitle = "Disk speed";
  l.titleBandHeightMm = 7.1;
  l.label9OffsetMm = 40.2;
  l.leftColumnMm = 12.7;
  l.rightColumnMm = 95.25;
  l.chartMm = QRectF(12.7, 50.8, 272.5, 145);
  l.hideLeftGrid = true;
  return l;
}

}  // namespace

TForm2::TForm2(QObject* parent) : TReportPage(SpeedLayout(), parent) {
  setObjectName("Form2");
}

}  // namespace dt::ui
