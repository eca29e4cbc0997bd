// A thin layer over raw Win32 controls, for the windows of the Windows
// program: one small class per control kind on a Control base, one window
// procedure that hands WM_COMMAND back to the control it came from, and one
// function that builds a whole window from its description (forms/form.h).
// Text is UTF-8 in this layer's interface and UTF-16 at every Win32 call.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "forms/form.h"

namespace dt::win {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The text of a window (control or form) as UTF-8.
std::string WindowText(HWND hwnd);
void SetWindowTextUtf8(HWND hwnd, const std::string& utf8);

// A label's text with the doubled "&&" of the descriptions as one "&".
std::string Caption(const char* text);

// A font of the first of `families` that the system has (the last one when
// none is there), at `pixels` height in 96-dpi pixels. Fonts are made once
// per face, size and weight and kept until the program ends.
HFONT FontOf(const std::vector<std::string>& families, int pixels, bool bold = false,
             bool fixedPitch = false);
// Pixels of a point size on the 96-dpi forms.
int PointsToPixels(double points);
// The face a font was made with.
std::string FaceOf(HFONT font);

class Form;

// One child window of a form, made from its control record.
class Control {
 public:
  Control(const form::ControlSpec& spec, Form& form) : spec_(spec), form_(form) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  HWND hwnd() const { return hwnd_; }
  const form::ControlSpec& Spec() const { return spec_; }
  const char* Name() const { return spec_.name; }
  Form& Owner() const { return form_; }

  virtual std::string Text() const;
  virtual void SetText(const std::string& utf8);
  bool Enabled() const;
  void SetEnabled(bool on);
  bool Visible() const;
  void SetVisible(bool on);
  virtual bool Checked() const { return false; }
  virtual void SetChecked(bool) {}
  // The place in its parent's client area.
  RECT Place() const;
  // Puts the control at `r`; a control placed after another counts from
  // that one's right edge as it stands; an auto-sized one takes the size of
  // its text.
  void SetRect(const form::Rect& r);
  // Sizes an auto-sized control to its text.
  void FitText();
  HFONT Font() const { return font_; }
  // Draws the control in `font` from now on; the caller keeps the font alive.
  void SetFont(HFONT font);
  // The tooltip's text ("" for none).
  std::string Hint() const;

  // Set by the window that owns the control.
  std::function<void()> onClick;   // buttons, check boxes, radio buttons
  std::function<void()> onChange;  // edits as typed, lists on a new choice
  std::function<void()> onLeave;   // edits when the focus leaves them

  // Creates the window (called once by the form). Returns false on failure.
  bool Create(HWND parent, HFONT font);
  // WM_COMMAND with a notification code from this control.
  virtual void Command(int code);

 protected:
  // The window class and styles of the kind.
  virtual const wchar_t* ClassName() const = 0;
  virtual DWORD Style() const { return 0; }
  virtual DWORD ExStyle() const { return 0; }
  // The height the window is created with (a list's drop-down is taller).
  virtual int CreateHeight(int height) const { return height; }
  virtual void AfterCreate() {}
  // Whether the window takes '&' as the mark of an access key (buttons):
  // it then gets the description's text as it stands, whose "&&" it shows
  // as one ampersand.
  virtual bool Prefixed() const { return false; }

  const form::ControlSpec& spec_;
  Form& form_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
};

class Label : public Control {
 public:
  using Control::Control;

 protected:
  const wchar_t* ClassName() const override { return L"STATIC"; }
  DWORD Style() const override;
};

class Button : public Control {
 public:
  using Control::Control;
  void Command(int code) override;

 protected:
  bool Prefixed() const override { return true; }
  const wchar_t* ClassName() const override { return L"BUTTON"; }
  DWORD Style() const override;
};

class CheckBox : public Control {
 public:
  using Control::Control;
  bool Checked() const override;
  void SetChecked(bool on) override;
  void Command(int code) override;

 protected:
  bool Prefixed() const override { return true; }
  const wchar_t* ClassName() const override { return L"BUTTON"; }
  DWORD Style() const override;
  void AfterCreate() override { SetChecked(spec_.checked); }
};

class Edit : public Control {
 public:
  using Control::Control;
  void SetText(const std::string& utf8) override;
  // onLeave comes when the focus moves to another control of the same
  // form, not when the form loses the focus to another window.
  void Command(int code) override;

 protected:
  const wchar_t* ClassName() const override { return L"EDIT"; }
  DWORD Style() const override;
  DWORD ExStyle() const override { return WS_EX_CLIENTEDGE; }
  void AfterCreate() override;

 private:
  static LRESULT CALLBACK Subclass(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                   DWORD_PTR self);
  HWND focusTo_ = nullptr;  // where the focus went when it last left
};

// A drop-down list; while it has no choice it shows its caption as a cue.
class ComboBox : public Control {
 public:
  using Control::Control;
  // The chosen item's text, or the cue while there is no choice.
  std::string Text() const override;
  // Sets the cue.
  void SetText(const std::string& utf8) override;
  void Clear();
  void Add(const std::string& text, const std::string& data = "");
  int Count() const;
  int Current() const;
  void SetCurrent(int index);
  std::string ItemText(int index) const;
  std::string ItemData(int index) const;
  void Command(int code) override;

 protected:
  const wchar_t* ClassName() const override { return L"COMBOBOX"; }
  DWORD Style() const override;
  int CreateHeight(int height) const override { return height + 240; }
  void AfterCreate() override;

 private:
  std::string cue_;
  std::vector<std::string> data_;
};

// Multi-line text, unwrapped, with both scroll bars.
class Memo : public Control {
 public:
  using Control::Control;
  void Clear();
  void AppendLine(const std::string& line);
  std::vector<std::string> Lines() const;
  // Shows the last lines from their beginnings.
  void ScrollToEnd();

 protected:
  const wchar_t* ClassName() const override { return L"EDIT"; }
  DWORD Style() const override;
  DWORD ExStyle() const override { return WS_EX_CLIENTEDGE; }
  void AfterCreate() override;
};

// A raised frame that groups controls; it hands its children's commands
// to the form.
class Panel : public Control {
 public:
  using Control::Control;

 protected:
  const wchar_t* ClassName() const override;
  DWORD Style() const override { return WS_CLIPSIBLINGS | WS_CLIPCHILDREN; }
  DWORD ExStyle() const override { return WS_EX_CONTROLPARENT; }
};

// A control that paints itself: charts, the clock, the surface map.
class Custom : public Control {
 public:
  using Control::Control;
  // Repaints now.
  void Redraw();
  std::string Text() const override { return text_; }
  void SetText(const std::string& utf8) override;

 protected:
  const wchar_t* ClassName() const override;
  DWORD Style() const override { return 0; }
  virtual void Paint(HDC dc, const RECT& client) = 0;
  // False for a control that keeps its own picture: Paint then draws on the
  // window itself, clipped to the part that needs painting, with no
  // off-screen copy of the whole control between.
  virtual bool Buffered() const { return true; }
  virtual void MouseMove(int /*x*/, int /*y*/) {}
  virtual void Timer() {}
  // Starts the control's own timer (WM_TIMER to Timer()).
  void StartTimer(unsigned ms);

  std::string text_;

 public:
  // The window procedure of the class (registered by InitGui).
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
};

// The time of day, hh:mm:ss, in a sunken frame; it ticks every second.
class Clock : public Custom {
 public:
  using Custom::Custom;
  void Tick();

 protected:
  void Paint(HDC dc, const RECT& client) override;
  void Timer() override { Tick(); }
  void AfterCreate() override;
};

// A top-level window built from a form description. It is created hidden
// and lives until the program ends; closing it hides it.
class Form {
 public:
  // Kinds that only the window knows (charts, images) come from `custom`.
  using Factory = std::function<std::unique_ptr<Control>(const form::ControlSpec&, Form&)>;
  Form(const form::FormSpec& spec, const Factory& custom = {});
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  HWND hwnd() const { return hwnd_; }
  const form::FormSpec& Spec() const { return spec_; }

  // The control of that name, as its class; throws when there is none.
  template <class C>
  C* Get(const std::string& name) const {
    const auto it = byName_.find(name);
    C* c = it == byName_.end() ? nullptr : dynamic_cast<C*>(it->second);
    if (!c) throw std::logic_error("no control " + name + " of that kind");
    return c;
  }
  Control* Find(const std::string& name) const;
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }

  // Shows what differs between `state` and what was shown last.
  void Apply(const form::FormState& state);

  // Shows the window without blocking.
  void Show();
  // Shows the window and returns when it is closed or hidden; every other
  // window of the program is disabled meanwhile, but for `usable` (windows
  // that the modal one opens itself and that stay usable beside it).
  void ShowModal(const std::vector<HWND>& usable = {});
  bool IsModal() const { return modal_; }
  void Hide();
  bool Visible() const;
  // Puts the window's outer top-left corner at (x, y) of the screen.
  void Move(int x, int y);
  // The size of the window with its frame.
  SIZE OuterSize() const;
  SIZE ClientSize() const;

  // The tooltip window of the form.
  HWND Tooltips() const { return tips_; }

  // Runs `fn` on this form's thread after the current message.
  void Post(std::function<void()> fn);
  // Runs `tick` every `ms` milliseconds while the window exists.
  void StartTimer(unsigned ms, std::function<void()> tick);

 protected:
  // WM_SHOWWINDOW when it is shown, before it appears.
  virtual void FormShow() {}
  // WM_SIZE.
  virtual void FormResize() {}
  // Escape, which the dialog keys send as IDCANCEL with no control behind
  // it; nothing by default (Escape closes no window but those that say so).
  virtual void FormEscape() {}
  // WM_CLOSE: false keeps the window open.
  virtual bool FormCloseQuery() { return true; }
  // After the window was hidden by a close.
  virtual void FormClose() {}
  virtual LRESULT Message(UINT msg, WPARAM wp, LPARAM lp);

 public:
  // The window procedure of every form (registered by InitGui).
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

 private:
  void Build(const Factory& custom);
  void Command(HWND from, int code);

  const form::FormSpec& spec_;
  HWND hwnd_ = nullptr;
  HWND tips_ = nullptr;
  HWND grip_ = nullptr;
  HFONT font_ = nullptr;
  std::vector<std::unique_ptr<Control>> controls_;
  std::map<std::string, Control*> byName_;
  std::map<HWND, Control*> byHwnd_;
  std::vector<std::wstring> hints_;
  form::FormState shown_;
  bool modal_ = false;
  bool inModalLoop_ = false;
  std::vector<std::function<void()>> posted_;
  std::vector<std::function<void()>> timers_;  // WM_TIMER id - 1
};

// The form's font as the description gives it.
HFONT FormFont(const form::FormSpec& spec);

// Serves messages until `done` holds (a modal loop of its own). Keyboard
// navigation works in every form.
void RunLoopUntil(const std::function<bool()>& done);
// Serves the messages waiting now; false once WM_QUIT came.
bool PumpMessages();

// Registers the window classes and common controls; called once at start.
void InitGui(HINSTANCE instance);
HINSTANCE Instance();

}  // namespace dt::win
