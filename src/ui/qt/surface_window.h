// The surface test window: the mode and logging options, Start / Stop, the
// disk's particulars, the running counters and the disk map. The window
// logic (option rules, numeric edits, confirmations, the run) lives in
// surface::SurfaceTestLogic and app::SurfaceWindow; this window gives them
// its controls and shows the map image that the logic draws.
#pragma once

#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>
#include <vector>

#include "app/surface_window.h"
#include "base/worker.h"
#include "surface/surface_logic.h"
#include "ui/qt/form_builder.h"
#include "ui/qt/forms.h"
#include "ui/qt/qt_view.h"

namespace dt::ui {

class TErrListFrm;

// Image1: shows a copy of the map raster and reports mouse moves.
class TSurfaceImage : public QWidget {
  Q_OBJECT
 public:
  explicit TSurfaceImage(QWidget* parent = nullptr);

  // Takes the whole raster (new size) or one rectangle of it.
  void TakeAll(const surface::MapImage& map);
  void TakeRect(const surface::MapImage& map, const QRect& r);
  // The picture shown.
  const QImage& Picture() const { return picture_; }
  // The access-time legend, drawn in a box at the top right over the map
  // (none when empty).
  void SetLegend(std::vector<surface::LegendEntry> legend);

  std::function<void(int x, int y)> OnMouseMove;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  QImage picture_;
  std::vector<surface::LegendEntry> legend_;
};

class TSurfaceTest : public QDialog, private app::SurfaceWindowHost {
  Q_OBJECT
 public:
  // FormCreate: the window logic and its worker, whose steps run through
  // `mainThread`; error lines go to `errors`.
  TSurfaceTest(MainThread& mainThread, TErrListFrm* errors, QWidget* parent = nullptr);
  ~TSurfaceTest() override;

  surface::SurfaceTestLogic& Logic() { return window_->Logic(); }

  // A control of the window by its name in the description.
  template <class W>
  W* Get(const std::string& name) const {
    return built_->Get<W>(name);
  }

  // Shows the window modally to its parent window; returns when it is
  // closed. Windows the test opens itself (the errors log) stay usable.
  int ShowModal();

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // SurfaceWindowHost
  void ShowMap(const surface::MapImage& map) override;
  void ShowCell(const surface::MapImage& map, int left, int top, int width, int height) override;
  void ShowLegend(const std::vector<surface::LegendEntry>& legend) override;
  void ScreenArea(app::Size* maxClient, app::Size* frame) override;
  void PlaceWindow(const form::Rect& place) override;

  std::unique_ptr<BuiltForm> built_;
  std::unique_ptr<QtView> view_;
  TSurfaceImage* image_ = nullptr;
  app::ErrorsWindowLog<TErrListFrm> errors_;
  std::unique_ptr<app::SurfaceWindow> window_;
  QMargins frame_;
};

// Hands the chosen disk to the surface test window, shows it modally and,
// when it has closed and its worker has left the run, closes the disk.
void ShowSurfaceWindow(const Forms& forms, const DriveRef& drive);

}  // namespace dt::ui
