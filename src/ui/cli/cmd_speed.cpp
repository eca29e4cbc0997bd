// disktest-cli speed: the read-speed test of the main window on the command
// line. The options are the window's settings; the range goes through the
// range dialog's logic; the run is the same worker, and this thread serves
// the timer's requests.
#include <CLI/CLI.hpp>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <system_error>

#include "ata/tide_smart.h"
#include "base/notify.h"
#include "base/text.h"
#include "base/worker.h"
#include "device/device.h"
#include "device/drive_ref.h"
#include "health/smart_flow.h"
#include "speedtest/read_speed_run.h"
#include "ui/cli/cli.h"
#include "ui/cli/output.h"

namespace dt::cli {

namespace {

struct SpeedOptions {
  std::string device;
  std::optional<std::int32_t> count;
  std::optional<std::int32_t> blockSize;
  std::string from, to;
  bool noPow2 = false, alternate = false, force0 = false, mib = false;
  std::int32_t minimalTime = 10;
  std::string csv;
  std::string json;
};


// Whether standard output is a terminal; elsewhere the progress is written
// as plain lines.
bool StdoutIsTerminal(std::ostream& out) {
  return out.rdbuf() == std::cout.rdbuf() && IsTerminal(1);
}

class CliNotifier : public Notifier {
 public:
  explicit CliNotifier(std::ostream& err) : err_(err) {}
  void ShowMessage(const std::string& caption, const std::string& text) override {
    err_ << caption << ": " << text << "\n";
    err_.flush();
  }
  bool Confirm(const std::string& caption, const std::string& text) override {
    ShowMessage(caption, text + " (answered No)");
    return false;
  }

 private:
  std::ostream& err_;
};

// The range dialog, filled from --from and --to.
class CliRange : public RangeDialog {
 public:
  CliRange(const std::string& from, const std::string& to) : from_(from), to_(to) {}
  bool refused = false;
  void ShowModal(RangeModel& m) override {
    m.FormShow();
    if (!Apply(m, from_, true) || !Apply(m, to_, false) || !m.Button1Click()) {
      refused = true;
      m.Button2Click();
    }
  }

 private:
  static bool Apply(RangeModel& m, const std::string& value, bool from) {
    if (value.empty()) return true;
    if (value.back() == '%') {
      const std::string p = value.substr(0, value.size() - 1);
      if (from) {
        m.Edit2 = p;
        return m.Edit2Exit();
      }
      m.Edit4 = p;
      return m.Edit4Exit();
    }
    if (from) {
      m.Edit1 = value;
      return m.Edit1Exit();
    }
    m.Edit3 = value;
    return m.Edit3Exit();
  }

  const std::string from_, to_;
};

// Progress: one line rewritten in place on a terminal, otherwise a line per
// whole per cent.
class CliView : public SpeedView {
 public:
  CliView(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}
  void SetLabel(SpeedLabel which, const std::string& text) override {
    labels_[static_cast<std::size_t>(which)] = text;
  }
  void SetRunning(bool running) override {
    std::lock_guard<std::mutex> lock(mu_);
    running_ = running;
    cv_.notify_all();
  }
  // Waits until the run has ended, at most `limit`.
  void WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait_for(lock, limit, [&] { return !running_; });
  }
  void RefreshChart() override {}
  void ShowErrorsList() override {}
  void RepaintForm() override {
    if (!terminal_) out_ << StatusLine() << std::endl;
  }
  void RepaintLabels() override {
    if (terminal_) Redraw();
  }
  // Ends the line under way on a terminal.
  void EndLine() {
    if (terminal_ && shown_ > 0) {
      out_ << "\n";
      shown_ = 0;
    }
  }
  void ClearLine() {
    if (terminal_ && shown_ > 0) {
      out_ << "\r" << std::string(shown_, ' ') << "\r";
      out_.flush();
      shown_ = 0;
    }
  }

 private:
  const std::string& Label(SpeedLabel l) const { return labels_[static_cast<std::size_t>(l)]; }
  std::string StatusLine() const {
    return Label(SpeedLabel::Label2) + "  " + Label(SpeedLabel::Label10) + "  " +
           Label(SpeedLabel::ElTime);
  }
  void Redraw() {
    const std::string line = StatusLine();
    const std::size_t n = CharCount(line);
    out_ << "\r" << line;
    if (n < shown_) out_ << std::string(shown_ - n, ' ');
    out_.flush();
    shown_ = n;
  }
  std::ostream& out_;
  bool terminal_;
  std::size_t shown_ = 0;
  std::mutex mu_;
  std::condition_variable cv_;
  bool running_ = false;
  std::array<std::string, static_cast<std::size_t>(SpeedLabel::kCount)> labels_;
};

// A read error line of the run, and whether the far read of the block
// failed (alternating order) rather than the near one.
struct ReadErrorLine {
  bool far = false;
  std::string text;
};

class CliErrors : public ErrorLines {
 public:
  CliErrors(std::ostream& err, CliView& view) : err_(err), view_(view) {}
  // The run whose lines these are: a line comes right after its counter
  // went up, so the far count tells which read failed.
  void Watch(const SpeedTest* test) { test_ = test; }
  void Clear() override {
    lines_.clear();
    far_ = 0;
  }
  void AppendLine(const std::string& line) override {
    view_.ClearLine();
    err_ << line << "\n";
    err_.flush();
    const std::int32_t far = test_ ? test_->FarErrors() : 0;
    lines_.push_back({far != far_, line});
    far_ = far;
  }
  const std::vector<ReadErrorLine>& Lines() const { return lines_; }

 private:
  std::ostream& err_;
  CliView& view_;
  const SpeedTest* test_ = nullptr;
  std::int32_t far_ = 0;
  std::vector<ReadErrorLine> lines_;
};

std::string MBps(double bytesPerSecond) {
  return NumberText(bytesPerSecond / 1e6, 14, 2) + " MB/s";
}

std::string Seconds(std::int64_t us) {
  return NumberText(static_cast<double>(us) / 1e6, 14, 3) + " s";
}

// The average speed of the timed blocks in bytes per second.
double AverageSpeed(const SpeedRunStats& st) {
  return st.blockTimeUs > 0 ? static_cast<double>(st.bytes) * 1e6 / st.blockTimeUs : 0.0;
}

void PrintSummary(std::ostream& out, const SpeedTest& test) {
  const SpeedRunStats& st = test.LastStats();
  const SpeedRunPlan& plan = test.Plan();
  out << (st.stopped ? "Stopped" : "Finished") << ": " << plan.path << "\n";
  out << "  " << test.Label(SpeedLabel::Label5) << "   " << test.Label(SpeedLabel::Label6)
      << "   Disk size " << test.Label(SpeedLabel::DiskSz) << "\n";
  out << "  " << test.Label(SpeedLabel::Label4) << "   " << test.Label(SpeedLabel::Label7) << "\n";
  out << "  Blocks timed: " << st.blocks << "\n";
  if (st.blocks > 0) {
    out << "  Speed: min " << MBps(st.minSpeed) << ", average " << MBps(AverageSpeed(st))
        << ", max " << MBps(st.maxSpeed) << "\n";
  }
  out << "  Errors: near " << st.nearErrors << ", far " << st.farErrors << "\n";
  out << "  Time: blocks " << Seconds(st.blockTimeUs) << " of run " << Seconds(st.runTimeUs);
  if (st.runTimeUs > 0 && st.blocks > 0) {
    const double overhead = 100.0 * static_cast<double>(st.runTimeUs - st.blockTimeUs) /
                            static_cast<double>(st.runTimeUs);
    out << " (outside the blocks " << NumberText(overhead, 14, 2) << " %)";
  }
  out << "\n";
}

// An output file checked before the run: refused when it is a device, a
// folder or the disk under test, or cannot be opened for writing. One made
// only for the check is removed again unless Keep is called.
class PreparedOutput {
 public:
  PreparedOutput() = default;
  PreparedOutput(const PreparedOutput&) = delete;
  PreparedOutput& operator=(const PreparedOutput&) = delete;
  ~PreparedOutput() {
    if (!madeHere_.empty()) {
      std::error_code ec;
      std::filesystem::remove(madeHere_, ec);
    }
  }
  void Keep() { madeHere_.clear(); }

 private:
  friend bool PrepareOutput(const std::string&, const std::string&, const std::string&,
                            PreparedOutput*, std::ostream&);
  std::string madeHere_;
};

bool PrepareOutput(const std::string& what, const std::string& path, const std::string& diskPath,
                   PreparedOutput* prepared, std::ostream& err) {
  std::error_code ec;
  const bool existed = std::filesystem::exists(path, ec);
  std::string why;
  if (std::filesystem::is_directory(path, ec)) {
    why = "it is a folder";
  } else {
    why = OutputRefusal(path, diskPath);
  }
  if (why.empty()) {
    errno = 0;
    std::ofstream probe(path, std::ios::binary | std::ios::app);
    if (!probe) {
      const int e = errno;
      why = e ? std::generic_category().message(e) : "cannot be opened";
      const std::filesystem::path parent = std::filesystem::path(path).parent_path();
      if (!parent.empty() && !std::filesystem::exists(parent, ec))
        why = "there is no folder " + parent.string();
    }
  }
  if (!why.empty()) {
    err << "disktest-cli: cannot write " << what << " to " << path << ": " << why << "\n";
    return false;
  }
  if (!existed) prepared->madeHere_ = path;
  return true;
}

// The drive's identity for the JSON: IDENTIFY's text fields (or an NVMe
// drive's Identify Controller), trimmed.
struct SpeedIdentity {
  bool identified = false;
  DriveIdentity fields;
};

SpeedIdentity ReadIdentity(int drive) {
  const DriveIdentityRead read = ReadDriveIdentity(drive);
  return {read.identified, read.trimmed};
}

constexpr int kSpeedJsonSchemaVersion = 1;

// The run as JSON: every figure as the point table, the summary and the
// error lines hold it (keys in README.md).
nlohmann::ordered_json SpeedJson(const SpeedTest& test, const SpeedRequest& s,
                                 const SpeedIdentity& identity, const PointTable& points,
                                 const std::vector<ReadErrorLine>& errorLines,
                                 std::chrono::system_clock::time_point startedAt) {
  using Json = nlohmann::ordered_json;
  const SpeedRunPlan& plan = test.Plan();
  const SpeedRunStats& st = test.LastStats();
  auto identityText = [&](const std::string& v) {
    return identity.identified ? Json(v) : Json(nullptr);
  };
  Json j;
  j["schema_version"] = kSpeedJsonSchemaVersion;
  j["drive"] = s.drive.Physical() && s.devicePath.empty() ? Json(s.drive.number)
                                                        : Json(nullptr);
  j["device"] = plan.path;
  j["model"] = identityText(identity.fields.model);
  j["serial"] = identityText(identity.fields.serial);
  j["firmware"] = identityText(identity.fields.firmware);
  j["report_title"] = test.Label(SpeedLabel::QRLabel9);
  j["started_at"] = IsoTimeUtc(startedAt);
  j["duration_seconds"] = static_cast<double>(st.runTimeUs) / 1e6;
  Json& set = j["settings"];
  set["disk_bytes"] = plan.diskSize;
  set["start_bytes"] = plan.startPos;
  set["end_bytes"] = plan.endPos;
  set["block_bytes"] = plan.blockBytes;
  set["block_count"] = plan.count;
  set["power_of_two"] = s.CheckBox2;
  set["alternate"] = s.CheckBox3;
  set["force0"] = s.CheckBox4;
  set["position_unit"] = s.PercentFlg ? "percent" : "mib";
  set["minimal_time_ms"] = plan.minimalTime;
  Json& list = j["points"] = Json::array();
  const std::vector<SpeedPoint> table = points.Snapshot();
  const std::vector<std::int64_t> bytes = points.BytePositions();
  for (std::size_t i = 0; i < table.size(); ++i) {
    Json p;
    p["position"] = table[i].Ps;
    p["position_bytes"] = i < bytes.size() ? Json(bytes[i]) : Json(nullptr);
    p["time_us"] = table[i].Tm;
    p["speed_bytes_per_second"] = table[i].Speed;
    list.push_back(std::move(p));
  }
  Json& sum = j["summary"];
  sum["stopped"] = st.stopped;
  sum["blocks_timed"] = st.blocks;
  sum["bytes_timed"] = st.bytes;
  sum["block_time_us"] = st.blockTimeUs;
  sum["run_time_us"] = st.runTimeUs;
  sum["min_bytes_per_second"] = st.blocks > 0 ? Json(st.minSpeed) : Json(nullptr);
  sum["average_bytes_per_second"] = st.blocks > 0 ? Json(AverageSpeed(st)) : Json(nullptr);
  sum["max_bytes_per_second"] = st.blocks > 0 ? Json(st.maxSpeed) : Json(nullptr);
  sum["near_errors"] = st.nearErrors;
  sum["far_errors"] = st.farErrors;
  Json& lines = j["read_errors"] = Json::array();
  for (const ReadErrorLine& e : errorLines) lines.push_back({{"far", e.far}, {"text", e.text}});
  return j;
}

int RunSpeed(const SpeedOptions& o, std::ostream& out, std::ostream& err) {
  SpeedRequest s;
  s.BlockSizeFlg = o.blockSize.has_value();
  s.blocks = o.blockSize ? *o.blockSize : o.count.value_or(500);
  s.minimalTime = o.minimalTime;
  s.CheckBox1 = true;
  s.CheckBox2 = !o.noPow2;
  s.CheckBox3 = o.alternate;
  s.CheckBox4 = o.force0;
  s.PercentFlg = !o.mib;
  s.ErrMsgEn = false;

  // A number or list name takes the disk or drive as the main window does;
  // a path (or link) reads the whole device or file the path gives.
  const DriveRef ref = ResolveDrive(o.device);
  if (ref.kind == DriveRef::Kind::None) {
    return NotADrive(o.device, err);
  }
  if (ref.byPath) {
    s.devicePath = o.device;
  } else if (!ref.Listed()) {
    err << "disktest-cli: there is no physical disk " << o.device << " (see disktest-cli list)\n";
    return kExitUsage;
  } else {
    s.drive = ref;
  }
  const bool physical = s.drive.Physical() && s.devicePath.empty();

  // The output files are made ready before the test: a run of hours must
  // not end with nowhere to put its results. A file made here only for the
  // check goes again when no test runs.
  const std::string diskPath = s.devicePath.empty() ? DeviceName(s.drive) : o.device;
  const bool jsonToStdout = o.json == kStdoutName;
  PreparedOutput csv, json;
  if ((!o.csv.empty() && !PrepareOutput("the points", o.csv, diskPath, &csv, err)) ||
      (!o.json.empty() && !jsonToStdout &&
       !PrepareOutput("the JSON", o.json, diskPath, &json, err)))
    return kExitUsage;
  // With the JSON on standard output, the text goes to standard error.
  std::ostream& text = jsonToStdout ? err : out;
  SpeedIdentity identity;
  if (!o.json.empty() && physical) identity = ReadIdentity(ref.number);

  CliNotifier notifier(err);
  Notifier* previous = &Notify();
  SetNotifier(&notifier);
  const bool terminal = StdoutIsTerminal(text);
  CliView view(text, terminal);
  CliErrors errors(err, view);
  CliRange range(o.from, o.to);
  // The worker's window steps run on the worker itself, one at a time with
  // the timer's: a hand-over per block then costs no thread switch.
  DirectMainThread main;
  PointTable points;
  points.KeepBytePositions(!o.json.empty());

  int code = kExitOk;
  {
    SpeedTest test(view, errors, range, main, points);
    errors.Watch(&test);
    const InterruptGuard interrupt;
    const auto startedAt = std::chrono::system_clock::now();
    const StartResult r = test.Start(s);
    switch (r) {
      case StartResult::Started:
        break;
      case StartResult::NotDisk:
        err << "disktest-cli: " << o.device << " is not a disk, a partition or a regular file\n";
        code = kExitFailure;
        break;
      case StartResult::RangeCancelled:
        code = range.refused ? kExitUsage : kExitFailure;
        break;
      case StartResult::BadNumber:
      case StartResult::NoBlockSize:
        code = kExitUsage;
        break;
      default:
        code = kExitFailure;
        break;
    }
    if (r == StartResult::Started) {
      csv.Keep();
      json.Keep();
    }
    if (r == StartResult::Started) {
      using Clock = std::chrono::steady_clock;
      auto nextTick = Clock::now() + std::chrono::milliseconds(100);
      bool stopAsked = false;
      while (test.Busy()) {
        view.WaitIdle(std::chrono::milliseconds(20));
        if (interrupt.Interrupted() && !stopAsked) {
          test.Stop();
          stopAsked = true;
        }
        if (Clock::now() >= nextTick) {
          main.Synchronize([&] { test.Timer1Timer(); });
          nextTick = Clock::now() + std::chrono::milliseconds(100);
        }
      }
      main.Synchronize([&] { test.Timer1Timer(); });
      view.EndLine();
      PrintSummary(text, test);
      const SpeedRunStats& st = test.LastStats();
      if (st.stopped || st.nearErrors + st.farErrors > 0) code = kExitFailure;
      if (!o.csv.empty()) {
        std::ofstream f(o.csv, std::ios::binary | std::ios::trunc);
        WritePointsCsv(f, points);
        f.flush();
        if (!f) {
          err << "disktest-cli: cannot write " << o.csv << "\n";
          code = kExitFailure;
        }
      }
      if (!o.json.empty()) {
        const std::string doc =
            SpeedJson(test, s, identity, points, errors.Lines(), startedAt).dump(2) + "\n";
        if (jsonToStdout) {
          out << doc;
          out.flush();
        } else {
          std::ofstream f(o.json, std::ios::binary | std::ios::trunc);
          f << doc;
          f.flush();
          if (!f) {
            err << "disktest-cli: cannot write " << o.json << "\n";
            code = kExitFailure;
          }
        }
      }
    }
  }
  SetNotifier(previous);
  return code;
}

}  // namespace

void AddSpeedCommand(CLI::App& root, std::vector<Command>& commands) {
  // The options live as long as the run function that reads them.
  const auto options = std::make_shared<SpeedOptions>();
  SpeedOptions& o = *options;
  CLI::App* app = root.add_subcommand(
      "speed", "Read-speed test: read a range of a disk block by block and time every block");
  app->add_option("DEVICE", o.device,
                  "A disk or drive of `list` (number or name), a device path or a regular file")
      ->required()
      ->check(
          [](const std::string& v) {
            return v.empty() ? std::string(
                                   "an empty name is no device: give a disk number of "
                                   "`list`, a device path or a regular file")
                             : std::string();
          },
          "");
  auto* count =
      app->add_option("--count", o.count, "Number of blocks the range is divided into (500)")
          ->check(CLI::Range(1, 2147483647))
          ->option_text("N");
  auto* size =
      app->add_option("--block-size", o.blockSize,
                      "Block size in bytes instead of a count; the count then follows from the "
                      "whole disk")
          ->check(CLI::Range(1, 2147483647))
          ->option_text("BYTES");
  count->excludes(size);
  app->add_option("--from", o.from, "First byte of the range, or a per cent of the disk (50%)")
      ->option_text("BYTES|P%");
  app->add_option("--to", o.to, "Last byte of the range, or a per cent of the disk (100%)")
      ->option_text("BYTES|P%");
  app->add_flag("--no-pow2", o.noPow2,
                "Do not round the block size down to a power of two sectors");
  app->add_flag("--alternate", o.alternate,
                "Alternate the ends: Begin - End, Begin+1 - End-1, ..., End - Begin");
  app->add_flag("--force0", o.force0, "Begin the points with (0, 0)");
  app->add_flag("--mib", o.mib, "Progress and positions in MiB instead of per cent");
  app->add_option("--minimal-time", o.minimalTime,
                  "Without a performance counter, blocks of at most MS milliseconds are not "
                  "timed (10)")
      ->option_text("MS");
  app->add_option("--csv", o.csv, "Write the points (Tm, Ps, Speed) to FILE")->option_text("FILE");
  app->add_option("--json", o.json,
                  "Write the settings, the points and the summary as JSON to FILE (keys in "
                  "README.md); with - to standard output, and the text to standard error")
      ->option_text("FILE|-");
  commands.push_back({app, [options](std::ostream& out, std::ostream& err) {
                        return RunSpeed(*options, out, err);
                      }});
}

}  // namespace dt::cli
