#include "ui/qt/range_dialog.h"

#include <QFocusEvent>

#include "speedtest/range_dialog_form.h"

namespace dt::ui {

TRangeForm::TRangeForm(QWidget* parent) : QDialog(parent) {
  built_ = std::make_unique<BuiltForm>(this, RangeDialogForm());
  const BuiltForm& b = *built_;
  Label3 = b.Get<QLabel>("Label3");
  Label4 = b.Get<QLabel>("Label4");
  Label1 = b.Get<QLabel>("Label1");
  Label2 = b.Get<QLabel>("Label2");
  Edit1 = b.Get<QLineEdit>("Edit1");
  Label7 = b.Get<QLabel>("Label7");
  Edit2 = b.Get<QLineEdit>("Edit2");
  Label5 = b.Get<QLabel>("Label5");
  Edit3 = b.Get<QLineEdit>("Edit3");
  Label8 = b.Get<QLabel>("Label8");
  Edit4 = b.Get<QLineEdit>("Edit4");
  Label6 = b.Get<QLabel>("Label6");
  Button1 = b.Get<QPushButton>("Button1");
  Button2 = b.Get<QPushButton>("Button2");
  for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4}) e->installEventFilter(this);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

TRangeForm::~TRangeForm() = default;

void TRangeForm::ShowModal(RangeModel& model) {
  SetModel(&model);
  Execute();
  SetModel(nullptr);
}

bool TRangeForm::Execute() {
  exec();
  return model_->RangeAccepted;
}

bool TRangeForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    // A field is left when the focus moves to another control, not when the
    // window loses the focus to a message box or another window.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
      FieldLeft(static_cast<QLineEdit*>(watched));
  }
  return QDialog::eventFilter(watched, event);
}

void TRangeForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormShow();
}

void TRangeForm::FormShow() {
  model_->FormShow();
  ShowTexts(range_dialog::ModelTexts(*model_, true, true));
}

void TRangeForm::FieldLeft(QLineEdit* edit) {
  ShowTexts(range_dialog::FieldLeft(*model_, edit->objectName().toStdString(),
                                    edit->text().toStdString()));
}

void TRangeForm::ShowTexts(const range_dialog::Texts& texts) {
  for (const auto& [name, text] : texts) {
    QWidget* w = built_->Get<QWidget>(name);
    if (auto* label = qobject_cast<QLabel*>(w)) {
      label->setText(QString::fromStdString(text));
      label->adjustSize();
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      edit->setText(QString::fromStdString(text));
    }
  }
}

void TRangeForm::Button1Click() {
  if (model_->Button1Click()) accept();
}

void TRangeForm::Button2Click() {
  model_->Button2Click();
  reject();
}

}  // namespace dt::ui
