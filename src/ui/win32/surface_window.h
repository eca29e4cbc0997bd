// The surface test window: the mode and logging options, Start / Stop, the
// disk's particulars, the running counters and the disk map. The window
// logic (option rules, numeric edits, confirmations, the run) lives in
// surface::SurfaceTestLogic; this window shows its controls, forwards the
// events to it and shows the map image that the logic draws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "device/worker.h"
#include "surface/surface_logic.h"
#include "ui/win32/forms.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TErrListFrm;

// Image1: a copy of the map raster in a 32-bit top-down DIB section, painted
// with BitBlt; it reports mouse moves.
class TSurfaceImage : public Custom {
 public:
  using Custom::Custom;
  ~TSurfaceImage() override;

  // Takes the whole raster (new size) or one rectangle of it; only that
  // rectangle is painted again.
  void TakeAll(const surface::MapImage& map);
  void TakeRect(const surface::MapImage& map, const RECT& r);
  // The picture's size and one of its pixels (0x00RRGGBB; 0 outside).
  int PictureWidth() const { return width_; }
  int PictureHeight() const { return height_; }
  std::uint32_t Pixel(int x, int y) const;
  // The access-time legend, drawn in a box at the top right over the map
  // (none when empty).
  void SetLegend(std::vector<surface::LegendEntry> legend);

  std::function<void(int x, int y)> onMouseMove;

 protected:
  void Paint(HDC dc, const RECT& client) override;
  bool Buffered() const override { return false; }
  void MouseMove(int x, int y) override;

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::vector<surface::LegendEntry> legend_;
};

class TSurfaceTest : public Form, private surface::SurfaceView {
 public:
  // FormCreate: the window logic and its worker, whose steps run through
  // `mainThread`; error lines go to `errors`. The window stays above
  // `main` when there is one.
  TSurfaceTest(MainThread& mainThread, TErrListFrm* errors, Form* main = nullptr);
  ~TSurfaceTest() override;

  surface::SurfaceTestLogic& Logic() { return *logic_; }

  // Shows the window modally; returns when it is closed. Windows the test
  // opens itself (the errors log) stay usable.
  void ShowModal();

  Panel* Panel1;
  CheckBox* ReadTestButton;
  CheckBox* WriteTestButton;
  CheckBox* ReadAndWriteButton;
  CheckBox* WriteAndReadButton;
  Button* StartButton;
  CheckBox* WriteToFile;
  CheckBox* LogErrors;
  Button* Button1;
  CheckBox* FirstNErrors;
  Edit* ErrorsNumber;
  Label* Label11;
  Label* Label1;
  Edit* TestRetry;
  Label* CurTestCycle;
  Label* Label5;
  Label* TestedDiskName;
  Label* Label9;
  Label* DiskSize;
  Label* Label10;
  Label* DiskModel;
  Label* Label3;
  Label* BlocksPerElement;
  Label* Label2;
  Label* WorkTime;
  Label* Label4;
  Label* Label6;
  Label* BadBlocksRead;
  Label* Label7;
  Label* BadBlocksWrite;
  Label* Label8;
  Label* BadBlocksCompare;
  Label* CurrenElementInfo;
  CheckBox* GradeAccessTime;
  Clock* RxClock1;
  TSurfaceImage* Image1;

  // Handlers.
  void StartButtonClick();
  void ErrorsNumberChange();
  void TestRetryChange();
  void Image1MouseMove(int x, int y);

 protected:
  void FormShow() override;
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // SurfaceView
  void ControlsChanged() override;
  void MapChanged() override;
  void CellChanged(int left, int top, int width, int height) override;
  void StatusChanged() override;

  // An edit's text as the logic holds it, with the caret kept after the
  // characters that stood before it.
  void SetEdit(Edit* edit, const std::string& text);
  // The values placed after their captions end before the next control of
  // their row; a longer one ends in an ellipsis.
  void FitValues();

  class ErrorsAdapter;
  TErrListFrm* errorsForm_;
  std::unique_ptr<ErrorsAdapter> errors_;
  std::unique_ptr<surface::SurfaceTestLogic> logic_;
  form::FormState state_;
  // Set while the controls are brought in line with the logic's, so that
  // their change notifications are not taken for the user's.
  bool syncing_ = false;
  // The values of FitValues with the right edge each must end before;
  // found again when the window is shown (the clock moves then).
  std::vector<std::pair<Control*, LONG>> valueLimits_;
};

// Serves the worker's steps while the GUI thread waits for it.
void PumpWorkerSteps();

// Hands the chosen disk to the surface test window, shows it modally and,
// when it has closed and its worker has left the run, closes the disk.
void ShowSurfaceWindow(const Forms& forms, const DriveSelection& drive);

}  // namespace dt::win
