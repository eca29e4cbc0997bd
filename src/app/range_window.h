// The range dialog's logic as a window: the texts of its RangeModel shown
// when it opens and when a field is left, Ok and Cancel, and the modal show
// on the model that the read-speed start prepared. Written once; each
// toolkit gives it the dialog's controls through a View.
#pragma once

#include <string>

#include "app/view.h"
#include "speedtest/range_dialog_form.h"
#include "speedtest/range_model.h"
#include "speedtest/read_speed_run.h"

namespace dt::app {

class RangeWindow : public RangeDialog {
 public:
  // Hooks the four fields and the two buttons of the view.
  explicit RangeWindow(View& view);

  // The values the dialog works on: its own, or while ShowModal runs the
  // caller's.
  RangeModel& Model() { return *model_; }
  // Shows the dialog modally on `model`, which the read-speed start
  // prepared; the model tells what was accepted.
  void ShowModal(RangeModel& model) override;

  // The dialog is shown: every text of the model.
  void FormShow();
  // "Cancel": no range, and the dialog closes.
  void Cancel();

 private:
  void FieldLeft(const std::string& edit);
  void ShowTexts(const range_dialog::Texts& texts);

  View& view_;
  RangeModel own_;
  RangeModel* model_ = &own_;
};

}  // namespace dt::app
