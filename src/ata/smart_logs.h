// Decoders of the SMART logs and of the self-test execution status: the
// self-test log (log 06h), the summary error log (log 01h) and byte 363 of
// the SMART data sector. They read the sectors only (no command is sent), so
// that every source of such a sector (a drive, a capture) shares them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dt {

// One self-test of the self-test log.
struct SelfTestEntry {
  int number;              // 1 = the newest
  std::uint8_t type;       // the sub-command that ran it (LBA low of D4h)
  std::string typeText;    // "Short offline", "Extended offline", ...
  std::uint8_t status;     // high nibble of the status byte
  std::string statusText;  // "Completed without error", ...
  int remainingPercent;    // low nibble of the status byte times 10
  std::uint16_t powerOnHours;
  std::optional<std::uint64_t> failingLba;  // the first failing LBA, when one is given
  bool failed;                              // the test found a fault (status 3 to 8)
};

struct SelfTestLog {
  int revision = 0;
  std::vector<SelfTestEntry> entries;  // newest first
};

// The self-test log sector (log 06h); nullopt when it holds no log (a
// revision of 0 and no entry, or an index past the 21 descriptors).
std::optional<SelfTestLog> DecodeSelfTestLog(std::span<const std::uint8_t, 512> sector);

// One error of the summary error log: the registers of the error and the
// command that met it.
struct ErrorLogEntry {
  int number;  // the drive's error number (the error count when it happened)
  std::uint16_t powerOnHours;
  std::uint8_t status, error, command;
  std::uint32_t lba;      // 28-bit LBA from the error registers
  std::string stateText;  // the drive's state when it happened
};

struct ErrorLogSummary {
  int revision = 0;
  int errorCount = 0;                  // every error the drive logged in its life
  std::vector<ErrorLogEntry> entries;  // newest first, at most 5
};

// The summary error log sector (log 01h); nullopt when the sector is no such
// log (a wrong checksum, an index past the 5 data structures).
std::optional<ErrorLogSummary> DecodeSummaryErrorLog(std::span<const std::uint8_t, 512> sector);

// The self-test execution status, byte 363 of the SMART data sector.
struct SelfTestProgress {
  std::uint8_t status;   // high nibble
  std::string text;      // what the status means
  int remainingPercent;  // low nibble times 10 while a test runs, else 0
  bool running;          // status 15: a test is in progress
};
SelfTestProgress DecodeSelfTestProgress(std::uint8_t byte363);

// Byte 363 of the SMART data sector.
inline constexpr std::size_t kSelfTestStatusOffset = 363;

}  // namespace dt
