// The surface test window: the mode and logging options, Start / Stop, the
// disk's particulars, the running counters and the disk map. The window
// logic (option rules, numeric edits, confirmations, the run) lives in
// surface::SurfaceTestLogic and app::SurfaceWindow; this window gives them
// its controls and shows the map image that the logic draws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/surface_window.h"
#include "base/worker.h"
#include "surface/surface_logic.h"
#include "ui/win32/form_view.h"
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

class TSurfaceTest : public Form, private app::SurfaceWindowHost {
 public:
  // FormCreate: the window logic and its worker, whose steps run through
  // `mainThread`; error lines go to `errors`. The window stays above
  // `main` when there is one.
  TSurfaceTest(MainThread& mainThread, TErrListFrm* errors, Form* main = nullptr);
  ~TSurfaceTest() override;

  surface::SurfaceTestLogic& Logic() { return window_->Logic(); }

  // Shows the window modally; returns when it is closed. Windows the test
  // opens itself (the errors log) stay usable.
  void ShowModal();

 protected:
  void FormShow() override;
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  // SurfaceWindowHost
  void ShowMap(const surface::MapImage& map) override;
  void ShowCell(const surface::MapImage& map, int left, int top, int width, int height) override;
  void ShowLegend(const std::vector<surface::LegendEntry>& legend) override;
  void ScreenArea(app::Size* maxClient, app::Size* frame) override;
  void PlaceWindow(const form::Rect& place) override;
  void BeforeApply(form::FormState& state) override;
  void AfterApply(bool shown) override;

  // The values placed after their captions end before the next control of
  // their row; a longer one ends in an ellipsis.
  void FitValues();

  TErrListFrm* errorsForm_;
  FormView view_;
  TSurfaceImage* image_ = nullptr;
  app::ErrorsWindowLog<TErrListFrm> errors_;
  std::unique_ptr<app::SurfaceWindow> window_;
  // The frame's size, found when the window is placed.
  SIZE frame_{0, 0};
  // The values of FitValues with the right edge each must end before;
  // found again when the window is shown (the clock moves then).
  std::vector<std::pair<Control*, LONG>> valueLimits_;
};

// Serves the worker's steps while the GUI thread waits for it.
void PumpWorkerSteps();

// Hands the chosen disk to the surface test window, shows it modally and,
// when it has closed and its worker has left the run, closes the disk.
void ShowSurfaceWindow(const Forms& forms, const DriveRef& drive);

}  // namespace dt::win
