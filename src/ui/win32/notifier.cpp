#include "ui/win32/notifier.h"

#include "ui/win32/wingui.h"

namespace dt::win {

namespace {

// The window a box on the GUI thread is modal to: the active one, when it
// belongs to this thread.
HWND ActiveOwner() {
  HWND active = GetActiveWindow();
  return active && IsWindowVisible(active) ? active : nullptr;
}

}  // namespace

UINT MessageStyle(const std::string& caption, const std::string& text) {
  switch (StyleOf(caption, text)) {
    case dt::MessageStyle::OkCancel:
      return MB_OKCANCEL;
    case dt::MessageStyle::Information:
      return MB_OK | MB_ICONINFORMATION;
    case dt::MessageStyle::Warning:
      break;
  }
  return MB_OK | MB_ICONWARNING;
}

void WinNotifier::ShowMessage(const std::string& caption, const std::string& text) {
  // On a worker thread GetActiveWindow() is null: the box is owned by no
  // window.
  MessageBoxW(ActiveOwner(), Wide(text).c_str(), Wide(caption).c_str(),
              MessageStyle(caption, text));
}

bool WinNotifier::Confirm(const std::string& caption, const std::string& text) {
  int answer = IDNO;
  main_.Synchronize([&] {
    answer = MessageBoxW(ActiveOwner(), Wide(text).c_str(), Wide(caption).c_str(),
                         MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  });
  return answer == IDYES;
}

}  // namespace dt::win
