#include "ata/ui/smart_window.h"

#include <QCoreApplication>
#include <QFontDialog>
#include <QFontInfo>

#include "ata/ui/smart_report_pages.h"

namespace dt::ui {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* text, int x, int width) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setGeometry(x, 1, width, 25);
  return b;
}

}  // namespace

QFont SmartMemoFont() {
  QFont f;
  f.setFamilies({"Fixedsys", "Liberation Mono", "DejaVu Sans Mono", "Courier New"});
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  // Eight pixels a character at 96 dpi, as the classic fixed system font.
  f.setPointSize(10);
  return f;
}

TSMARTinfo::TSMARTinfo(QWidget* parent) : QDialog(parent) {
  setObjectName("SMARTinfo");
  setWindowTitle("SMART info form");
  setSizeGripEnabled(true);
  QFont f;
  f.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"});
  f.setPointSize(8);
  setFont(f);
  Button1 = Button(this, "Button1", "Copy to clipboard", 8, 97);
  Button2 = Button(this, "Button2", "Preview", 112, 75);
  Button5 = Button(this, "Button5", "Printer setup", 192, 75);
  Button3 = Button(this, "Button3", "Print", 272, 75);
  Button4 = Button(this, "Button4", "Font", 352, 75);
  // Buttons of a dialog must not react to Enter in the memo.
  for (QPushButton* b : {Button1, Button2, Button5, Button3, Button4}) b->setAutoDefault(false);
  RxClock1 = new ClockLabel(this);
  RxClock1->setObjectName("RxClock1");
  RxClock1->setGeometry(536, 1, 81, 25);
  SMARTinfoTEXT = new QPlainTextEdit(this);
  SMARTinfoTEXT->setObjectName("SMARTinfoTEXT");
  SMARTinfoTEXT->setGeometry(8, 32, 609, 393);
  SMARTinfoTEXT->setLineWrapMode(QPlainTextEdit::NoWrap);
  SMARTinfoTEXT->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  SMARTinfoTEXT->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  SMARTinfoTEXT->setFont(SmartMemoFont());

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  resize(630, 460);
  FormResize();
}

void TSMARTinfo::SetReports(TSmartRep* portrait, TSMARTrepLandscape* landscape) {
  portrait_ = portrait;
  landscape_ = landscape;
}

TSmartReportPage* TSMARTinfo::ChosenReport() const {
  if (PrintReserved) return portrait_;
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
  move(1, 1);
}

void TSMARTinfo::FormResize() {
  const int w = width() > 200 ? width() - 20 : 180;
  const int h = height() > 200 ? height() - 40 : 160;
  SMARTinfoTEXT->resize(w, h);
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
  dialog.setWindowTitle("Font");
  if (dialog.exec() == QDialog::Accepted) SMARTinfoTEXT->setFont(dialog.selectedFont());
}

void TSMARTinfo::Button5Click() {
  if (TSmartReportPage* report = ChosenReport()) report->PrinterSetup(this);
}

}  // namespace dt::ui
