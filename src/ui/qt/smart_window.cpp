#include "ui/qt/smart_window.h"

#include <QCoreApplication>
#include <QFontDialog>
#include <QFontInfo>

#include "ui/qt/clock_label.h"
#include "ui/qt/smart_report_pages.h"

namespace dt::ui {

QFont SmartMemoFont() {
  return ControlFont(*SmartInfoForm().Find("SMARTinfoTEXT")->font);
}

TSMARTinfo::TSMARTinfo(QWidget* parent) : QDialog(parent) {
  const form::FormSpec& spec = SmartInfoForm();
  built_ = std::make_unique<BuiltForm>(this, spec,
                                       [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
                                         if (c.kind == form::Kind::Clock) return new ClockLabel(p);
                                         return nullptr;
                                       });
  // The buttons are wide enough for the stand-in face at its full width.
  QFont f = font();
  f.setStretch(QFont::AnyStretch);
  setFont(f);
  setSizeGripEnabled(spec.border == form::Border::Sizeable);
  SMARTinfoTEXT = Get<QPlainTextEdit>("SMARTinfoTEXT");
  view_ = std::make_unique<QtView>(this, *built_);
  app::SmartWindowHost& host = *this;
  logic_ = std::make_unique<app::SmartWindow>(*view_, host);
  logic_->FormResize();
}

TSMARTinfo::~TSMARTinfo() = default;

void TSMARTinfo::SetReports(TSmartRep* portrait, TSMARTrepLandscape* landscape,
                            std::vector<std::string>* lines) {
  portrait_ = portrait;
  landscape_ = landscape;
  logic_->SetPrintedForms(lines, &portrait->QRLabel1, &landscape->QRLabel1);
}

TSmartReportPage* TSMARTinfo::Report(smart_window::PrintedForm form) const {
  if (form == smart_window::PrintedForm::Portrait) return portrait_;
  return landscape_;
}

void TSMARTinfo::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  logic_->FormShow();
}

void TSMARTinfo::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  if (logic_) logic_->FormResize();
}

void TSMARTinfo::AppendMemo(const std::string& line) {
  SMARTinfoTEXT->appendPlainText(QString::fromStdString(line));
}

void TSMARTinfo::CopyMemo() {
  SMARTinfoTEXT->selectAll();
  SMARTinfoTEXT->copy();
}

void TSMARTinfo::ChooseMemoFont() {
  // The dialog shows the font the memo really uses, which may stand in for
  // the first family asked for.
  QFont current = SMARTinfoTEXT->font();
  current.setFamily(QFontInfo(current).family());
  QFontDialog dialog(current, this);
  dialog.setWindowTitle(smart_window::kFontDialogTitle);
  if (dialog.exec() == QDialog::Accepted) SMARTinfoTEXT->setFont(dialog.selectedFont());
}

void TSMARTinfo::Preview(smart_window::PrintedForm form) {
  TSmartReportPage* report = Report(form);
  if (!report) return;
  QCoreApplication::processEvents();
  report->Preview(this);
  QCoreApplication::processEvents();
}

void TSMARTinfo::Print(smart_window::PrintedForm form) {
  if (TSmartReportPage* report = Report(form)) report->Print(this);
}

void TSMARTinfo::PrinterSetup(smart_window::PrintedForm form) {
  if (TSmartReportPage* report = Report(form)) report->PrinterSetup(this);
}

}  // namespace dt::ui
