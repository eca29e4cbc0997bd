// RETURN STATUS, EXECUTE OFF-LINE IMMEDIATE and READ LOG: the records they
// send and how their answers are read (the Windows records, from a fake
// driver), and the simulated drive that answers them and runs self-tests
// on its virtual clock.
#include "ata/smart_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ata/fake_platform.h"
#include "ata/smart_logs.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

using fake::FakeAtaPlatform;
using Bytes = std::vector<std::uint8_t>;

// --- The Windows records ----------------------------------------------------

struct Sent {
  Bytes in;
  std::uint32_t outLen;
};

TEST(SmartCommandRecords, ReturnStatusReadsTheRegistersAfterTheHeader) {
  auto owned = std::make_unique<FakeAtaPlatform>();
  FakeAtaPlatform* fake = owned.get();
  ScopedPlatform scope(std::move(owned));
  std::vector<Sent> sent;
  std::uint8_t mid = 0, high = 0;
  std::uint32_t answerLen = 24;
  bool succeed = true;
  fake->smartAnswer = [&](const std::uint8_t* in, std::uint8_t* out, std::uint32_t outLen,
                          std::uint32_t* returned) {
    sent.push_back({Bytes(in, in + kSendCmdInLength), outLen});
    std::memset(out, 0, outLen);
    if (!succeed) {
      out[4] = 1;  // SMART_IDE_ERROR
      Platform::SetLastError(kErrIo);
      return false;
    }
    out[0] = 8;  // cBufferSize: one IDEREGS record
    IDEREGS regs{};
    regs.bSectorCountReg = 1;
    regs.bSectorNumberReg = 1;
    regs.bCylLowReg = mid;
    regs.bCylHighReg = high;
    regs.bDriveHeadReg = 0xB0;
    regs.bCommandReg = 0x50;
    if (outLen >= 24) std::memcpy(out + 16, &regs, sizeof regs);
    *returned = answerLen;
    return true;
  };
  TIDE_SMART drive;
  EXPECT_EQ(ReturnSmartStatus(drive), SmartStatus::Unknown);  // not open: nothing is sent
  EXPECT_TRUE(sent.empty());
  ASSERT_TRUE(drive.OpenDrive(1));

  struct Case {
    std::uint8_t mid, high;
    SmartStatus status;
  } cases[] = {{0x4F, 0xC2, SmartStatus::Good},
               {0xF4, 0x2C, SmartStatus::ThresholdExceeded},
               {0x00, 0x00, SmartStatus::Unknown},
               {0x4F, 0x2C, SmartStatus::Unknown}};
  for (const Case& c : cases) {
    mid = c.mid;
    high = c.high;
    EXPECT_EQ(ReturnSmartStatus(drive), c.status) << int(c.mid) << "/" << int(c.high);
  }
  ASSERT_EQ(sent.size(), 4u);
  // No data, features DAh, the SMART signature in LBA mid / high, drive 1.
  const Bytes record = {0, 0, 0, 0, 0xDA, 1, 1, 0x4F, 0xC2, 0xB0, 0xB0, 0, 1, 0, 0, 0,
                        0, 0, 0, 0, 0,    0, 0, 0,    0,    0,    0,    0, 0, 0, 0, 0};
  EXPECT_EQ(sent[0].in, record);
  EXPECT_EQ(sent[0].outLen, 24u);

  // A driver that returns the header alone, or fails, gives no verdict.
  mid = 0xF4;
  high = 0x2C;
  answerLen = 16;
  EXPECT_EQ(ReturnSmartStatus(drive), SmartStatus::Unknown);
  succeed = false;
  EXPECT_EQ(ReturnSmartStatus(drive), SmartStatus::Unknown);
  EXPECT_EQ(drive.DriverError, 1u);
}

TEST(SmartCommandRecords, SelfTestAndReadLog) {
  auto owned = std::make_unique<FakeAtaPlatform>();
  FakeAtaPlatform* fake = owned.get();
  ScopedPlatform scope(std::move(owned));
  std::vector<Sent> sent;
  std::uint32_t answerLen = 528;
  bool succeed = true;
  fake->smartAnswer = [&](const std::uint8_t* in, std::uint8_t* out, std::uint32_t outLen,
                          std::uint32_t* returned) {
    sent.push_back({Bytes(in, in + kSendCmdInLength), outLen});
    std::memset(out, 0, outLen);
    if (!succeed) {
      out[4] = 3;  // SMART_INVALID_COMMAND
      Platform::SetLastError(kErrInvalidParameter);
      return false;
    }
    if (outLen >= 528) {
      out[0] = 0;
      out[1] = 2;  // cBufferSize 512
      for (int i = 0; i < 512; ++i) out[16 + i] = static_cast<std::uint8_t>(i * 7 + in[6]);
    }
    *returned = outLen >= 528 ? answerLen : 16;
    return true;
  };
  TIDE_SMART drive;
  std::string error;
  EXPECT_FALSE(ExecuteSelfTest(drive, SelfTestKind::Short, &error));
  EXPECT_NE(error.find("not open"), std::string::npos) << error;
  ASSERT_TRUE(drive.OpenDrive(0));

  for (SelfTestKind k :
       {SelfTestKind::Short, SelfTestKind::Extended, SelfTestKind::Conveyance, SelfTestKind::Abort})
    EXPECT_TRUE(ExecuteSelfTest(drive, k, &error)) << error;
  ASSERT_EQ(sent.size(), 4u);
  const std::uint8_t subs[] = {1, 2, 3, 127};
  for (std::size_t i = 0; i < 4; ++i) {
    const Bytes record = {0, 0, 0, 0, 0xD4, 1, subs[i], 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0, 0, 0,
                          0, 0, 0, 0, 0,    0, 0,       0,    0,    0,    0,    0, 0, 0, 0, 0};
    EXPECT_EQ(sent[i].in, record) << i;
    EXPECT_EQ(sent[i].outLen, 16u);
  }

  std::array<std::uint8_t, 512> sector{};
  ASSERT_TRUE(ReadSmartLog(drive, 0x06, &sector, &error)) << error;
  // Data in, 512 bytes, features D5h, one sector of log 06h.
  const Bytes record = {0, 2, 0, 0, 0xD5, 1, 0x06, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0, 0, 0,
                        0, 0, 0, 0, 0,    0, 0,    0,    0,    0,    0,    0, 0, 0, 0, 0};
  EXPECT_EQ(sent.back().in, record);
  EXPECT_EQ(sent.back().outLen, 528u);
  EXPECT_EQ(sector[1], 7 + 6);
  EXPECT_EQ(sector[511], static_cast<std::uint8_t>(511 * 7 + 6));

  // Failures say which command failed and why; a short answer is no sector.
  answerLen = 100;
  EXPECT_FALSE(ReadSmartLog(drive, 0x01, &sector, &error));
  EXPECT_EQ(error, "SMART READ LOG (log 01h) failed: the driver returned 100 bytes instead of 528");
  succeed = false;
  EXPECT_FALSE(ExecuteSelfTest(drive, SelfTestKind::Conveyance, &error));
  EXPECT_EQ(error.rfind("SMART EXECUTE OFF-LINE IMMEDIATE (Conveyance offline) failed: Error 3 "
                        "SMART_INVALID_COMMAND",
                        0),
            0u)
      << error;
}

// --- The simulated drive ------------------------------------------------------

const std::string kCaptures = DT_TESTDATA_DIR "/ata-captures";

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void AppendSection(Bytes& file, const char* tag, const Bytes& body) {
  file.insert(file.end(), tag, tag + 4);
  for (int shift = 24; shift >= 0; shift -= 8)
    file.push_back(static_cast<std::uint8_t>(body.size() >> shift));
  file.insert(file.end(), body.begin(), body.end());
}

// A capture of the test data with its SMST value changed and sections added,
// written to the temporary folder.
std::string DerivedCapture(const std::string& name, const std::string& from, std::uint8_t status,
                           const std::vector<std::pair<const char*, Bytes>>& add) {
  Bytes file = ReadFile(kCaptures + "/" + from);
  // Sections: tag, big-endian length, data; SMST is 4 bytes.
  for (std::size_t pos = 0; pos + 8 <= file.size();) {
    const std::size_t len = (std::size_t{file[pos + 4]} << 24) | (file[pos + 5] << 16) |
                            (file[pos + 6] << 8) | file[pos + 7];
    if (std::memcmp(&file[pos], "SMST", 4) == 0) file[pos + 11] = status;
    pos += 8 + len;
  }
  for (const auto& [tag, body] : add) AppendSection(file, tag, body);
  // Forward slashes: the path goes into a JSON text.
  const std::string path =
      (std::filesystem::temp_directory_path() / ("dt_" + name)).generic_string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return path;
}

struct SimMachine {
  SimPlatform* sim;
  ScopedPlatform scope;
  explicit SimMachine(std::unique_ptr<SimPlatform> m) : sim(m.get()), scope(std::move(m)) {}
};

std::unique_ptr<SimPlatform> Machine(const std::string& json) {
  std::string error;
  auto m = ParseSimMachine(json, kCaptures, "test.json", &error);
  EXPECT_TRUE(m) << error;
  return m;
}

std::array<std::uint8_t, 512> SmartData(TIDE_SMART& drive) {
  SENDCMDOUTPARAMS512 out{};
  std::uint32_t returned = 0;
  EXPECT_TRUE(drive.ReadAttributes(&out, &returned));
  std::array<std::uint8_t, 512> s{};
  std::memcpy(s.data(), out.bBuffer, 512);
  unsigned sum = 0;
  for (std::uint8_t b : s) sum += b;
  EXPECT_EQ(sum & 0xFF, 0u) << "the SMART data's checksum";
  return s;
}

SelfTestLog ReadSelfTestLog(TIDE_SMART& drive) {
  std::array<std::uint8_t, 512> sector{};
  std::string error;
  EXPECT_TRUE(ReadSmartLog(drive, kLogSelfTest, &sector, &error)) << error;
  const auto log = DecodeSelfTestLog(sector);
  EXPECT_TRUE(log);
  EXPECT_TRUE(log && log->checksumValid);
  return log ? *log : SelfTestLog{};
}

constexpr std::uint32_t kMinute = 60'000;

TEST(SimSelfTest, RunsOnTheVirtualClockAndGrowsTheLog) {
  // ST9100821AS: short test 1 minute, extended 42 minutes, no conveyance
  // test; 512 MiB, so the sector at a quarter is 262144.
  SimMachine m(Machine(R"({"disks": [{"capture": "ST9100821AS--3.CME.cap", "size": 536870912,
                            "unreadable": [[300000, 300001], [262144, 262150]]}]})"));
  TIDE_SMART drive;
  ASSERT_TRUE(drive.OpenDrive(0));
  std::string error;
  std::array<std::uint8_t, 512> sector{};
  EXPECT_FALSE(ReadSmartLog(drive, kLogSelfTest, &sector, &error));  // the capture has none
  // The drive's hours: the low word of attribute 9's raw value.
  const std::array<std::uint8_t, 512> data = SmartData(drive);
  std::uint16_t hours = 0;
  for (int slot = 0; slot < 30; ++slot)
    if (data[2 + 12 * slot] == 9) hours = data[2 + 12 * slot + 5] | (data[2 + 12 * slot + 6] << 8);
  ASSERT_NE(hours, 0);

  ASSERT_TRUE(ExecuteSelfTest(drive, SelfTestKind::Short, &error)) << error;
  EXPECT_EQ(SmartData(drive)[363], 0xF9);
  m.sim->Sleep(30 * 1000);
  EXPECT_EQ(SmartData(drive)[363], 0xF5);
  m.sim->Sleep(29 * 1000);
  EXPECT_EQ(SmartData(drive)[363], 0xF1);
  m.sim->Sleep(1000);
  EXPECT_EQ(SmartData(drive)[363], 0x00);
  SelfTestLog log = ReadSelfTestLog(drive);
  EXPECT_EQ(log.revision, 1);
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].type, 1);
  EXPECT_EQ(log.entries[0].status, 0);
  EXPECT_EQ(log.entries[0].powerOnHours, hours);

  // Aborted after 8 of 42 minutes: 90% left.
  ASSERT_TRUE(ExecuteSelfTest(drive, SelfTestKind::Extended, &error)) << error;
  m.sim->Sleep(8 * kMinute);
  ASSERT_TRUE(ExecuteSelfTest(drive, SelfTestKind::Abort, &error)) << error;
  EXPECT_EQ(SmartData(drive)[363], 0x19);
  // No conveyance test on this drive: it aborts the command.
  EXPECT_FALSE(ExecuteSelfTest(drive, SelfTestKind::Conveyance, &error));
  EXPECT_EQ(SmartData(drive)[363], 0x19);

  // The extended test reads in order and fails at the first unreadable
  // sector, a quarter into the disk: 10.5 minutes in, 80% left. The clock
  // runs past that end; the entry keeps the time it failed.
  ASSERT_TRUE(ExecuteSelfTest(drive, SelfTestKind::Extended, &error)) << error;
  m.sim->Sleep(10 * kMinute);
  EXPECT_EQ(SmartData(drive)[363], 0xF8);
  m.sim->Sleep(5 * kMinute * 60);
  EXPECT_EQ(SmartData(drive)[363], 0x78);
  log = ReadSelfTestLog(drive);
  ASSERT_EQ(log.entries.size(), 3u);
  EXPECT_EQ(log.entries[0].type, 2);
  EXPECT_EQ(log.entries[0].status, 7);
  EXPECT_TRUE(log.entries[0].failed);
  EXPECT_EQ(log.entries[0].remainingPercent, 80);
  EXPECT_EQ(log.entries[0].failingLba, 262144u);
  EXPECT_EQ(log.entries[0].powerOnHours, hours);
  EXPECT_EQ(log.entries[1].status, 1);  // aborted by the host
  EXPECT_EQ(log.entries[1].remainingPercent, 90);
  EXPECT_EQ(log.entries[2].type, 1);

  // A new test while one runs ends the running one as aborted.
  ASSERT_TRUE(ExecuteSelfTest(drive, SelfTestKind::Extended, &error));
  ASSERT_TRUE(ExecuteSelfTest(drive, SelfTestKind::Short, &error));
  m.sim->Sleep(2 * kMinute);
  log = ReadSelfTestLog(drive);
  ASSERT_EQ(log.entries.size(), 5u);
  EXPECT_EQ(log.entries[0].type, 1);
  EXPECT_EQ(log.entries[0].status, 0);
  EXPECT_EQ(log.entries[0].powerOnHours, hours + 5);  // five hours have passed
  EXPECT_EQ(log.entries[1].type, 2);
  EXPECT_EQ(log.entries[1].status, 1);
}

TEST(SimSelfTest, LogsAndVerdictFromTheCapture) {
  // The capture's own logs: the self-test log goes on from its newest entry.
  std::array<std::uint8_t, 512> selfTests{};
  selfTests[0] = 1;
  selfTests[508] = 21;  // full ring, newest in the last descriptor
  for (int n = 0; n < 21; ++n) {
    selfTests[2 + 24 * n] = 1;
    selfTests[2 + 24 * n + 2] = static_cast<std::uint8_t>(n);
  }
  SetSectorChecksum(selfTests);
  std::array<std::uint8_t, 512> errors{};
  errors[0] = 1;
  errors[1] = 1;
  errors[452] = 1;
  errors[2 + 60 + 1] = 0x40;  // the error register of the first error
  SetSectorChecksum(errors);
  const std::string bad = DerivedCapture("bad_verdict.cap", "SAMSUNG_HD501LJ--CR100-12.cap", 0,
                                         {{"SLOG", Bytes(selfTests.begin(), selfTests.end())},
                                          {"ELOG", Bytes(errors.begin(), errors.end())}});
  SimMachine m(Machine(R"({"disks": [{"capture": ")" + bad + R"("},
                           {"capture": "SAMSUNG_HD501LJ--CR100-12.cap"},
                           {"capture": "WDC_WD2500JB--00REA0-20.00K20.cap"}, {"size": 1048576}]})"));
  TIDE_SMART drive;
  ASSERT_TRUE(drive.OpenDrive(0));
  EXPECT_EQ(ReturnSmartStatus(drive), SmartStatus::ThresholdExceeded);
  std::array<std::uint8_t, 512> sector{};
  std::string error;
  ASSERT_TRUE(ReadSmartLog(drive, kLogSummaryError, &sector, &error)) << error;
  EXPECT_EQ(sector, errors);
  EXPECT_FALSE(ReadSmartLog(drive, 0x02, &sector, &error));  // no other log
  SelfTestLog log = ReadSelfTestLog(drive);
  ASSERT_EQ(log.entries.size(), 21u);
  EXPECT_EQ(log.entries[0].powerOnHours, 20);
  ASSERT_TRUE(ExecuteSelfTest(drive, SelfTestKind::Short, &error));
  m.sim->Sleep(3 * kMinute);
  log = ReadSelfTestLog(drive);
  ASSERT_EQ(log.entries.size(), 21u);  // the oldest made room
  EXPECT_NE(log.entries[0].powerOnHours, 20);
  EXPECT_EQ(log.entries[1].powerOnHours, 20);
  EXPECT_EQ(log.entries[20].powerOnHours, 1);

  // The same drive as captured says good; one without SMST has no verdict;
  // a disk without a capture answers no SMART request at all.
  ASSERT_TRUE(drive.OpenDrive(1));
  EXPECT_EQ(ReturnSmartStatus(drive), SmartStatus::Good);
  EXPECT_FALSE(ReadSmartLog(drive, kLogSummaryError, &sector, &error));
  ASSERT_TRUE(drive.OpenDrive(2));
  EXPECT_EQ(ReturnSmartStatus(drive), SmartStatus::Unknown);
  ASSERT_TRUE(drive.OpenDrive(3));
  EXPECT_EQ(ReturnSmartStatus(drive), SmartStatus::Unknown);
  EXPECT_FALSE(ExecuteSelfTest(drive, SelfTestKind::Short, &error));
  std::error_code ec;
  std::filesystem::remove(bad, ec);
}

}  // namespace
}  // namespace dt
