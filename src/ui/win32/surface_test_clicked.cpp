// TForm1.Button11Click, "Surface test". It stands apart from the surface
// test window so that a program that only uses the window (the window tests)
// does not need the main window.
#include "device/notify.h"
#include "speedtest/read_speed_run.h"
#include "surface/surface_window_form.h"
#include "ui/win32/main_window.h"
#include "ui/win32/surface_window.h"

namespace dt::win {

void SurfaceTestClicked(const Forms& forms) {
  TForm1& main = *forms.Form1;
  // The read-speed run holds the disk handle that the hand-over would open.
  if (main.Speed().Busy()) {
    Notify().ShowMessage(SurfaceTestForm().title, SpeedTest::BusyText());
    return;
  }
  TSurfaceTest& window = *forms.SurfaceTest;
  surface::SurfaceHandOver(
      main.Settings().drive, window.Logic(), [&window] { window.ShowModal(); }, PumpWorkerSteps);
}

}  // namespace dt::win
