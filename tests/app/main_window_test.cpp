// The main window's logic on a fake view over the simulated machine: what
// Start reads from the controls, the lists, the labels of a run, the report
// buttons and the busy rule of the surface test. Steps of the worker wait in
// a queue that the fake window's thread serves, as a toolkit's would.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "app/fake_view.h"
#include "app/main_window.h"
#include "app/main_window_form.h"
#include "base/text.h"
#include "speedtest/speed_harness.h"
#include "surface/surface_window_form.h"

namespace dt::app {
namespace {

using testing::OneDisk;

class FakeHost : public MainWindowHost {
 public:
  std::vector<std::string> calls;
  std::array<std::string, 8> speedLabels, timeLabels;
  std::string title;
  int smartDrive = -2;
  SmartOptions smart;
  DriveRef surfaceDrive;

  void SetReportLabels(Report which, const std::array<std::string, 8>& captions) override {
    (which == Report::Speed ? speedLabels : timeLabels) = captions;
  }
  void SetReportTitle(const std::string& caption) override { title = caption; }
  void PrinterSetup(Report which) override { calls.push_back("setup " + Name(which)); }
  void Preview(Report which) override { calls.push_back("preview " + Name(which)); }
  void Print(Report which) override { calls.push_back("print " + Name(which)); }
  void ShowTimeView() override { calls.push_back("time view"); }
  void ShowErrors() override { calls.push_back("errors"); }
  void ShowSmart(int drive, const SmartOptions& options) override {
    smartDrive = drive;
    smart = options;
  }
  void ShowSurfaceTest(const DriveRef& drive) override {
    calls.push_back("surface");
    surfaceDrive = drive;
  }

 private:
  static std::string Name(Report r) { return r == Report::Speed ? "speed" : "time"; }
};

struct Window {
  explicit Window(const std::string& machine) {
    std::string error;
    auto m = ParseSimMachine(machine, "", "test machine", &error);
    EXPECT_TRUE(m) << error;
    platform = std::make_unique<ScopedPlatform>(std::move(m));
    logic = std::make_unique<MainWindow>(view, host, errors, dialog, main, points);
    logic->FormShow();
  }
  // Serves the window's thread until the run has ended (60 s at the most).
  void RunToEnd() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (logic->TestBusy() && std::chrono::steady_clock::now() < deadline) {
      main.Pump(1);
      view.timer();
    }
    ASSERT_FALSE(logic->TestBusy());
  }

  testing::RecordingNotifier notifier;
  std::unique_ptr<ScopedPlatform> platform;
  QueuedMainThread main;
  FakeView view{MainWindowForm(), &main};
  FakeHost host;
  MemoryErrorLines errors;
  testing::ScriptedRangeDialog dialog;
  PointTable points;
  std::unique_ptr<MainWindow> logic;
};

constexpr std::int64_t kMiB = 1 << 20;

TEST(MainWindowLogic, StartReadsTheControlsAndTheListsCarryTheDrives) {
  Window w(OneDisk(64 * kMiB));
  EXPECT_EQ(w.view.lists["DriveComboBox1"].size(), 1u);
  EXPECT_EQ(w.view.lists["DriveComboBox1"][0].text, "C:");
  ASSERT_EQ(w.view.lists["ComboBox2"].size(), 1u);
  EXPECT_EQ(w.view.lists["ComboBox2"][0].text.rfind("C: 64", 0), 0u);
  ASSERT_EQ(w.view.lists["ComboBox1"].size(), 1u);
  EXPECT_EQ(w.view.lists["ComboBox1"][0].text.rfind("HDD0", 0), 0u);
  EXPECT_FALSE(w.view.lists["ComboBox1"][0].data.empty());

  w.view.texts["Edit1"] = "4";
  w.view.texts["Edit2"] = "250";
  for (const char* c : {"BlockSizeFlg", "CheckBox2", "PercentFlg", "RandomAccess"})
    w.view.checks[c] = true;
  for (const char* c : {"CheckBox1", "CheckBox3", "CheckBox4", "ErrMsgEn"})
    w.view.checks[c] = false;
  w.view.Check("Physical", true);
  const SpeedSettings s = w.logic->Settings();
  EXPECT_EQ(s.Edit1, "4");
  EXPECT_EQ(s.Edit2, "250");
  EXPECT_TRUE(s.BlockSizeFlg && s.CheckBox2 && s.PercentFlg && s.RandomAccess);
  EXPECT_FALSE(s.CheckBox1 || s.CheckBox3 || s.CheckBox4 || s.ErrMsgEn);
  EXPECT_TRUE(s.drive.Physical());
  EXPECT_EQ(s.drive.number, 0);
  EXPECT_EQ(s.drive.listText, w.view.lists["ComboBox1"][0].text);

  // "Get SMART" takes the drive of the physical list and the SMART boxes.
  w.view.checks["HelpFlg"] = w.view.checks["EnglishFlg"] = true;
  w.view.Click("Button9");
  EXPECT_EQ(w.host.smartDrive, 0);
  EXPECT_TRUE(w.host.smart.help && w.host.smart.english);
  EXPECT_FALSE(w.host.smart.reserved || w.host.smart.identify || w.host.smart.health);
}

TEST(MainWindowLogic, ARunFillsTheLabelsAndTheReportButtonsPrintThem) {
  Window w(
      OneDisk(64 * kMiB, R"(, "nvme": {"model": "Sim NVMe", "serial": "S1", "firmware": "F1"})"));
  w.view.Check("Physical", true);
  w.view.Click("Button1");
  EXPECT_EQ(w.view.startText, "Stop");
  EXPECT_EQ(w.view.texts["Label5"], "From  0");
  EXPECT_EQ(w.view.texts["Label6"], "To    65,802,239");
  // The surface test would open the disk that the run holds.
  w.view.Click("Button11");
  EXPECT_EQ(w.notifier.Messages(), std::vector<std::string>{std::string(SurfaceTestForm().title) +
                                                            ": " + SpeedTest::BusyText()});
  w.RunToEnd();
  EXPECT_EQ(w.view.startText, "Start");
  EXPECT_EQ(w.view.texts["Label2"], "100.0%");
  // The physical size is the drive geometry's; the title is its identity.
  EXPECT_EQ(w.view.texts["DiskSz"], "62.754 Mb");
  EXPECT_EQ(w.host.title, PadRight("Sim NVMe", 40) + "  Firmware: " + PadRight("F1", 8) +
                              "  Serial: " + PadRight("S1", 20));

  for (const char* b : {"Button2", "Button3", "Button4", "Button5", "Button6", "Button7", "Button8",
                        "Button10", "Button11"})
    w.view.Click(b);
  EXPECT_EQ(w.host.calls, (std::vector<std::string>{"setup speed", "preview speed", "print speed",
                                                    "setup time", "preview time", "print time",
                                                    "time view", "errors", "surface"}));
  const std::array<std::string, 8> labels = {
      w.view.texts["Label4"], w.view.texts["Label7"], "Errors: 0",
      "Disk Size 62.754 Mb",  "Minimal time 10 ms",   "From  0",
      "To    65,802,239",     "Disk HDD0: "};
  EXPECT_EQ(w.host.speedLabels, labels);
  EXPECT_EQ(w.host.timeLabels, labels);
  EXPECT_TRUE(w.host.surfaceDrive.Physical());
  EXPECT_EQ(w.host.surfaceDrive.listText, w.view.lists["ComboBox1"][0].text);
}

}  // namespace
}  // namespace dt::app
