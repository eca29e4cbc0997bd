#include "ui/qt/gui_app.h"

#include "ui/qt/data_module.h"
#include "ui/qt/errors_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/range_dialog.h"
#include "ui/qt/smart_report_pages.h"
#include "ui/qt/smart_window.h"
#include "ui/qt/speed_report.h"
#include "ui/qt/surface_window.h"
#include "ui/qt/time_report.h"
#include "ui/qt/time_view.h"

namespace dt::ui {

GuiApp::GuiApp() {
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

GuiApp::~GuiApp() {
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

void GuiApp::Show() {
  forms_.Form1->show();
}

}  // namespace dt::ui
