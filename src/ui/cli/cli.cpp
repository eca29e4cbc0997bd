#include "ui/cli/cli.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <ostream>

#include "base/text.h"
#include "base/version.h"
#include "device/drive_ref.h"
#include "platform/platform.h"
#include "platform/sim/sim_platform.h"

namespace dt::cli {

namespace {
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
extern "C" void OnInterrupt(int) { g_interrupted.store(true); }
}  // namespace

InterruptGuard::InterruptGuard() {
  g_interrupted.store(false);
  previous_ = std::signal(SIGINT, OnInterrupt);
}

InterruptGuard::~InterruptGuard() { std::signal(SIGINT, previous_); }

bool InterruptGuard::Interrupted() const { return g_interrupted.load(); }

int PhysicalDriveNumber(const std::string& device) {
  const DriveRef ref = ResolveDrive(device);
  return ref.kind == DriveRef::Kind::Physical ? ref.number : -1;
}

int NotADrive(const std::string& device, std::ostream& err) {
  err << "disktest-cli: " << device
      << " is neither a disk or drive of `disktest-cli list`, nor a block device or an image file\n";
  return kExitUsage;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::function<void(bool useHelper)>& openRealMachine) {
  CLI::App app{"disktest: read-speed test, surface scan and ATA SMART / IDENTIFY report of disks",
               "disktest-cli"};
  app.require_subcommand(1);
  app.fallthrough();
  bool demo = false;
  std::string simFile;
  std::string captureFile;
  auto* demoOpt = app.add_flag("--demo", demo, "Use the built-in simulated machine");
  auto* simOpt = app.add_option("--sim", simFile, "Use the simulated machine described by FILE")
                     ->option_text("FILE");
  auto* capOpt =
      app.add_option("--capture", captureFile,
                     "Use a simulated machine whose disk 0 answers from the ATA capture FILE")
          ->option_text("FILE");
  demoOpt->excludes(simOpt)->excludes(capOpt);
  bool noHelper = false;
#ifndef _WIN32
  app.add_flag("--no-helper", noHelper,
               "Never start disktest-helper (through pkexec) for a disk that only root may open");
#endif
  app.set_version_flag("--version", std::string("disktest-cli ") + VersionText(),
                       "Print the version and the git commit of the build");
  simOpt->excludes(capOpt);

  std::vector<Command> commands;
  AddListCommand(app, commands);
  AddSurfaceCommand(app, commands);
  AddSpeedCommand(app, commands);
  AddAccessCommand(app, commands);
  AddSmartCommand(app, commands);
  AddSelfTestCommand(app, commands);
  AddHealthCommand(app, commands);

  std::vector<std::string> rev(args.rbegin(), args.rend());
  if (!rev.empty()) rev.pop_back();  // the program name
  try {
    app.parse(rev);
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << "\n";
    return kExitOk;
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    // Help of a subcommand.
    if (e.get_exit_code() == 0) {
      for (const Command& c : commands)
        if (c.app->parsed()) {
          out << c.app->help();
          return kExitOk;
        }
      out << app.help();
      return kExitOk;
    }
    err << "disktest-cli: " << e.what() << "\n";
    err << "Run with --help for more information.\n";
    return kExitUsage;
  }

  std::string error;
  if (demo) {
    SetSys(MakeDemoMachine());
  } else if (!simFile.empty()) {
    auto m = LoadSimMachine(simFile, &error);
    if (!m) {
      err << "disktest-cli: " << error << "\n";
      return kExitUsage;
    }
    SetSys(std::move(m));
  } else if (!captureFile.empty()) {
    auto m = MakeCaptureMachine(captureFile, &error);
    if (!m) {
      err << "disktest-cli: " << error << "\n";
      return kExitUsage;
    }
    SetSys(std::move(m));
  } else if (openRealMachine) {
    openRealMachine(!noHelper);
  }

  for (const Command& c : commands)
    if (c.app->parsed()) return c.run(out, err);
  return kExitUsage;
}

}  // namespace dt::cli
