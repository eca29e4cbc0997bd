// The read-speed test without a toolkit: the Start preparation and Stop of
// the main window's "Start" button, the worker thread TDiskTest with its
// timed read loop, and the 100 ms timer that serves the worker's requests.
//
// A front end (the Qt main window, the CLI) owns one SpeedTest. It passes
// the settings of its controls to Start, shows the label texts and the
// button state that come out through SpeedView, shows the range dialog
// through RangeDialog and the error lines through ErrorLines, and calls
// Timer1Timer every 100 ms. Every SpeedView, ErrorLines and PointTable call
// of the worker runs inside MainThread::Synchronize; Start, Stop and the
// timer run on the main thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/worker.h"
#include "device/device.h"
#include "device/disk.h"
#include "speedtest/errors_list.h"
#include "speedtest/point_table.h"
#include "speedtest/range_model.h"

namespace dt {

// A read-speed run as numbers and choices: what a command's options say,
// or the main window's controls once their texts are read.
struct SpeedRequest {
  std::int32_t blocks = 500;      // block count, or the block size in bytes with BlockSizeFlg
  std::int32_t minimalTime = 10;  // minimal time in milliseconds
  bool BlockSizeFlg = false;      // "Block Size"
  bool CheckBox1 = true;      // "Real Time": time display and chart refresh during the run
  bool CheckBox2 = true;      // "Bloksize 2**x": blocks of a power of two sectors
  bool CheckBox3 = false;     // alternating order: Begin - End, Begin+1 - End-1, ...
  bool CheckBox4 = false;     // "Force 0": a first point (0, 0)
  bool PercentFlg = true;     // progress in per cent, else in MiB
  bool ErrMsgEn = false;      // a message box for every read error
  bool RandomAccess = false;  // "Random access": Start runs the random access test instead
  DriveRef drive;             // the disk or drive of the lists chosen
  // A device path or a regular file to test instead of the list selection
  // (the CLI); empty for the selection.
  std::string devicePath;
};

// The main window's controls that a run reads at Start: the request, with
// the two numbers still the texts of their edits (read at Start, with the
// program's message for what is not a number).
struct SpeedSettings : SpeedRequest {
  std::string Edit1 = "500";  // `blocks`
  std::string Edit2 = "10";   // `minimalTime`
};

// The main window's texts that a run changes.
enum class SpeedLabel {
  Label2,    // progress: "12.5%" or "1,234.0Mb"
  Label3,    // "Errors: " + failed near reads
  Label4,    // "BlokSize 512*" + sectors + "=" + bytes
  Label5,    // "From  " + first byte
  Label6,    // "To    " + last byte
  Label7,    // "Bloks " + number of blocks
  Label10,   // address of the next block
  Label11,   // "Errors: " + failed far reads
  DiskSz,    // disk size in MiB + " Mb"
  ElTime,    // "Time " + elapsed + " (" + remaining + ")"
  QRLabel9,  // title of both printed reports: processor clock and drive identity
  kCount
};

// The name of the main window's control that shows `which` ("Label2" ...),
// or of the printed reports' label for QRLabel9.
const char* SpeedLabelName(SpeedLabel which);

// What the main window shows. Called on the main thread only.
class SpeedView {
 public:
  virtual ~SpeedView() = default;
  virtual void SetLabel(SpeedLabel which, const std::string& text) = 0;
  // Running: "Start" reads "Stop" and the report buttons (Button2 to
  // Button8) are disabled; idle: the reverse.
  virtual void SetRunning(bool running) = 0;
  // Re-read the speed chart from the point table.
  virtual void RefreshChart() = 0;
  // Show the errors window modally.
  virtual void ShowErrorsList() = 0;
  virtual void RepaintForm() = 0;
  // Repaint the status labels and the clock.
  virtual void RepaintLabels() = 0;
};

// The range dialog: shows the model modally; the model's RangeAccepted tells
// whether the run goes on.
class RangeDialog {
 public:
  virtual ~RangeDialog() = default;
  virtual void ShowModal(RangeModel& model) = 0;
};

// Block size helpers.
// The divisor that a "Block Size" of e bytes gives: (e + 511) with the low
// five bits and the top four bits cleared.
std::uint32_t BlockSizeDivisor(std::int64_t e);
// Sectors per block of a range span (EndPos - StartPos) and a block count:
// the whole sectors of the span divided by the count, rounded down to a
// power of two when `pow2` (at least 1), at most 2,097,152 (1 GiB). 0 when
// no block size can be formed (count not positive, or fewer sectors than
// blocks without `pow2`).
std::uint32_t BlockSectors(std::int64_t span, std::int64_t count, bool pow2);

// The size of a device given by path (a device or a regular file): the
// partition length, else the file's size; -2 / -3 as the other size helpers.
std::int64_t PathDiskSize(const std::string& path);

// The figures of the last run, for summaries and benchmarks.
struct SpeedRunStats {
  std::int64_t blocks = 0;       // recorded blocks (points without the "Force 0" point)
  std::int64_t bytes = 0;        // bytes read in recorded blocks (both blocks in alternating order)
  std::int64_t blockTimeUs = 0;  // sum of the recorded blocks' times
  std::int64_t runTimeUs =
      0;  // the worker's run from its first to its last read, hand-overs included
  double minSpeed = 0, maxSpeed = 0;
  std::int32_t nearErrors = 0, farErrors = 0;
  bool stopped = false;  // ended by Stop
};

// The layout of the run that Start prepared.
struct SpeedRunPlan {
  std::string path;
  std::int64_t diskSize = 0;
  std::int64_t startPos = 0;
  std::int64_t endPos = 0;
  std::uint32_t blockBytes = 0;
  std::int32_t minimalTime = 0;
  std::int64_t count = 0;
};

enum class StartResult {
  Started,
  Stopped,         // Button1Click while running: the run was asked to stop
  Busy,            // a run (or another test) holds the disk: refused with a message
  BadNumber,       // Edit1 or Edit2 is not an integer
  OpenFailed,      // the device did not open (its message has been shown)
  NotDisk,         // the handle is not a disk
  SizeFailed,      // the size is unknown (message shown)
  NoBlockSize,     // no block size can be formed (message shown)
  RangeCancelled,  // the range dialog was not accepted
};

class TDiskTest;

class SpeedTest {
 public:
  SpeedTest(SpeedView& view, ErrorLines& errors, RangeDialog& range, MainThread& main,
            PointTable& points);
  // Stops a run and ends the worker. A run must have finished before, or
  // the main thread must still serve Synchronize while this waits.
  ~SpeedTest();
  SpeedTest(const SpeedTest&) = delete;
  SpeedTest& operator=(const SpeedTest&) = delete;

  // The "Start" / "Stop" button: Start when idle, Stop while running.
  StartResult Button1Click(const SpeedSettings& s);
  // The Start preparation; refuses (with a message) while a run is under way.
  // The settings' numbers are read from their texts, the request's taken as
  // they are.
  StartResult Start(const SpeedSettings& s);
  StartResult Start(const SpeedRequest& r);
  // Asks the run to stop before its next read.
  void Stop();
  // From Start until the end-of-run step has run.
  bool Busy() const { return busy_.load(); }
  // The message a second test gets while a run is under way.
  static const char* BusyText();

  // The check boxes that act at once, also during a run.
  void CheckBox1Click(bool realTime) { realTime_.store(realTime); }
  void ErrMsgEnClick(bool on) { errMsgOn_.store(on); }

  // Serves the worker's requests in order (the main window's 100 ms timer).
  void Timer1Timer();

  // The current texts (main thread).
  const std::string& Label(SpeedLabel which) const {
    return labels_[static_cast<std::size_t>(which)];
  }
  // QRLabel1 to QRLabel9 of the printed reports (index 0 unused), from the
  // main window's texts now; `current` gives Edit2 and the selection.
  std::array<std::string, 10> ReportLabels(const SpeedSettings& current) const;

  std::int32_t NearErrors() const { return nearErrors_.load(); }
  std::int32_t FarErrors() const { return farErrors_.load(); }
  // Main thread, after Start / after the end-of-run step.
  const SpeedRunPlan& Plan() const { return plan_; }
  const SpeedRunStats& LastStats() const { return lastStats_; }
  RangeModel& Range() { return range_; }

  // Requests of the worker to the timer.
  std::atomic<bool> ChartDirty{false};
  std::atomic<bool> ShowErrorsList{false};
  std::atomic<bool> ErrorsChanged{false};
  std::atomic<bool> RepaintForm{false};
  std::atomic<bool> LabelsDirty{false};

 private:
  friend class TDiskTest;

  void SetLabel(SpeedLabel which, const std::string& text);
  // Start; `texts` holds the edits' texts to read the numbers from, or is
  // null where the request's numbers stand.
  StartResult Begin(const SpeedRequest& s, const SpeedSettings* texts);
  StartResult Refuse(StartResult r, const std::string& text);

  SpeedView& view_;
  ErrorLines& errors_;
  RangeDialog& rangeDialog_;
  MainThread& main_;
  PointTable& points_;
  RangeModel range_;
  std::array<std::string, static_cast<std::size_t>(SpeedLabel::kCount)> labels_;
  std::string reportDisk_;  // the disk the last Start tested, for QRLabel8

  // Run state: written by Start while idle, read by the worker.
  SpeedRunPlan plan_;
  // The disk of the run: opened by Start, closed by the worker when the run
  // ends; the lease goes with the end-of-run step.
  Disk disk_;
  DiskLease lease_;
  bool alternateOrder_ = false;
  bool percentMode_ = false;
  std::int64_t perfFrequency_ = 0;
  std::atomic<bool> realTime_{true};
  std::atomic<bool> errMsgOn_{false};
  std::atomic<bool> speedRunning_{false};
  std::atomic<bool> runRequested_{false};
  std::atomic<bool> busy_{false};
  std::atomic<std::int32_t> nearErrors_{0};
  std::atomic<std::int32_t> farErrors_{0};
  SpeedRunStats lastStats_;

  std::unique_ptr<TDiskTest> worker_;
};

// The read-speed worker: sleeps until Start wakes it, performs one run,
// closes the disk and has the end-of-run step run on the main thread.
class TDiskTest : public Worker {
 public:
  explicit TDiskTest(SpeedTest& owner) : owner_(owner) {}
  ~TDiskTest() override { Terminate(); }

 protected:
  void Execute() override;

 private:
  void SpeedRun();
  void ReadError(std::int64_t pos, std::uint32_t chunk, bool far, std::uint32_t code);
  void RunFinished();
  void Synchronize(const std::function<void()>& step);

  SpeedTest& owner_;
  SpeedRunStats stats_;
};

}  // namespace dt
