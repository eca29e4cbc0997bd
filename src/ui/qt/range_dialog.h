// The range dialog: the first and the last byte of the range to test, in
// bytes and in per cent of the disk, built from its description; what it
// shows and does is the window logic's (app/range_window.h).
#pragma once

#include <QDialog>
#include <memory>

#include "app/range_window.h"
#include "ui/qt/form_builder.h"
#include "ui/qt/qt_view.h"

namespace dt::ui {

class TRangeForm : public QDialog, public RangeDialog {
  Q_OBJECT
 public:
  explicit TRangeForm(QWidget* parent = nullptr);
  ~TRangeForm() override;

  // A control of the dialog by its name in the description.
  template <class W>
  W* Get(const std::string& name) const {
    return built_->Get<W>(name);
  }
  RangeModel& Model() { return logic_->Model(); }
  void ShowModal(RangeModel& model) override { logic_->ShowModal(model); }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  std::unique_ptr<BuiltForm> built_;
  std::unique_ptr<QtView> view_;
  std::unique_ptr<app::RangeWindow> logic_;
};

}  // namespace dt::ui
