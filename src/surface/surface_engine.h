// The surface test engine: the disk divided into map cells, and the worker
// that reads, writes, or reads and writes back every block, cell by cell and
// pass after pass, with block-by-block retries of failing requests.
//
// The state of a test is shared by the window (its thread, the "UI thread")
// and the worker. The window writes the settings while no run is under way;
// the worker writes the counters and the cells during a run and hands every
// window update (a cell, the status, an error line, the end of the run) to
// the UI thread through MainThread::Synchronize, waiting until it has run.
// Everything either thread may read while the other writes is atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/worker.h"
#include "device/device.h"
#include "platform/platform.h"

namespace dt::surface {

// Map geometry: cells of 10 x 10 pixels between grid lines one pixel wide.
inline constexpr std::int32_t CellWidth = 10;
inline constexpr std::int32_t CellHeight = 10;
inline constexpr std::int32_t GapX = 1;
inline constexpr std::int32_t GapY = 1;
inline constexpr std::int32_t kMaxMapColumns = 400;
inline constexpr std::int32_t kMaxMapRows = 300;

// The one transfer buffer serves requests of at most this many bytes.
inline constexpr std::uint32_t kTransferBytes = 131072;

// TestMode values.
inline constexpr std::uint8_t kModeRead = 0;       // "Read test"
inline constexpr std::uint8_t kModeWrite = 1;      // "Write test"
inline constexpr std::uint8_t kModeWriteRead = 2;  // "Write&&Read": no pass
inline constexpr std::uint8_t kModeReadWrite = 3;  // "Read&&Write"

// Access-time grading: every request that succeeds is timed with the
// performance counter and put into a band by its time. The band limits are
// ascending milliseconds; band i holds the times below limit i and at or
// above limit i - 1, the last band the times at or above the last limit.
inline constexpr std::size_t kMaxBandLimits = 8;
inline const std::vector<double> kDefaultBandLimitsMs = {5, 20, 50, 200, 600};
inline constexpr double kDefaultSlowLimitMs = 200;
// The slow ranges of one kind kept per run: a failing disk with slow
// requests everywhere costs at most this many ranges of memory.
inline constexpr std::size_t kMaxSlowRanges = 10000;

// Consecutive requests at or above the slow limit, blocks inclusive, and
// the time of the slowest of them.
struct SlowRange {
  std::int64_t First = 0;
  std::int64_t Last = 0;
  double Ms = 0;
  bool operator==(const SlowRange&) const = default;
};

// The grades of one kind of request (reads, or writes) in a run.
struct AccessGrades {
  std::vector<std::int64_t> Counts;  // one a band: limits + 1
  // The slowest request; First is -1 before the first one.
  SlowRange Slowest{-1, -1, 0};
  // In the order found: a range may appear once every pass.
  std::vector<SlowRange> SlowRanges;
  // More slow ranges were found than kMaxSlowRanges.
  bool SlowRangesCut = false;
  void Clear(std::size_t bands);
  // SlowRanges ascending, with overlapping and adjacent ranges (the same
  // blocks in another pass) merged, each with its slowest time.
  std::vector<SlowRange> MergedSlowRanges() const;
};

// Whether `limits` may serve as band limits: 1 to kMaxBandLimits positive
// milliseconds, strictly ascending.
bool ValidBandLimits(const std::vector<double>& limits);

// One cell of the map. BadBlocks is read by the mouse-over text at any time;
// the other fields are written by the worker during a run and read by the
// UI thread inside the worker's handed-over steps, or while no run is under
// way.
struct TMapCell {
  bool Bad = false;                        // has had a failing block since the layout
  std::int64_t FirstBlock = -1;            // -1 beyond the end of the disk
  std::int64_t LastBlock = -1;             // inclusive
  std::atomic<std::int64_t> BadBlocks{0};  // failing blocks in this pass
  std::int32_t BadPixels = 0;              // drawn red
  std::int32_t DonePixels = 0;             // drawn yellow
  std::int32_t OutsidePixels = 0;          // drawn blue: beyond the end of the disk
  std::int32_t Left = 0;                   // top-left pixel in the map image
  std::int32_t Top = 0;
  // The slowest band and time (microseconds) of any request in the cell
  // since the layout or the start of the run; -1 before the first one.
  std::atomic<std::int32_t> SlowestBand{-1};
  std::atomic<std::int64_t> SlowestUs{-1};
};

// The shared test state.
class SurfaceState {
 public:
  SurfaceState();

  // Set by the hand-over while no run is under way. The handle the runs
  // read and write through: the window logic (or a test) owns it.
  std::atomic<Handle> DiskIo{kInvalidHandle};
  std::atomic<std::int64_t> DiskBlocks{0};
  std::atomic<std::int32_t> SectorsPerBlock{1};
  // The disk's length in bytes; a last block that the length cuts short is
  // read and written as a shorter request. Below zero: DiskBlocks whole
  // blocks.
  std::atomic<std::int64_t> DiskBytes{-1};
  // The path of the disk under test (the dump file must not be it); changed
  // only while no run is under way.
  std::string DiskPath;
  std::atomic<bool> ReadOnlyDisk{false};

  // Settings from the window.
  std::atomic<std::uint8_t> TestMode{kModeRead};
  std::atomic<std::int32_t> RetryCount{1};
  std::atomic<bool> LogErrorsOn{true};
  std::atomic<bool> FirstNOnly{true};
  std::atomic<std::int32_t> ErrorsLimit{5000};
  std::atomic<bool> DumpToFile{false};
  // The dump file's name; changed only while no run is under way.
  std::string DumpName = "rd.dat";
  // Set by the worker when the dump of a run was refused, could not be
  // created or was not written in full (an error line says why); cleared
  // at Start.
  std::atomic<bool> DumpFailed{false};
  std::atomic<std::int64_t> DumpBytes{0};  // bytes dumped in this run

  // Access-time grading: the band limits and the slow limit in
  // milliseconds, changed only while no run is under way (see
  // ValidBandLimits); the grades of the reads and of the writes of the last
  // run, written by the worker and read by the UI thread inside the
  // worker's handed-over steps or while no run is under way.
  std::vector<double> BandLimitsMs = kDefaultBandLimitsMs;
  double SlowLimitMs = kDefaultSlowLimitMs;
  AccessGrades ReadGrades;
  AccessGrades WriteGrades;
  // The band of a time in milliseconds.
  std::int32_t BandOf(double ms) const;

  // A run is under way; clearing it asks the worker to stop.
  std::atomic<bool> SurfaceRunning{false};

  // Run progress, written by the worker.
  std::atomic<std::int32_t> CurrentCycle{0};
  std::atomic<std::uint8_t> PatternByte{0};
  std::atomic<std::int32_t> LoggedErrors{0};
  std::atomic<int> DumpHandle{-1};
  std::atomic<std::int64_t> ReadDone{0};
  std::atomic<std::int64_t> WriteDone{0};
  std::atomic<std::int64_t> CompareDone{0};
  std::atomic<std::int64_t> ReadErrors{0};
  std::atomic<std::int64_t> WriteErrors{0};
  std::atomic<std::int64_t> CompareErrors{0};
  std::atomic<std::int64_t> ReadTarget{0};
  std::atomic<std::int64_t> WriteTarget{0};
  std::atomic<std::int32_t> CurrentRow{0};
  std::atomic<std::int32_t> CurrentColumn{0};
  std::atomic<std::uint32_t> StartTick{0};
  std::atomic<std::uint32_t> LastStatusTick{0};

  // The division of the disk, set by DivideDisk while no run is under way.
  std::int32_t MapRows = 0;
  std::int32_t MapColumns = 0;
  std::atomic<std::int32_t> CellArea{CellWidth * CellHeight};
  std::atomic<std::int64_t> BlocksPerCell{1};
  std::atomic<std::int32_t> LastDiskRow{-1};
  std::atomic<std::int32_t> LastDiskColumn{-1};

  // Cell [row][column] of the 300 x 400 array. A row's 400 cells are made
  // when one of them is first asked for (DivideDisk makes the rows of the
  // layout before a run, on the thread that lays out the map): a program
  // that shows a small map never spends time or memory on the 6.7 MB of
  // the whole array. Until then the cells of a row read as a new cell.
  TMapCell& Cell(std::int32_t row, std::int32_t column) {
    std::unique_ptr<TMapCell[]>& r = rows_[static_cast<std::size_t>(row)];
    if (!r) r = std::make_unique<TMapCell[]>(kMaxMapColumns);
    return r[static_cast<std::size_t>(column)];
  }
  const TMapCell& Cell(std::int32_t row, std::int32_t column) const {
    static const TMapCell kNew;
    const std::unique_ptr<TMapCell[]>& r = rows_[static_cast<std::size_t>(row)];
    return r ? r[static_cast<std::size_t>(column)] : kNew;
  }

  // Divides the disk into the n = MapRows x MapColumns cells of the map, in
  // map order, and gives every cell its place in the map image. A cell count
  // that does not divide the disk gets BlocksPerCell rounded up, so the disk
  // may fill well under n cells: the last disk cell holds the remainder and
  // shows the rest of its area blue, later cells are all blue.
  void DivideDisk(std::int32_t n);

  // ReadTarget = WriteTarget = DiskBlocks x RetryCount.
  void SetTargets();
  // Clears the logged-error count, the error and done counters and
  // CurrentCycle (the layout of a new showing).
  void ClearCounters();

  // The block numbers whose single-block request failed in the last run, in
  // the order found (a block may appear once per pass and kind). Written by
  // the worker; read while no run is under way.
  std::vector<std::int64_t> FailedBlocks;
  // FailedBlocks without repeats, ascending.
  std::vector<std::int64_t> BadBlockList() const;

 private:
  std::array<std::unique_ptr<TMapCell[]>, kMaxMapRows> rows_;
};

// Why the dump file `dumpName` may not be written while `diskPath` is under
// test, or empty when it may: it is not a regular file (a device, a
// directory, a pipe; see DumpTargetRefusal), or it is the disk itself (an
// image file under test).
std::string DumpRefusal(const std::string& dumpName, const std::string& diskPath);

// "0 (00.0000%)" without blocks done; else errors + " (" + the error share in
// per cent with 4 decimals + "% of " + the done count scaled to K, M, G or T
// + ")".
std::string BadCountText(std::int64_t errors, std::int64_t done);

// The status labels that ShowStatus refreshes.
struct StatusTexts {
  std::string BadBlocksRead;
  std::string BadBlocksWrite;
  std::string BadBlocksCompare;
  std::string WorkTime;      // "Time " + elapsed + " (" + remaining + ")"
  std::string CurTestCycle;  // "(" + cycle + ")"
};
// The labels for the tick count `now`.
StatusTexts ComputeStatus(const SurfaceState& s, std::uint32_t now);
// ShowStatus: when more than a second has passed since the last refresh,
// computes the labels into `out`, notes the refresh and returns true.
bool ShowStatus(SurfaceState& s, StatusTexts* out);

// The window's side of a run: the steps the worker hands to the UI thread.
class SurfaceSteps {
 public:
  virtual ~SurfaceSteps() = default;
  // Redraw cell [CurrentRow][CurrentColumn].
  virtual void ShowCell() = 0;
  // Refresh the counters, the time and the cycle (at most once a second).
  virtual void ShowStatus() = 0;
  // Append an error line to the errors window.
  virtual void AddErrorLine(const std::string& line) = 0;
  // Re-enable the controls at the end of a run.
  virtual void TestFinished() = 0;
};

// The surface test worker.
class TDiskTest : public Worker {
 public:
  TDiskTest(SurfaceState& state, MainThread& main, SurfaceSteps& steps);
  ~TDiskTest() override;

  // The worker is inside a run; cleared before TestFinished is handed over.
  bool Busy() const { return busy_.load(); }

  // Asks the thread for one run and wakes it.
  void RequestRun();
  // One run, on the calling thread: the dump file, the passes, the end.
  void PerformRun();

  void RunCycles();
  void TestPass();
  void ReadPass(TMapCell& cell);
  void WritePass(TMapCell& cell);
  bool ReadBlocks(std::int32_t n, std::int64_t first);
  bool WriteBlocks(std::int32_t n, std::int64_t first);
  void FillPattern();

  // The error line being handed to the errors window.
  std::string ErrorLine;

  // The transfer buffer (aligned for uncached device access).
  static std::uint8_t* TransferBuffer();

 protected:
  void Execute() override;

 private:
  void LogError(const char* what, std::int64_t block, std::uint32_t code);
  // Grades a request of n blocks from `first` that succeeded in `ticks`
  // of the performance counter.
  void Grade(AccessGrades& g, std::int32_t n, std::int64_t first, std::int64_t ticks);
  // The counter's frequency and the band limits in counter ticks, taken at
  // the start of a run.
  void PrepareGrading();
  // Appends `size` bytes of the transfer buffer to the dump file; a failing
  // write ends the dump with an error line.
  void Dump(std::uint32_t size);
  void DumpError(const std::string& line);
  // The bytes of n blocks from block `first`, cut at the end of the disk.
  std::uint32_t RequestBytes(std::int32_t n, std::int64_t first) const;
  void CellResult(TMapCell& cell);
  std::int32_t BlockBytes() const;

  SurfaceState& s_;
  MainThread& main_;
  SurfaceSteps& steps_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> requested_{false};
  // The cell whose requests are graded.
  TMapCell* gradeCell_ = nullptr;
  std::int64_t perfFrequency_ = 0;
  std::vector<std::int64_t> limitTicks_;
  std::int64_t slowTicks_ = 0;
};

// Start, the engine's part: StartCounters sets the start tick and clears
// the done, error and logged counts, the failed-block list and the grades
// (before the window clears its map); StartRunning sets the first cycle,
// the running flag, the first pattern and the dump setting, and wakes the
// worker.
void StartCounters(SurfaceState& s);
void StartRunning(SurfaceState& s, TDiskTest& worker, bool dumpToFile);

}  // namespace dt::surface
