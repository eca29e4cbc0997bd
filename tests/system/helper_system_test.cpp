// An ordinary user's disktest-cli on a raw disk: through real pkexec, polkitd
// and disktest-helper, the runs equal root's; without the polkit grant they
// stop at once with the message; the helper hands back the device itself.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <thread>

#include "fixtures.h"
#include "platform/helper/helper_protocol.h"
#include "platform/platform.h"
#include "platform/posix/posix_platform.h"

namespace dt {
namespace {

namespace fs = std::filesystem;
using systest::CommandResult;
using systest::FaultyFs;
using systest::ImageFile;
using systest::LoopDevice;
using systest::RunCommand;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr const char* kUser = "dt-helper-test";
constexpr const char* kAction = "io.github.disktest.helper.systemtest";
const char* const kPolicy = "/usr/share/polkit-1/actions/io.github.disktest.helper.systemtest.policy";
const char* const kRule = "/etc/polkit-1/rules.d/49-disktest-systemtest.rules";
const char* const kPolkitd = "/usr/lib/polkit-1/polkitd";

std::string HelperBinary() { return DT_HELPER_EXE; }

bool WaitFor(const std::function<bool()>& done, int seconds = 60) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

pid_t Spawn(const std::vector<std::string>& argv) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::setsid();
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

// A system D-Bus and polkitd (started here when none runs), an ordinary user,
// copies of the programs that user may run, and a polkit action for the
// copied helper; Grant() adds the rule that allows the user the action.
class PolkitSandbox {
 public:
  PolkitSandbox() {
    for (const char* p : {"pkexec", "runuser", "setsid", "useradd", "dbus-daemon", "dbus-send"})
      if (systest::FindProgram(p).empty()) missing_ = std::string("no ") + p + " in PATH";
    if (missing_.empty() && !fs::exists(kPolkitd)) missing_ = std::string("no ") + kPolkitd;
    if (!missing_.empty()) return;
    if (RunCommand({"id", kUser}).exitCode != 0)
      systest::RunOrThrow({"useradd", "--system", "--no-create-home", "--shell", "/bin/sh", kUser});
    fs::permissions(dir_.path(), fs::perms(0755));
    cli_ = dir_.path() + "/disktest-cli";
    helper_ = dir_.path() + "/disktest-helper";
    fs::copy_file(systest::CliBinary(), cli_);
    fs::copy_file(HelperBinary(), helper_);
    out_ = dir_.path() + "/out";
    fs::create_directory(out_);
    systest::RunOrThrow({"chown", kUser, out_});
    fs::remove(kRule);
    std::ofstream(kPolicy) << R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE policyconfig PUBLIC "-//freedesktop//DTD PolicyKit Policy Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/PolicyKit/1/policyconfig.dtd">
<policyconfig>
  <action id=")" << kAction << R"(">
    <description>disktest system test</description>
    <message>disktest system test</message>
    <defaults><allow_any>auth_admin_keep</allow_any><allow_inactive>auth_admin_keep</allow_inactive><allow_active>auth_admin_keep</allow_active></defaults>
    <annotate key="org.freedesktop.policykit.exec.path">)" << helper_ << R"(</annotate>
  </action>
</policyconfig>
)";
    if (!BusAnswers()) {
      // No bus, or the socket and pid file of one that was killed.
      fs::create_directories("/run/dbus");
      fs::remove("/run/dbus/pid");
      fs::remove("/run/dbus/system_bus_socket");
      systest::RunOrThrow({"dbus-daemon", "--system", "--fork"});
      startedBus_ = true;
    }
    if (!PolkitOnBus()) {
      polkitd_ = Spawn({kPolkitd, "--no-debug"});
      if (!WaitFor([this] { return PolkitOnBus(); })) missing_ = "polkitd did not come up";
    }
  }

  ~PolkitSandbox() {
    fs::remove(kRule);
    fs::remove(kPolicy);
    if (polkitd_ > 0) {
      ::kill(polkitd_, SIGTERM);
      ::waitpid(polkitd_, nullptr, 0);
    }
    if (startedBus_) {
      std::ifstream pid("/run/dbus/pid");
      pid_t p = 0;
      if (pid >> p && p > 0) {
        ::kill(p, SIGTERM);
        WaitFor([p] { return ::kill(p, 0) != 0; }, 10);
      }
      fs::remove("/run/dbus/pid");
      fs::remove("/run/dbus/system_bus_socket");
    }
  }

  const std::string& missing() const { return missing_; }
  const std::string& out() const { return out_; }

  // Allows the user the action, or takes it back; waits until polkitd says so.
  bool Grant(bool on) {
    if (on) {
      std::ofstream(kRule) << "polkit.addRule(function(action, subject) {\n  if (action.id == \""
                           << kAction << "\" && subject.user == \"" << kUser
                           << "\") return polkit.Result.YES;\n});\n";
    } else {
      fs::remove(kRule);
    }
    // pkexec starting the helper by hand: the helper refuses a terminal-less
    // start with exit code 2, pkexec a refused one with 126 or 127.
    return WaitFor([&] {
      const int code = AsUser({"/usr/bin/pkexec", helper_}).exitCode;
      return on ? code == 2 : (code == 126 || code == 127);
    });
  }

  // Runs a command as the user, in a session of its own (no terminal, so no
  // agent can ask), with nothing of this environment but the helper's path.
  CommandResult AsUser(std::vector<std::string> argv) const {
    std::vector<std::string> full = {"setsid", "-w", "runuser", "-u", kUser, "--", "env", "-i",
                                     "PATH=/usr/bin:/bin", "DISKTEST_HELPER=" + helper_};
    full.insert(full.end(), argv.begin(), argv.end());
    return RunCommand(full);
  }
  CommandResult CliAsUser(std::vector<std::string> args) const {
    args.insert(args.begin(), cli_);
    return AsUser(args);
  }
  CommandResult CliAsRoot(std::vector<std::string> args) const {
    args.insert(args.begin(), cli_);
    return RunCommand(args);
  }

 private:
  static bool BusAnswers() {
    return RunCommand({"dbus-send", "--system", "--print-reply", "--dest=org.freedesktop.DBus",
                       "/org/freedesktop/DBus", "org.freedesktop.DBus.GetId"})
               .exitCode == 0;
  }
  static bool PolkitOnBus() {
    return RunCommand({"dbus-send", "--system", "--print-reply", "--dest=org.freedesktop.DBus",
                       "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                       "string:org.freedesktop.PolicyKit1"})
               .output.find("boolean true") != std::string::npos;
  }

  systest::TempDir dir_;
  std::string missing_;
  std::string cli_, helper_, out_;
  bool startedBus_ = false;
  pid_t polkitd_ = -1;
};

// Reads completed on a block device, from sysfs.
std::uint64_t ReadsOf(const LoopDevice& loop) {
  std::ifstream stat("/sys/block/" + loop.name() + "/stat");
  std::uint64_t reads = 0;
  stat >> reads;
  return reads;
}

// What a read-speed run reports apart from its timing: the range, the blocks,
// the errors and where they were.
std::string SpeedShape(const std::string& out) {
  std::istringstream in(out);
  std::string shape;
  for (std::string line; std::getline(in, line);) {
    line.erase(0, line.find_first_not_of(' '));
    for (const char* keep : {"From", "BlokSize", "Blocks timed", "Errors", "1 at", "2 at"})
      if (line.rfind(keep, 0) == 0) shape += line + "\n";
  }
  return shape;
}

TEST(HelperSystem, AnOrdinaryUsersRunsThroughPkexecEqualRootsAndStopWithoutTheGrant) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop | systest::kNeedFuse);
  PolkitSandbox box;
  if (!box.missing().empty()) GTEST_SKIP() << box.missing();
  FaultyFs::Options o;
  o.size = 16 * kMiB;
  o.badRead = {{2048, 2050}, {20000, 20000}};
  FaultyFs faulty(o);
  LoopDevice loop(faulty.file());

  // Without the grant: the message, exit code 1, nothing read.
  ASSERT_TRUE(box.Grant(false));
  const std::uint64_t before = ReadsOf(loop);
  CommandResult r = box.CliAsUser({"speed", loop.path(), "--count", "4"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("disktest-cli needs administrator rights: run it as root, or allow the "
                          "polkit action io.github.disktest.helper"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(ReadsOf(loop), before);
  // The refusal is told once, and nothing asks again in that run.
  EXPECT_EQ(r.output.find("needs administrator rights"),
            r.output.rfind("needs administrator rights"));
  // --no-helper never asks.
  r = box.CliAsUser({"--no-helper", "speed", loop.path(), "--count", "4"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(r.output.find("needs administrator rights"), std::string::npos) << r.output;

  // With it: the same runs as root's.
  ASSERT_TRUE(box.Grant(true));
  const CommandResult userSpeed = box.CliAsUser({"speed", loop.path(), "--count", "8"});
  const CommandResult rootSpeed = box.CliAsRoot({"speed", loop.path(), "--count", "8"});
  EXPECT_EQ(userSpeed.exitCode, rootSpeed.exitCode) << userSpeed.output;
  EXPECT_EQ(SpeedShape(userSpeed.output), SpeedShape(rootSpeed.output)) << userSpeed.output;
  EXPECT_NE(SpeedShape(userSpeed.output).find("Errors: near 2, far 0"), std::string::npos)
      << userSpeed.output;

  const std::string userList = box.out() + "/user.bad", rootList = box.out() + "/root.bad";
  r = box.CliAsUser({"surface", loop.path(), "--bad-blocks", userList});
  EXPECT_EQ(r.exitCode, 1) << r.output;  // bad blocks fail the run
  r = box.CliAsRoot({"surface", loop.path(), "--bad-blocks", rootList});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  const std::vector<std::int64_t> bad = systest::ReadNumbers(userList);
  EXPECT_EQ(bad, systest::ReadNumbers(rootList));
  EXPECT_FALSE(bad.empty());
}

// The helper run directly (as root, without pkexec): the descriptor it hands
// back is the device, and reads through it are this process's own.
TEST(HelperSystem, TheHelperHandsBackTheDeviceItself) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop);
  ImageFile image(4 * kMiB);
  LoopDevice loop(image.path());
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(sv[1], 0);
    ::dup2(sv[1], 1);
    ::execl(HelperBinary().c_str(), "disktest-helper", nullptr);
    ::_exit(127);
  }
  ::close(sv[1]);
  helper::Request q;
  q.kind = helper::Kind::Open;
  q.path = loop.path();
  std::string why;
  ASSERT_TRUE(helper::Send(sv[0], helper::Encode(q), -1, &why)) << why;
  std::vector<std::uint8_t> msg;
  int fd = -1;
  ASSERT_TRUE(helper::Receive(sv[0], &msg, &fd, &why)) << why;
  helper::Reply a;
  ASSERT_TRUE(helper::DecodeReply(msg.data(), msg.size(), &a, &why)) << why;
  EXPECT_EQ(a.error, 0u);
  ASSERT_GE(fd, 0);
  struct stat dev {}, got {};
  ASSERT_EQ(::stat(loop.path().c_str(), &dev), 0);
  ASSERT_EQ(::fstat(fd, &got), 0);
  EXPECT_TRUE(S_ISBLK(got.st_mode));
  EXPECT_EQ(got.st_rdev, dev.st_rdev);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & (O_ACCMODE | O_DIRECT), O_RDONLY | O_DIRECT);
  PosixPlatform posix;
  const Handle h = posix.Adopt(fd);
  std::vector<std::uint8_t> buf(4096);
  void* aligned = nullptr;
  ASSERT_EQ(::posix_memalign(&aligned, 4096, 4096), 0);
  std::uint32_t done = 0;
  ASSERT_TRUE(posix.ReadAt(h, 1 * kMiB, aligned, 4096, &done));
  EXPECT_EQ(done, 4096u);
  std::memcpy(buf.data(), aligned, 4096);
  std::free(aligned);
  EXPECT_EQ(buf, systest::PatternBytes(1 * kMiB, 4096));
  posix.Close(h);
  ::close(sv[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace dt
