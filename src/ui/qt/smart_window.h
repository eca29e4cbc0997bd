// The SMART info window: the text of the last SMART report in a fixed-pitch
// memo, with buttons to copy it, change the memo's font, and preview, print
// or set up the printer of the printed report.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/qt/clock_label.h"

namespace dt::ui {

class TSmartReportPage;
class TSmartRep;
class TSMARTrepLandscape;

class TSMARTinfo : public QDialog {
  Q_OBJECT
 public:
  explicit TSMARTinfo(QWidget* parent = nullptr);

  QPushButton* Button1;  // "Copy to clipboard"
  QPushButton* Button2;  // "Preview"
  QPushButton* Button5;  // "Printer setup"
  QPushButton* Button3;  // "Print"
  QPushButton* Button4;  // "Font"
  ClockLabel* RxClock1;
  QPlainTextEdit* SMARTinfoTEXT;

  // True when the report was built with the reserved bytes: it is then
  // printed in portrait (the lines are wider), else in landscape.
  bool PrintReserved = false;

  // The two printed forms, created after this window.
  void SetReports(TSmartRep* portrait, TSMARTrepLandscape* landscape);
  // The form that Preview, Print and Printer setup act on.
  TSmartReportPage* ChosenReport() const;

  // Shows the window and returns when it is closed.
  int ShowModal();

  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void FormShow();
  void FormResize();

  TSmartRep* portrait_ = nullptr;
  TSMARTrepLandscape* landscape_ = nullptr;
};

// The memo's font at start, as the window's description has it: a
// fixed-pitch font, so that the report's columns line up.
QFont SmartMemoFont();

}  // namespace dt::ui
