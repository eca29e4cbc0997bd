#include "ui/win32/range_dialog.h"

namespace dt::win {

TRangeForm::TRangeForm() : Form(RangeDialogForm()) {
  Label3 = Get<Label>("Label3");
  Label4 = Get<Label>("Label4");
  Label1 = Get<Label>("Label1");
  Label2 = Get<Label>("Label2");
  Edit1 = Get<Edit>("Edit1");
  Label7 = Get<Label>("Label7");
  Edit2 = Get<Edit>("Edit2");
  Label5 = Get<Label>("Label5");
  Edit3 = Get<Edit>("Edit3");
  Label8 = Get<Label>("Label8");
  Edit4 = Get<Edit>("Edit4");
  Label6 = Get<Label>("Label6");
  Button1 = Get<Button>("Button1");
  Button2 = Get<Button>("Button2");
  for (Edit* e : {Edit1, Edit2, Edit3, Edit4}) e->onLeave = [this, e] { FieldLeft(e); };
  Button1->onClick = [this] { Button1Click(); };
  Button2->onClick = [this] { Button2Click(); };
}

void TRangeForm::ShowModal(RangeModel& model) {
  SetModel(&model);
  Execute();
  SetModel(nullptr);
}

bool TRangeForm::Execute() {
  Form::ShowModal();
  return model_->RangeAccepted;
}

void TRangeForm::FormShow() {
  model_->FormShow();
  ShowTexts(range_dialog::ModelTexts(*model_, true, true));
  SetFocus(Edit1->hwnd());
}

void TRangeForm::FieldLeft(Edit* edit) {
  ShowTexts(range_dialog::FieldLeft(*model_, edit->Name(), edit->Text()));
}

void TRangeForm::ShowTexts(const range_dialog::Texts& texts) {
  for (const auto& [name, text] : texts) {
    Control* c = Find(name);
    if (!c) continue;
    c->SetText(text);
    if (dynamic_cast<Label*>(c)) c->FitText();
  }
}

void TRangeForm::Button1Click() {
  if (model_->Button1Click()) Hide();
}

void TRangeForm::Button2Click() {
  model_->Button2Click();
  Hide();
}

}  // namespace dt::win
