// The surface test window's logic as a window: the controls hooked to the
// surface logic by name, its control states shown through a View, the
// numeric edits kept in step without echoing back, the place and size the
// window takes when shown, and a run finished before the window goes.
// Written once; each toolkit gives it the window's controls through a View
// and the map picture and the screen through a SurfaceWindowHost.
#pragma once

#include <memory>
#include <vector>

#include "app/view.h"
#include "surface/surface_logic.h"

namespace dt::app {

// What the window's logic asks of its toolkit beside the controls.
class SurfaceWindowHost {
 public:
  virtual ~SurfaceWindowHost() = default;
  // The map picture, whole (a new size) or one rectangle of it.
  virtual void ShowMap(const surface::MapImage& map) = 0;
  virtual void ShowCell(const surface::MapImage& map, int left, int top, int width,
                        int height) = 0;
  // The access-time legend over the map (none when empty).
  virtual void ShowLegend(const std::vector<surface::LegendEntry>& legend) = 0;
  // The client area of the window maximised on its screen, and the frame's
  // total width and height.
  virtual void ScreenArea(Size* maxClient, Size* frame) = 0;
  // The window's outer top-left corner goes to (place.x, place.y) and its
  // client area takes place's size, which the user cannot change.
  virtual void PlaceWindow(const form::Rect& place) = 0;
  // Before the controls show `state`, and after (`shown` is true when the
  // window has just been placed).
  virtual void BeforeApply(form::FormState& /*state*/) {}
  virtual void AfterApply(bool /*shown*/) {}
};

// The errors window of a toolkit as the surface test's log.
template <class ErrorsWindow>
class ErrorsWindowLog : public surface::ErrorLog {
 public:
  explicit ErrorsWindowLog(ErrorsWindow* window) : window_(window) {}
  void Clear() override {
    if (window_) window_->Clear();
  }
  void Append(const std::string& line) override {
    if (window_) window_->AppendLine(line);
  }
  void Show() override {
    if (window_) window_->ShowModeless();
  }

 private:
  ErrorsWindow* window_;
};

class SurfaceWindow : private surface::SurfaceView {
 public:
  // Hooks the view's controls and creates the surface logic with its
  // worker, whose steps run through `mainThread`.
  SurfaceWindow(View& view, SurfaceWindowHost& host, MainThread& mainThread,
                surface::ErrorLog& errors);
  // A run still under way is stopped and its last steps served, up to its
  // end-of-run step, before the worker ends.
  ~SurfaceWindow() override;

  surface::SurfaceTestLogic& Logic() { return *logic_; }

  // The window is about to show: it takes the size of its map.
  void FormShow();
  // The window was hidden: a run under way stops.
  void FormHide() { logic_->FormHide(); }
  void MapMouseMove(int x, int y) { logic_->Image1MouseMove(x, y); }

 private:
  // SurfaceView
  void ControlsChanged() override;
  void MapChanged() override;
  void CellChanged(int left, int top, int width, int height) override;
  void StatusChanged() override { ControlsChanged(); }

  void Show(bool placed);

  View& view_;
  SurfaceWindowHost& host_;
  form::FormState state_;
  std::unique_ptr<surface::SurfaceTestLogic> logic_;
  // Set while the controls are brought in line with the logic's, so that
  // their change notifications are not taken for the user's.
  bool syncing_ = false;
};

}  // namespace dt::app
