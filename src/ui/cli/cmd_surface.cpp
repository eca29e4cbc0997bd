// disktest-cli surface: the surface test of the surface test window on the
// command line. The disk goes through the same hand-over as from the main
// window, the options through the window's handlers, the questions through
// the terminal (or --yes). With no event loop to serve, the worker runs its
// window updates itself, one at a time, while this thread waits for the end
// of the run or for Ctrl+C.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <system_error>
#include <thread>

#include "base/notify.h"
#include "base/text.h"
#include "base/worker.h"
#include "device/device.h"
#include "device/drive_ref.h"
#include "surface/surface_logic.h"
#include "ui/cli/cli.h"
#include "ui/cli/output.h"
#include "ui/cli/png_writer.h"
#include "ui/cli/surface_json.h"

namespace dt::cli {

namespace {

using surface::SurfaceTestLogic;

struct SurfaceOptions {
  std::string device;
  std::string mode = "read";
  std::int32_t passes = 1;
  std::string dump;
  std::int32_t logFirst = 5000;
  bool noLog = false;
  std::string badBlocks;
  std::int32_t listBlockSize = 512;
  std::string mapPng;
  std::string mapSize;
  std::string json;
  bool yes = false;
  bool yesSystemDisk = false;
  bool grade = false;
  double slowMs = surface::kDefaultSlowLimitMs;
  std::string bands;
  std::string slowBlocks;
  // --dump given (with or without a file name); set at registration.
  const CLI::Option* dumpOption = nullptr;
};

// Messages to standard error; questions answered by --yes (the two
// data-loss questions) and --yes-system-disk (the system-disk question), or
// else asked on the terminal. Without a terminal a question is answered No.
class TerminalNotifier : public Notifier {
 public:
  TerminalNotifier(std::ostream& err, bool yes, bool yesSystemDisk)
      : err_(err), yes_(yes), yesSystemDisk_(yesSystemDisk) {}
  void ShowMessage(const std::string& caption, const std::string& text) override {
    // A failed open for writing is held back: the disk may still open for
    // reading, and then one plain line says so.
    if (holdWriteOpen_ && caption.size() > 10 &&
        caption.compare(caption.size() - 10, 10, " for write") == 0) {
      heldWriteOpen_ = caption + ": " + text;
      return;
    }
    err_ << caption << ": " << text << "\n";
    err_.flush();
  }
  void HoldWriteOpenFailure(bool hold) { holdWriteOpen_ = hold; }
  // The held-back failure, or empty.
  const std::string& HeldWriteOpenFailure() const { return heldWriteOpen_; }
  bool Confirm(const std::string& caption, const std::string& text) override {
    const bool system = text == surface::kSystemDiskQuestion;
    if (system ? yesSystemDisk_ : yes_) {
      err_ << caption << ": " << text << " Yes (" << (system ? "--yes-system-disk" : "--yes")
           << ")\n";
      err_.flush();
      return true;
    }
    if (!IsTerminal(0)) {
      err_ << caption << ": " << text << " No (no terminal to ask; "
           << (system ? "--yes-system-disk" : "--yes") << " answers Yes)\n";
      err_.flush();
      return false;
    }
    err_ << caption << ": " << text << " [y/N] ";
    err_.flush();
    std::string answer;
    if (!std::getline(std::cin, answer)) {
      err_ << "\n";
      return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
  }

 private:
  std::ostream& err_;
  bool yes_;
  bool yesSystemDisk_;
  bool holdWriteOpen_ = false;
  std::string heldWriteOpen_;
};

// Progress: one line rewritten in place on a terminal, otherwise a line at
// every tenth of the run. Error lines go to standard error. During a run
// every call comes from the worker.
class CliSurfaceView : public surface::SurfaceView, public surface::ErrorLog {
 public:
  CliSurfaceView(std::ostream& out, std::ostream& err, bool terminal)
      : out_(out), err_(err), terminal_(terminal) {}
  void Attach(SurfaceTestLogic* w) { w_ = w; }

  // The button went from "Start" to "Stop" (on this thread, at Start) and
  // back (on the worker, at the end of the run).
  void ControlsChanged() override {
    if (!w_) return;
    if (w_->Running()) {
      started_ = true;
    } else if (started_) {
      std::lock_guard<std::mutex> lock(mu_);
      finished_ = true;
      cv_.notify_all();
    }
  }
  // The run was started: set on this thread before the worker is woken, so
  // it reads safely while the worker runs (the button's text does not: a
  // short run may already have turned it back to "Start" on the worker).
  bool Started() const { return started_; }
  // Waits up to `ms` for the end of the run; true when it has ended.
  bool WaitFinished(int ms) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return finished_; });
  }

  void StatusChanged() override {
    if (!w_ || !w_->Running()) return;
    const std::string line = StatusLine();
    if (terminal_) {
      const std::size_t n = CharCount(line);
      out_ << "\r" << line;
      if (n < shown_) out_ << std::string(shown_ - n, ' ');
      out_.flush();
      shown_ = n;
    } else if (Tenth() != lastTenth_) {
      lastTenth_ = Tenth();
      out_ << line << std::endl;
    }
  }
  void Clear() override {}
  void Append(const std::string& line) override {
    ClearLine();
    err_ << line << "\n";
    err_.flush();
  }
  void ClearLine() {
    if (terminal_ && shown_ > 0) {
      out_ << "\r" << std::string(shown_, ' ') << "\r";
      out_.flush();
      shown_ = 0;
    }
  }

 private:
  double Share() const {
    surface::SurfaceState& s = w_->State();
    const bool read = s.TestMode.load() == surface::kModeRead;
    const std::int64_t target = read ? s.ReadTarget.load() : s.WriteTarget.load();
    const std::int64_t done = read ? s.ReadDone.load() : s.WriteDone.load();
    return target > 0 ? static_cast<double>(done) * 100.0 / static_cast<double>(target) : 0.0;
  }
  int Tenth() const { return static_cast<int>(Share() / 10.0); }
  std::string StatusLine() const {
    const surface::SurfaceControls& c = w_->Controls();
    return "Pass " + c.CurTestCycle.text + "  " + NumberText(Share(), 5, 1) + "%  " +
           c.WorkTime.text + "  read " + c.BadBlocksRead.text + "  write " + c.BadBlocksWrite.text;
  }

  std::ostream& out_;
  std::ostream& err_;
  bool terminal_;
  SurfaceTestLogic* w_ = nullptr;
  std::size_t shown_ = 0;
  int lastTenth_ = -1;
  bool started_ = false;
  std::mutex mu_;
  std::condition_variable cv_;
  bool finished_ = false;
};

// The blocks of a full cell when the disk is divided into n cells.
std::int64_t BlocksPerCell(std::int64_t blocks, std::int64_t n) {
  if (blocks % n == 0) return blocks / n;
  return n > blocks ? 1 : blocks / n + 1;
}

// The default map: about 512 cells, about twice as wide as high, chosen so
// that every cell starts on a 4 KiB boundary of the disk and, where the size
// allows, holds a whole number of 128 KiB requests. A request never spans
// two cells, so cells of odd sizes would split the requests and misalign
// them for disks with 4 KiB sectors.
void DefaultMapSize(std::int64_t blocks, std::int32_t sectorsPerBlock, std::int32_t* columns,
                    std::int32_t* rows) {
  const std::int64_t align = std::max<std::int64_t>(1, 8 / sectorsPerBlock);
  const std::int64_t chunk = surface::kTransferBytes / (sectorsPerBlock * 512);
  *columns = 32;
  *rows = 16;
  std::int64_t best = -1;
  for (std::int32_t r = 8; r <= 24; ++r) {
    for (std::int32_t c = 2 * r - 4; c <= 2 * r + 4; ++c) {
      const std::int64_t n = static_cast<std::int64_t>(r) * c;
      if (blocks < n * chunk) continue;
      const std::int64_t perCell = BlocksPerCell(blocks, n);
      if (perCell % align != 0) continue;
      // Whole requests first, then the cell count nearest 512, then the shape.
      const std::int64_t score =
          (perCell % chunk == 0 ? 0 : 1000000) + std::abs(n - 512) * 16 + std::abs(c - 2 * r);
      if (best < 0 || score < best) {
        best = score;
        *columns = c;
        *rows = r;
      }
    }
  }
}

bool ParseMapSize(const std::string& text, std::int32_t* columns, std::int32_t* rows) {
  const auto x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  const std::string c = text.substr(0, x), r = text.substr(x + 1);
  if (c.empty() || r.empty() || c.size() > 3 || r.size() > 3 ||
      c.find_first_not_of("0123456789") != std::string::npos ||
      r.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *columns = std::stoi(c);
  *rows = std::stoi(r);
  return *columns >= 1 && *columns <= surface::kMaxMapColumns && *rows >= 1 &&
         *rows <= surface::kMaxMapRows;
}

// Writes the map to `f`, opened before the test, and closes it.
bool WritePng(std::FILE* f, const std::string& path, const surface::MapImage& image,
              std::string* error) {
  if (!PngSupported()) {
    std::fclose(f);
    *error = "this build has no PNG support; " + path + " was not written";
    return false;
  }
  if (WriteRgbPng(f, image.Width(), image.Height(), image.Bits(),
                  static_cast<std::size_t>(image.BytesPerLine())))
    return true;
  *error = "cannot write " + path;
  return false;
}

// The --dump target: a regular file that can be created, never a device, a
// directory or the disk itself. An existing file is left as it is until the
// test starts; one made only for the check is removed again when no test
// runs.
struct DumpCheck {
  std::string created;
  ~DumpCheck() {
    if (!created.empty()) {
      std::error_code ec;
      std::filesystem::remove(created, ec);
    }
  }
};

bool CheckDumpTarget(const std::string& path, const std::string& diskPath, DumpCheck* check,
                     std::ostream& err) {
  const std::string refusal = surface::DumpRefusal(path, diskPath);
  if (!refusal.empty()) {
    err << "disktest-cli: --dump: " << refusal << "; no test was run and nothing was written\n";
    return false;
  }
  std::error_code ec;
  const bool existed = std::filesystem::exists(path, ec);
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) {
    err << "disktest-cli: --dump " << path << ": cannot create the file (" << std::strerror(errno)
        << "); no test was run\n";
    return false;
  }
  std::fclose(f);
  if (!existed) check->created = path;
  return true;
}

// The failing blocks as numbers of `unit`-byte blocks (a multiple of 512):
// a unit is listed when any of its sectors failed, as badblocks -b lists.
std::vector<std::int64_t> BadUnits(const std::vector<std::int64_t>& blocks,
                                   std::int32_t sectorsPerBlock, std::int64_t diskBytes,
                                   std::int32_t unit) {
  const std::int64_t perUnit = unit / 512;
  const std::int64_t sectors = (diskBytes + 511) / 512;
  std::vector<std::int64_t> out;
  for (std::int64_t b : blocks) {
    for (std::int64_t s = b * sectorsPerBlock; s < (b + 1) * sectorsPerBlock && s < sectors; ++s) {
      const std::int64_t u = s / perUnit;
      if (out.empty() || out.back() != u) out.push_back(u);
    }
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

// "5,20,50" as band limits in milliseconds; false unless they are valid.
bool ParseBands(const std::string& text, std::vector<double>* limits) {
  limits->clear();
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    if (item.empty() || item.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    const double v = std::strtod(item.c_str(), &end);
    if (end != item.c_str() + item.size()) return false;
    limits->push_back(v);
    at = comma + 1;
  }
  return surface::ValidBandLimits(*limits);
}

// The --grade text of one kind of request: the histogram, the slowest
// request and the slow ranges in 512-byte sectors.
void PrintGrades(std::ostream& text, const char* kind, const surface::AccessGrades& g,
                 const surface::SurfaceState& s, std::int32_t sectorsPerBlock,
                 std::int64_t diskBytes) {
  text << "Access time of the " << kind << "s:\n";
  for (std::size_t b = 0; b <= s.BandLimitsMs.size(); ++b)
    text << "  " << surface::BandText(s.BandLimitsMs, b) << " ms: "
         << (b < g.Counts.size() ? g.Counts[b] : 0) << "\n";
  if (g.Slowest.First < 0) {
    text << "Slowest " << kind << ": none\n";
  } else {
    const surface::SlowRange r = SectorRange(g.Slowest, sectorsPerBlock, diskBytes);
    text << "Slowest " << kind << ": sectors " << r.First << "-" << r.Last << ", "
         << surface::MsText(r.Ms) << " ms\n";
  }
  const std::vector<surface::SlowRange> slow = g.MergedSlowRanges();
  text << "Slow " << kind << "s (>= " << surface::MsText(s.SlowLimitMs) << " ms): " << slow.size()
       << (slow.size() == 1 ? " range" : " ranges") << (g.SlowRangesCut ? " (list cut short)" : "")
       << "\n";
  for (const surface::SlowRange& b : slow) {
    const surface::SlowRange r = SectorRange(b, sectorsPerBlock, diskBytes);
    text << "  " << r.First << "-" << r.Last << " " << surface::MsText(r.Ms) << " ms\n";
  }
}

const char* ModeName(std::uint8_t mode) {
  switch (mode) {
    case surface::kModeWrite:
      return "Write test";
    case surface::kModeReadWrite:
      return "Read&Write";
    default:
      return "Read test";
  }
}

int RunSurface(const SurfaceOptions& o, std::ostream& out, std::ostream& err) {
  std::uint8_t mode = surface::kModeRead;
  if (o.mode == "write") mode = surface::kModeWrite;
  if (o.mode == "read-write") mode = surface::kModeReadWrite;
  std::int32_t columns = 0, rows = 0;
  if (!o.mapSize.empty() && !ParseMapSize(o.mapSize, &columns, &rows)) {
    err << "disktest-cli: --map-size takes COLUMNSxROWS, at most 400x300\n";
    return kExitUsage;
  }
  if (o.device.empty()) {
    err << "disktest-cli: DEVICE is empty: give a disk number or name of `disktest-cli list`, a "
           "device path or an image file\n";
    return kExitUsage;
  }
  std::vector<double> bandLimits = surface::kDefaultBandLimitsMs;
  if (!o.bands.empty() && !ParseBands(o.bands, &bandLimits)) {
    err << "disktest-cli: --bands takes 1 to " << surface::kMaxBandLimits
        << " ascending positive limits in milliseconds, such as 5,20,50,200,600\n";
    return kExitUsage;
  }
  if (!(o.slowMs > 0) || o.slowMs > 3600000) {
    err << "disktest-cli: --slow-ms takes a positive number of milliseconds\n";
    return kExitUsage;
  }
  if (o.listBlockSize < 512 || o.listBlockSize % 512 != 0) {
    err << "disktest-cli: --list-block-size takes a multiple of 512 bytes\n";
    return kExitUsage;
  }
  // A disk or drive of the lists by number, name or path (also through a
  // link such as /dev/disk/by-id/...), as the main window would choose it;
  // else a block device or an image file by its path.
  DriveRef sel;
  std::string path;
  const DriveRef ref = ResolveDrive(o.device);
  if (ref.Listed()) {
    sel = ref;
  } else if (ref.kind == DriveRef::Kind::File ||
             (ref.kind == DriveRef::Kind::Physical && ref.byPath)) {
    path = ref.path;
  } else {
    return NotADrive(o.device, err);
  }
  const std::string diskPath = path.empty() ? DeviceName(sel) : path;

  // Every output file is checked or opened before the disk is touched.
  const bool dump = o.dumpOption && o.dumpOption->count() > 0;
  const std::string dumpName = o.dump.empty() ? "rd.dat" : o.dump;
  DumpCheck dumpCheck;
  OutputFile badList, slowList, png, json;
  const bool jsonToStdout = o.json == kStdoutName;
  if ((dump && !CheckDumpTarget(dumpName, diskPath, &dumpCheck, err)) ||
      (!o.badBlocks.empty() && !OpenOutput("--bad-blocks", o.badBlocks, diskPath, &badList, err)) ||
      (!o.slowBlocks.empty() &&
       !OpenOutput("--slow-blocks", o.slowBlocks, diskPath, &slowList, err)) ||
      (!o.mapPng.empty() && !OpenOutput("--map-png", o.mapPng, diskPath, &png, err)) ||
      (!o.json.empty() && !jsonToStdout && !OpenOutput("--json", o.json, diskPath, &json, err)))
    return kExitUsage;
  // With the JSON on standard output, the text goes to standard error.
  std::ostream& text = jsonToStdout ? err : out;

  TerminalNotifier notifier(err, o.yes, o.yesSystemDisk);
  Notifier* previous = &Notify();
  SetNotifier(&notifier);
  CliSurfaceView view(text, err, IsTerminal(1) && text.rdbuf() == std::cout.rdbuf());
  DirectMainThread main;

  int code = kExitOk;
  surface::TestedDisk disk;
  notifier.HoldWriteOpenFailure(true);
  // A reading test opens the disk for reading only.
  const bool writing = mode != surface::kModeRead;
  const bool opened = path.empty() ? surface::OpenTestedDisk(sel, &disk, writing)
                                   : surface::OpenTestedPath(path, &disk, writing);
  notifier.HoldWriteOpenFailure(false);
  if (!opened) {
    if (!notifier.HeldWriteOpenFailure().empty()) err << notifier.HeldWriteOpenFailure() << "\n";
    SetNotifier(previous);
    return kExitFailure;
  }
  if (disk.readOnly && !writing) {
    err << "disktest-cli: " << disk.path
        << " is in use (mounted or held by the system), and is tested read-only\n";
  } else if (disk.readOnly) {
    // A disk in use (mounted, or held by the system) opens only for reading.
    std::string why = notifier.HeldWriteOpenFailure();
    const auto at = why.find("Error Code = ");
    why = at == std::string::npos ? std::string("refused") : why.substr(at);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
      why.pop_back();
    err << "disktest-cli: " << disk.path << " cannot be opened for writing (" << why
        << "): it is in use or write-protected; the writing test is refused and nothing was "
           "written\n";
    SetNotifier(previous);
    return kExitFailure;
  }
  if (o.mapSize.empty()) DefaultMapSize(disk.blocks, disk.sectorsPerBlock, &columns, &rows);
  {
    SurfaceTestLogic w(main, view, &view);
    view.Attach(&w);
    w.SetTestedDisk(std::move(disk));
    if (mode == surface::kModeWrite) w.WriteTestButtonClick();
    if (mode == surface::kModeReadWrite) w.ReadAndWriteButtonClick();
    w.TestRetryChange(std::to_string(o.passes));
    if (o.noLog) {
      w.LogErrorsClick(false);
    } else {
      w.ErrorsNumberChange(std::to_string(o.logFirst));
    }
    w.WriteToFileClick(dump);
    w.State().DumpName = dumpName;
    w.State().BandLimitsMs = bandLimits;
    w.State().SlowLimitMs = o.slowMs;
    int cw = 0, ch = 0;
    surface::ClientSizeForMap(columns, rows, &cw, &ch);
    w.FormShow(cw, ch);

    const surface::SurfaceControls& c = w.Controls();
    text << "Disk: " << c.TestedDiskName.text << (disk.readOnly ? " (read only)" : "") << "\n";
    std::string model = c.DiskModel.text;
    model.erase(model.find_last_not_of(' ') + 1);
    text << "Model: " << model << "\n";
    text << "Disk size: " << c.DiskSize.text << "\n";
    text << "Blocks per element: " << c.BlocksPerElement.text << " on " << columns << " x " << rows
         << " elements, " << disk.sectorsPerBlock * 512 << " bytes a block\n";
    text << "Test: " << ModeName(mode) << ", " << o.passes << (o.passes == 1 ? " pass" : " passes")
         << (dump ? ", data to " + w.State().DumpName : std::string()) << "\n";
    text.flush();

    std::optional<InterruptGuard> interrupt;
    interrupt.emplace();
    const auto startedAt = std::chrono::system_clock::now();
    w.StartButtonClick();
    if (!view.Started()) {
      err << "disktest-cli: the test was not started; nothing was written\n";
      code = kExitFailure;
    } else {
      dumpCheck.created.clear();
      bool stopAsked = false;
      while (!view.WaitFinished(50)) {
        if (interrupt->Interrupted() && !stopAsked) {
          w.FormHide();  // Stop: the run ends after the request under way
          stopAsked = true;
        }
      }
      w.WaitIdle([] { std::this_thread::yield(); });
      view.ClearLine();
      surface::SurfaceState& s = w.State();
      const surface::StatusTexts t = surface::ComputeStatus(s, Sys().TickCount());
      text << (stopAsked ? "Stopped" : "Finished") << "\n";
      text << "Bad blocks read: " << t.BadBlocksRead << "\n";
      text << "Bad blocks write: " << t.BadBlocksWrite << "\n";
      text << "Bad blocks compare: " << t.BadBlocksCompare << "\n";
      text << t.WorkTime << "\n";
      if (o.grade) {
        if (mode != surface::kModeWrite)
          PrintGrades(text, "read", s.ReadGrades, s, disk.sectorsPerBlock, disk.bytes);
        if (mode != surface::kModeRead)
          PrintGrades(text, "write", s.WriteGrades, s, disk.sectorsPerBlock, disk.bytes);
      }
      const std::vector<std::int64_t> bad = s.BadBlockList();
      if (stopAsked || !bad.empty()) code = kExitFailure;
      if (s.DumpFailed.load()) {
        err << "disktest-cli: the dump file " << dumpName
            << " is incomplete (see the error line above)\n";
        code = kExitFailure;
      }
      if (stopAsked) code = 130;
      if (!o.json.empty()) {
        SurfaceRun run;
        run.drive = sel.Physical() && path.empty() ? sel.number : -1;
        run.disk = &disk;
        run.mode = o.mode;
        run.passes = o.passes;
        run.columns = columns;
        run.rows = rows;
        run.startedAt = startedAt;
        run.stopped = stopAsked;
        const std::string doc = SurfaceJson(run, s, bad).dump(2) + "\n";
        if (jsonToStdout) {
          out << doc;
          out.flush();
        } else if (!WriteAndClose(&json, doc)) {
          err << "disktest-cli: cannot write " << o.json << "\n";
          code = kExitFailure;
        }
      }
      if (badList.f) {
        for (std::int64_t b : BadUnits(bad, disk.sectorsPerBlock, disk.bytes, o.listBlockSize))
          std::fprintf(badList.f, "%lld\n", static_cast<long long>(b));
        const bool ok = std::fflush(badList.f) == 0 && !std::ferror(badList.f);
        if (std::fclose(badList.f) != 0 || !ok) {
          err << "disktest-cli: cannot write " << o.badBlocks << "\n";
          code = kExitFailure;
        }
        badList.f = nullptr;
      }
      if (slowList.f) {
        // The slow reads, then (in a writing test) the slow writes.
        for (const surface::AccessGrades* g : {&s.ReadGrades, &s.WriteGrades})
          for (const surface::SlowRange& b : g->MergedSlowRanges()) {
            const surface::SlowRange r = SectorRange(b, disk.sectorsPerBlock, disk.bytes);
            std::fprintf(slowList.f, "%lld %lld %s\n", static_cast<long long>(r.First),
                         static_cast<long long>(r.Last), surface::MsText(r.Ms).c_str());
          }
        const bool ok = std::fflush(slowList.f) == 0 && !std::ferror(slowList.f);
        if (std::fclose(slowList.f) != 0 || !ok) {
          err << "disktest-cli: cannot write " << o.slowBlocks << "\n";
          code = kExitFailure;
        }
        slowList.f = nullptr;
      }
      if (png.f) {
        // The map painted by grade, once the run has ended.
        if (o.grade) w.GradeAccessTimeClick(true);
        std::string error;
        std::FILE* f = png.f;
        png.f = nullptr;
        if (!WritePng(f, o.mapPng, w.Map().Image(), &error)) {
          err << "disktest-cli: " << error << "\n";
          code = kExitFailure;
        }
      }
    }
    interrupt.reset();
    w.FormHide();
    w.WaitIdle([] { std::this_thread::yield(); });
  }
  SetNotifier(previous);
  return code;
}

}  // namespace

void AddSurfaceCommand(CLI::App& root, std::vector<Command>& commands) {
  // The options live as long as the run function that reads them.
  const auto options = std::make_shared<SurfaceOptions>();
  SurfaceOptions& o = *options;
  CLI::App* app = root.add_subcommand(
      "surface",
      "Surface test: read, write, or read and write back every block of a disk, pass after "
      "pass, and find the blocks that fail. Exit code 0 when no block failed, 1 when one did "
      "(or the test could not run), 130 when stopped with Ctrl+C");
  app->add_option("DEVICE", o.device,
                  "A disk number or device path of `list`, a logical drive's name, a block "
                  "device (also through a link such as /dev/disk/by-id/...) or an image file")
      ->required();
  app->add_option("--mode", o.mode,
                  "read (default), write (destroys all data: a pattern byte, 0x00 in the first "
                  "pass, +1 every pass) or read-write (reads every block and writes it back)")
      ->check(CLI::IsMember({"read", "write", "read-write"}))
      ->option_text("MODE");
  app->add_option("--passes", o.passes, "Passes over the whole disk (1)")
      ->check(CLI::Range(0, 2147483647))
      ->option_text("N");
  o.dumpOption = app->add_option("--dump", o.dump,
                                 "Write the data read to FILE (rd.dat when no name is given): "
                                 "every pass's blocks, zeros for unreadable ones. FILE must be "
                                 "a regular file; a device, a directory or the disk under test "
                                 "is refused")
                     ->expected(0, 1)
                     ->option_text("[FILE]");
  auto* first = app->add_option("--log-first", o.logFirst,
                                "Log the first N errors (5000); later ones are only counted")
                    ->check(CLI::Range(0, 2147483647))
                    ->option_text("N");
  auto* noLog = app->add_flag("--no-log", o.noLog, "Log no error lines, only count them");
  first->excludes(noLog);
  app->add_option("--bad-blocks", o.badBlocks,
                  "Write the numbers of the 512-byte sectors that failed to FILE, one a line, "
                  "ascending (the list format of badblocks -b 512 and e2fsck -l)")
      ->option_text("FILE");
  app->add_option("--list-block-size", o.listBlockSize,
                  "Number the --bad-blocks list in blocks of N bytes (a multiple of 512; 512 by "
                  "default): a block is listed when any of its sectors failed, as badblocks -b N "
                  "lists, so the list feeds e2fsck -l on a file system of N-byte blocks")
      ->option_text("N");
  app->add_option("--map-png", o.mapPng,
                  "Save the final disk map as a PNG image (painted by access time with --grade)")
      ->option_text("FILE");
  app->add_flag("--grade", o.grade,
                "Grade every request by its access time: print the count of each time band, "
                "the slowest request and the slow ranges after the summary");
  app->add_option("--slow-ms", o.slowMs,
                  "A request of at least N milliseconds is slow (200): the slow ranges of "
                  "--grade, --slow-blocks and the JSON")
      ->option_text("N");
  app->add_option("--bands", o.bands,
                  "The band limits in milliseconds, ascending, at most 8 (5,20,50,200,600)")
      ->option_text("A,B,...");
  app->add_option("--slow-blocks", o.slowBlocks,
                  "Write the slow ranges to FILE, one a line: FIRST LAST MS (the 512-byte "
                  "sectors of the request, inclusive, as --bad-blocks numbers them, and its "
                  "time in milliseconds)")
      ->option_text("FILE");
  app->add_option("--map-size", o.mapSize,
                  "Cells of the disk map (at most 400x300; about 32x16 by default, cut to whole "
                  "requests). A request never spans two "
                  "cells: many small cells split the requests and slow the test down")
      ->option_text("COLSxROWS");
  app->add_option("--json", o.json,
                  "Write the settings, the counts and the bad blocks as JSON to FILE (keys in "
                  "README.md); with - to standard output, and the text to standard error")
      ->option_text("FILE|-");
  app->add_flag("--yes", o.yes, "Answer Yes to the two questions before a writing test");
  app->add_flag("--yes-system-disk", o.yesSystemDisk,
                "Answer Yes to the question before writing to a disk that may be the system's");
  commands.push_back({app, [options](std::ostream& out, std::ostream& err) {
                        return RunSurface(*options, out, err);
                      }});
}

}  // namespace dt::cli
