// disktest-cli: the command-line front end.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace dt::cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs the program with the given arguments (argv[0] first); output goes to
// the given streams. When no option chose a simulated machine,
// `openRealMachine` (if any) puts the real one in place, told whether the
// privileged helper may be used (not with --no-helper); without it the
// machine already in place is used.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::function<void(bool useHelper)>& openRealMachine = nullptr);

// Each command registers its subcommand and returns the function that runs
// it once the machine is chosen; the options the subcommand parses into
// belong to that function.
struct Command {
  CLI::App* app = nullptr;
  std::function<int(std::ostream& out, std::ostream& err)> run;
};

// Catches Ctrl+C while it lives, so that a command can stop its test and
// still print its summary; the handler before it is restored at the end.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
  // Whether Ctrl+C came since the guard was made.
  bool Interrupted() const;

 private:
  void (*previous_)(int);
};

// The number of the physical disk that DEVICE names (a number of `list`, a
// name such as "HDD1", its path or a link to it, an NVMe controller node as
// the disk of its first namespace); -1 when it names none.
int PhysicalDriveNumber(const std::string& device);

// The usage error of a DEVICE that names nothing the commands can open.
int NotADrive(const std::string& device, std::ostream& err);

void AddListCommand(CLI::App& root, std::vector<Command>& commands);
void AddSpeedCommand(CLI::App& root, std::vector<Command>& commands);
void AddSmartCommand(CLI::App& root, std::vector<Command>& commands);
void AddSurfaceCommand(CLI::App& root, std::vector<Command>& commands);
void AddSelfTestCommand(CLI::App& root, std::vector<Command>& commands);
void AddHealthCommand(CLI::App& root, std::vector<Command>& commands);
void AddAccessCommand(CLI::App& root, std::vector<Command>& commands);

}  // namespace dt::cli
