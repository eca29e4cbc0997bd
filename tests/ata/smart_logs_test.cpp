// The SMART log decoders on sectors built byte by byte to the ATA layouts:
// the self-test log (log 06h), the summary error log (log 01h) and the
// self-test execution status byte of the SMART data.
#include "ata/smart_logs.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace dt {
namespace {

using Sector = std::array<std::uint8_t, 512>;

void Put16(Sector& s, std::size_t at, std::uint16_t v) {
  s[at] = static_cast<std::uint8_t>(v);
  s[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Sector& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Checksum(Sector& s) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum += s[i];
  s[511] = static_cast<std::uint8_t>(-sum);
}

// Self-test log: revision word at 0, descriptor n (1 to 21) at 2 + 24 (n-1):
// sub-command, status byte, power-on hours (word), checkpoint, failing LBA
// (dword); the newest descriptor's number at 508.
void PutSelfTest(Sector& s, int n, std::uint8_t type, std::uint8_t status, std::uint16_t hours,
                 std::uint32_t lba) {
  const std::size_t at = 2 + 24 * static_cast<std::size_t>(n - 1);
  s[at] = type;
  s[at + 1] = status;
  Put16(s, at + 2, hours);
  Put32(s, at + 5, lba);
}

TEST(SelfTestLog, NewestFirstAroundTheRing) {
  Sector s{};
  Put16(s, 0, 1);
  // All 21 descriptors used; the newest is number 3, so the order runs 3, 2,
  // 1, 21, 20, ... 4, each an hour older than the one before.
  for (int n = 1; n <= 21; ++n) {
    const int age = (3 - n + 21) % 21;
    PutSelfTest(s, n, 1, 0x00, static_cast<std::uint16_t>(5000 - age), 0xFFFFFFFFu);
  }
  PutSelfTest(s, 3, 2, 0x74, 5000, 0x0ABCDEF1u);  // failed reading, 40% left
  PutSelfTest(s, 2, 1, 0x10, 4999, 0x00001234u);  // aborted: no failing LBA
  PutSelfTest(s, 1, 3, 0x70, 4998, 0xFFFFFFFFu);  // failed, no LBA given
  PutSelfTest(s, 21, 129, 0x00, 4997, 0);
  s[508] = 3;
  Checksum(s);

  const auto log = DecodeSelfTestLog(s);
  ASSERT_TRUE(log);
  EXPECT_EQ(log->revision, 1);
  EXPECT_TRUE(log->checksumValid);
  ASSERT_EQ(log->entries.size(), 21u);
  for (std::size_t i = 0; i < 21; ++i) {
    EXPECT_EQ(log->entries[i].number, static_cast<int>(i) + 1);
    EXPECT_EQ(log->entries[i].powerOnHours, 5000 - i) << i;
  }
  const SelfTestEntry& a = log->entries[0];
  EXPECT_EQ(a.type, 2);
  EXPECT_EQ(a.typeText, "Extended offline");
  EXPECT_EQ(a.status, 7);
  EXPECT_EQ(a.statusText, "Failed: read element");
  EXPECT_EQ(a.remainingPercent, 40);
  EXPECT_TRUE(a.failed);
  EXPECT_EQ(a.failingLba, 0x0ABCDEF1u);
  const SelfTestEntry& b = log->entries[1];
  EXPECT_EQ(b.status, 1);
  EXPECT_FALSE(b.failed);
  EXPECT_FALSE(b.failingLba);
  EXPECT_TRUE(log->entries[2].failed);
  EXPECT_FALSE(log->entries[2].failingLba);
  EXPECT_EQ(log->entries[2].typeText, "Conveyance offline");
  EXPECT_EQ(log->entries[3].typeText, "Short captive");
  EXPECT_EQ(log->entries[4].statusText, "Completed without error");

  // A log partly filled: the empty descriptors are no entries.
  Sector p{};
  Put16(p, 0, 1);
  PutSelfTest(p, 1, 1, 0x00, 10, 0);
  PutSelfTest(p, 2, 2, 0x20, 11, 0);
  p[508] = 2;
  const auto partial = DecodeSelfTestLog(p);
  ASSERT_TRUE(partial);
  ASSERT_EQ(partial->entries.size(), 2u);
  EXPECT_EQ(partial->entries[0].powerOnHours, 11);
  EXPECT_EQ(partial->entries[0].statusText, "Interrupted by a reset");
  EXPECT_EQ(partial->entries[1].powerOnHours, 10);
  EXPECT_FALSE(partial->checksumValid);  // no checksum was set
}

TEST(SelfTestLog, EmptyLogsAndIndexesPastTheRing) {
  Sector s{};
  Put16(s, 0, 1);
  PutSelfTest(s, 1, 1, 0x00, 10, 0);  // left over, but the index says none
  Checksum(s);
  const auto none = DecodeSelfTestLog(s);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->entries.empty());
  s[508] = 21;
  EXPECT_TRUE(DecodeSelfTestLog(s));
  s[508] = 22;
  EXPECT_FALSE(DecodeSelfTestLog(s));
  s[508] = 0xFF;
  EXPECT_FALSE(DecodeSelfTestLog(s));
}

// Summary error log: revision, index (1 to 5), data structure n at 2 + 90
// (n-1): five command structures of 12 bytes (device control, features,
// count, LBA low, mid, high, device, command, timestamp) and the error data
// (reserved, error, count, LBA low, mid, high, device, status, 19 bytes of
// extended information, state, power-on hours); error count at 452.
struct ErrorSpec {
  std::uint8_t command, features, error, status, device, state;
  std::uint32_t lba;
  std::uint16_t hours;
  int commands = 5;  // command structures filled, the last holding the command
};

void PutError(Sector& s, int n, const ErrorSpec& e) {
  const std::size_t at = 2 + 90 * static_cast<std::size_t>(n - 1);
  for (int c = 0; c < e.commands; ++c) {
    const std::size_t cmd = at + 12 * static_cast<std::size_t>(c);
    const bool last = c == e.commands - 1;
    s[cmd + 1] = last ? e.features : 0x00;
    s[cmd + 2] = 8;
    s[cmd + 6] = 0xE0;
    s[cmd + 7] = last ? e.command : 0x60;
    Put32(s, cmd + 8, 1000u * static_cast<std::uint32_t>(c + 1));
  }
  const std::size_t err = at + 60;
  s[err + 1] = e.error;
  s[err + 2] = 8;
  s[err + 3] = static_cast<std::uint8_t>(e.lba);
  s[err + 4] = static_cast<std::uint8_t>(e.lba >> 8);
  s[err + 5] = static_cast<std::uint8_t>(e.lba >> 16);
  s[err + 6] = e.device;
  s[err + 7] = e.status;
  s[err + 27] = e.state;
  Put16(s, err + 28, e.hours);
}

TEST(SummaryErrorLog, NewestFirstWithTheRegistersOfTheFailedCommand) {
  Sector s{};
  s[0] = 1;
  s[1] = 2;  // the newest error is in data structure 2
  Put16(s, 452, 7);
  PutError(s, 2, {0xC8, 0x00, 0x40, 0x51, 0xE3, 0x03, 0x00ABCDEF, 900});
  PutError(s, 1, {0x25, 0x00, 0x84, 0x51, 0xE0, 0x04, 0x123456, 899, 3});
  PutError(s, 5, {0xEF, 0x03, 0x04, 0x51, 0xA0, 0x21, 0, 898});
  PutError(s, 4, {0xB0, 0xD0, 0x04, 0x51, 0xA0, 0x0C, 0, 897});
  PutError(s, 3, {0xCA, 0x00, 0x10, 0x51, 0xE0, 0x09, 1, 896});
  Checksum(s);

  const auto log = DecodeSummaryErrorLog(s);
  ASSERT_TRUE(log);
  EXPECT_EQ(log->revision, 1);
  EXPECT_EQ(log->errorCount, 7);
  EXPECT_TRUE(log->checksumValid);
  ASSERT_EQ(log->entries.size(), 5u);
  const int numbers[] = {7, 6, 5, 4, 3};
  const int hours[] = {900, 899, 898, 897, 896};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(log->entries[i].number, numbers[i]);
    EXPECT_EQ(log->entries[i].powerOnHours, hours[i]);
  }
  const ErrorLogEntry& a = log->entries[0];
  EXPECT_EQ(a.command, 0xC8);
  EXPECT_EQ(a.error, 0x40);
  EXPECT_EQ(a.status, 0x51);
  EXPECT_EQ(a.lba, 0x03ABCDEFu);  // LBA bits 24-27 from the device register
  EXPECT_EQ(a.stateText, "Active or idle");
  // Three commands logged: the third is the one that met the error.
  EXPECT_EQ(log->entries[1].command, 0x25);
  EXPECT_EQ(log->entries[1].lba, 0x123456u);
  EXPECT_EQ(log->entries[1].stateText, "Running an off-line test or self-test");
  EXPECT_EQ(log->entries[2].command, 0xEF);
  EXPECT_EQ(log->entries[2].features, 0x03);
  EXPECT_EQ(log->entries[2].stateText, "Sleep");  // the high nibble is the vendor's
  EXPECT_EQ(log->entries[3].stateText, "Vendor specific");
  EXPECT_EQ(log->entries[4].stateText, "Reserved");

  // The count is 16 bits and wraps: the older errors numbered before it.
  Put16(s, 452, 2);
  Checksum(s);
  const auto wrapped = DecodeSummaryErrorLog(s);
  ASSERT_TRUE(wrapped);
  EXPECT_EQ(wrapped->entries[1].number, 1);
  EXPECT_EQ(wrapped->entries[2].number, 65536);
  EXPECT_EQ(wrapped->entries[4].number, 65534);
  s[100] ^= 1;
  EXPECT_FALSE(DecodeSummaryErrorLog(s)->checksumValid);
}

TEST(SummaryErrorLog, FewErrorsNoErrorsAndIndexesPastTheRing) {
  Sector s{};
  s[0] = 1;
  s[1] = 1;
  Put16(s, 452, 1);
  PutError(s, 1, {0xC8, 0, 0x40, 0x51, 0xE0, 0x03, 5, 12});
  auto log = DecodeSummaryErrorLog(s);
  ASSERT_TRUE(log);
  ASSERT_EQ(log->entries.size(), 1u);
  EXPECT_EQ(log->entries[0].number, 1);

  Sector clean{};
  clean[0] = 1;
  Checksum(clean);
  log = DecodeSummaryErrorLog(clean);
  ASSERT_TRUE(log);
  EXPECT_EQ(log->errorCount, 0);
  EXPECT_TRUE(log->entries.empty());
  EXPECT_TRUE(log->checksumValid);
  s[1] = 6;
  EXPECT_FALSE(DecodeSummaryErrorLog(s));
}

TEST(SelfTestStatusByte, ProgressAndOutcome) {
  const SelfTestProgress running = DecodeSelfTestProgress(0xF3);
  EXPECT_TRUE(running.running);
  EXPECT_EQ(running.status, 15);
  EXPECT_EQ(running.remainingPercent, 30);
  EXPECT_EQ(running.text, "In progress");
  const SelfTestProgress done = DecodeSelfTestProgress(0x00);
  EXPECT_FALSE(done.running);
  EXPECT_EQ(done.remainingPercent, 0);
  EXPECT_EQ(done.text, "Completed without error");
  const SelfTestProgress failed = DecodeSelfTestProgress(0x74);
  EXPECT_FALSE(failed.running);
  EXPECT_EQ(failed.status, 7);
  EXPECT_EQ(failed.remainingPercent, 0);
  EXPECT_EQ(DecodeSelfTestProgress(0x90).text, "Reserved (9)");

  Sector data{};
  data[367] = 0x3B;  // self-tests and the conveyance test
  data[370] = 0x01;
  data[372] = 2;
  data[373] = 0xFF;  // the extended time is the word at 375
  Put16(data, 375, 300);
  data[374] = 5;
  const SelfTestCapabilities c = DecodeSelfTestCapabilities(data);
  EXPECT_TRUE(c.selfTest);
  EXPECT_TRUE(c.conveyance);
  EXPECT_TRUE(c.errorLog);
  EXPECT_EQ(c.shortMinutes, 2);
  EXPECT_EQ(c.extendedMinutes, 300);
  EXPECT_EQ(c.conveyanceMinutes, 5);
  data[373] = 90;
  data[367] = 0x01;
  EXPECT_EQ(DecodeSelfTestCapabilities(data).extendedMinutes, 90);
  EXPECT_FALSE(DecodeSelfTestCapabilities(data).selfTest);
}

}  // namespace
}  // namespace dt
