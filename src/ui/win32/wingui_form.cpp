// The forms of the thin Win32 layer: a window built from its description,
// its window procedure, modal showing, and the message loops.
#include "ui/win32/wingui.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "ui/win32/chart.h"
#include "ui/win32/wingui_classes.h"

namespace dt::win {

// --- Form -------------------------------------------------------------------

namespace {

std::unique_ptr<Control> MakeControl(const form::ControlSpec& c, Form& f) {
  switch (c.kind) {
    case form::Kind::Label:
    case form::Kind::CentredLabel:
      return std::make_unique<Label>(c, f);
    case form::Kind::Button:
    case form::Kind::DefaultButton:
      return std::make_unique<Button>(c, f);
    case form::Kind::CheckBox:
    case form::Kind::RadioButton:
      return std::make_unique<CheckBox>(c, f);
    case form::Kind::Edit:
      return std::make_unique<Edit>(c, f);
    case form::Kind::ComboBox:
    case form::Kind::DriveSelector:
      return std::make_unique<ComboBox>(c, f);
    case form::Kind::Panel:
      return std::make_unique<Panel>(c, f);
    case form::Kind::Memo:
      return std::make_unique<Memo>(c, f);
    case form::Kind::Clock:
      return std::make_unique<Clock>(c, f);
    case form::Kind::Chart:
      return std::make_unique<LineChart>(c, f);
    default:
      return nullptr;
  }
}

DWORD FormStyle(form::Border b) {
  switch (b) {
    case form::Border::Sizeable:
      return WS_OVERLAPPEDWINDOW;
    case form::Border::SizeGrip:
      return WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
    case form::Border::Fixed:
      return WS_CAPTION | WS_SYSMENU;
    case form::Border::Dialog:
      return WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  }
  return WS_OVERLAPPEDWINDOW;
}

}  // namespace

Form::Form(const form::FormSpec& spec, const Factory& custom) : spec_(spec), shown_(spec) {
  const DWORD style = FormStyle(spec.border) | WS_CLIPCHILDREN;
  const DWORD exStyle =
      WS_EX_CONTROLPARENT | (spec.border == form::Border::Dialog ? WS_EX_DLGMODALFRAME : 0);
  RECT r{0, 0, spec.clientWidth, spec.clientHeight};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  hwnd_ = CreateWindowExW(exStyle, kFormClass, Wide(spec.title).c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                          Instance(), this);
  if (!hwnd_) throw std::runtime_error(std::string("cannot create the window ") + spec.name);
  font_ = FormFont(spec);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  Build(custom);
}

Form::~Form() {
  if (hwnd_) {
    for (std::size_t i = 0; i < timers_.size(); ++i) KillTimer(hwnd_, i + 1);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (tips_) DestroyWindow(tips_);
}

void Form::Build(const Factory& custom) {
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, Instance(), nullptr);
  for (const form::ControlSpec& c : spec_.controls) {
    if (c.kind == form::Kind::Timer) continue;
    std::unique_ptr<Control> control = custom ? custom(c, *this) : nullptr;
    if (!control) control = MakeControl(c, *this);
    if (!control) throw std::logic_error(std::string("no control for ") + c.name);
    HWND parent = hwnd_;
    if (*c.parent) parent = byName_.at(c.parent)->hwnd();
    if (!control->Create(parent, font_))
      throw std::runtime_error(std::string("cannot create the control ") + c.name);
    if (*c.hint && tips_) {
      TOOLINFOW ti{};
      ti.cbSize = sizeof ti;
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = hwnd_;
      ti.uId = reinterpret_cast<UINT_PTR>(control->hwnd());
      std::wstring hint = Wide(c.hint);
      ti.lpszText = hint.data();
      SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    byName_[c.name] = control.get();
    byHwnd_[control->hwnd()] = control.get();
    controls_.push_back(std::move(control));
  }
  if (tips_) SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 600);
  if (spec_.border == form::Border::SizeGrip) {
    grip_ =
        CreateWindowExW(0, L"SCROLLBAR", nullptr,
                        WS_CHILD | WS_VISIBLE | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN, 0, 0,
                        spec_.clientWidth, spec_.clientHeight, hwnd_, nullptr, Instance(), nullptr);
  }
}

Control* Form::Find(const std::string& name) const {
  const auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

void Form::Apply(const form::FormState& state) {
  for (const form::ControlSpec& c : spec_.controls) {
    Control* w = Find(c.name);
    if (!w) continue;
    const form::ControlState& now = state[c.name];
    form::ControlState& was = shown_[c.name];
    if (now.rect.x != was.rect.x || now.rect.y != was.rect.y || now.rect.width != was.rect.width ||
        now.rect.height != was.rect.height)
      w->SetRect(now.rect);
    if (now.text != was.text) w->SetText(now.text);
    if (now.checked != was.checked) w->SetChecked(now.checked);
    if (now.enabled != was.enabled) w->SetEnabled(now.enabled);
    if (now.visible != was.visible) w->SetVisible(now.visible);
    was = now;
  }
}

void Form::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

namespace {

struct Disabled {
  HWND except;
  const std::vector<HWND>* usable;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectEnabled(HWND h, LPARAM p) {
  auto* d = reinterpret_cast<Disabled*>(p);
  if (h != d->except && IsWindowVisible(h) && IsWindowEnabled(h) &&
      std::find(d->usable->begin(), d->usable->end(), h) == d->usable->end()) {
    d->windows.push_back(h);
  }
  return TRUE;
}

}  // namespace

void Form::ShowModal(const std::vector<HWND>& usable) {
  Disabled d{hwnd_, &usable, {}};
  EnumThreadWindows(GetCurrentThreadId(), &CollectEnabled, reinterpret_cast<LPARAM>(&d));
  for (HWND h : d.windows) EnableWindow(h, FALSE);
  HWND previous = GetActiveWindow();
  // Centred over the window it was opened from, unless its FormShow places it.
  if (previous && previous != hwnd_) {
    RECT over, own;
    GetWindowRect(previous, &over);
    GetWindowRect(hwnd_, &own);
    const int x = (over.left + over.right - (own.right - own.left)) / 2;
    const int y = (over.top + over.bottom - (own.bottom - own.top)) / 2;
    Move(std::max(0, x), std::max(0, y));
  }
  const bool wasModal = modal_;
  modal_ = true;
  Show();
  RunLoopUntil([this] { return !IsWindowVisible(hwnd_); });
  modal_ = wasModal;
  for (HWND h : d.windows)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  if (previous && IsWindow(previous)) SetActiveWindow(previous);
}

void Form::Hide() {
  ShowWindow(hwnd_, SW_HIDE);
}

bool Form::Visible() const {
  return IsWindowVisible(hwnd_) != FALSE;
}

void Form::Move(int x, int y) {
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE Form::OuterSize() const {
  RECT r;
  GetWindowRect(hwnd_, &r);
  return {r.right - r.left, r.bottom - r.top};
}

SIZE Form::ClientSize() const {
  RECT r;
  GetClientRect(hwnd_, &r);
  return {r.right, r.bottom};
}

void Form::Post(std::function<void()> fn) {
  posted_.push_back(std::move(fn));
  PostMessageW(hwnd_, kPostMessage, 0, 0);
}

void Form::StartTimer(unsigned ms, std::function<void()> tick) {
  timers_.push_back(std::move(tick));
  SetTimer(hwnd_, timers_.size(), ms, nullptr);
}

void Form::Command(HWND from, int code) {
  const auto it = byHwnd_.find(from);
  if (it != byHwnd_.end()) it->second->Command(code);
}

LRESULT Form::Message(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (lp) {
        Command(reinterpret_cast<HWND>(lp), HIWORD(wp));
      } else if (LOWORD(wp) == IDCANCEL) {
        FormEscape();
      }
      return 0;
    case WM_SHOWWINDOW:
      if (wp && lp == 0) FormShow();
      break;
    case WM_SIZE:
      if (grip_) {
        const int w = GetSystemMetrics(SM_CXVSCROLL), h = GetSystemMetrics(SM_CYHSCROLL);
        SetWindowPos(grip_, HWND_TOP, LOWORD(lp) - w, HIWORD(lp) - h, w, h, SWP_NOACTIVATE);
      }
      FormResize();
      return 0;
    case WM_CLOSE:
      if (FormCloseQuery()) {
        Hide();
        FormClose();
      }
      return 0;
    case WM_TIMER:
      if (wp >= 1 && wp <= timers_.size()) {
        timers_[wp - 1]();
        return 0;
      }
      break;
    case DM_GETDEFID:
      for (const form::ControlSpec& c : spec_.controls)
        if (c.kind == form::Kind::DefaultButton) return MAKELONG(c.id, DC_HASDEFID);
      return 0;
    case kPostMessage: {
      std::vector<std::function<void()>> run;
      run.swap(posted_);
      for (auto& fn : run) fn();
      return 0;
    }
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK Form::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
    auto* self = static_cast<Form*>(cs->lpCreateParams);
    self->hwnd_ = h;
    SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (!self) return DefWindowProcW(h, msg, wp, lp);
  return self->Message(msg, wp, lp);
}

// --- Message loops ----------------------------------------------------------

namespace {

void Dispatch(MSG& m) {
  HWND root = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
  wchar_t cls[16] = {};
  if (root) GetClassNameW(root, cls, 16);
  if (root && std::wcscmp(cls, kFormClass) == 0 && IsDialogMessageW(root, &m)) return;
  TranslateMessage(&m);
  DispatchMessageW(&m);
}

}  // namespace

void RunLoopUntil(const std::function<bool()>& done) {
  MSG m;
  while (!done()) {
    const BOOL got = GetMessageW(&m, nullptr, 0, 0);
    if (got == 0) {
      // WM_QUIT: leave it for the outer loop.
      PostQuitMessage(static_cast<int>(m.wParam));
      return;
    }
    if (got < 0) return;
    Dispatch(m);
  }
}

bool PumpMessages() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return false;
    }
    Dispatch(m);
  }
  return true;
}

}  // namespace dt::win
