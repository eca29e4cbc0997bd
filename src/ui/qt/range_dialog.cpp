#include "ui/qt/range_dialog.h"

#include "speedtest/range_dialog_form.h"

namespace dt::ui {

TRangeForm::TRangeForm(QWidget* parent)
    : QDialog(parent), built_(std::make_unique<BuiltForm>(this, RangeDialogForm())) {
  view_ = std::make_unique<QtView>(this, *built_);
  logic_ = std::make_unique<app::RangeWindow>(*view_);
}

TRangeForm::~TRangeForm() = default;

void TRangeForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  logic_->FormShow();
}

}  // namespace dt::ui
