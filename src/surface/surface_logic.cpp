#include "surface/surface_logic.h"

#include <limits>

#include "ata/tide_smart.h"
#include "base/notify.h"
#include "base/text.h"
#include "surface/surface_window_form.h"

namespace dt::surface {

std::string DigitsOnly(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c >= '0' && c <= '9') out += c;
  return out;
}

bool EditValue(const std::string& digits, std::int32_t* value) {
  std::int64_t v = 0;
  for (char c : digits) {
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<std::int32_t>::max()) return false;
  }
  *value = static_cast<std::int32_t>(v);
  return true;
}

std::string ConversionErrorText(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

bool MaybeSystemDisk(const std::string& path) {
  if (path.rfind("\\\\.\\", 0) == 0)
    return path == "\\\\.\\PHYSICALDRIVE0" || path.substr(0, 6) == "\\\\.\\C:";
  return Sys().DeviceInUse(path);
}

SurfaceControls::SurfaceControls() {
  const form::FormSpec& form = SurfaceTestForm();
  for (const surface_window::LogicControl& c : surface_window::LogicControls()) {
    const form::ControlSpec& spec = *form.Find(c.name);
    this->*c.state = Control{spec.enabled, spec.checked, spec.caption};
  }
}

// ---------------------------------------------------------------------------

SurfaceTestLogic::SurfaceTestLogic(MainThread& main, ErrorLog& errors, SurfaceView* view)
    : errors_(errors), view_(view), worker_(state_, main, *this) {
  worker_.Start();
}

SurfaceTestLogic::~SurfaceTestLogic() = default;

void SurfaceTestLogic::Changed() {
  if (view_) view_->ControlsChanged();
}

void SurfaceTestLogic::SetTestedDisk(TestedDisk&& disk) {
  state_.ReadOnlyDisk.store(disk.readOnly);
  state_.SectorsPerBlock.store(disk.sectorsPerBlock);
  state_.DiskBlocks.store(disk.blocks);
  state_.DiskBytes.store(disk.bytes);
  state_.DiskPath = disk.path;
  state_.DiskIo.store(disk.handle.Get());
  disk_ = std::move(disk.handle);
  writeHandle_ = disk.writeHandle;
  controls_.TestedDiskName.text = disk.path;
  controls_.DiskModel.text = disk.model;
  if (disk.readOnly) {
    controls_.WriteTestButton.enabled = false;
    controls_.WriteAndReadButton.enabled = false;
    controls_.ReadAndWriteButton.enabled = false;
  } else {
    controls_.WriteTestButton.enabled = true;
    controls_.ReadAndWriteButton.enabled = true;
  }
  Changed();
}

MapLayout SurfaceTestLogic::FormShow(int clientWidth, int clientHeight) {
  const MapLayout l = map_.Layout(clientWidth, clientHeight);
  controls_.CurrenElementInfo.text.clear();
  const std::int32_t spb = state_.SectorsPerBlock.load();
  const double mb = static_cast<double>(state_.DiskBlocks.load()) * spb / 2048.0;
  if (mb < 1000) {
    controls_.DiskSize.text = NumberText(mb, 13, 2) + " Mb";
  } else {
    controls_.DiskSize.text =
        NumberText(mb, 13, 0) + " Mb (" + NumberText(mb / 1024.0, 13, 2) + " Gb)";
  }
  const std::int64_t perCell = state_.BlocksPerCell.load();
  controls_.BlocksPerElement.text = NumberText(static_cast<double>(perCell), 13, 0) + " (" +
                                    NumberText(static_cast<double>(perCell) * spb / 2048.0, 13, 0) +
                                    "Mb)";

  errors_.Clear();
  state_.ClearCounters();
  std::int32_t v = 0;
  if (EditValue(DigitsOnly(controls_.ErrorsNumber.text), &v)) state_.ErrorsLimit.store(v);
  state_.LogErrorsOn.store(controls_.LogErrors.checked);
  state_.FirstNOnly.store(controls_.FirstNErrors.checked);
  if (EditValue(DigitsOnly(controls_.TestRetry.text), &v)) state_.RetryCount.store(v);
  state_.SetTargets();
  if (view_) view_->MapChanged();
  Changed();
  return l;
}

void SurfaceTestLogic::FormHide() {
  state_.SurfaceRunning.store(false);
}

void SurfaceTestLogic::SetMode(std::uint8_t mode) {
  controls_.ReadTestButton.checked = mode == kModeRead;
  controls_.WriteTestButton.checked = mode == kModeWrite;
  controls_.WriteAndReadButton.checked = mode == kModeWriteRead;
  controls_.ReadAndWriteButton.checked = mode == kModeReadWrite;
  state_.TestMode.store(mode);
  Changed();
}

void SurfaceTestLogic::ReadTestButtonClick() {
  SetMode(kModeRead);
}
void SurfaceTestLogic::WriteTestButtonClick() {
  SetMode(kModeWrite);
}
void SurfaceTestLogic::ReadAndWriteButtonClick() {
  SetMode(kModeReadWrite);
}
void SurfaceTestLogic::WriteAndReadButtonClick() {
  SetMode(kModeWriteRead);
}

void SurfaceTestLogic::WriteToFileClick(bool ticked) {
  controls_.WriteToFile.checked = ticked;
  Changed();
}

void SurfaceTestLogic::LogErrorsClick(bool ticked) {
  controls_.LogErrors.checked = ticked;
  controls_.FirstNErrors.enabled = ticked;
  controls_.Label11.enabled = controls_.FirstNErrors.enabled;
  controls_.ErrorsNumber.enabled = ticked && controls_.FirstNErrors.checked;
  state_.LogErrorsOn.store(ticked);
  Changed();
}

void SurfaceTestLogic::FirstNErrorsClick(bool ticked) {
  controls_.FirstNErrors.checked = ticked;
  controls_.ErrorsNumber.enabled = controls_.LogErrors.checked && ticked;
  state_.FirstNOnly.store(ticked);
  controls_.Label11.enabled = controls_.FirstNErrors.enabled;
  Changed();
}

namespace {

// The numeric edit rule: the text loses every non-digit; the value is the
// digits read as a decimal number (0 when empty). A number too large for a
// 32-bit integer raises the conversion error and keeps the old value.
std::string NumericEdit(const std::string& text, Control& edit, std::atomic<std::int32_t>& value) {
  const std::string digits = DigitsOnly(text);
  edit.text = digits;
  std::int32_t v = 0;
  if (!EditValue(digits, &v)) {
    Notify().ShowMessage("Error", ConversionErrorText(digits));
    return digits;
  }
  value.store(v);
  return digits;
}

}  // namespace

std::string SurfaceTestLogic::ErrorsNumberChange(const std::string& text) {
  const std::string t = NumericEdit(text, controls_.ErrorsNumber, state_.ErrorsLimit);
  Changed();
  return t;
}

std::string SurfaceTestLogic::TestRetryChange(const std::string& text) {
  const std::string t = NumericEdit(text, controls_.TestRetry, state_.RetryCount);
  state_.SetTargets();
  Changed();
  return t;
}

void SurfaceTestLogic::Button1Click() {
  errors_.Show();
}

void SurfaceTestLogic::SetRunControls(bool enabled) {
  for (Control* c :
       {&controls_.ReadTestButton, &controls_.WriteTestButton, &controls_.ReadAndWriteButton,
        &controls_.WriteAndReadButton, &controls_.WriteToFile, &controls_.LogErrors,
        &controls_.Button1, &controls_.FirstNErrors, &controls_.ErrorsNumber, &controls_.TestRetry,
        &controls_.Label11, &controls_.GradeAccessTime})
    c->enabled = enabled;
  if (enabled) {
    const bool writable = !state_.ReadOnlyDisk.load();
    controls_.WriteTestButton.enabled = writable;
    controls_.ReadAndWriteButton.enabled = writable;
    controls_.WriteAndReadButton.enabled = false;
    ApplyOptionRules();
  }
}

void SurfaceTestLogic::ApplyOptionRules() {
  controls_.FirstNErrors.enabled = controls_.LogErrors.checked;
  controls_.ErrorsNumber.enabled = controls_.LogErrors.checked && controls_.FirstNErrors.checked;
  controls_.Label11.enabled = controls_.FirstNErrors.enabled;
}

void SurfaceTestLogic::StartButtonClick() {
  if (Running()) {
    state_.SurfaceRunning.store(false);
    return;
  }
  if (controls_.WriteToFile.checked) {
    // Never a device, a directory or the disk itself as the dump file.
    const std::string refusal = DumpRefusal(state_.DumpName, state_.DiskPath);
    if (!refusal.empty()) {
      Notify().ShowMessage(kWarningCaption, "Write data: " + refusal + ". The test was not started.");
      return;
    }
  }
  const std::uint8_t mode = state_.TestMode.load();
  if (mode != kModeRead) {
    Notifier& n = Notify();
    const char* first = mode == kModeReadWrite ? kReadWriteQuestion : kWriteQuestion;
    if (!n.Confirm(kWarningCaption, first)) return;
    if (!n.Confirm(kWarningCaption, kSureQuestion)) return;
    if (MaybeSystemDisk(controls_.TestedDiskName.text) &&
        !n.Confirm(kWarningCaption, kSystemDiskQuestion))
      return;
  }
  if (!HoldHandleFor(mode != kModeRead)) return;
  SetRunControls(false);
  StartCounters(state_);
  errors_.Clear();
  map_.ClearForNewRun();
  if (view_) view_->MapChanged();
  controls_.StartButton.text = "Stop";
  Changed();
  StartRunning(state_, worker_, controls_.WriteToFile.checked);
}

// A writing run needs the disk open for writing, which is asked for only
// now, after the questions; a reading run goes back to a handle for reading
// only. When the open for writing fails (the failure has been shown) the
// disk is read-only from then on and the run does not start.
void SurfaceTestLogic::ReleaseTestedDisk() {
  state_.DiskIo.store(kInvalidHandle);
  disk_.Reset();
}

bool SurfaceTestLogic::HoldHandleFor(bool writing) {
  if (writing == writeHandle_ || !disk_ || state_.DiskPath.empty()) return true;
  // A handle for reading only is worth no message: the one for writing
  // reads as well.
  const Handle h = writing ? OpenDisk(state_.DiskPath, true)
                           : Sys().OpenDevice(state_.DiskPath, kGenericRead,
                                              kShareRead | kShareWrite, kOpenExisting,
                                              kAttributeNormal);
  if (h == kInvalidHandle) {
    if (!writing) return true;
    state_.ReadOnlyDisk.store(true);
    SetRunControls(true);
    Changed();
    return false;
  }
  state_.DiskIo.store(h);
  disk_.Reset(h);
  writeHandle_ = writing;
  return true;
}

void SurfaceTestLogic::Image1MouseMove(int x, int y) {
  if (!map_.MouseMove(x, y)) return;
  controls_.CurrenElementInfo.text = map_.CurrenElementInfo();
  if (view_) view_->StatusChanged();
}

void SurfaceTestLogic::WaitIdle(const std::function<void()>& pump) {
  while (worker_.Busy()) pump();
}

// ---------------------------------------------------------------------------
// The worker's steps, on the UI thread.

void SurfaceTestLogic::ShowCell() {
  const TMapCell& c = state_.Cell(state_.CurrentRow.load(), state_.CurrentColumn.load());
  map_.DrawCell(c);
  if (view_) view_->CellChanged(c.Left, c.Top, CellWidth, CellHeight);
}

void SurfaceTestLogic::ShowStatus() {
  StatusTexts t;
  if (!surface::ShowStatus(state_, &t)) return;
  controls_.BadBlocksRead.text = t.BadBlocksRead;
  controls_.BadBlocksWrite.text = t.BadBlocksWrite;
  controls_.BadBlocksCompare.text = t.BadBlocksCompare;
  controls_.WorkTime.text = t.WorkTime;
  controls_.CurTestCycle.text = t.CurTestCycle;
  RefreshLegend();
  if (view_) view_->StatusChanged();
}

void SurfaceTestLogic::AddErrorLine(const std::string& line) {
  errors_.Append(line);
}

void SurfaceTestLogic::GradeAccessTimeClick(bool ticked) {
  controls_.GradeAccessTime.checked = ticked;
  map_.SetGrading(ticked);
  RefreshLegend();
  if (view_) view_->MapChanged();
  Changed();
}

void SurfaceTestLogic::RefreshLegend() {
  legend_.clear();
  if (controls_.GradeAccessTime.checked) legend_ = GradeLegend(state_);
}

void SurfaceTestLogic::ListSlowRanges() {
  for (const auto& [what, g] : {std::pair{"Slow read at ", &state_.ReadGrades},
                                std::pair{"Slow write at ", &state_.WriteGrades}})
    for (const SlowRange& r : g->MergedSlowRanges())
      errors_.Append(what + GroupedNumber(r.First) + " - " + GroupedNumber(r.Last) + ": " +
                     MsText(r.Ms) + " ms");
}

void SurfaceTestLogic::TestFinished() {
  if (controls_.GradeAccessTime.checked) ListSlowRanges();
  RefreshLegend();
  SetRunControls(true);
  controls_.StartButton.text = "Start";
  Changed();
}

// ---------------------------------------------------------------------------
// The hand-over from the main window.

namespace {

// The hand-over's open. For writing: reading and writing, or else reading
// only. For reading: reading only, the writing modes offered unless the disk
// is in use.
bool OpenForTest(TestedDisk* disk, bool forWriting) {
  disk->handle.Reset();
  disk->readOnly = false;
  disk->writeHandle = false;
  if (forWriting) {
    // A disk that does not open for writing (its refusal has been shown) is
    // tested read-only.
    disk->handle.Reset(OpenDisk(disk->path, true));
    disk->writeHandle = static_cast<bool>(disk->handle);
    disk->readOnly = !disk->writeHandle;
  }
  if (!disk->handle) {
    disk->handle.Reset(OpenDisk(disk->path, false));
    if (!disk->handle) return false;
    if (!forWriting) disk->readOnly = Sys().DeviceInUse(disk->path);
  }
  return true;
}

// Blocks of `sectorsPerBlock` 512-byte sectors covering `bytes`, the last
// one possibly cut short.
void SetLength(std::int64_t bytes, std::int32_t sectorsPerBlock, TestedDisk* disk) {
  const std::int64_t blockBytes = 512 * static_cast<std::int64_t>(sectorsPerBlock);
  disk->bytes = bytes < 0 ? 0 : bytes;
  disk->sectorsPerBlock = sectorsPerBlock;
  disk->blocks = (disk->bytes + blockBytes - 1) / blockBytes;
}

}  // namespace

bool OpenTestedDisk(const DriveRef& sel, TestedDisk* disk, bool forWriting) {
  disk->path = DeviceName(sel);
  // The model is read before the disk is opened for the test: on Linux the
  // test's handle holds the disk exclusively, and the ATA object's own open
  // would then fail.
  if (sel.Physical()) {
    TIDE_SMART ata;
    ata.OpenDrive(sel.number);
    ata.LoadIdentify();
    disk->model = ata.GetModel();
    ata.CloseDrive();
    if (disk->model.empty()) disk->model = "Unknown";
  } else {
    disk->model = sel.label;
  }
  if (!OpenForTest(disk, forWriting)) return false;
  std::int64_t size = DeviceLength(disk->handle.Get());
  if (size < 0) size = SelectedDiskSize(sel);
  const bool cd = !sel.Physical() && sel.fileSystem == "CDFS";
  SetLength(size, cd ? 4 : 1, disk);
  return true;
}

bool OpenTestedPath(const std::string& path, TestedDisk* disk, bool forWriting) {
  disk->path = path;
  disk->model = "Unknown";
  if (!OpenForTest(disk, forWriting)) return false;
  SetLength(DeviceLength(disk->handle.Get()), 1, disk);
  return true;
}

void SurfaceHandOver(const DriveRef& sel, SurfaceTestLogic& window,
                     const std::function<void()>& showModal, const std::function<void()>& pump) {
  DiskLease lease = DiskLease::Take();
  if (!lease) {
    Notify().ShowMessage(SurfaceTestForm().title, DiskLease::InUseText());
    return;
  }
  TestedDisk disk;
  if (!OpenTestedDisk(sel, &disk)) return;
  window.SetTestedDisk(std::move(disk));
  showModal();
  // A run still under way stops; the disk is closed, and the window may be
  // shown again, only once its end-of-run step has been served.
  window.FormHide();
  while (window.Busy() || window.Running()) pump();
  window.ReleaseTestedDisk();
}

}  // namespace dt::surface
