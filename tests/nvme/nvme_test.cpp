// NVMe decoding, the report text and the simulated controller, from pages
// built byte by byte to the NVMe layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "nvme/nvme_commands.h"
#include "nvme/nvme_decode.h"
#include "nvme/nvme_report.h"
#include "nvme/uint128.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

void Put(std::uint8_t* at, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put128(std::uint8_t* at, std::uint64_t hi, std::uint64_t lo) {
  Put(at, lo, 8);
  Put(at + 8, hi, 8);
}

TEST(Uint128, ExactDecimalAndBytesPastTwoToTheSixtyFour) {
  EXPECT_EQ(ToDecimal(Uint128(0)), "0");
  EXPECT_EQ(ToDecimal(Uint128(1, 0)), "18446744073709551616");
  EXPECT_EQ(ToDecimal(Uint128(~0ull, ~0ull)), "340282366920938463463374607431768211455");
  // Groups of nine digits inside the number keep their zeros.
  EXPECT_EQ(ToDecimal(Uint128(3, 7)), "55340232221128654855");
  EXPECT_EQ(ToGroupedDecimal(Uint128(1, 5)), "18,446,744,073,709,551,621");

  bool overflow = true;
  EXPECT_EQ(ToDecimal(Multiply(Uint128(1, 5), kNvmeDataUnitBytes, &overflow)),
            "9444732965739290429952000");
  EXPECT_FALSE(overflow);
  EXPECT_EQ(ToDecimal(Multiply(Uint128(3, 7), kNvmeDataUnitBytes)), "28334198897217871285760000");
  Multiply(Uint128(~0ull, ~0ull), 2, &overflow);
  EXPECT_TRUE(overflow);

  EXPECT_EQ(DataUnitsText(12345678), "12,345,678 [6.32 TB]");
  EXPECT_EQ(DataUnitsText(Uint128(1, 5)), "18,446,744,073,709,551,621 [9.44 YB]");
  EXPECT_EQ(DataUnitsText(0), "0");
  EXPECT_EQ(DataUnitsText(1), "1 [512 kB]");
  EXPECT_EQ(SiBytesText(999), "999 B");
  EXPECT_EQ(SiBytesText(4294967296ull), "4.29 GB");
  EXPECT_EQ(SiBytesText(512110190592ull), "512 GB");
}

// A SMART / Health Information log with a distinct value in every field.
std::array<std::uint8_t, 512> SampleLog() {
  std::array<std::uint8_t, 512> l{};
  std::uint8_t* d = l.data();
  d[0] = 0x00;
  Put(d + 1, 311, 2);  // 38 °C
  d[3] = 97;
  d[4] = 10;
  d[5] = 3;
  d[6] = 0x01;
  Put128(d + 32, 0, 12345678);
  Put128(d + 48, 1, 5);  // past 2^64
  Put128(d + 64, 0, 412337905);
  Put128(d + 80, 0, 298114562);
  Put128(d + 96, 0, 1482);
  Put128(d + 112, 0, 1214);
  Put128(d + 128, 0, 4127);
  Put128(d + 144, 0, 47);
  Put128(d + 160, 0, 2);
  Put128(d + 176, 0, 19);
  Put(d + 192, 11, 4);
  Put(d + 196, 4, 4);
  Put(d + 200, 311, 2);  // sensor 1: 38 °C
  Put(d + 204, 250, 2);  // sensor 3: -23 °C; sensor 2 not reported
  Put(d + 216, 6, 4);
  Put(d + 220, 1, 4);
  Put(d + 224, 360, 4);
  Put(d + 228, 25, 4);
  return l;
}

TEST(NvmeDecode, EveryFieldOfTheHealthLog) {
  const auto page = SampleLog();
  const NvmeSmartLog l = DecodeSmartHealthLog(page.data());
  EXPECT_EQ(l.criticalWarning, 0);
  EXPECT_EQ(l.temperatureK, 311);
  EXPECT_EQ(KelvinToCelsius(l.temperatureK), 38);
  EXPECT_EQ(l.availableSpare, 97);
  EXPECT_EQ(l.availableSpareThreshold, 10);
  EXPECT_EQ(l.percentageUsed, 3);
  EXPECT_EQ(l.enduranceGroupWarning, 1);
  EXPECT_EQ(l.dataUnitsRead, Uint128(12345678));
  EXPECT_EQ(l.dataUnitsWritten, Uint128(1, 5));
  EXPECT_EQ(l.hostReadCommands, Uint128(412337905));
  EXPECT_EQ(l.hostWriteCommands, Uint128(298114562));
  EXPECT_EQ(l.controllerBusyTime, Uint128(1482));
  EXPECT_EQ(l.powerCycles, Uint128(1214));
  EXPECT_EQ(l.powerOnHours, Uint128(4127));
  EXPECT_EQ(l.unsafeShutdowns, Uint128(47));
  EXPECT_EQ(l.mediaErrors, Uint128(2));
  EXPECT_EQ(l.errorLogEntries, Uint128(19));
  EXPECT_EQ(l.warningTempTime, 11u);
  EXPECT_EQ(l.criticalTempTime, 4u);
  EXPECT_EQ(l.sensorK, (std::array<std::uint16_t, 8>{311, 0, 250, 0, 0, 0, 0, 0}));
  EXPECT_EQ(KelvinToCelsius(250), -23);
  EXPECT_EQ(KelvinToCelsius(0), std::nullopt);
  EXPECT_EQ(l.thermal1Transitions, 6u);
  EXPECT_EQ(l.thermal2Transitions, 1u);
  EXPECT_EQ(l.thermal1Time, 360u);
  EXPECT_EQ(l.thermal2Time, 25u);

  // Error log: two of four entries hold an error count (one above 32 bits).
  std::vector<std::uint8_t> errors(4 * 64);
  Put(errors.data() + 0, 5, 8);
  Put(errors.data() + 128, 1ull << 40, 8);
  EXPECT_EQ(CountErrorLogEntries(errors.data(), 4), 2u);
}

TEST(NvmeDecode, IdentifyControllerAndNamespace) {
  std::array<std::uint8_t, 4096> c{};
  std::uint8_t* d = c.data();
  Put(d, 0x144D, 2);
  Put(d + 2, 0x144E, 2);
  std::memcpy(d + 4, "S4EWNX0R123456      ", 20);
  std::memcpy(d + 24, "Test NVMe Drive 500GB", 21);  // the rest NUL-padded
  std::memcpy(d + 64, "2B2QEXM7", 8);
  Put(d + 73, 0x002538, 3);
  Put(d + 78, 4, 2);
  Put(d + 80, 0x00010301, 4);
  d[261] = 0x0F;
  d[262] = 63;
  Put(d + 266, 358, 2);
  Put(d + 268, 358 + 5, 2);
  Put128(d + 280, 2, 500107862016ull);
  Put128(d + 296, 0, 4096);
  Put(d + 256, 0x0017, 2);  // OACS: Device Self-test among others
  Put(d + 316, 45, 2);      // EDSTT
  Put(d + 516, 1, 4);
  const NvmeController k = DecodeIdentifyController(d);
  EXPECT_TRUE(k.SelfTestSupported());
  EXPECT_EQ(k.extendedSelfTestMinutes, 45);
  d[256] = 0x07;
  EXPECT_FALSE(DecodeIdentifyController(d).SelfTestSupported());
  EXPECT_EQ(k.vendorId, 0x144D);
  EXPECT_EQ(k.subsystemVendorId, 0x144E);
  EXPECT_EQ(k.serial, "S4EWNX0R123456");
  EXPECT_EQ(k.model, "Test NVMe Drive 500GB");
  EXPECT_EQ(k.firmware, "2B2QEXM7");
  EXPECT_EQ(k.ieeeOui, 0x002538u);
  EXPECT_EQ(k.controllerId, 4);
  EXPECT_EQ(NvmeVersionText(k.version), "1.3.1");
  EXPECT_EQ(NvmeVersionText(0x00010400), "1.4");
  EXPECT_EQ(k.logPageAttributes, 0x0F);
  EXPECT_EQ(k.errorLogEntries, 64u);
  EXPECT_EQ(k.warningTempK, 358);
  EXPECT_EQ(k.criticalTempK, 363);
  EXPECT_EQ(k.totalCapacity, Uint128(2, 500107862016ull));
  EXPECT_EQ(k.unallocatedCapacity, Uint128(4096));
  EXPECT_EQ(k.namespaces, 1u);

  std::array<std::uint8_t, 4096> n{};
  Put(n.data(), 976773168, 8);
  Put(n.data() + 8, 976773000, 8);
  Put(n.data() + 16, 5000, 8);
  n[26] = 1;            // LBA format 1 in use
  n[128 + 2] = 9;       // format 0: 512 bytes
  n[128 + 4 + 2] = 12;  // format 1: 4096 bytes
  const NvmeNamespace ns = DecodeIdentifyNamespace(n.data(), 1);
  EXPECT_EQ(ns.sizeBlocks, 976773168u);
  EXPECT_EQ(ns.capacityBlocks, 976773000u);
  EXPECT_EQ(ns.utilizationBlocks, 5000u);
  EXPECT_EQ(ns.blockSize, 4096u);
}

// The Device Self-test log: the running test, used results with and
// without their diagnostic fields, unused ones skipped but counted, and the
// lines `smart --logs` prints from it.
TEST(NvmeDecode, SelfTestLogAndItsLines) {
  std::array<std::uint8_t, kNvmeSelfTestLogSize> page{};
  std::uint8_t* d = page.data();
  d[0] = 0xF2;  // extended test running (upper bits reserved)
  d[1] = 0xA5;  // 37% (bit 7 reserved)
  for (int i = 0; i < kNvmeSelfTestResults; ++i) d[4 + 28 * i] = 0x0F;  // unused
  std::uint8_t* r = d + 4;
  r[0] = 0x27;  // extended, failed segments
  r[1] = 7;
  r[2] = 0x0F;
  Put(r + 4, 0x1'0000'1020ull, 8);
  Put(r + 12, 1, 4);
  Put(r + 16, 262144, 8);
  r[24] = 0xFA;  // type 2 in bits 0-2
  r[25] = 0x81;
  r = d + 4 + 28;
  r[0] = 0x10;  // short, without error
  r[2] = 0x00;  // nothing valid: the fields below are ignored
  Put(r + 12, 9, 4);
  Put(r + 4, 4000, 8);
  r = d + 4 + 3 * 28;
  r[0] = 0xE1;  // vendor specific, aborted by a Device Self-test command
  r[2] = 0x03;  // namespace and LBA valid
  Put(r + 12, 0xFFFFFFFFu, 4);
  const NvmeSelfTestLog log = DecodeSelfTestLogPage(d);
  EXPECT_TRUE(log.Running());
  EXPECT_EQ(log.currentOperation, 2);
  EXPECT_EQ(log.completionPercent, 37);
  ASSERT_EQ(log.entries.size(), 3u);
  const NvmeSelfTestEntry& a = log.entries[0];
  EXPECT_EQ(a.number, 1);
  EXPECT_EQ(a.code, 2);
  EXPECT_EQ(a.result, 7);
  EXPECT_EQ(a.segment, 7);
  EXPECT_EQ(a.powerOnHours, 0x1'0000'1020ull);
  EXPECT_EQ(a.nsid, 1u);
  EXPECT_EQ(a.failingLba, 262144u);
  EXPECT_EQ(a.statusCodeType, 2);
  EXPECT_EQ(a.statusCode, 0x81);
  EXPECT_TRUE(a.failed);
  EXPECT_FALSE(log.entries[1].nsid || log.entries[1].failingLba || log.entries[1].failed);
  EXPECT_EQ(log.entries[2].number, 4);
  EXPECT_TRUE(NvmeSelfTestAborted(log.entries[2].result));
  for (std::uint8_t result = 0; result < 16; ++result)
    EXPECT_EQ(NvmeSelfTestFailed(result) + NvmeSelfTestAborted(result) + (result == 0),
              result <= 9 ? 1 : 0)
        << int{result};

  std::vector<std::string> lines;
  ReportNvmeSelfTestLog(log, [&](const std::string& l) { lines.push_back(l); });
  const std::vector<std::string> want = {
      "NVMe self-test log (log 06h)",
      "Current self-test: Extended, 37% complete",
      "Num  Test             Result                                           Segment  "
      "Power-on hours  NSID        Failing LBA  Status",
      "  1  Extended         Failed: one or more segments failed                    7   "
      "   4294971424  1                262144  2h/81h",
      "  2  Short            Completed without error                                -   "
      "         4000  -                     -  -",
      "  4  Vendor specific  Aborted by a Device Self-test command                  -   "
      "            0  all                   0  -"};
  EXPECT_EQ(lines, want);

  std::fill(page.begin(), page.end(), 0);
  for (int i = 0; i < kNvmeSelfTestResults; ++i) d[4 + 28 * i] = 0x1F;
  lines.clear();
  ReportNvmeSelfTestLog(DecodeSelfTestLogPage(d),
                        [&](const std::string& l) { lines.push_back(l); });
  EXPECT_EQ(lines,
            (std::vector<std::string>{"NVMe self-test log (log 06h)", "Current self-test: none",
                                      "No self-test has been logged"}));
}

TEST(NvmeReport, OneLogLineByLine) {
  ScopedNumberFormat format({",", "."});
  NvmeDrive d;
  d.identified = true;
  d.log = DecodeSmartHealthLog(SampleLog().data());
  d.log->criticalWarning = 0x45;  // bits 0, 2 and an undefined bit 6
  d.errorLogEntries = 2;
  d.controller.errorLogEntries = 64;
  std::vector<std::string> lines;
  ReportNvme(d, [&](const std::string& l) { lines.push_back(l); });
  const std::vector<std::string> logLines(
      std::find(lines.begin(), lines.end(), "SMART / Health Information (log 02h)"), lines.end());
  const std::vector<std::string> expected = {
      "SMART / Health Information (log 02h)",
      "Critical warning                     : 0x45",
      "  bit 0                              : available spare below threshold",
      "  bit 2                              : NVM subsystem reliability degraded",
      "  bit 6                              : unknown warning",
      "Composite temperature                : 38 C (311 K)",
      "Available spare                      : 97%",
      "Available spare threshold            : 10%",
      "Percentage used                      : 3%",
      "Endurance group critical warning     : 0x01",
      "Data units read                      : 12,345,678 [6.32 TB]",
      "Data units written                   : 18,446,744,073,709,551,621 [9.44 YB]",
      "Host read commands                   : 412,337,905",
      "Host write commands                  : 298,114,562",
      "Controller busy time                 : 1,482 min",
      "Power cycles                         : 1,214",
      "Power-on hours                       : 4,127",
      "Unsafe shutdowns                     : 47",
      "Media and data integrity errors      : 2",
      "Error information log entries        : 19",
      "Warning composite temperature time   : 11 min",
      "Critical composite temperature time  : 4 min",
      "Temperature sensor 1                 : 38 C (311 K)",
      "Temperature sensor 3                 : -23 C (250 K)",
      "Thermal mgmt. temp. 1 transitions    : 6",
      "Thermal mgmt. temp. 2 transitions    : 1",
      "Thermal mgmt. temp. 1 total time     : 360 s",
      "Thermal mgmt. temp. 2 total time     : 25 s",
      " ",
      "Error information log (log 01h)      : 2 of 64 entries hold an error",
  };
  EXPECT_EQ(logLines, expected);
}

constexpr const char* kNvmeMachine = R"({"disks": [
  {"size": 1048576},
  {"size": 8388608, "sector_size": 4096,
   "nvme": {"model": "Sim Drive", "serial": "SN1", "firmware": "FW1", "temperature_c": 40,
            "critical_warning": 4, "data_units_read": 18446744073709551615,
            "media_errors": 7, "error_log_entries": 5, "temperature_sensors_c": [null, 51]}}]})";

TEST(SimNvme, AnswersIdentifyAndLogsToTheirLayouts) {
  std::string error;
  auto m = ParseSimMachine(kNvmeMachine, "", "m.json", &error);
  ASSERT_TRUE(m) << error;
  ScopedPlatform sim(std::move(m));

  const NvmeDrive d = ReadNvmeDrive(1);
  ASSERT_TRUE(d.identified) << d.identifyError;
  EXPECT_EQ(d.controller.model, "Sim Drive");
  EXPECT_EQ(d.controller.serial, "SN1");
  EXPECT_EQ(d.controller.firmware, "FW1");
  EXPECT_EQ(d.controller.totalCapacity, Uint128(8388608));
  EXPECT_EQ(d.controller.errorLogEntries, 64u);
  ASSERT_TRUE(d.ns);
  EXPECT_EQ(d.ns->sizeBlocks, 2048u);
  EXPECT_EQ(d.ns->blockSize, 4096u);
  ASSERT_TRUE(d.log) << d.logError;
  EXPECT_EQ(d.log->criticalWarning, 4);
  EXPECT_EQ(d.log->temperatureK, 313);
  EXPECT_EQ(d.log->availableSpare, 100);
  EXPECT_EQ(d.log->availableSpareThreshold, 10);
  EXPECT_EQ(d.log->dataUnitsRead, Uint128(~0ull));
  EXPECT_EQ(d.log->mediaErrors, Uint128(7));
  EXPECT_EQ(d.log->sensorK[0], 0);
  EXPECT_EQ(d.log->sensorK[1], 324);
  EXPECT_EQ(d.errorLogEntries, 5u);

  // The command dwords as a driver sees them, and the statuses of what the
  // controller does not know.
  EXPECT_EQ(GetLogPageDword10(kNvmeLogSmartHealth, 512), 0x007F0002u);
  EXPECT_EQ(GetLogPageDword10(kNvmeLogErrorInfo, 256 * 64), 0x0FFF0001u);
  EXPECT_EQ(GetLogPageDword11(512 * 1024), 0x0001u);
  const Handle h = Sys().OpenDevice(Sys().PhysicalDrivePath(1), kGenericRead, kShareRead,
                                    kOpenExisting, kFlagDeviceControl);
  ASSERT_NE(h, kInvalidHandle);
  std::array<std::uint8_t, 512> page{};
  NvmeCommand cmd;
  cmd.opcode = 0x80;  // Format NVM: never answered
  cmd.data = page.data();
  cmd.dataLen = 512;
  NvmeResult r;
  EXPECT_FALSE(Sys().NvmePassThrough(h, cmd, &r));
  EXPECT_EQ(r.status, 0x0001);
  EXPECT_EQ(Platform::LastError(), kErrIo);
  std::string why;
  EXPECT_FALSE(NvmeGetLogPage(h, 0x03, kNvmeNsidAll, page.data(), 512, &why));
  EXPECT_EQ(why, "NVMe Get Log Page (log 03h) failed: status 0x0109 (Invalid Log Page)");
  // A short Get Log Page gets the first bytes of the log.
  EXPECT_TRUE(NvmeGetLogPage(h, kNvmeLogSmartHealth, kNvmeNsidAll, page.data(), 4, nullptr));
  EXPECT_EQ(page[0], 4);
  EXPECT_EQ(page[1] | page[2] << 8, 313);

  // Like a real NVMe disk, it answers no ATA pass-through.
  GETVERSIONINPARAMS v{};
  std::uint32_t n = 0;
  EXPECT_FALSE(Sys().Control(h, SMART_GET_VERSION, nullptr, 0, &v, sizeof v, &n));
  Sys().Close(h);

  // A disk without NVMe says the call is not supported.
  const NvmeDrive plain = ReadNvmeDrive(0);
  EXPECT_FALSE(plain.identified);
  EXPECT_EQ(plain.identifyError.rfind("NVMe Identify Controller failed: Error Code = ", 0), 0u)
      << plain.identifyError;

  EXPECT_FALSE(ParseSimMachine(R"({"disks": [{"capture": "builtin:wd5000aaks", "nvme": {}}]})", "",
                               "m.json", &error));
  EXPECT_EQ(error,
            "m.json: key 'disks[0].nvme': a disk answers either ATA commands from a capture or "
            "NVMe, not both");
}

}  // namespace
}  // namespace dt
