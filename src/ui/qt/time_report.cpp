#include "ui/qt/time_report.h"

#include "speedtest/report_forms.h"

namespace dt::ui {

TForm3::TForm3(QObject* parent) : TReportPage(TimeReportPage(), parent) {}

}  // namespace dt::ui
