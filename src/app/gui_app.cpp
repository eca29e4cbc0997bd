#include "app/gui_app.h"

#include "platform/platform.h"
#include "platform/sim/sim_platform.h"
#include "speedtest/ui/data_module.h"
#include "speedtest/ui/errors_window.h"
#include "speedtest/ui/main_window.h"
#include "speedtest/ui/range_dialog.h"
#include "speedtest/ui/speed_report.h"
#include "speedtest/ui/time_report.h"
#include "speedtest/ui/time_view.h"
#include "surface/ui/surface_window.h"

namespace dt::ui {

bool OpenMachine(const std::vector<std::string>& args, std::string* error) {
  const std::string usage = "usage: disktest [--demo | --sim FILE]";
  if (args.empty()) {
    SetSys(MakeHostPlatform());
    return true;
  }
  if (args.size() == 1 && args[0] == "--demo") {
    SetSys(MakeDemoMachine());
    return true;
  }
  if (args.size() == 2 && args[0] == "--sim") {
    auto m = LoadSimMachine(args[1], error);
    if (!m) return false;
    SetSys(std::move(m));
    return true;
  }
  *error = usage;
  return false;
}

GuiApp::GuiApp() {
  SetNotifier(&notifier_);
  forms_.Form1 = new TForm1(mainThread_);
  forms_.Form2 = new TForm2;
  forms_.DataModule1 = new TDataModule1;
  forms_.Form3 = new TForm3;
  forms_.RangeForm = new TRangeForm;
  forms_.Form4 = new TForm4;
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
