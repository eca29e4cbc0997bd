// Program start of the Windows program: the windows in their order of
// creation, on the machine that OpenMachine put in place.
#pragma once

#include "ui/win32/forms.h"
#include "ui/win32/main_thread.h"
#include "ui/win32/notifier.h"

namespace dt::win {

// All windows of the program, created in order at construction and kept
// until destruction. InitGui must have run.
class WinApp {
 public:
  WinApp();
  ~WinApp();
  WinApp(const WinApp&) = delete;
  WinApp& operator=(const WinApp&) = delete;

  const Forms& forms() const { return table_.forms(); }
  // Shows the main window.
  void Show();
  // Serves messages until the main window is closed; returns the exit code.
  int Run();

 private:
  WinMainThread mainThread_;
  WinNotifier notifier_;
  app::FormsTable<FormKinds> table_;
};

}  // namespace dt::win
