// The SMART info window: the text of the last SMART report in a fixed-pitch
// memo, with buttons to copy it, change the memo's font, and preview, print
// or set up the printer of the printed report.
#pragma once

#include "ui/win32/wingui.h"

namespace dt::win {

class TSmartReportPage;
class TSmartRep;
class TSMARTrepLandscape;

class TSMARTinfo : public Form {
 public:
  TSMARTinfo();
  ~TSMARTinfo() override;

  Button* Button1;  // "Copy to clipboard"
  Button* Button2;  // "Preview"
  Button* Button5;  // "Printer setup"
  Button* Button3;  // "Print"
  Button* Button4;  // "Font"
  Clock* RxClock1;
  Memo* SMARTinfoTEXT = nullptr;

  // True when the report was built with the reserved bytes: it is then
  // printed in portrait (the lines are wider), else in landscape.
  bool PrintReserved = false;

  // The two printed forms, created after this window.
  void SetReports(TSmartRep* portrait, TSMARTrepLandscape* landscape);
  // The form that Preview, Print and Printer setup act on.
  TSmartReportPage* ChosenReport() const;

  // Shows the memo's first line from its beginning, with the caret there.
  void ScrollToTop();

  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();

 protected:
  void FormShow() override;
  void FormResize() override;

 private:
  TSmartRep* portrait_ = nullptr;
  TSMARTrepLandscape* landscape_ = nullptr;
  // The font chosen with the "Font" button, owned by the window.
  HFONT chosenFont_ = nullptr;
};

// Puts `utf8` on the clipboard as Unicode text; false when the clipboard
// cannot be opened.
bool SetClipboardText(HWND owner, const std::string& utf8);

}  // namespace dt::win
