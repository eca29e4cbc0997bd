// The Win32 main window: the controls of the main window's description, the
// speed chart and the clock; what they show is the window logic's
// (app/main_window.h), and this window opens the others for it.
#pragma once

#include <memory>

#include "app/main_window_base.h"
#include "ui/win32/form_view.h"
#include "ui/win32/forms.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TForm1 : public Form, public app::MainWindowBase<FormKinds, HWND> {
 public:
  // `mainThread` runs the worker's steps on this window's thread.
  explicit TForm1(MainThread& mainThread);
  ~TForm1() override;

  // Connects the window to the windows created after it and creates its
  // logic. Called once, when every window of `forms` exists.
  void FormCreate(const Forms& forms);

 protected:
  void FormShow() override;
  void FormResize() override;
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ShowSurfaceTest(const DriveRef& drive) override;

  MainThread& mainThread_;
  FormView view_;
};

}  // namespace dt::win
