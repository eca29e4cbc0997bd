#include "app/range_window.h"

namespace dt::app {

RangeWindow::RangeWindow(View& view) : view_(view) {
  for (const char* edit : {"Edit1", "Edit2", "Edit3", "Edit4"})
    view_.OnLeave(edit, [this, edit] { FieldLeft(edit); });
  view_.OnClick("Button1", [this] {
    if (model_->Button1Click()) view_.Close();
  });
  view_.OnClick("Button2", [this] { Cancel(); });
}

void RangeWindow::ShowModal(RangeModel& model) {
  model_ = &model;
  view_.ShowModal();
  model_ = &own_;
}

void RangeWindow::FormShow() {
  model_->FormShow();
  ShowTexts(range_dialog::ModelTexts(*model_, true, true));
}

void RangeWindow::Cancel() {
  model_->Button2Click();
  view_.Close();
}

void RangeWindow::FieldLeft(const std::string& edit) {
  ShowTexts(range_dialog::FieldLeft(*model_, edit, view_.Text(edit)));
}

void RangeWindow::ShowTexts(const range_dialog::Texts& texts) {
  for (const auto& [name, text] : texts) view_.SetText(name, text);
}

}  // namespace dt::app
