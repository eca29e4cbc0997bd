// The main window's logic: the settings that Start reads, the drive lists,
// the labels and the chart of a run, the report buttons and the windows the
// other buttons open. Written once; the Qt and the Win32 main windows give it
// their controls through a View and their sibling windows through a
// MainWindowHost.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "access/access_test.h"
#include "app/view.h"
#include "health/smart_flow.h"
#include "speedtest/read_speed_run.h"

namespace dt::app {

// The two printed reports of the point table.
enum class Report { Speed, Time };

// What the main window asks of the other windows.
class MainWindowHost {
 public:
  virtual ~MainWindowHost() = default;
  // QRLabel1 to QRLabel8 of a report.
  virtual void SetReportLabels(Report which, const std::array<std::string, 8>& captions) = 0;
  // QRLabel9 of both reports (the processor clock and the drive identity).
  virtual void SetReportTitle(const std::string& caption) = 0;
  virtual void PrinterSetup(Report which) = 0;
  virtual void Preview(Report which) = 0;
  virtual void Print(Report which) = 0;
  virtual void ShowTimeView() = 0;
  virtual void ShowErrors() = 0;
  // Fills the SMART window with the report of a physical drive and shows it.
  virtual void ShowSmart(int drive, const SmartOptions& options) = 0;
  // Hands the chosen drive to the surface test window and shows it.
  virtual void ShowSurfaceTest(const DriveRef& drive) = 0;
};

class MainWindow : private SpeedView {
 public:
  // Hooks the view's buttons and check boxes and starts the window's timer.
  // `points` is the point table that both tests fill.
  MainWindow(View& view, MainWindowHost& host, ErrorLines& errors, RangeDialog& range,
             MainThread& mainThread, PointTable& points);
  ~MainWindow() override;

  SpeedTest& Speed() { return *speed_; }
  AccessTest& Access() { return *access_; }
  // True while either test holds the disk.
  bool TestBusy() const { return MainTestBusy(*speed_, *access_); }
  // The settings of the controls now, as Start reads them.
  SpeedSettings Settings() const;
  // The SMART options of the check boxes now.
  SmartOptions Smart() const;

  // The window is shown: the drive selector and both lists are filled.
  void FormShow();
  // The chart follows the window's size.
  void FormResize();
  // Ends a run that is under way and waits for its end-of-run step, serving
  // the worker's steps meanwhile. Called before the window closes.
  void FinishRun();

 private:
  void FillList(bool physical);
  // The disk or drive that a list's current item names: the item's own
  // reference, none for the placeholder of an empty list.
  DriveRef Chosen(bool physical) const;
  void PhysicalClick();
  void ReportButton(Report which, void (MainWindowHost::*action)(Report));
  void SurfaceTestClick();
  void ShowScatter();

  // SpeedView
  void SetLabel(SpeedLabel which, const std::string& text) override;
  void SetRunning(bool running) override;
  void RefreshChart() override;
  void ShowErrorsList() override;
  void RepaintForm() override;
  void RepaintLabels() override;

  View& view_;
  MainWindowHost& host_;
  form::FormState state_;
  std::unique_ptr<SpeedTest> speed_;
  std::unique_ptr<AccessTest> access_;
  std::vector<DriveItem> physicalItems_, logicalItems_;  // the lists' items
};

}  // namespace dt::app
