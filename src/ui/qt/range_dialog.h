// The range dialog: the first and the last byte of the range to test, in
// bytes and in per cent of the disk, built from its description. The
// arithmetic is the RangeModel's; the dialog shows the texts that the
// description's rules take from it when it opens and when a field is left.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "speedtest/range_dialog_form.h"
#include "speedtest/range_model.h"
#include "speedtest/read_speed_run.h"
#include "ui/qt/form_builder.h"

namespace dt::ui {

class TRangeForm : public QDialog, public RangeDialog {
  Q_OBJECT
 public:
  explicit TRangeForm(QWidget* parent = nullptr);
  ~TRangeForm() override;

  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QLabel* Label7;
  QLabel* Label8;
  QLineEdit* Edit1;
  QLineEdit* Edit2;
  QLineEdit* Edit3;
  QLineEdit* Edit4;
  QPushButton* Button1;
  QPushButton* Button2;

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
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* e) override;

 private:
  void FormShow();
  void FieldLeft(QLineEdit* edit);
  // Shows the texts by control name.
  void ShowTexts(const range_dialog::Texts& texts);
  void Button1Click();
  void Button2Click();

  std::unique_ptr<BuiltForm> built_;
  RangeModel own_;
  RangeModel* model_ = &own_;
};

}  // namespace dt::ui
