// The surface test window: the mode and logging options, Start / Stop, the
// disk's particulars, the running counters and the disk map. The window
// logic (option rules, numeric edits, confirmations, the run) lives in
// surface::SurfaceTestLogic; this window shows its controls, forwards the
// events to it and shows the map image that the logic draws.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <memory>
#include <vector>

#include "device/worker.h"
#include "surface/surface_logic.h"
#include "ui/qt/clock_label.h"
#include "ui/qt/form_builder.h"
#include "ui/qt/forms.h"

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

class TSurfaceTest : public QDialog, private surface::SurfaceView {
  Q_OBJECT
 public:
  // FormCreate: the window logic and its worker, whose steps run through
  // `mainThread`; error lines go to `errors`.
  TSurfaceTest(MainThread& mainThread, TErrListFrm* errors, QWidget* parent = nullptr);
  ~TSurfaceTest() override;

  surface::SurfaceTestLogic& Logic() { return *logic_; }

  // Shows the window modally to its parent window; returns when it is
  // closed. Windows the test opens itself (the errors log) stay usable.
  int ShowModal();

  QFrame* Panel1;
  QRadioButton* ReadTestButton;
  QRadioButton* WriteTestButton;
  QRadioButton* ReadAndWriteButton;
  QRadioButton* WriteAndReadButton;
  QPushButton* StartButton;
  QCheckBox* WriteToFile;
  QCheckBox* LogErrors;
  QPushButton* Button1;
  QCheckBox* FirstNErrors;
  QLineEdit* ErrorsNumber;
  QLabel* Label11;
  QLabel* Label1;
  QLineEdit* TestRetry;
  QLabel* CurTestCycle;
  QLabel* Label5;
  QLabel* TestedDiskName;
  QLabel* Label9;
  QLabel* DiskSize;
  QLabel* Label10;
  QLabel* DiskModel;
  QLabel* Label3;
  QLabel* BlocksPerElement;
  QLabel* Label2;
  QLabel* WorkTime;
  QLabel* Label4;
  QLabel* Label6;
  QLabel* BadBlocksRead;
  QLabel* Label7;
  QLabel* BadBlocksWrite;
  QLabel* Label8;
  QLabel* BadBlocksCompare;
  QLabel* CurrenElementInfo;
  QCheckBox* GradeAccessTime;
  ClockLabel* RxClock1;
  TSurfaceImage* Image1;

  // Handlers.
  void FormShow();
  void FormHide();
  void StartButtonClick();
  void ErrorsNumberChange();
  void TestRetryChange();
  void Image1MouseMove(int x, int y);

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // SurfaceView
  void ControlsChanged() override;
  void MapChanged() override;
  void CellChanged(int left, int top, int width, int height) override;
  void StatusChanged() override;

  // The client size of the window when maximised.
  QSize MaximisedClientSize();
  // An edit's text as the logic holds it, with the caret kept after the
  // characters that stood before it; applying the state then finds the edit
  // already showing it.
  void SetEdit(QLineEdit* edit, const std::string& text);

  class ErrorsAdapter;
  std::unique_ptr<ErrorsAdapter> errors_;
  std::unique_ptr<surface::SurfaceTestLogic> logic_;
  form::FormState state_;
  std::unique_ptr<BuiltForm> built_;
  // Set while the widgets are brought in line with the logic's controls, so
  // that their change signals are not taken for the user's.
  bool syncing_ = false;
  QMargins frame_;
};

// Hands the chosen disk to the surface test window, shows it modally and,
// when it has closed and its worker has left the run, closes the disk.
void ShowSurfaceWindow(const Forms& forms, const DriveSelection& drive);

}  // namespace dt::ui
