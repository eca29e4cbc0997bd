// The time report: the time of every block against its position, with the
// run's settings.
#pragma once

#include "ui/qt/report_page.h"

namespace dt::ui {

class TForm3 : public TReportPage {
  Q_OBJECT
 public:
  explicit TForm3(QObject* parent = nullptr);
};

}  // namespace dt::ui
