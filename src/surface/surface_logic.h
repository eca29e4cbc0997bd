// The surface test window without its toolkit: the state of its controls,
// the option rules, the numeric edits, the confirmations, Start and Stop,
// the map and the status labels. A front end shows the controls as this
// object describes them, forwards its events to the handlers of the same
// names, and shows the map image; the hand-over from the main window
// (SurfaceHandOver) opens the disk, fills the window and closes the disk.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/worker.h"
#include "device/device.h"
#include "device/disk.h"
#include "surface/surface_engine.h"
#include "surface/surface_map.h"

namespace dt::surface {

// The confirmations before a writing test (caption "Warning", Yes / No).
inline constexpr const char* kWarningCaption = "Warning";
inline constexpr const char* kReadWriteQuestion = "Test can destroy data on disk. Continue?";
inline constexpr const char* kWriteQuestion = "Test destroy all data on disk. Continue?";
inline constexpr const char* kSureQuestion = "Are you sure?";
inline constexpr const char* kSystemDiskQuestion = "This disk can be system. Are you really sure?";

// One control of the window: enabled, checked (radio buttons and check
// boxes) and its text (caption, edit text or label text).
struct Control {
  bool enabled = true;
  bool checked = false;
  std::string text;
};

// The window's controls whose state the logic keeps; they start as the
// window's description (surface_window_form.h) has them.
struct SurfaceControls {
  SurfaceControls();
  Control ReadTestButton;
  Control WriteTestButton;
  Control ReadAndWriteButton;
  Control WriteAndReadButton;
  Control StartButton;
  Control WriteToFile;
  Control LogErrors;
  Control Button1;
  Control FirstNErrors;
  Control ErrorsNumber;
  Control Label11;
  Control TestRetry;
  Control CurTestCycle;
  Control TestedDiskName;
  Control DiskSize;
  Control DiskModel;
  Control BlocksPerElement;
  Control WorkTime;
  Control BadBlocksRead;
  Control BadBlocksWrite;
  Control BadBlocksCompare;
  Control CurrenElementInfo;
  Control GradeAccessTime;
};

// The errors window as the surface test uses it.
class ErrorLog {
 public:
  virtual ~ErrorLog() = default;
  virtual void Clear() = 0;
  virtual void Append(const std::string& line) = 0;
  // Shown without blocking ("Show errors log").
  virtual void Show() {}
};

// What the front end is told; every call comes on the UI thread.
class SurfaceView {
 public:
  virtual ~SurfaceView() = default;
  // Enabled states, checks, captions or edit texts have changed.
  virtual void ControlsChanged() {}
  // The whole map image has changed (layout, clear for a new run).
  virtual void MapChanged() {}
  // One cell of the map image has changed: its rectangle.
  virtual void CellChanged(int /*left*/, int /*top*/, int /*width*/, int /*height*/) {}
  // The status labels have changed.
  virtual void StatusChanged() {}
};

// Digits only: every character outside '0'..'9' removed.
std::string DigitsOnly(const std::string& text);
// The decimal value of a digit text (0 when empty); false when it does not
// fit a signed 32-bit integer.
bool EditValue(const std::string& digits, std::int32_t* value);
// The standard conversion error text of a number that does not fit.
std::string ConversionErrorText(const std::string& text);

// Whether a writing test of `path` asks the system-disk question: the exact
// Windows names of physical disk 0 and drive C, or, for any other kind of
// path, a device that the system has in use (mounted, or holding the root
// file system).
bool MaybeSystemDisk(const std::string& path);

// The disk that the main window hands over.
struct TestedDisk {
  std::string path;
  std::string model;
  bool readOnly = false;     // the writing modes are not offered
  UniqueHandle handle;       // the open disk
  bool writeHandle = false;  // `handle` is open for writing
  std::int32_t sectorsPerBlock = 1;
  std::int64_t blocks = 0;  // every block, a last partial one included
  // The full length; a last block that it cuts short is tested as a
  // shorter request. Below zero: `blocks` whole blocks.
  std::int64_t bytes = -1;
};

class SurfaceTestLogic : private SurfaceSteps {
 public:
  // FormCreate: creates and starts the worker. Steps of the worker are
  // handed to `main`.
  SurfaceTestLogic(MainThread& main, ErrorLog& errors, SurfaceView* view = nullptr);
  // The run must have ended (WaitIdle) before the window goes away.
  ~SurfaceTestLogic() override;
  SurfaceTestLogic(const SurfaceTestLogic&) = delete;
  SurfaceTestLogic& operator=(const SurfaceTestLogic&) = delete;

  void SetView(SurfaceView* view) { view_ = view; }

  // The disk to test: the window takes its handle (the rest of `disk` stays)
  // and reads (and writes) through it until ReleaseTestedDisk, another
  // SetTestedDisk or its end. A writing run opens the disk for writing when
  // it starts; a reading run, for reading only. No run may be under way.
  void SetTestedDisk(TestedDisk&& disk);
  // Closes the tested disk's handle. No run may be under way.
  void ReleaseTestedDisk();

  // FormShow with the window's client size: the map layout, the disk size
  // and blocks-per-element labels, the errors window and counters cleared,
  // the options taken from the controls. Returns the sizes the window takes.
  MapLayout FormShow(int clientWidth, int clientHeight);
  // FormHide: a run under way stops.
  void FormHide();

  void ReadTestButtonClick();
  void WriteTestButtonClick();
  void ReadAndWriteButtonClick();
  void WriteAndReadButtonClick();
  void WriteToFileClick(bool ticked);
  void LogErrorsClick(bool ticked);
  void FirstNErrorsClick(bool ticked);
  // The edits' change handlers take the edit's text and return the text it
  // must hold (digits only).
  std::string ErrorsNumberChange(const std::string& text);
  std::string TestRetryChange(const std::string& text);
  void Button1Click();
  // Start, or Stop while a run is under way.
  void StartButtonClick();
  void Image1MouseMove(int x, int y);
  // "Grade access time": the map is painted by each cell's slowest band
  // and, at the end of a run, the errors window lists the slow ranges after
  // the bad blocks. Off by default, when the window shows exactly what it
  // shows without grading.
  void GradeAccessTimeClick(bool ticked);
  // The access-time legend while grading is on, else empty; its counts are
  // those of the last status refresh (or of the end of the run).
  const std::vector<LegendEntry>& Legend() const { return legend_; }

  // A run is under way (the button reads "Stop").
  bool Running() const { return controls_.StartButton.text != "Start"; }
  // The worker is inside a run.
  bool Busy() const { return worker_.Busy(); }
  // Waits until the worker has left its run, calling `pump` meanwhile so
  // that the worker's steps to the UI thread are served.
  void WaitIdle(const std::function<void()>& pump);

  const SurfaceControls& Controls() const { return controls_; }
  SurfaceState& State() { return state_; }
  const SurfaceMap& Map() const { return map_; }
  TDiskTest& Worker() { return worker_; }

 private:
  void ShowCell() override;
  void ShowStatus() override;
  void AddErrorLine(const std::string& line) override;
  void TestFinished() override;

  void SetMode(std::uint8_t mode);
  bool HoldHandleFor(bool writing);
  void ListSlowRanges();
  void RefreshLegend();
  void SetRunControls(bool enabled);
  void ApplyOptionRules();
  void Changed();

  SurfaceState state_;
  SurfaceMap map_{state_};
  SurfaceControls controls_;
  ErrorLog& errors_;
  SurfaceView* view_;
  UniqueHandle disk_;         // the tested disk's handle (state_.DiskIo)
  bool writeHandle_ = false;  // disk_ is open for writing
  std::vector<LegendEntry> legend_;
  TDiskTest worker_;
};

// Opens the selected disk into `disk` and finds its model, sectors per
// block and block count. The test covers the device's full length (every
// sector, also past the last whole cylinder); the geometry size serves only
// where the length request fails. False when it cannot be opened at all (the
// open has said why).
// For reading only, unless `forWriting`: a disk that a reading test held open
// for writing would be seen as written when it is closed (udev probes it
// again). Without `forWriting` the disk counts as read-only when it is in use;
// with it, when the open for writing fails and one for reading succeeds.
bool OpenTestedDisk(const DriveRef& sel, TestedDisk* disk, bool forWriting = false);
// The same for a disk given by its path: a device that no list shows, or an
// image file. The model is "Unknown".
bool OpenTestedPath(const std::string& path, TestedDisk* disk, bool forWriting = false);

// TForm1.Button11Click, "Surface test": opens the disk, hands it to the
// window, shows the window (`showModal` returns when it is closed), stops a
// run still under way, waits for the worker while calling `pump`, and closes
// the disk.
void SurfaceHandOver(const DriveRef& sel, SurfaceTestLogic& window,
                     const std::function<void()>& showModal, const std::function<void()>& pump);

}  // namespace dt::surface
