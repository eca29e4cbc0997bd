#include "speedtest/ui/time_report.h"

namespace dt::ui {

namespace {

ReportLayout TimeLayout() {
  ReportLayout l;
  l.chartTitle = "Read block time";
  l.titleBandHeightMm = 5.0;
  l.label9OffsetMm = 72.0;
  l.leftColumnMm = 14.8;
  l.rightColumnMm = 82.55;
  l.chartMm = QRectF(12.7, 52.9, 271.2, 144.7);
  l.dashDotDot = true;
  return l;
}

}  // namespace

TForm3::TForm3(QObject* parent) : TReportPage(TimeLayout(), parent) {
  setObjectName("Form3");
}

}  // namespace dt::ui
