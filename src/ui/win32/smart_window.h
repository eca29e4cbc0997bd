// The SMART info window: the text of the last SMART report in a fixed-pitch
// memo, with buttons to copy it, change the memo's font, and preview, print
// or set up the printer of the printed report; what it shows and does is the
// window logic's (app/smart_window.h).
#pragma once

#include <string>
#include <vector>

#include "app/smart_window.h"
#include "ui/win32/form_view.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TSmartReportPage;
class TSmartRep;
class TSMARTrepLandscape;

class TSMARTinfo : public Form, private app::SmartWindowHost {
 public:
  TSMARTinfo();
  ~TSMARTinfo() override;

  Memo* SMARTinfoTEXT = nullptr;

  app::SmartWindow& Logic() { return logic_; }

  // The two printed forms and the line table they print, created after
  // this window.
  void SetReports(TSmartRep* portrait, TSMARTrepLandscape* landscape,
                  std::vector<std::string>* lines);

 protected:
  void FormShow() override { logic_.FormShow(); }
  void FormResize() override { logic_.FormResize(); }

 private:
  TSmartReportPage* Report(smart_window::PrintedForm form) const;

  // SmartWindowHost
  void ClearMemo() override { SMARTinfoTEXT->Clear(); }
  void AppendMemo(const std::string& line) override { SMARTinfoTEXT->AppendLine(line); }
  void MemoToTop() override;
  void CopyMemo() override;
  void ChooseMemoFont() override;
  void Preview(smart_window::PrintedForm form) override;
  void Print(smart_window::PrintedForm form) override;
  void PrinterSetup(smart_window::PrintedForm form) override;

  FormView view_;
  app::SmartWindow logic_;
  TSmartRep* portrait_ = nullptr;
  TSMARTrepLandscape* landscape_ = nullptr;
  // The font chosen with the "Font" button, owned by the window.
  HFONT chosenFont_ = nullptr;
};

// Puts `utf8` on the clipboard as Unicode text; false when the clipboard
// cannot be opened.
bool SetClipboardText(HWND owner, const std::string& utf8);

}  // namespace dt::win
