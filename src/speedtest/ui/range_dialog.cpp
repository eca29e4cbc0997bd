#include "speedtest/ui/range_dialog.h"

#include <QFocusEvent>

namespace dt::ui {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->move(x, y);
  l->adjustSize();
  return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(name);
  e->setGeometry(x, y, 161, 21);
  return e;
}

}  // namespace

TRangeForm::TRangeForm(QWidget* parent) : QDialog(parent) {
  setObjectName("RangeForm");
  setWindowTitle("Range Select");
  Label3 = MakeLabel(this, "Label3", "Total", 16, 12);
  Label4 = MakeLabel(this, "Label4", "0", 64, 12);
  Label1 = MakeLabel(this, "Label1", "From", 16, 36);
  Label2 = MakeLabel(this, "Label2", "To", 248, 36);
  Edit1 = MakeEdit(this, "Edit1", "0", 16, 56);
  Label7 = MakeLabel(this, "Label7", "byte", 184, 60);
  Edit2 = MakeEdit(this, "Edit2", "0", 16, 84);
  Label5 = MakeLabel(this, "Label5", "%", 184, 88);
  Edit3 = MakeEdit(this, "Edit3", "1", 248, 56);
  Label8 = MakeLabel(this, "Label8", "Byte", 416, 60);
  Edit4 = MakeEdit(this, "Edit4", "1", 248, 84);
  Label6 = MakeLabel(this, "Label6", "%", 416, 88);
  Button1 = new QPushButton("Ok", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(136, 120, 75, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton("Cancel", this);
  Button2->setObjectName("Button2");
  Button2->setGeometry(272, 120, 75, 25);
  for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4}) e->installEventFilter(this);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  setFixedSize(488, 163);
}

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
  ShowTexts(true, true);
}

void TRangeForm::FieldLeft(QLineEdit* edit) {
  const std::string text = edit->text().toStdString();
  if (edit == Edit1) {
    model_->Edit1 = text;
    model_->Edit1Exit();
  } else if (edit == Edit2) {
    model_->Edit2 = text;
    model_->Edit2Exit();
  } else if (edit == Edit3) {
    model_->Edit3 = text;
    model_->Edit3Exit();
  } else if (edit == Edit4) {
    model_->Edit4 = text;
    model_->Edit4Exit();
  }
  // Only the pair of the field left is written; a field of the other pair
  // keeps whatever was typed into it.
  if (edit == Edit1 || edit == Edit2)
    ShowTexts(true, false);
  else
    ShowTexts(false, true);
}

void TRangeForm::ShowTexts(bool from, bool to) {
  Label4->setText(QString::fromStdString(model_->Label4));
  Label4->adjustSize();
  if (from) {
    Edit1->setText(QString::fromStdString(model_->Edit1));
    Edit2->setText(QString::fromStdString(model_->Edit2));
  }
  if (to) {
    Edit3->setText(QString::fromStdString(model_->Edit3));
    Edit4->setText(QString::fromStdString(model_->Edit4));
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
