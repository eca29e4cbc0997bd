// disktest-cli selftest: starts or aborts a SMART self-test of a physical
// disk, and with --wait follows it to its end through the self-test
// execution status of the SMART data; on an NVMe drive the same with Device
// Self-test and the Device Self-test log.
#include <CLI/CLI.hpp>
#include <array>
#include <memory>
#include <ostream>
#include <vector>

#include "ata/smart_commands.h"
#include "ata/smart_logs.h"
#include "base/text.h"
#include "nvme/nvme_commands.h"
#include "platform/platform.h"
#include "ui/cli/cli.h"

namespace dt::cli {

namespace {

// Exit codes of a self-test followed with --wait.
constexpr int kExitNotCompleted = 3;  // aborted by the host or interrupted by a reset
constexpr int kExitTestFailed = 4;    // the test found a fault
constexpr int kExitInterrupted = 130;

// How often the status is read while a test runs, and the steps of the wait
// in between, so that Ctrl+C is seen at once.
constexpr std::uint32_t kPollMs = 5000;
constexpr std::uint32_t kStepMs = 100;
// A drive may take a moment to show a test it has just started: until then
// the status byte still holds the last test's outcome.
constexpr std::uint32_t kStartGraceMs = 15000;

struct SelfTestArgs {
  std::string device;
  std::string kind;
  bool wait = false;
};

SelfTestKind KindOf(const std::string& name) {
  if (name == "short") return SelfTestKind::Short;
  if (name == "long") return SelfTestKind::Extended;
  if (name == "conveyance") return SelfTestKind::Conveyance;
  return SelfTestKind::Abort;
}

// The SMART data sector, or nothing when it cannot be read.
bool ReadSmartData(TIDE_SMART& drive, std::array<std::uint8_t, 512>* sector) {
  SENDCMDOUTPARAMS512 out;
  std::uint32_t returned = 0;
  if (!drive.ReadAttributes(&out, &returned)) return false;
  std::copy(out.bBuffer, out.bBuffer + 512, sector->begin());
  return true;
}

std::string StatusReadError(const TIDE_SMART& drive) {
  return "the self-test status could not be read (SMART READ DATA: " +
         DriverErrorText(drive.DriverError) + "," + SystemErrorText(drive.LastError) + ")";
}

// Waits in steps of kStepMs until kPollMs have passed or Ctrl+C came; true
// when Ctrl+C came.
bool WaitPoll(const InterruptGuard& interrupt) {
  for (std::uint32_t waited = 0; waited < kPollMs && !interrupt.Interrupted(); waited += kStepMs)
    Sys().Sleep(kStepMs);
  return interrupt.Interrupted();
}

// What a test just started (or aborted) says; true when the caller goes on
// to wait for it (--wait). `atMost`: the drive's time is an upper bound.
bool SayStarted(std::ostream& out, int n, const std::string& path, SelfTestKind kind,
                const std::string& name, int minutes, bool atMost, bool wait) {
  if (kind == SelfTestKind::Abort) {
    out << "Asked " << path << " to abort its self-test\n";
  } else {
    out << "Started the " << name << " self-test on " << path;
    if (minutes > 0)
      out << " (the drive expects " << (atMost ? "at most " : "about ") << minutes
          << (minutes == 1 ? " minute" : " minutes") << ")";
    out << "\n";
  }
  if (!wait) {
    if (kind != SelfTestKind::Abort)
      out << "The test runs in the drive; disktest-cli smart " << n
          << " --logs shows its progress and result\n";
    return false;
  }
  out.flush();
  return true;
}

// The self-test of an NVMe drive open on `h` whose controller answered
// Identify: Device Self-test, followed through the Device Self-test log.
int RunNvmeSelfTest(const SelfTestArgs& args, int n, const std::string& path, Handle h,
                    const NvmeController& controller, std::ostream& out, std::ostream& err) {
  const SelfTestKind kind = KindOf(args.kind);
  const std::string name = args.kind == "long" ? "extended" : args.kind;
  const std::string abortHint = "disktest-cli selftest " + std::to_string(n) + " abort stops it";
  if (!controller.SelfTestSupported()) {
    err << "disktest-cli: " << path
        << " runs no self-tests (its NVMe controller does not offer Device Self-test)\n";
    return kExitFailure;
  }
  if (kind == SelfTestKind::Conveyance) {
    err << "disktest-cli: " << path
        << " does not offer the conveyance self-test (NVMe has short and extended ones)\n";
    return kExitFailure;
  }
  std::string error;
  NvmeSelfTestLog log;
  if (kind != SelfTestKind::Abort && NvmeReadSelfTestLog(h, &log, nullptr) && log.Running()) {
    err << "disktest-cli: a self-test is already running on " << path << " ("
        << 100 - log.completionPercent << "% remaining); " << abortHint << "\n";
    return kExitFailure;
  }
  const std::uint8_t code = kind == SelfTestKind::Short      ? kNvmeSelfTestShort
                            : kind == SelfTestKind::Extended ? kNvmeSelfTestExtended
                                                             : kNvmeSelfTestAbort;
  if (!NvmeDeviceSelfTest(h, code, &error)) {
    err << "disktest-cli: " << path << ": " << error << "\n";
    return kExitFailure;
  }
  // A short test takes two minutes at most; the extended one as long as the
  // controller says.
  const int minutes = kind == SelfTestKind::Short ? 2 : controller.extendedSelfTestMinutes;
  const bool atMost = kind == SelfTestKind::Short;
  if (!SayStarted(out, n, path, kind, name, minutes, atMost, args.wait)) return kExitOk;

  const InterruptGuard interrupt;
  const std::uint32_t started = Sys().TickCount();
  bool seenRunning = false;
  int shown = -1;
  for (;;) {
    if (!NvmeReadSelfTestLog(h, &log, &error)) {
      err << "disktest-cli: " << path << ": the self-test status could not be read (" << error
          << ")\n";
      return kExitFailure;
    }
    if (log.Running()) {
      seenRunning = true;
      const int remaining = 100 - log.completionPercent;
      if (remaining != shown) {
        out << "In progress: " << remaining << "% remaining\n";
        out.flush();
        shown = remaining;
      }
    } else if (seenRunning || kind == SelfTestKind::Abort ||
               Sys().TickCount() - started >= kStartGraceMs) {
      break;
    }
    if (WaitPoll(interrupt)) {
      out << "Stopped waiting; the self-test goes on in the drive (" << abortHint << ")\n";
      return kExitInterrupted;
    }
  }
  if (log.entries.empty()) {
    out << "Self-test status: no result in the self-test log\n";
    return kind == SelfTestKind::Abort ? kExitOk : kExitFailure;
  }
  const NvmeSelfTestEntry& e = log.entries[0];
  out << "Self-test status: " << NvmeSelfTestResultText(e.result) << "\n";
  if (e.failed && e.segment) out << "Failed segment: " << static_cast<int>(e.segment) << "\n";
  if (e.failed && e.failingLba) out << "First failing LBA: " << *e.failingLba << "\n";
  if (kind == SelfTestKind::Abort) return kExitOk;  // no test runs any more
  if (e.result == 0) return kExitOk;
  if (NvmeSelfTestAborted(e.result)) return kExitNotCompleted;
  if (e.failed) return kExitTestFailed;
  return kExitFailure;
}

int RunSelfTest(const SelfTestArgs& args, std::ostream& out, std::ostream& err) {
  const int n = PhysicalDriveNumber(args.device);
  if (n < 0) {
    err << "disktest-cli: " << args.device
        << " is not a physical disk of the list (see disktest-cli list)\n";
    return kExitUsage;
  }
  const std::string path = Sys().PhysicalDrivePath(n);
  const SelfTestKind kind = KindOf(args.kind);
  const std::string name = args.kind == "long" ? "extended" : args.kind;
  const std::string abortHint = "disktest-cli selftest " + std::to_string(n) + " abort stops it";

  TIDE_SMART drive;
  if (!drive.OpenDrive(n)) {
    err << "disktest-cli: " << (path.empty() ? args.device : path)
        << " cannot be opened:" << SystemErrorText(drive.LastError) << "\n";
    return kExitFailure;
  }
  if (!drive.LoadIdentify()) {
    // No ATA IDENTIFY: an NVMe drive runs its own self-tests.
    std::vector<std::uint8_t> page(kNvmeIdentifySize);
    if (NvmeIdentify(drive.Handle, kNvmeCnsController, 0, page.data(), nullptr)) {
      const int code = RunNvmeSelfTest(args, n, path, drive.Handle,
                                       DecodeIdentifyController(page.data()), out, err);
      drive.CloseDrive();
      return code;
    }
  }
  std::array<std::uint8_t, 512> data{};
  const bool haveData = ReadSmartData(drive, &data);
  int minutes = 0;
  if (kind != SelfTestKind::Abort && haveData) {
    const SelfTestProgress p = DecodeSelfTestProgress(data[kSelfTestStatusOffset]);
    if (p.running) {
      err << "disktest-cli: a self-test is already running on " << path << " ("
          << p.remainingPercent << "% remaining); " << abortHint << "\n";
      return kExitFailure;
    }
    const SelfTestCapabilities c = DecodeSelfTestCapabilities(data);
    const bool offered = kind == SelfTestKind::Conveyance ? c.conveyance : c.selfTest;
    if (!offered) {
      err << "disktest-cli: " << path << " does not offer the " << name
          << " self-test (its SMART data says so)\n";
      return kExitFailure;
    }
    minutes = kind == SelfTestKind::Short      ? c.shortMinutes
              : kind == SelfTestKind::Extended ? c.extendedMinutes
                                               : c.conveyanceMinutes;
  }
  std::string error;
  if (!ExecuteSelfTest(drive, kind, &error)) {
    err << "disktest-cli: " << path << ": " << error << "\n";
    return kExitFailure;
  }
  if (!SayStarted(out, n, path, kind, name, minutes, false, args.wait)) return kExitOk;

  const InterruptGuard interrupt;
  const std::uint32_t started = Sys().TickCount();
  bool seenRunning = false;
  int shown = -1;
  SelfTestProgress p{};
  for (;;) {
    if (!ReadSmartData(drive, &data)) {
      err << "disktest-cli: " << path << ": " << StatusReadError(drive) << "\n";
      return kExitFailure;
    }
    p = DecodeSelfTestProgress(data[kSelfTestStatusOffset]);
    if (p.running) {
      seenRunning = true;
      if (p.remainingPercent != shown) {
        out << "In progress: " << p.remainingPercent << "% remaining\n";
        out.flush();
        shown = p.remainingPercent;
      }
    } else if (seenRunning || kind == SelfTestKind::Abort ||
               Sys().TickCount() - started >= kStartGraceMs) {
      break;
    }
    if (WaitPoll(interrupt)) {
      out << "Stopped waiting; the self-test goes on in the drive (" << abortHint << ")\n";
      return kExitInterrupted;
    }
  }

  out << "Self-test status: " << p.text << "\n";
  // The newest entry of the log names the first failing sector.
  std::array<std::uint8_t, 512> sector{};
  if (p.status >= 3 && p.status <= 8 && ReadSmartLog(drive, kLogSelfTest, &sector, &error)) {
    const auto log = DecodeSelfTestLog(sector);
    if (log && !log->entries.empty() && log->entries[0].failingLba)
      out << "First failing LBA: " << *log->entries[0].failingLba << "\n";
  }
  if (p.status == 0) return kExitOk;
  if (p.status == 1 || p.status == 2)
    return kind == SelfTestKind::Abort ? kExitOk : kExitNotCompleted;
  if (p.status >= 3 && p.status <= 8) return kExitTestFailed;
  return kExitFailure;
}

}  // namespace

void AddSelfTestCommand(CLI::App& root, std::vector<Command>& commands) {
  // The options live as long as the run function that reads them.
  const auto args = std::make_shared<SelfTestArgs>();
  CLI::App* app = root.add_subcommand(
      "selftest",
      "Start or abort a SMART self-test of a physical disk (ATA pass-through), or an NVMe drive's "
      "Device Self-test");
  app->add_option("DEVICE", args->device, "Disk number of `list`, or its device path")->required();
  app->add_option("TEST", args->kind, "short, long (extended), conveyance, or abort")
      ->required()
      ->check(CLI::IsMember({"short", "long", "conveyance", "abort"}));
  app->add_flag("--wait", args->wait,
                "Show the progress until the test ends (Ctrl+C stops waiting, not the test)");
  commands.push_back(
      {app, [args](std::ostream& out, std::ostream& err) { return RunSelfTest(*args, out, err); }});
}

}  // namespace dt::cli
