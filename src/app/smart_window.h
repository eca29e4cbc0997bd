// The SMART info window's logic: the report of "Get SMART" line by line into
// the memo and the line table that the printed forms print, the drive title
// on both forms, the printed form its buttons act on, and where the window
// and its memo go. Written once; each toolkit gives it the window's controls
// through a View and the memo, the clipboard, the font dialog and the
// printed forms' dialogs through a SmartWindowHost.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "app/smart_window_form.h"
#include "app/view.h"
#include "forms/page.h"
#include "health/smart_flow.h"

namespace dt::app {

// Records of the line table hold at most this many characters.
inline constexpr std::size_t kSmartRecordChars = 256;

// What the window's logic asks of its toolkit beside the controls.
class SmartWindowHost {
 public:
  virtual ~SmartWindowHost() = default;
  // The memo: emptied, a line more at its end, shown from its first line
  // with the caret there.
  virtual void ClearMemo() = 0;
  virtual void AppendMemo(const std::string& line) = 0;
  virtual void MemoToTop() = 0;
  // "Copy to clipboard": the memo's whole text, selected, onto the clipboard.
  virtual void CopyMemo() = 0;
  // "Font": the font dialog on the font the memo shows; the memo takes the
  // font chosen.
  virtual void ChooseMemoFont() = 0;
  // The preview, the print and the printer setup of a printed form.
  virtual void Preview(smart_window::PrintedForm form) = 0;
  virtual void Print(smart_window::PrintedForm form) = 0;
  virtual void PrinterSetup(smart_window::PrintedForm form) = 0;
};

class SmartWindow {
 public:
  // Hooks the view's buttons.
  SmartWindow(View& view, SmartWindowHost& host);

  // The line table that the printed forms print, and their drive titles.
  void SetPrintedForms(std::vector<std::string>* lines, page::ReportLabel* portraitTitle,
                       page::ReportLabel* landscapeTitle) {
    lines_ = lines;
    titles_ = {portraitTitle, landscapeTitle};
  }

  // True when the report was built with the reserved bytes: it is then
  // printed in portrait (the lines are wider), else in landscape.
  bool PrintReserved = false;
  smart_window::PrintedForm Chosen() const { return smart_window::ChosenForm(PrintReserved); }

  // The report's line procedure: the line goes whole into the memo and, cut
  // to kSmartRecordChars characters, into a new record of the line table.
  void AddLine(const std::string& line);
  // The work of "Get SMART" for physical drive `drive`: the report into the
  // memo and the line table, the drive title on both printed forms, and the
  // window shown modally; returns when it is closed. Every failure of the
  // drive is a line of the report: the window opens in every case.
  void ShowReport(int drive, const SmartOptions& options);

  // The window is shown, and resized: its place, and the memo's size.
  void FormShow();
  void FormResize();

 private:
  View& view_;
  SmartWindowHost& host_;
  std::vector<std::string>* lines_ = nullptr;
  std::array<page::ReportLabel*, 2> titles_{};
};

}  // namespace dt::app
