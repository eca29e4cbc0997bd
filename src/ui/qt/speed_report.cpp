#include "ui/qt/speed_report.h"

#include "speedtest/report_forms.h"

namespace dt::ui {

TForm2::TForm2(QObject* parent) : TReportPage(SpeedReportPage(), parent) {}

}  // namespace dt::ui
