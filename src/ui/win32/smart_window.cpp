#include "ui/win32/smart_window.h"

#include <commdlg.h>

#include <cstring>

#include "app/smart_window_form.h"
#include "ui/win32/smart_report_pages.h"

namespace dt::win {

namespace {

// ChooseFontW takes no caption: its hook sets one when the dialog opens.
UINT_PTR CALLBACK FontDialogHook(HWND dialog, UINT msg, WPARAM, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    const auto* cf = reinterpret_cast<const CHOOSEFONTW*>(lp);
    SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(cf->lCustData));
    return TRUE;
  }
  return 0;
}

}  // namespace

bool SetClipboardText(HWND owner, const std::string& utf8) {
  const std::wstring text = Wide(utf8);
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool done = false;
  if (memory) {
    if (void* p = GlobalLock(memory)) {
      std::memcpy(p, text.c_str(), bytes);
      GlobalUnlock(memory);
      // The clipboard owns the memory once it has taken it.
      done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!done) GlobalFree(memory);
  }
  CloseClipboard();
  return done;
}

TSMARTinfo::TSMARTinfo() : Form(SmartInfoForm()), view_(*this), logic_(view_, *this) {
  SMARTinfoTEXT = Get<Memo>("SMARTinfoTEXT");
  logic_.FormResize();
}

TSMARTinfo::~TSMARTinfo() {
  if (chosenFont_) DeleteObject(chosenFont_);
}

void TSMARTinfo::SetReports(TSmartRep* portrait, TSMARTrepLandscape* landscape,
                            std::vector<std::string>* lines) {
  portrait_ = portrait;
  landscape_ = landscape;
  logic_.SetPrintedForms(lines, &portrait->QRLabel1, &landscape->QRLabel1);
}

TSmartReportPage* TSMARTinfo::Report(smart_window::PrintedForm form) const {
  if (form == smart_window::PrintedForm::Portrait) return portrait_;
  return landscape_;
}

void TSMARTinfo::MemoToTop() {
  const HWND memo = SMARTinfoTEXT->hwnd();
  SendMessageW(memo, EM_SETSEL, 0, 0);
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
  SendMessageW(memo, WM_VSCROLL, SB_TOP, 0);
  SendMessageW(memo, WM_HSCROLL, SB_LEFT, 0);
}

void TSMARTinfo::CopyMemo() {
  SendMessageW(SMARTinfoTEXT->hwnd(), EM_SETSEL, 0, -1);
  SetClipboardText(hwnd(), SMARTinfoTEXT->Text());
}

void TSMARTinfo::Preview(smart_window::PrintedForm form) {
  TSmartReportPage* report = Report(form);
  if (!report) return;
  // The window is drawn in full before the preview takes a while to build.
  UpdateWindow(hwnd());
  report->Preview(hwnd());
  PumpMessages();
}

void TSMARTinfo::Print(smart_window::PrintedForm form) {
  if (TSmartReportPage* report = Report(form)) report->Print(hwnd());
}

void TSMARTinfo::ChooseMemoFont() {
  // The dialog opens on the font the memo really uses, which may stand in
  // for the first family of the description.
  LOGFONTW lf{};
  GetObjectW(SMARTinfoTEXT->Font(), sizeof lf, &lf);
  const std::wstring title = Wide(smart_window::kFontDialogTitle);
  CHOOSEFONTW cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = hwnd();
  cf.lpLogFont = &lf;
  cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_ENABLEHOOK;
  cf.lpfnHook = &FontDialogHook;
  cf.lCustData = reinterpret_cast<LPARAM>(title.c_str());
  if (!ChooseFontW(&cf)) return;
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return;
  SMARTinfoTEXT->SetFont(font);
  if (chosenFont_) DeleteObject(chosenFont_);
  chosenFont_ = font;
}

void TSMARTinfo::PrinterSetup(smart_window::PrintedForm form) {
  if (TSmartReportPage* report = Report(form)) report->PrinterSetup(hwnd());
}

}  // namespace dt::win
