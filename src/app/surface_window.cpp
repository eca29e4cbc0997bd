#include "app/surface_window.h"

#include "surface/surface_window_form.h"

namespace dt::app {

SurfaceWindow::SurfaceWindow(View& view, SurfaceWindowHost& host, MainThread& mainThread,
                             surface::ErrorLog& errors)
    : view_(view), host_(host), state_(SurfaceTestForm()) {
  // A handler runs for the user's changes only.
  auto on = [this](const char* control, auto handler) {
    view_.OnClick(control, [this, handler] {
      if (!syncing_) handler();
    });
  };
  on("ReadTestButton", [this] { logic_->ReadTestButtonClick(); });
  on("WriteTestButton", [this] { logic_->WriteTestButtonClick(); });
  on("ReadAndWriteButton", [this] { logic_->ReadAndWriteButtonClick(); });
  on("WriteAndReadButton", [this] { logic_->WriteAndReadButtonClick(); });
  on("StartButton", [this] { logic_->StartButtonClick(); });
  on("WriteToFile", [this] { logic_->WriteToFileClick(view_.Checked("WriteToFile")); });
  on("LogErrors", [this] { logic_->LogErrorsClick(view_.Checked("LogErrors")); });
  on("FirstNErrors", [this] { logic_->FirstNErrorsClick(view_.Checked("FirstNErrors")); });
  on("Button1", [this] { logic_->Button1Click(); });
  on("GradeAccessTime",
     [this] { logic_->GradeAccessTimeClick(view_.Checked("GradeAccessTime")); });
  view_.OnChange("ErrorsNumber", [this] {
    if (!syncing_) logic_->ErrorsNumberChange(view_.Text("ErrorsNumber"));
  });
  view_.OnChange("TestRetry", [this] {
    if (!syncing_) logic_->TestRetryChange(view_.Text("TestRetry"));
  });

  // FormCreate: the logic starts the worker.
  surface::SurfaceView* self = this;
  logic_ = std::make_unique<surface::SurfaceTestLogic>(mainThread, errors, self);
  ControlsChanged();
  MapChanged();
}

SurfaceWindow::~SurfaceWindow() {
  // The worker leaves its busy state before it hands its end-of-run step
  // over: serve steps until that step has run too.
  logic_->FormHide();
  while (logic_->Busy() || logic_->Running()) view_.ServeEvents();
  logic_->SetView(nullptr);
  logic_.reset();
}

void SurfaceWindow::Show(bool placed) {
  const bool was = syncing_;
  syncing_ = true;
  host_.BeforeApply(state_);
  view_.SetText("ErrorsNumber", state_["ErrorsNumber"].text);
  view_.SetText("TestRetry", state_["TestRetry"].text);
  view_.Apply(state_);
  host_.AfterApply(placed);
  syncing_ = was;
}

void SurfaceWindow::ControlsChanged() {
  surface_window::ShowControls(logic_->Controls(), state_);
  Show(false);
  host_.ShowLegend(logic_->Legend());
}

void SurfaceWindow::MapChanged() {
  host_.ShowMap(logic_->Map().Image());
}

void SurfaceWindow::CellChanged(int left, int top, int width, int height) {
  host_.ShowCell(logic_->Map().Image(), left, top, width, height);
}

void SurfaceWindow::FormShow() {
  Size maxClient, frame;
  host_.ScreenArea(&maxClient, &frame);
  int clientWidth = 0, clientHeight = 0;
  surface_window::LayoutArea(maxClient.width, maxClient.height, frame.width, frame.height,
                             &clientWidth, &clientHeight);
  const surface::MapLayout layout = logic_->FormShow(clientWidth, clientHeight);
  host_.PlaceWindow(surface_window::FormShow(state_, layout));
  Show(true);
}

}  // namespace dt::app
