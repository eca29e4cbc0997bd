#include "ui/win32/range_dialog.h"

#include "speedtest/range_dialog_form.h"

namespace dt::win {

TRangeForm::TRangeForm() : Form(RangeDialogForm()), view_(*this), logic_(view_) {}

void TRangeForm::FormShow() {
  logic_.FormShow();
  SetFocus(Get<Edit>("Edit1")->hwnd());
}

}  // namespace dt::win
