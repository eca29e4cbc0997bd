// The read-speed test on real block devices: a loop device over an image,
// and a loop device over a faultyfs file with bad sectors, through the core
// and through disktest-cli.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "fixtures.h"
#include "speedtest/read_speed_run.h"

namespace dt {
namespace {

using systest::FaultyFs;
using systest::ImageFile;
using systest::LoopDevice;

constexpr std::uint64_t kMiB = 1048576;

// The view, errors window and range dialog of a run without a window.
struct Rig : SpeedView, RangeDialog {
  void SetLabel(SpeedLabel, const std::string&) override {}
  void SetRunning(bool running) override {
    std::lock_guard<std::mutex> lock(mu);
    this->running = running;
    cv.notify_all();
  }
  void RefreshChart() override {}
  void ShowErrorsList() override {}
  void RepaintForm() override {}
  void RepaintLabels() override {}
  void ShowModal(RangeModel& m) override {
    m.FormShow();
    m.Button1Click();
  }

  StartResult Run(const std::string& device) {
    settings.devicePath = device;
    const StartResult r = test.Start(settings);
    if (r == StartResult::Started) {
      std::unique_lock<std::mutex> lock(mu);
      EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(120), [&] { return !running; }));
    }
    return r;
  }

  std::mutex mu;
  std::condition_variable cv;
  bool running = false;
  systest::RecordingNotifier notifier;
  MemoryErrorLines errors;
  DirectMainThread main;
  PointTable points;
  SpeedSettings settings;
  SpeedTest test{*this, errors, *this, main, points};
};

class SpeedSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNumberFormat(NumberFormat{",", "."}); }
};

TEST_F(SpeedSystemTest, RunOverALoopDevice) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop);
  ImageFile image(64 * kMiB, ImageFile::Content::kZeros);
  LoopDevice loop(image.path());
  for (const bool alternate : {false, true}) {
    Rig rig;
    rig.settings.Edit1 = "32";  // 1 MiB blocks
    rig.settings.CheckBox3 = alternate;
    ASSERT_EQ(rig.Run(loop.path()), StartResult::Started);
    EXPECT_EQ(rig.test.Plan().diskSize, static_cast<std::int64_t>(64 * kMiB));
    EXPECT_EQ(rig.test.Plan().blockBytes, kMiB);
    ASSERT_EQ(rig.points.Size(), 64u);
    EXPECT_EQ(rig.test.NearErrors(), 0);
    EXPECT_EQ(rig.test.FarErrors(), 0);  // the far reads stay on the disk
    EXPECT_TRUE(rig.errors.Lines().empty());
    for (const SpeedPoint& p : rig.points.Snapshot()) {
      EXPECT_GT(p.Tm, 0);
      EXPECT_EQ(p.Speed, (alternate ? 2 : 1) * std::trunc(1048576.0 * 1e6 / p.Tm));
    }
    EXPECT_EQ(rig.points.At(63).Ps, 100.0);
    EXPECT_TRUE(rig.notifier.Messages().empty());
  }
}

TEST_F(SpeedSystemTest, BadSectorsOfAFuseFileGiveTheirErrorLines) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop | systest::kNeedFuse);
  FaultyFs::Options o;
  o.size = 20 * kMiB;
  o.badRead = {{2048, 2048}, {20000, 20003}};  // in the blocks at 1 MiB and at 9 MiB
  FaultyFs fs(o);
  LoopDevice loop(fs.file());

  Rig rig;
  rig.settings.Edit1 = "10";  // 1 MiB blocks
  ASSERT_EQ(rig.Run(loop.path()), StartResult::Started);
  ASSERT_EQ(rig.test.Plan().blockBytes, kMiB);
  const std::string eio = SystemErrorText(5);
  EXPECT_EQ(
      rig.errors.Lines(),
      (std::vector<std::string>{"1 at 5.0 % 1,048,576 (2,048)  size 1,048,576 (2,048) " + eio,
                                "2 at 45.0 % 9,437,184 (18,432)  size 1,048,576 (2,048) " + eio}));
  EXPECT_EQ(rig.test.NearErrors(), 2);
  EXPECT_EQ(rig.points.Size(), 20u);
  EXPECT_TRUE(rig.test.ShowErrorsList.load());

  // In alternating order each bad block fails once as a near and once as a
  // far block.
  Rig alt;
  alt.settings.Edit1 = "10";
  alt.settings.CheckBox3 = true;
  ASSERT_EQ(alt.Run(loop.path()), StartResult::Started);
  EXPECT_EQ(alt.test.NearErrors(), 2);
  EXPECT_EQ(alt.test.FarErrors(), 2);
  EXPECT_EQ(alt.errors.Lines().size(), 4u);
}

// --- disktest-cli -----------------------------------------------------------

#define NEED_CLI(var)                  \
  const std::string var = systest::CliBinary(); \
  if (var.empty()) GTEST_SKIP() << "disktest-cli is not built (or set DT_CLI)"

struct CliRun {
  int exitCode = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs disktest-cli with its standard output and error in files; with
// `interruptAfterOutput` sends SIGINT once the first progress line is out.
CliRun RunCli(const std::string& cli, std::vector<std::string> args,
              bool interruptAfterOutput = false) {
  systest::TempDir dir;
  const std::string outPath = dir.path() + "/out", errPath = dir.path() + "/err";
  args.insert(args.begin(), cli);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  CliRun r;
  if (pid < 0) return r;
  int status = 0;
  if (interruptAfterOutput) {
    // The first line comes when the first whole per cent is read.
    for (int i = 0; i < 30000 && Slurp(outPath).find('\n') == std::string::npos; ++i) {
      if (::waitpid(pid, &status, WNOHANG) == pid) break;
      ::usleep(1000);
    }
    ::kill(pid, SIGINT);
  }
  ::waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(outPath);
  r.err = Slurp(errPath);
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SpeedCli, LoopDeviceWithCsvAndRange) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop);
  NEED_CLI(cli);
  ImageFile image(32 * kMiB, ImageFile::Content::kZeros);
  LoopDevice loop(image.path());
  systest::TempDir dir;
  const std::string csv = dir.path() + "/points.csv";
  const CliRun r = RunCli(cli, {"speed", loop.path(), "--count", "4", "--from", "25%", "--to",
                                "16777215", "--mib", "--force0", "--csv", csv});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("From  8,388,608   To    16,777,215"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Blocks timed: 8"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Errors: near 0, far 0"), std::string::npos) << r.out;
  const auto rows = Lines(Slurp(csv));
  ASSERT_EQ(rows.size(), 10u);  // header, (0, 0) and 8 blocks of 1 MiB
  EXPECT_EQ(rows[0], "Tm,Ps,Speed");
  EXPECT_EQ(rows[1], "0,0,0");
  // Positions in MiB: the first block ends at 9 MiB.
  EXPECT_EQ(rows[2].substr(rows[2].find(',') + 1, 2), "9,") << rows[2];
  EXPECT_EQ(rows[9].substr(rows[9].find(',') + 1, 3), "16,") << rows[9];
}

TEST(SpeedCli, BadSectorsGoToStandardErrorAndFailTheRun) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop | systest::kNeedFuse);
  NEED_CLI(cli);
  FaultyFs::Options o;
  o.size = 20 * kMiB;
  o.badRead = {{2048, 2048}};
  FaultyFs fs(o);
  LoopDevice loop(fs.file());
  const CliRun r = RunCli(cli, {"speed", loop.path(), "--count", "10"});
  EXPECT_EQ(r.exitCode, 1);
  const auto err = Lines(r.err);
  ASSERT_EQ(err.size(), 1u) << r.err;
  EXPECT_EQ(
      err[0].rfind("1 at 5.0 % 1,048,576 (2,048)  size 1,048,576 (2,048)  Error Code = 5 ", 0), 0u)
      << err[0];
  EXPECT_NE(r.out.find("Errors: near 1, far 0"), std::string::npos) << r.out;
}

TEST(SpeedCli, RefusedSettingsExitWithUsage) {
  NEED_CLI(cli);
  systest::TempDir dir;
  const std::string file = dir.path() + "/disk.img";
  std::ofstream(file).close();
  std::filesystem::resize_file(file, 4 * kMiB);
  // From = To, and To beyond the disk: the range dialog refuses.
  for (const auto& range : {std::vector<std::string>{"--from", "4096", "--to", "4096"},
                            std::vector<std::string>{"--to", "999999999"}}) {
    std::vector<std::string> args{"speed", file};
    args.insert(args.end(), range.begin(), range.end());
    const CliRun r = RunCli(cli, args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "Data Error: Invalid range\n");
  }
  // No block size can be formed.
  CliRun r = RunCli(cli, {"speed", file, "--no-pow2", "--count", "100", "--to", "4095"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("No block size can be formed"), std::string::npos) << r.err;
  r = RunCli(cli, {"speed", file, "--count", "5", "--block-size", "512"});
  EXPECT_EQ(r.exitCode, 2);
  r = RunCli(cli, {"speed", file, "--from", "ten"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "Error: 'ten' is not a valid integer value\n");
}

TEST(SpeedCli, InterruptStopsTheRunAndStillSummarises) {
  NEED_CLI(cli);
  // The demo machine's third disk reads 1 GiB at about 31 MB/s in real time.
  const CliRun r = RunCli(cli, {"--demo", "speed", "2", "--count", "1000"}, true);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("Stopped: \\\\.\\PHYSICALDRIVE2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Blocks timed: "), std::string::npos);
  EXPECT_EQ(r.out.find("Blocks timed: 0\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace dt
