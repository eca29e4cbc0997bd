// Message boxes and Yes/No questions of the core, as Windows message boxes.
#pragma once

#include "base/notify.h"
#include "ui/win32/main_thread.h"
#include "ui/win32/wingui.h"

namespace dt::win {

// The buttons and icon of a message box: the system error box and the range
// dialog's "Data Error" have OK and Cancel and no icon, as they always had;
// every other message is a notice with OK alone and the warning icon, or the
// information icon where it only says that a test is under way.
UINT MessageStyle(const std::string& caption, const std::string& text);

// A box asked for on the GUI thread is modal to the active window. A box of
// a worker (a read error during a read-speed run) is shown by the worker
// itself and owned by no window: the worker waits until it is closed while
// the windows keep working, so that Stop can be pressed meanwhile. The
// "Warning" questions before writing to a disk are asked on the GUI thread,
// with the warning icon and No as the default answer.
class WinNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override;
  bool Confirm(const std::string& caption, const std::string& text) override;

 private:
  WinMainThread main_;
};

}  // namespace dt::win
