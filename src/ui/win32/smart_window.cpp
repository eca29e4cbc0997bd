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

TSMARTinfo::TSMARTinfo() : Form(SmartInfoForm()) {
  Button1 = Get<Button>("Button1");
  Button2 = Get<Button>("Button2");
  Button5 = Get<Button>("Button5");
  Button3 = Get<Button>("Button3");
  Button4 = Get<Button>("Button4");
  RxClock1 = Get<Clock>("RxClock1");
  SMARTinfoTEXT = Get<Memo>("SMARTinfoTEXT");

  Button1->onClick = [this] { Button1Click(); };
  Button2->onClick = [this] { Button2Click(); };
  Button3->onClick = [this] { Button3Click(); };
  Button4->onClick = [this] { Button4Click(); };
  Button5->onClick = [this] { Button5Click(); };
  FormResize();
}

TSMARTinfo::~TSMARTinfo() {
  if (chosenFont_) DeleteObject(chosenFont_);
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

void TSMARTinfo::ScrollToTop() {
  const HWND memo = SMARTinfoTEXT->hwnd();
  SendMessageW(memo, EM_SETSEL, 0, 0);
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
  SendMessageW(memo, WM_VSCROLL, SB_TOP, 0);
  SendMessageW(memo, WM_HSCROLL, SB_LEFT, 0);
}

void TSMARTinfo::FormShow() {
  Move(smart_window::kShowLeft, smart_window::kShowTop);
}

void TSMARTinfo::FormResize() {
  if (!SMARTinfoTEXT) return;
  const SIZE client = ClientSize();
  const form::Rect r = smart_window::MemoRect(client.cx, client.cy);
  SetWindowPos(SMARTinfoTEXT->hwnd(), nullptr, r.x, r.y, r.width, r.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TSMARTinfo::Button1Click() {
  SendMessageW(SMARTinfoTEXT->hwnd(), EM_SETSEL, 0, -1);
  SetClipboardText(hwnd(), SMARTinfoTEXT->Text());
}

void TSMARTinfo::Button2Click() {
  TSmartReportPage* report = ChosenReport();
  if (!report) return;
  // The window is drawn in full before the preview takes a while to build.
  UpdateWindow(hwnd());
  report->Preview(hwnd());
  PumpMessages();
}

void TSMARTinfo::Button3Click() {
  if (TSmartReportPage* report = ChosenReport()) report->Print(hwnd());
}

void TSMARTinfo::Button4Click() {
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

void TSMARTinfo::Button5Click() {
  if (TSmartReportPage* report = ChosenReport()) report->PrinterSetup(hwnd());
}

}  // namespace dt::win
