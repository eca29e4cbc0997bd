// The time chart window: the time of every block against its position,
// built from its description.
#pragma once

#include "ui/win32/chart.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TForm4 : public Form {
 public:
  TForm4();

  LineChart* DBChart1;
  Clock* RxClock1;

 protected:
  void FormShow() override;
  void FormResize() override;
};

}  // namespace dt::win
