// The Win32 main window: the controls of the main window's description, the
// speed chart and the clock; what they show is the window logic's
// (app/main_window.h), and this window opens the others for it.
#pragma once

#include <memory>

#include "app/main_window.h"
#include "ui/win32/form_view.h"
#include "ui/win32/forms.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TReportPage;

class TForm1 : public Form, private app::MainWindowHost {
 public:
  // `mainThread` runs the worker's steps on this window's thread.
  explicit TForm1(MainThread& mainThread);
  ~TForm1() override;

  // Connects the window to the windows created after it and creates its
  // logic. Called once, when every window of `forms` exists.
  void FormCreate(const Forms& forms);

  app::MainWindow& Logic() { return *logic_; }
  SpeedTest& Speed() { return logic_->Speed(); }
  bool TestBusy() const { return logic_ && logic_->TestBusy(); }
  SpeedSettings Settings() const { return logic_->Settings(); }
  void FinishRun() {
    if (logic_) logic_->FinishRun();
  }

 protected:
  void FormShow() override;
  void FormResize() override;
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  TReportPage* Page(app::Report which) const;

  // MainWindowHost
  void SetReportLabels(app::Report which, const std::array<std::string, 8>& captions) override;
  void SetReportTitle(const std::string& caption) override;
  void PrinterSetup(app::Report which) override;
  void Preview(app::Report which) override;
  void Print(app::Report which) override;
  void ShowTimeView() override;
  void ShowErrors() override;
  void ShowSmart(int drive, const SmartOptions& options) override;
  void ShowSurfaceTest(const DriveRef& drive) override;

  MainThread& mainThread_;
  FormView view_;
  Forms forms_;
  std::unique_ptr<app::MainWindow> logic_;
};

}  // namespace dt::win
