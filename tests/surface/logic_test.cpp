// The surface test window without its toolkit: controls and option rules,
// numeric edits, confirmations, Start and Stop, and the hand-over.
#include <gtest/gtest.h>

#include <algorithm>

#include "surface/surface_logic.h"
#include "device/drive_ref.h"
#include "surface_rig.h"

namespace dt::surface {
namespace {

using test::Machine;
using test::OneDisk;
using test::QuestionRecorder;

class MemoLog : public ErrorLog {
 public:
  void Clear() override {
    lines.clear();
    ++clears;
  }
  void Append(const std::string& line) override { lines.push_back(line); }
  void Show() override { ++shows; }
  std::vector<std::string> lines;
  int clears = 0;
  int shows = 0;
};

// A window over disk 0 of the installed machine, shown with a 4 x 5 map.
struct Window {
  QueuedMainThread main;
  MemoLog log;
  SurfaceTestLogic w{main, log};

  explicit Window(const std::string& path = "\\\\.\\PHYSICALDRIVE1", bool readOnly = false,
                  std::int64_t blocks = 0) {
    TestedDisk disk;
    disk.path = path;
    disk.model = "MODEL";
    disk.readOnly = readOnly;
    disk.writeHandle = !readOnly;
    disk.blocks = blocks ? blocks : 1000;
    disk.handle.Reset(Sys().OpenDevice("\\\\.\\PHYSICALDRIVE0",
                                       readOnly ? kGenericRead : kGenericRead | kGenericWrite,
                                       kShareRead | kShareWrite, kOpenExisting, kAttributeNormal));
    w.SetTestedDisk(std::move(disk));
    int cw = 0, ch = 0;
    ClientSizeForMap(5, 4, &cw, &ch);
    w.FormShow(cw, ch);
  }
  ~Window() {
    w.FormHide();
    w.WaitIdle([&] { main.Pump(5); });
  }
  // Serves the worker until the run has ended.
  void RunToEnd() {
    while (w.Running()) main.Pump(5);
  }
};

TEST(SurfaceWindow, InitialControls) {
  Machine m(OneDisk(1000));
  Window win;
  const SurfaceControls& c = win.w.Controls();
  EXPECT_TRUE(c.ReadTestButton.checked);
  EXPECT_FALSE(c.WriteAndReadButton.enabled);
  EXPECT_EQ(c.StartButton.text, "Start");
  EXPECT_EQ(c.ErrorsNumber.text, "5000");
  EXPECT_EQ(c.TestRetry.text, "1");
  EXPECT_FALSE(c.WriteToFile.checked);
  EXPECT_TRUE(c.LogErrors.checked);
  EXPECT_TRUE(c.FirstNErrors.checked);
  EXPECT_EQ(c.TestedDiskName.text, "\\\\.\\PHYSICALDRIVE1");
  EXPECT_EQ(c.DiskModel.text, "MODEL");
  EXPECT_EQ(c.DiskSize.text, "0.49 Mb");
  EXPECT_EQ(c.BlocksPerElement.text, "50 (0Mb)");
  EXPECT_EQ(win.w.State().ReadTarget.load(), 1000);
  EXPECT_EQ(win.log.clears, 1);
}

TEST(SurfaceWindow, DiskSizeOfALargeDiskInMbAndGb) {
  Machine m(OneDisk(1000));
  Window win("\\\\.\\PHYSICALDRIVE1", false, 976773168);
  EXPECT_EQ(win.w.Controls().DiskSize.text, "476,940 Mb (465.76 Gb)");
  EXPECT_EQ(win.w.Controls().BlocksPerElement.text, "48,838,659 (23,847Mb)");
}

TEST(SurfaceWindow, OptionRules) {
  Machine m(OneDisk(1000));
  Window win;
  SurfaceTestLogic& w = win.w;
  w.LogErrorsClick(false);
  EXPECT_FALSE(w.Controls().FirstNErrors.enabled);
  EXPECT_FALSE(w.Controls().ErrorsNumber.enabled);
  EXPECT_FALSE(w.Controls().Label11.enabled);
  EXPECT_FALSE(w.State().LogErrorsOn.load());
  w.LogErrorsClick(true);
  EXPECT_TRUE(w.Controls().FirstNErrors.enabled);
  EXPECT_TRUE(w.Controls().ErrorsNumber.enabled);
  EXPECT_TRUE(w.Controls().Label11.enabled);
  w.FirstNErrorsClick(false);
  EXPECT_FALSE(w.Controls().ErrorsNumber.enabled);
  EXPECT_TRUE(w.Controls().Label11.enabled);
  EXPECT_FALSE(w.State().FirstNOnly.load());
  w.WriteAndReadButtonClick();
  EXPECT_EQ(w.State().TestMode.load(), kModeWriteRead);
  w.ReadAndWriteButtonClick();
  EXPECT_EQ(w.State().TestMode.load(), kModeReadWrite);
  EXPECT_TRUE(w.Controls().ReadAndWriteButton.checked);
  EXPECT_FALSE(w.Controls().ReadTestButton.checked);
  w.Button1Click();
  EXPECT_EQ(win.log.shows, 1);
}

TEST(SurfaceWindow, NumericEdits) {
  Machine m(OneDisk(1000));
  Window win;
  QuestionRecorder q;
  SurfaceTestLogic& w = win.w;
  EXPECT_EQ(w.ErrorsNumberChange("12a3"), "123");
  EXPECT_EQ(w.Controls().ErrorsNumber.text, "123");
  EXPECT_EQ(w.State().ErrorsLimit.load(), 123);
  EXPECT_EQ(w.ErrorsNumberChange(""), "");
  EXPECT_EQ(w.State().ErrorsLimit.load(), 0);
  EXPECT_EQ(w.ErrorsNumberChange("2147483647"), "2147483647");
  EXPECT_EQ(w.State().ErrorsLimit.load(), 2147483647);
  EXPECT_TRUE(q.messages.empty());
  EXPECT_EQ(w.ErrorsNumberChange("2147483648"), "2147483648");
  EXPECT_EQ(w.State().ErrorsLimit.load(), 2147483647);  // kept
  ASSERT_EQ(q.messages.size(), 1u);
  EXPECT_EQ(q.messages[0], "Error|'2147483648' is not a valid integer value");

  EXPECT_EQ(w.TestRetryChange("x3"), "3");
  EXPECT_EQ(w.State().RetryCount.load(), 3);
  EXPECT_EQ(w.State().ReadTarget.load(), 3000);
  EXPECT_EQ(w.State().WriteTarget.load(), 3000);
  w.TestRetryChange("99999999999");
  EXPECT_EQ(w.State().RetryCount.load(), 3);
}

TEST(SurfaceWindow, AReadTestStartsWithoutAQuestion) {
  Machine m(OneDisk(1000, "[[5, 5]]"));
  Window win;
  QuestionRecorder q(false);
  win.w.StartButtonClick();
  EXPECT_EQ(win.w.Controls().StartButton.text, "Stop");
  EXPECT_FALSE(win.w.Controls().ReadTestButton.enabled);
  EXPECT_FALSE(win.w.Controls().TestRetry.enabled);
  EXPECT_FALSE(win.w.Controls().Button1.enabled);
  EXPECT_TRUE(win.w.Controls().StartButton.enabled);
  win.RunToEnd();
  EXPECT_TRUE(q.questions.empty());
  EXPECT_EQ(win.w.State().ReadDone.load(), 1000);
  EXPECT_EQ(win.log.lines.size(), 1u);
  EXPECT_EQ(win.w.Controls().StartButton.text, "Start");
  EXPECT_TRUE(win.w.Controls().ReadTestButton.enabled);
  EXPECT_TRUE(win.w.Controls().WriteTestButton.enabled);
  EXPECT_FALSE(win.w.Controls().WriteAndReadButton.enabled);
}

TEST(SurfaceWindow, WritingModesAskTwiceAndTwiceMoreOnASystemDisk) {
  Machine m(OneDisk(1000));
  struct Case {
    std::string path;
    std::uint8_t mode;
    std::vector<std::string> questions;
  };
  const std::string rw = "Warning|Test can destroy data on disk. Continue?";
  const std::string wr = "Warning|Test destroy all data on disk. Continue?";
  const std::string sure = "Warning|Are you sure?";
  const std::string sys = "Warning|This disk can be system. Are you really sure?";
  const std::vector<Case> cases = {
      {"\\\\.\\PHYSICALDRIVE1", kModeReadWrite, {rw, sure}},
      {"\\\\.\\D:", kModeWrite, {wr, sure}},
      {"\\\\.\\PHYSICALDRIVE0", kModeWrite, {wr, sure, sys}},
      {"\\\\.\\C:", kModeReadWrite, {rw, sure, sys}},
      {"\\\\.\\PHYSICALDRIVE01", kModeWrite, {wr, sure}},  // exact comparison
      {"\\\\.\\c:", kModeWrite, {wr, sure}},
      {"/dev/sdb", kModeWrite, {wr, sure}},
      {"/dev/sda", kModeWriteRead, {wr, sure, sys}},  // in use
  };
  m.sys().inUse = "/dev/sda";
  for (const Case& c : cases) {
    Window win(c.path);
    QuestionRecorder q(true);
    q.answers = {true, true, false};  // No to the system-disk question
    if (c.mode == kModeWrite) win.w.WriteTestButtonClick();
    if (c.mode == kModeReadWrite) win.w.ReadAndWriteButtonClick();
    if (c.mode == kModeWriteRead) win.w.WriteAndReadButtonClick();
    win.w.StartButtonClick();
    EXPECT_EQ(q.questions, c.questions) << c.path;
    // Refused on the third question: nothing starts.
    EXPECT_EQ(win.w.Running(), c.questions.size() == 2) << c.path;
    win.RunToEnd();
  }
}

TEST(SurfaceWindow, ANoEndsTheClickWithNothingChanged) {
  Machine m(OneDisk(1000));
  Window win;
  QuestionRecorder q(true);
  q.answers = {true, false};
  win.w.WriteTestButtonClick();
  win.w.StartButtonClick();
  EXPECT_EQ(q.questions.size(), 2u);
  EXPECT_FALSE(win.w.Running());
  EXPECT_TRUE(win.w.Controls().WriteTestButton.enabled);
  EXPECT_TRUE(m.sys().Requests().empty());
  EXPECT_EQ(win.log.clears, 1);
}

TEST(SurfaceWindow, ADumpThatIsNoRegularFileIsRefusedBeforeTheRun) {
  Machine m(OneDisk(1000));
  QuestionRecorder q;
  Window win;
  win.w.State().DumpName = test::TempPath("");
  win.w.WriteToFileClick(true);
  win.w.StartButtonClick();
  EXPECT_FALSE(win.w.Running());
  ASSERT_EQ(q.messages.size(), 1u);
  EXPECT_NE(q.messages[0].find("is a directory, not a regular file"), std::string::npos)
      << q.messages[0];
  EXPECT_TRUE(m.sys().Requests().empty());
}

TEST(SurfaceWindow, StopEndsTheRunAfterTheRequestUnderWay) {
  Machine m(OneDisk(100000));
  Window win;
  std::atomic<int> requests{0};
  m.sys().onRequest = [&](const test::Request&) {
    if (requests.fetch_add(1) == 2) win.w.State().SurfaceRunning.store(false);
  };
  win.w.StartButtonClick();
  win.RunToEnd();
  EXPECT_EQ(requests.load(), 3);
  EXPECT_EQ(win.w.Controls().StartButton.text, "Start");
  // The Stop button itself only clears the flag.
  m.sys().onRequest = nullptr;
  win.w.StartButtonClick();
  EXPECT_TRUE(win.w.Running());
  win.w.StartButtonClick();
  win.RunToEnd();
  EXPECT_LT(win.w.State().ReadDone.load(), 100000);
}

TEST(SurfaceWindow, AReadOnlyDiskKeepsItsWritingModesDisabled) {
  Machine m(OneDisk(1000));
  Window win("\\\\.\\PHYSICALDRIVE1", true);
  EXPECT_FALSE(win.w.Controls().WriteTestButton.enabled);
  EXPECT_FALSE(win.w.Controls().ReadAndWriteButton.enabled);
  win.w.LogErrorsClick(false);
  win.w.StartButtonClick();
  win.RunToEnd();
  EXPECT_FALSE(win.w.Controls().WriteTestButton.enabled);
  EXPECT_FALSE(win.w.Controls().ReadAndWriteButton.enabled);
  EXPECT_FALSE(win.w.Controls().WriteAndReadButton.enabled);
  EXPECT_TRUE(win.w.Controls().ReadTestButton.enabled);
  // The option rules hold again after the run.
  EXPECT_FALSE(win.w.Controls().FirstNErrors.enabled);
  EXPECT_FALSE(win.w.Controls().ErrorsNumber.enabled);
}

TEST(SurfaceWindow, StartClearsCountersLogAndMapButKeepsMarks) {
  Machine m(OneDisk(1000, "[[0, 0]]"));
  Window win;
  win.w.StartButtonClick();
  win.RunToEnd();
  EXPECT_EQ(win.log.lines.size(), 1u);
  const int clears = win.log.clears;
  win.w.ErrorsNumberChange("0");
  win.w.StartButtonClick();
  EXPECT_EQ(win.log.clears, clears + 1);
  // Before the pass reaches it, the marked cell shows its B on white.
  win.RunToEnd();
  EXPECT_TRUE(win.w.State().Cell(0, 0).Bad);
  EXPECT_TRUE(win.log.lines.empty());
  EXPECT_EQ(win.w.State().ReadErrors.load(), 1);
  EXPECT_EQ(win.w.State().LoggedErrors.load(), 0);
}

// ---------------------------------------------------------------------------
// The hand-over

constexpr const char* kHandOverMachine = R"({"disks": [
  {"size": 16777216, "capture": "builtin:st9100821as"},
  {"size": 16450560}],
 "volumes": [
  {"name": "C", "label": "SYSTEM", "fs": "NTFS", "disk": 0, "offset": 0, "size": 8388608},
  {"name": "E", "label": "MY_CD", "fs": "CDFS", "size": 2097152}]})";

TEST(SurfaceWindow, GradingListsTheSlowRangesAfterTheBadBlocksAndKeepsALegend) {
  // 1000 sectors in 4 x 5 cells of 50, a request a cell: sector 100
  // unreadable, 120 slow (its single-sector retry takes 250 ms), the
  // request of 700-749 900 ms.
  Machine m(R"({"perf_frequency": 1000000000, "disks": [{"size": 512000,
    "unreadable": [[100, 100]], "slow": [{"first": 120, "last": 120, "ms": 250},
    {"first": 700, "last": 700, "ms": 900}]}]})");
  Window win;
  EXPECT_TRUE(win.w.Legend().empty());
  win.w.GradeAccessTimeClick(true);
  EXPECT_EQ(win.w.Legend().size(), 7u);
  win.w.StartButtonClick();
  EXPECT_FALSE(win.w.Controls().GradeAccessTime.enabled);
  win.RunToEnd();
  EXPECT_TRUE(win.w.Controls().GradeAccessTime.enabled);
  ASSERT_EQ(win.log.lines.size(), 3u);
  EXPECT_EQ(win.log.lines[0].rfind("1 read error at 100", 0), 0u) << win.log.lines[0];
  EXPECT_EQ(win.log.lines[1], "Slow read at 120 - 120: 250.0 ms");
  EXPECT_EQ(win.log.lines[2], "Slow read at 700 - 749: 900.0 ms");
  EXPECT_EQ(win.w.Legend()[4].text, "< 600 ms: 1");
  EXPECT_EQ(win.w.Legend()[5].text, ">= 600 ms: 1");
  EXPECT_EQ(win.w.Legend()[6].text, "Error: 1");
  // Unticked: no legend, and the next run lists no slow range.
  win.w.GradeAccessTimeClick(false);
  EXPECT_TRUE(win.w.Legend().empty());
  win.w.StartButtonClick();
  win.RunToEnd();
  EXPECT_EQ(win.log.lines.size(), 1u);
}

TEST(HandOver, PhysicalDiskModelFromIdentifyAndTheFullLength) {
  Machine m(kHandOverMachine);
  QuestionRecorder q;
  DriveRef sel = DriveRef::OfDisk(0);
  TestedDisk d;
  ASSERT_TRUE(OpenTestedDisk(sel, &d));
  EXPECT_EQ(d.path, "\\\\.\\PHYSICALDRIVE0");
  EXPECT_EQ(d.model, std::string("ST9100821AS") + std::string(29, ' '));
  EXPECT_FALSE(d.readOnly);
  EXPECT_EQ(d.sectorsPerBlock, 1);
  // Every sector, not only the two whole cylinders that the list shows.
  EXPECT_EQ(d.blocks, 32768);
  EXPECT_EQ(d.bytes, 16777216);

  sel = DriveRef::OfDisk(1);
  ASSERT_TRUE(OpenTestedDisk(sel, &d));
  EXPECT_EQ(d.model, "Unknown");
  EXPECT_TRUE(q.messages.empty());
}

TEST(HandOver, LogicalDrivesTakeTheirLabelAndCdsFourSectorBlocks) {
  Machine m(kHandOverMachine);
  DriveRef sel = ResolveDrive("C");
  TestedDisk d;
  ASSERT_TRUE(OpenTestedDisk(sel, &d));
  EXPECT_EQ(d.path, "\\\\.\\C:");
  EXPECT_EQ(d.model, "[SYSTEM] NTFS");
  EXPECT_EQ(d.blocks, 16384);
  EXPECT_EQ(d.sectorsPerBlock, 1);
  sel = ResolveDrive("E");
  ASSERT_TRUE(OpenTestedDisk(sel, &d));
  EXPECT_EQ(d.sectorsPerBlock, 4);
  EXPECT_EQ(d.blocks, 1024);
}

// The hand-over opens the disk for reading only; a writing run opens it for
// writing when it starts, after the questions, and a reading run after it
// goes back to reading only. A disk in use offers no writing mode.
TEST(HandOver, OpensTheDiskForWritingOnlyForAWritingRun) {
  Machine m(kHandOverMachine);
  QuestionRecorder q;
  QueuedMainThread main;
  MemoLog log;
  SurfaceTestLogic w(main, log);
  auto run = [&](void (SurfaceTestLogic::*mode)()) {
    (w.*mode)();
    w.StartButtonClick();
    while (w.Running()) main.Pump(5);
  };
  SurfaceHandOver(
      DriveRef::OfDisk(1), w,
      [&] {
        EXPECT_TRUE(w.Controls().WriteTestButton.enabled);
        int cw = 0, ch = 0;
        ClientSizeForMap(3, 3, &cw, &ch);
        w.FormShow(cw, ch);
        run(&SurfaceTestLogic::ReadTestButtonClick);
        EXPECT_EQ(m.sys().writeOpens.load(), 0);
        q.answers = {false};  // "No" to the first question: nothing opens
        run(&SurfaceTestLogic::WriteTestButtonClick);
        EXPECT_EQ(m.sys().writeOpens.load(), 0);
        q.answers.clear();
        run(&SurfaceTestLogic::WriteTestButtonClick);
        EXPECT_EQ(m.sys().writeOpens.load(), 1);
        // Every block written through the handle for writing, none refused.
        EXPECT_EQ(w.State().WriteErrors.load(), 0);
        const auto requests = m.sys().Requests();
        EXPECT_GT(std::count_if(requests.begin(), requests.end(),
                                [](const auto& r) { return r.write; }),
                  0);
        run(&SurfaceTestLogic::ReadTestButtonClick);
        EXPECT_EQ(m.sim().OpenHandleCount(), 1);
      },
      [&] { main.Pump(5); });
  EXPECT_EQ(m.sys().writeOpens.load(), 1);
  EXPECT_EQ(m.sim().OpenHandleCount(), 0);
  EXPECT_TRUE(q.messages.empty());

  m.sys().inUse = "\\\\.\\PHYSICALDRIVE1";
  SurfaceHandOver(
      DriveRef::OfDisk(1), w,
      [&] {
        EXPECT_FALSE(w.Controls().WriteTestButton.enabled);
        EXPECT_FALSE(w.Controls().ReadAndWriteButton.enabled);
      },
      [&] { main.Pump(5); });
  EXPECT_EQ(m.sys().writeOpens.load(), 1);
  EXPECT_TRUE(q.messages.empty());
}

// A writing run whose open for writing is refused does not start: the
// refusal is shown once and the disk is read-only from then on. Closing the
// window during a reading run stops it; the hand-over returns only once the
// run has ended, so the window shown again is not a running one.
TEST(HandOver, ARefusedWriteOpenStartsNothingAndTheWindowClosesOnAnEndedRun) {
  Machine m(kHandOverMachine);
  m.sys().refuseWriteOpen = true;
  QuestionRecorder q;
  QueuedMainThread main;
  MemoLog log;
  SurfaceTestLogic w(main, log);
  bool shown = false;
  SurfaceHandOver(
      DriveRef::OfDisk(1), w,
      [&] {
        shown = true;
        EXPECT_TRUE(DiskLease::Taken());
        EXPECT_EQ(w.Controls().TestedDiskName.text, "\\\\.\\PHYSICALDRIVE1");
        int cw = 0, ch = 0;
        ClientSizeForMap(3, 3, &cw, &ch);
        w.FormShow(cw, ch);
        w.WriteTestButtonClick();
        w.StartButtonClick();
        EXPECT_FALSE(w.Running());
        EXPECT_EQ(q.questions.size(), 2u);
        EXPECT_FALSE(w.Controls().WriteTestButton.enabled);
        EXPECT_TRUE(m.sys().Requests().empty());
        w.ReadTestButtonClick();
        w.StartButtonClick();  // closing the window while the run goes on
        EXPECT_TRUE(w.Running());
      },
      [&] { main.Pump(5); });
  EXPECT_TRUE(shown);
  EXPECT_FALSE(w.Running());
  EXPECT_FALSE(w.Busy());
  EXPECT_EQ(w.Controls().StartButton.text, "Start");
  EXPECT_FALSE(DiskLease::Taken());
  EXPECT_EQ(m.sim().OpenHandleCount(), 0);
  ASSERT_EQ(q.messages.size(), 1u);
  EXPECT_EQ(q.messages[0].rfind("System error Cannot open \\\\.\\PHYSICALDRIVE1 for write|", 0),
            0u);
}

TEST(HandOver, NothingIsShownWhenTheDiskCannotBeOpened) {
  Machine m(R"({"disks": [{"size": 16450560, "fail": {"open": 2}}]})");
  QuestionRecorder q;
  QueuedMainThread main;
  MemoLog log;
  SurfaceTestLogic w(main, log);
  bool shown = false;
  SurfaceHandOver(
      DriveRef::OfDisk(0), w, [&] { shown = true; }, [&] { main.Pump(5); });
  EXPECT_FALSE(shown);
  EXPECT_EQ(q.messages.size(), 1u);  // for read: nothing asks for writing
}

}  // namespace
}  // namespace dt::surface
