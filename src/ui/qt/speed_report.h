// The speed report: speed against position, with the run's settings.
#pragma once

#include "ui/qt/report_page.h"

namespace dt::ui {

class TForm2 : public TReportPage {
  Q_OBJECT
 public:
  explicit TForm2(QObject* parent = nullptr);
};

}  // namespace dt::ui
