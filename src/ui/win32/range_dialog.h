// The range dialog: the first and the last byte of the range to test, in
// bytes and in per cent of the disk, built from its description. The
// arithmetic is the RangeModel's; the dialog shows the texts that the
// description's rules take from it when it opens and when a field is left.
#pragma once

#include "speedtest/range_dialog_form.h"
#include "speedtest/range_model.h"
#include "speedtest/read_speed_run.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TRangeForm : public Form, public RangeDialog {
 public:
  TRangeForm();

  Label* Label1;
  Label* Label2;
  Label* Label3;
  Label* Label4;
  Label* Label5;
  Label* Label6;
  Label* Label7;
  Label* Label8;
  Edit* Edit1;
  Edit* Edit2;
  Edit* Edit3;
  Edit* Edit4;
  Button* Button1;
  Button* Button2;

  // The dialog's values. The caller prepares them, shows the dialog
  // modally and reads them back.
  RangeModel& Model() { return *model_; }
  // Lets the dialog work on a model that the caller owns.
  void SetModel(RangeModel* model) { model_ = model ? model : &own_; }
  // Shows the dialog modally; true when a valid range was accepted.
  bool Execute();
  // Shows the dialog modally on `model`, which the read-speed start prepared.
  void ShowModal(RangeModel& model) override;

 protected:
  void FormShow() override;
  // Escape is Cancel, as Enter is Ok.
  void FormEscape() override { Button2Click(); }

 private:
  void FieldLeft(Edit* edit);
  // Shows the texts by control name.
  void ShowTexts(const range_dialog::Texts& texts);
  void Button1Click();
  void Button2Click();

  RangeModel own_;
  RangeModel* model_ = &own_;
};

}  // namespace dt::win
