// The range dialog: the first and the last byte of the range to test, in
// bytes and in per cent of the disk, built from its description; what it
// shows and does is the window logic's (app/range_window.h).
#pragma once

#include "app/range_window.h"
#include "ui/win32/form_view.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TRangeForm : public Form, public RangeDialog {
 public:
  TRangeForm();

  RangeModel& Model() { return logic_.Model(); }
  void ShowModal(RangeModel& model) override { logic_.ShowModal(model); }

 protected:
  void FormShow() override;
  // Escape is Cancel, as Enter is Ok.
  void FormEscape() override { logic_.Cancel(); }

 private:
  FormView view_;
  app::RangeWindow logic_;
};

}  // namespace dt::win
