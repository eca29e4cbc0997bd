#include "ui/win32/app.h"

#include "ui/win32/data_module.h"
#include "ui/win32/errors_window.h"
#include "ui/win32/main_window.h"
#include "ui/win32/range_dialog.h"
#include "ui/win32/report_page.h"
#include "ui/win32/smart_report_pages.h"
#include "ui/win32/smart_window.h"
#include "ui/win32/surface_window.h"
#include "ui/win32/time_view.h"

namespace dt::win {

// The windows are complete here: the table is made and ended in this file.
WinApp::WinApp() : table_(mainThread_, notifier_) {}
WinApp::~WinApp() = default;

void WinApp::Show() {
  table_.forms().Form1->Show();
}

int WinApp::Run() {
  MSG m;
  RunLoopUntil([] { return false; });
  // RunLoopUntil leaves WM_QUIT in the queue for this loop.
  if (PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return static_cast<int>(m.wParam);
  return 0;
}

}  // namespace dt::win
