#include "ui/win32/wingui.h"

#include <commctrl.h>

#include "ui/win32/chart.h"
#include "ui/win32/wingui_classes.h"

#include <algorithm>
#include <cwchar>
#include <tuple>

namespace dt::win {

namespace {

HINSTANCE g_instance = nullptr;
// The combo box's cue banner (comctl32 6).
constexpr UINT kSetCueBanner = 0x1703;
constexpr UINT_PTR kCustomTimer = 1;

// Callbacks of the system are CALLBACK (stdcall on 32-bit Windows) named
// functions: a lambda converts only to the default calling convention.
int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// Whether the system has the face, in `charset` (DEFAULT_CHARSET: in any).
bool HasFace(const std::string& face, BYTE charset = DEFAULT_CHARSET) {
  HDC dc = GetDC(nullptr);
  LOGFONTW lf{};
  lf.lfCharSet = charset;
  const std::wstring w = Wide(face);
  wcsncpy(lf.lfFaceName, w.c_str(), LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(dc, &lf, &FoundFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

// Hands a panel's child commands and colour requests on to its parent, up
// to the form.
LRESULT CALLBACK PanelProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      return SendMessageW(GetParent(h), msg, wp, lp);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT rc;
      GetClientRect(h, &rc);
      DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
      EndPaint(h, &ps);
      return 0;
    }
  }
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::string WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, w.data(), n + 1);
  w.resize(static_cast<std::size_t>(std::max(got, 0)));
  return Utf8(w);
}

void SetWindowTextUtf8(HWND hwnd, const std::string& utf8) {
  SetWindowTextW(hwnd, Wide(utf8).c_str());
}

std::string Caption(const char* text) {
  std::string s = text;
  for (std::size_t at = s.find("&&"); at != std::string::npos; at = s.find("&&", at + 1))
    s.erase(at, 1);
  return s;
}

int PointsToPixels(double points) {
  return static_cast<int>(points * 96.0 / 72.0 + 0.5);
}

HFONT FontOf(const std::vector<std::string>& families, int pixels, bool bold, bool fixedPitch) {
  static std::map<std::tuple<std::vector<std::string>, int, bool, bool>, HFONT> made;
  const auto key = std::make_tuple(families, pixels, bold, fixedPitch);
  if (const auto it = made.find(key); it != made.end()) return it->second;
  std::string face = families.empty() ? std::string("MS Shell Dlg") : families.back();
  bool found = false;
  // Fixed-pitch text holds the Russian reports: a face without Cyrillic (the
  // bitmap Fixedsys of a western system) gives way to the next one that has
  // it.
  if (fixedPitch) {
    for (const std::string& f : families) {
      if (HasFace(f, RUSSIAN_CHARSET)) {
        face = f;
        found = true;
        break;
      }
    }
  }
  for (std::size_t i = 0; !found && i < families.size(); ++i) {
    if (HasFace(families[i])) {
      face = families[i];
      found = true;
    }
  }
  if (fixedPitch && !HasFace(face)) face = "Courier New";
  const DWORD pitch = fixedPitch ? (FIXED_PITCH | FF_MODERN) : (DEFAULT_PITCH | FF_SWISS);
  auto make = [&](int width) {
    return CreateFontW(-pixels, width, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       pitch, Wide(face).c_str());
  };
  HFONT font = make(0);
  // The layouts are made for the narrow first face; a stand-in for it is
  // condensed a little, so that captions stay inside their controls.
  if (!fixedPitch && !families.empty() && face != families.front()) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (tm.tmAveCharWidth > 0) {
      DeleteObject(font);
      font = make(std::max<int>(1, static_cast<int>(tm.tmAveCharWidth * 0.9 + 0.5)));
    }
  }
  made[key] = font;
  return font;
}

std::string FaceOf(HFONT font) {
  LOGFONTW lf{};
  GetObjectW(font, sizeof lf, &lf);
  return Utf8(lf.lfFaceName);
}

HFONT FormFont(const form::FormSpec& spec) {
  if (spec.fontFamilies.empty()) {
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    static HFONT system = nullptr;
    if (!system && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0))
      system = CreateFontIndirectW(&m.lfMessageFont);
    return system ? system : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  return FontOf(std::vector<std::string>(spec.fontFamilies.begin(), spec.fontFamilies.end()),
                PointsToPixels(spec.fontPoints));
}

// --- Control ----------------------------------------------------------------

bool Control::Create(HWND parent, HFONT font) {
  if (spec_.font) {
    font =
        FontOf(std::vector<std::string>(spec_.font->families.begin(), spec_.font->families.end()),
               PointsToPixels(spec_.font->points), spec_.bold, spec_.font->fixedPitch);
  } else if (spec_.fontPixels || spec_.bold) {
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    const int pixels = spec_.fontPixels ? spec_.fontPixels : -lf.lfHeight;
    font = FontOf({Utf8(lf.lfFaceName)}, pixels, spec_.bold);
  }
  font_ = font;
  DWORD style = WS_CHILD | Style();
  if (spec_.visible) style |= WS_VISIBLE;
  if (!spec_.enabled) style |= WS_DISABLED;
  const std::string text = Prefixed() ? std::string(spec_.caption) : Caption(spec_.caption);
  const bool isCombo = dynamic_cast<ComboBox*>(this) != nullptr;
  hwnd_ = CreateWindowExW(
      ExStyle(), ClassName(), isCombo ? L"" : Wide(text).c_str(), style, spec_.rect.x, spec_.rect.y,
      spec_.rect.width, CreateHeight(spec_.rect.height), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec_.id)), g_instance, this);
  if (!hwnd_) return false;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  AfterCreate();
  if (isCombo) SetText(text);
  SetRect(spec_.rect);
  return true;
}

std::string Control::Text() const {
  return Prefixed() ? Caption(WindowText(hwnd_).c_str()) : WindowText(hwnd_);
}

void Control::SetText(const std::string& utf8) {
  SetWindowTextUtf8(hwnd_, Prefixed() ? utf8 : Caption(utf8.c_str()));
  if (spec_.autoSize) FitText();
}

bool Control::Enabled() const {
  return IsWindowEnabled(hwnd_) != FALSE;
}

void Control::SetEnabled(bool on) {
  EnableWindow(hwnd_, on ? TRUE : FALSE);
}

bool Control::Visible() const {
  return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Control::SetVisible(bool on) {
  ShowWindow(hwnd_, on ? SW_SHOWNA : SW_HIDE);
}

RECT Control::Place() const {
  RECT r;
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Control::SetRect(const form::Rect& r) {
  int x = r.x;
  if (*spec_.rightOf) {
    if (const Control* left = form_.Find(spec_.rightOf)) x += left->Place().right;
  }
  SetWindowPos(hwnd_, nullptr, x, r.y, r.width, CreateHeight(r.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (spec_.autoSize) FitText();
}

void Control::FitText() {
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  const std::wstring text = Wide(Text());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  SetWindowPos(hwnd_, nullptr, 0, 0, text.empty() ? 0 : r.right, r.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A static control may have drawn the new text at once in its old width,
  // wrapped, and then keep that part: all of it is drawn again.
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Control::SetFont(HFONT font) {
  font_ = font;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  if (spec_.autoSize) FitText();
}

std::string Control::Hint() const {
  wchar_t buffer[512] = {};
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = form_.hwnd();
  ti.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  ti.lpszText = buffer;
  SendMessageW(form_.Tooltips(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
  return Utf8(buffer);
}

void Control::Command(int) {}

DWORD Label::Style() const {
  return SS_NOPREFIX | (spec_.kind == form::Kind::CentredLabel ? SS_CENTER : SS_LEFT);
}

DWORD Button::Style() const {
  return WS_TABSTOP | (spec_.kind == form::Kind::DefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

void Button::Command(int code) {
  if (code == BN_CLICKED && onClick) onClick();
}

DWORD CheckBox::Style() const {
  return WS_TABSTOP |
         (spec_.kind == form::Kind::RadioButton ? BS_AUTORADIOBUTTON : BS_AUTOCHECKBOX);
}

bool CheckBox::Checked() const {
  return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool on) {
  SendMessageW(hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::Command(int code) {
  if (code == BN_CLICKED && onClick) onClick();
}

DWORD Edit::Style() const {
  return WS_TABSTOP | ES_AUTOHSCROLL;
}

void Edit::SetText(const std::string& utf8) {
  // Setting the same text again would put the caret at its start.
  if (Text() != utf8) SetWindowTextUtf8(hwnd_, utf8);
}

void Edit::AfterCreate() {
  SetWindowSubclass(hwnd_, &Edit::Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK Edit::Subclass(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
  if (msg == WM_KILLFOCUS) reinterpret_cast<Edit*>(self)->focusTo_ = reinterpret_cast<HWND>(wp);
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(h, &Edit::Subclass, 1);
  return DefSubclassProc(h, msg, wp, lp);
}

void Edit::Command(int code) {
  if (code == EN_CHANGE && onChange) onChange();
  if (code == EN_KILLFOCUS && onLeave && focusTo_ && GetAncestor(focusTo_, GA_ROOT) == form_.hwnd())
    onLeave();
}

DWORD ComboBox::Style() const {
  return WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
}

void ComboBox::AfterCreate() {}

std::string ComboBox::Text() const {
  const int i = Current();
  return i < 0 ? cue_ : ItemText(i);
}

void ComboBox::SetText(const std::string& utf8) {
  cue_ = utf8;
  SendMessageW(hwnd_, kSetCueBanner, 0, reinterpret_cast<LPARAM>(Wide(utf8).c_str()));
}

void ComboBox::Clear() {
  SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
  data_.clear();
}

void ComboBox::Add(const std::string& text, const std::string& data) {
  SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  data_.push_back(data);
}

int ComboBox::Count() const {
  return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0));
}

int ComboBox::Current() const {
  return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
}

void ComboBox::SetCurrent(int index) {
  SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string ComboBox::ItemText(int index) const {
  const LRESULT n = SendMessageW(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == CB_ERR) return {};
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  SendMessageW(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(w.data()));
  w.resize(static_cast<std::size_t>(n));
  return Utf8(w);
}

std::string ComboBox::ItemData(int index) const {
  return index >= 0 && static_cast<std::size_t>(index) < data_.size()
             ? data_[static_cast<std::size_t>(index)]
             : std::string();
}

void ComboBox::Command(int code) {
  if (code == CBN_SELCHANGE && onChange) onChange();
}

DWORD Memo::Style() const {
  return WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
         ES_WANTRETURN | ES_NOHIDESEL;
}

void Memo::AfterCreate() {
  SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0);
}

void Memo::Clear() {
  SetWindowTextW(hwnd_, L"");
}

void Memo::AppendLine(const std::string& line) {
  const int end = GetWindowTextLengthW(hwnd_);
  std::wstring w = Wide(line);
  if (end > 0) w.insert(0, L"\r\n");
  SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(w.c_str()));
}

std::vector<std::string> Memo::Lines() const {
  std::vector<std::string> lines;
  const std::string all = Text();
  std::size_t at = 0;
  for (;;) {
    const std::size_t end = all.find("\r\n", at);
    lines.push_back(all.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

void Memo::ScrollToEnd() {
  const int n = static_cast<int>(SendMessageW(hwnd_, EM_GETLINECOUNT, 0, 0));
  const int start =
      static_cast<int>(SendMessageW(hwnd_, EM_LINEINDEX, static_cast<WPARAM>(n - 1), 0));
  SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start));
  SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
  SendMessageW(hwnd_, WM_HSCROLL, SB_LEFT, 0);
}

const wchar_t* Panel::ClassName() const {
  return kPanelClass;
}

// --- Custom -----------------------------------------------------------------

const wchar_t* Custom::ClassName() const {
  return kCustomClass;
}

void Custom::Redraw() {
  InvalidateRect(hwnd_, nullptr, FALSE);
  UpdateWindow(hwnd_);
}

void Custom::SetText(const std::string& utf8) {
  text_ = utf8;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void Custom::StartTimer(unsigned ms) {
  SetTimer(hwnd_, kCustomTimer, ms, nullptr);
}

LRESULT CALLBACK Custom::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<Custom*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (!self) return DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT rc;
      GetClientRect(h, &rc);
      if (!self->Buffered()) {
        self->Paint(dc, rc);
        EndPaint(h, &ps);
        return 0;
      }
      // Drawn off screen first, so that a live chart does not flicker.
      HDC mem = CreateCompatibleDC(dc);
      HBITMAP bmp =
          CreateCompatibleBitmap(dc, std::max<LONG>(rc.right, 1), std::max<LONG>(rc.bottom, 1));
      HGDIOBJ old = SelectObject(mem, bmp);
      self->Paint(mem, rc);
      BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      DeleteObject(bmp);
      DeleteDC(mem);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      self->MouseMove(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_TIMER:
      if (wp == kCustomTimer) self->Timer();
      return 0;
    case WM_SIZE:
      // A control is drawn for its whole size: at a new one all of it is
      // drawn again, so that no part of the old picture stays beside or
      // under the new one (the class redraws so too; this holds wherever
      // the size comes from).
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(h, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

void Clock::AfterCreate() {
  Tick();
  StartTimer(1000);
}

void Clock::Tick() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t buffer[16];
  swprintf(buffer, 16, L"%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
  text_ = Utf8(buffer);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void Clock::Paint(HDC dc, const RECT& client) {
  RECT r = client;
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  HGDIOBJ old = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const std::wstring w = Wide(text_);
  DrawTextW(dc, w.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

void InitGui(HINSTANCE instance) {
  g_instance = instance;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpfnWndProc = &Form::Proc;
  wc.lpszClassName = kFormClass;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  RegisterClassExW(&wc);
  wc.hIcon = nullptr;
  wc.lpfnWndProc = &PanelProc;
  wc.lpszClassName = kPanelClass;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = &Custom::Proc;
  wc.lpszClassName = kCustomClass;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.hbrBackground = nullptr;
  RegisterClassExW(&wc);
}

HINSTANCE Instance() {
  return g_instance;
}

}  // namespace dt::win
