// Program start of the GUI: the machine to open and the windows in their
// order of creation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/qt/forms.h"
#include "ui/qt/qt_main_thread.h"
#include "ui/qt/qt_notifier.h"

namespace dt::ui {

// All windows of the program, created in order at construction and kept
// until destruction. Needs a QApplication.
class GuiApp {
 public:
  GuiApp();
  ~GuiApp();
  GuiApp(const GuiApp&) = delete;
  GuiApp& operator=(const GuiApp&) = delete;

  const Forms& forms() const { return table_.forms(); }
  // Shows the main window.
  void Show();

 private:
  QtMainThread mainThread_;
  QtNotifier notifier_;
  app::FormsTable<FormKinds> table_;
};

}  // namespace dt::ui
