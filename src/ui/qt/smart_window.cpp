#include "ui/qt/smart_window.h"

#include <QCoreApplication>
#include <QFontDialog>
#include <QFontInfo>

#include "app/smart_window_form.h"
#include "ui/qt/form_builder.h"
#include "ui/qt/smart_report_pages.h"

namespace dt::ui {

QFont SmartMemoFont() {
  return ControlFont(*SmartInfoForm().Find("SMARTinfoTEXT")->font);
}

TSMARTinfo::TSMARTinfo(QWidget* parent) : QDialog(parent) {
  const form::FormSpec& spec = SmartInfoForm();
  BuiltForm b(this, spec, [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
    if (c.kind == form::Kind::Clock) return new ClockLabel(p);
    return nullptr;
  });
  // The buttons are wide enough for the stand-in face at its full width.
  QFont f = font();
  f.setStretch(QFont::AnyStretch);
  setFont(f);
  setSizeGripEnabled(spec.border == form::Border::Sizeable);
  Button1 = b.Get<QPushButton>("Button1");
  Button2 = b.Get<QPushButton>("Button2");
  Button5 = b.Get<QPushButton>("Button5");
  Button3 = b.Get<QPushButton>("Button3");
  Button4 = b.Get<QPushButton>("Button4");
  RxClock1 = b.Get<ClockLabel>("RxClock1");
  SMARTinfoTEXT = b.Get<QPlainTextEdit>("SMARTinfoTEXT");

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  FormResize();
}

void TSMARTinfo::SetReports(TSmartRep* portrait, TSMARTrepLandscape* landscape) {
  portrait_ = portrait;
  landscape_ = landscape;
}

TSmartReportPage* TSMARTinfo::ChosenReport() const {
  if (smart_window::ChosenForm(PrintReserved) == smart_window::PrintedForm::Portrait)
    return portrait_;
  return landscape_;
}

int TSMARTinfo::ShowModal() {
  setWindowModality(Qt::ApplicationModal);
  return exec();
}

void TSMARTinfo::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormShow();
}

void TSMARTinfo::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TSMARTinfo::FormShow() {
  move(smart_window::kShowLeft, smart_window::kShowTop);
}

void TSMARTinfo::FormResize() {
  const form::Rect r = smart_window::MemoRect(width(), height());
  SMARTinfoTEXT->resize(r.width, r.height);
}

void TSMARTinfo::Button1Click() {
  SMARTinfoTEXT->selectAll();
  SMARTinfoTEXT->copy();
}

void TSMARTinfo::Button2Click() {
  TSmartReportPage* report = ChosenReport();
  if (!report) return;
  QCoreApplication::processEvents();
  report->Preview(this);
  QCoreApplication::processEvents();
}

void TSMARTinfo::Button3Click() {
  if (TSmartReportPage* report = ChosenReport()) report->Print(this);
}

void TSMARTinfo::Button4Click() {
  // The dialog shows the font the memo really uses, which may stand in for
  // the first family asked for.
  QFont current = SMARTinfoTEXT->font();
  current.setFamily(QFontInfo(current).family());
  QFontDialog dialog(current, this);
  dialog.setWindowTitle(smart_window::kFontDialogTitle);
  if (dialog.exec() == QDialog::Accepted) SMARTinfoTEXT->setFont(dialog.selectedFont());
}

void TSMARTinfo::Button5Click() {
  if (TSmartReportPage* report = ChosenReport()) report->PrinterSetup(this);
}

}  // namespace dt::ui
