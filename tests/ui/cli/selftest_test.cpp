// disktest-cli selftest and smart --logs on simulated machines: self-tests
// followed with --wait on the virtual clock of a capture machine, refusals,
// Ctrl+C while waiting, and the logs after the SMART report.
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

#include "ata/smart_logs.h"
#include "ata/tide_smart.h"
#include "base/text.h"
#include "platform/platform.h"
#include "platform/platform_wrapper.h"
#include "platform/sim/sim_platform.h"
#include "ui/cli/cli.h"
#include "ui/cli/run_cli.h"

namespace dt {
namespace {

using Result = test::CliResult;
using test::RunCli;

const std::string kCaptures = DT_TESTDATA_DIR "/ata-captures/";
const std::string kSeagate = kCaptures + "ST9100821AS--3.CME.cap";  // short 1, extended 42 min

// A file under the temporary folder, removed at the end.
class TempFile {
 public:
  TempFile(const std::string& name, const std::vector<std::uint8_t>& bytes)
      : path_((std::filesystem::temp_directory_path() /
               ("dt_selftest_" + std::to_string(std::random_device{}()) + "_" + name))
                  .string()) {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(CliSelfTest, WaitFollowsTheTestOnTheVirtualClock) {
  Result r = RunCli({"--capture", kSeagate, "selftest", "0", "short", "--wait"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Started the short self-test on \\\\.\\PHYSICALDRIVE0 (the drive expects about 1 "
            "minute)\n"
            "In progress: 90% remaining\nIn progress: 80% remaining\nIn progress: 70% remaining\n"
            "In progress: 60% remaining\nIn progress: 50% remaining\nIn progress: 40% remaining\n"
            "In progress: 30% remaining\nIn progress: 20% remaining\nIn progress: 10% remaining\n"
            "Self-test status: Completed without error\n");
  EXPECT_EQ(r.err, "");

  // The extended test meets an unreadable sector a quarter into the disk.
  const TempFile machine("machine.json", Bytes(R"({"disks": [{"capture": ")" + kSeagate + R"(",
                                   "size": 536870912, "unreadable": [[262144, 262144]]}]})"));
  r = RunCli({"--sim", machine.path(), "selftest", "\\\\.\\PHYSICALDRIVE0", "long", "--wait"});
  EXPECT_EQ(r.code, 4) << r.out << r.err;
  EXPECT_NE(r.out.find("about 42 minutes"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("In progress: 80% remaining\nSelf-test status: Failed: read element\n"
                       "First failing LBA: 262144\n"),
            std::string::npos)
      << r.out;

  // Without --wait the command only starts the test.
  r = RunCli({"--capture", kSeagate, "selftest", "0", "long"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Started the extended self-test on \\\\.\\PHYSICALDRIVE0 (the drive expects about 42 "
            "minutes)\nThe test runs in the drive; disktest-cli smart 0 --logs shows its "
            "progress and result\n");
}

TEST(CliSelfTest, RefusalsAndTheTestAlreadyRunning) {
  EXPECT_EQ(RunCli({"--capture", kSeagate, "selftest", "0", "medium"}).code, 2);
  EXPECT_EQ(RunCli({"--capture", kSeagate, "selftest", "0"}).code, 2);
  EXPECT_EQ(RunCli({"--capture", kSeagate, "selftest", "/dev/nosuchdisk", "short"}).code, 2);
  Result r = RunCli({"--capture", kSeagate, "selftest", "0", "conveyance"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            "disktest-cli: \\\\.\\PHYSICALDRIVE0 does not offer the conveyance self-test (its "
            "SMART data says so)\n");
  // A disk without ATA pass-through: the drive's command fails.
  r = RunCli({"--demo", "selftest", "2", "short"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("SMART EXECUTE OFF-LINE IMMEDIATE (Short offline) failed"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");

  // This drive was captured during a self-test with 70% left.
  const std::string busy = kCaptures + "SAMSUNG_MMCQE28G8MUP--0VA_VAM08L1Q.cap";
  r = RunCli({"--capture", busy, "selftest", "0", "short"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            "disktest-cli: a self-test is already running on \\\\.\\PHYSICALDRIVE0 (70% "
            "remaining); disktest-cli selftest 0 abort stops it\n");
  r = RunCli({"--capture", busy, "selftest", "0", "abort", "--wait"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Asked \\\\.\\PHYSICALDRIVE0 to abort its self-test\n"
            "Self-test status: Aborted by the host\n");
}

// Raises Ctrl+C on the 40th wait step: 4 seconds into the wait.
class CtrlCMachine : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  void Sleep(std::uint32_t ms) override {
    if (++steps_ == 40) std::raise(SIGINT);
    PlatformWrapper::Sleep(ms);
  }

 private:
  int steps_ = 0;
};

TEST(CliSelfTest, CtrlCStopsWaitingAndLeavesTheTestRunning) {
  std::string error;
  auto sim = MakeCaptureMachine(kSeagate, &error);
  ASSERT_TRUE(sim) << error;
  ScopedPlatform scope(std::make_unique<CtrlCMachine>(std::move(sim)));
  const Result r = RunCli({"selftest", "0", "long", "--wait"}, true);
  EXPECT_EQ(r.code, 130) << r.err;
  EXPECT_NE(r.out.find("In progress: 90% remaining\nStopped waiting; the self-test goes on in the "
                       "drive (disktest-cli selftest 0 abort stops it)\n"),
            std::string::npos)
      << r.out;
  TIDE_SMART drive;
  ASSERT_TRUE(drive.OpenDrive(0));
  SENDCMDOUTPARAMS512 data{};
  std::uint32_t returned = 0;
  ASSERT_TRUE(drive.ReadAttributes(&data, &returned));
  EXPECT_TRUE(DecodeSelfTestProgress(data.bBuffer[kSelfTestStatusOffset]).running);
}

// Sets the last byte of a 512-byte section so that it adds up to zero.
std::vector<std::uint8_t> Summed(std::vector<std::uint8_t> s) {
  std::array<std::uint8_t, 512> a{};
  std::copy(s.begin(), s.end(), a.begin());
  SetSectorChecksum(a);
  return {a.begin(), a.end()};
}

void AppendSection(std::vector<std::uint8_t>& file, const char* tag,
                   const std::vector<std::uint8_t>& body) {
  file.insert(file.end(), tag, tag + 4);
  for (int shift = 24; shift >= 0; shift -= 8)
    file.push_back(static_cast<std::uint8_t>(body.size() >> shift));
  file.insert(file.end(), body.begin(), body.end());
}

TEST(CliSmartLogs, TheLogsFollowTheUnchangedReport) {
  const Result plain = RunCli({"--capture", kSeagate, "smart", "0"});
  ASSERT_EQ(plain.code, 0) << plain.err;
  Result r = RunCli({"--capture", kSeagate, "smart", "0", "--logs"});
  EXPECT_EQ(r.code, 0);  // logs the drive cannot give do not fail the report
  ASSERT_EQ(r.out.rfind(plain.out, 0), 0u);
  EXPECT_EQ(r.out.substr(plain.out.size()),
            "\nSelf-test execution status: Completed without error\n\n"
            "SMART self-test log: not read (SMART READ LOG (log 06h) failed: Error 1 "
            "SMART_IDE_ERROR - Error from IDE controller," +
                SystemErrorText(kErrIo) +
                ")\n\n"
                "SMART summary error log: not read (SMART READ LOG (log 01h) failed: Error 1 "
                "SMART_IDE_ERROR - Error from IDE controller," +
                SystemErrorText(kErrIo) + ")\n");
  EXPECT_EQ(RunCli({"--capture", kSeagate, "smart", "0", "--logs", "--json"}).code, 2);

  // A capture with both logs: one failed extended test, two errors.
  std::vector<std::uint8_t> selfTests(512), errors(512);
  selfTests[0] = 1;
  selfTests[2] = 2;     // extended, off-line
  selfTests[3] = 0x73;  // read failure, 30% left
  selfTests[4] = 0x10;  // 10000 hours
  selfTests[5] = 0x27;
  selfTests[9] = 0x40;  // LBA 40 0000h = 4194304 (bytes 7-10)
  selfTests[508] = 1;
  errors[0] = 1;
  errors[1] = 2;
  errors[452] = 2;
  for (int k : {0, 1}) {
    const std::size_t at = 2 + 90 * static_cast<std::size_t>(k);
    errors[at + 4 * 12 + 7] = 0xC8;  // READ DMA met the error
    errors[at + 60 + 1] = 0x40;      // uncorrectable
    errors[at + 60 + 3] = static_cast<std::uint8_t>(k + 1);
    errors[at + 60 + 6] = 0xE0;
    errors[at + 60 + 7] = 0x51;
    errors[at + 60 + 27] = 0x03;
    errors[at + 60 + 28] = static_cast<std::uint8_t>(100 + k);
  }
  std::ifstream in(kSeagate, std::ios::binary);
  std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
  AppendSection(file, "SLOG", Summed(selfTests));
  AppendSection(file, "ELOG", Summed(errors));
  const TempFile capture("logs.cap", file);
  r = RunCli({"--capture", capture.path(), "smart", "0", "--logs"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(plain.out.size()),
            "\nSelf-test execution status: Completed without error\n\n"
            "SMART self-test log (revision 1)\n"
            "Num  Test                  Status                              Remaining  Hours  "
            "First failing LBA\n"
            "  1  Extended offline      Failed: read element                      30%  10000  "
            "4194304\n\n"
            "SMART summary error log (revision 1)\n"
            "Errors logged: 2\n"
            "Error  Hours  Command  Features  Status  Error        LBA  Device state\n"
            "    2    101  C8h      00h       51h     40h            2  Active or idle\n"
            "    1    100  C8h      00h       51h     40h            1  Active or idle\n");
}

}  // namespace
}  // namespace dt
