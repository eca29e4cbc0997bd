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

WinApp::WinApp() {
  SetNotifier(&notifier_);
  forms_.Form1 = new TForm1(mainThread_);
  forms_.Form2 = new TForm2;
  forms_.DataModule1 = new TDataModule1;
  forms_.Form3 = new TForm3;
  forms_.RangeForm = new TRangeForm;
  forms_.Form4 = new TForm4;
  forms_.SMARTinfo = new TSMARTinfo;
  forms_.SmartRep = new TSmartRep(&forms_.DataModule1->RxMemoryData2);
  forms_.SMARTrepLandscape = new TSMARTrepLandscape(&forms_.DataModule1->RxMemoryData2);
  forms_.SMARTinfo->SetReports(forms_.SmartRep, forms_.SMARTrepLandscape);
  forms_.ErrListFrm = new TErrListFrm;
  forms_.SurfaceTest = new TSurfaceTest(mainThread_, forms_.ErrListFrm, forms_.Form1);
  forms_.Form1->FormCreate(forms_);
}

WinApp::~WinApp() {
  // The worker may still hand steps to the windows: end its run first.
  forms_.Form1->FinishRun();
  delete forms_.SurfaceTest;
  delete forms_.Form1;
  delete forms_.ErrListFrm;
  delete forms_.SMARTrepLandscape;
  delete forms_.SmartRep;
  delete forms_.SMARTinfo;
  delete forms_.Form4;
  delete forms_.RangeForm;
  delete forms_.Form3;
  delete forms_.DataModule1;
  delete forms_.Form2;
  SetNotifier(nullptr);
}

void WinApp::Show() {
  forms_.Form1->Show();
}

int WinApp::Run() {
  MSG m;
  RunLoopUntil([] { return false; });
  // RunLoopUntil leaves WM_QUIT in the queue for this loop.
  if (PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return static_cast<int>(m.wParam);
  return 0;
}

}  // namespace dt::win
