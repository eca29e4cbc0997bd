// Decoders of the SMART logs and of the self-test execution status: the
// self-test log (log 06h), the summary error log (log 01h) and byte 363 of
// the SMART data sector. They read the sectors only (no command is sent), so
// that every source of such a sector (a drive, a capture) shares them.
#pragma once

#include <cstdint>
#include <functional>
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
  bool checksumValid = true;           // the sector's bytes add up to 0
};

// The self-test log sector (log 06h): the descriptors that hold anything,
// from the one the index byte names backwards around the ring of 21; none
// when the index is 0. nullopt when the index lies past the 21 descriptors,
// which no log holds. A wrong checksum is reported, not refused, as the
// entries may still be sound.
std::optional<SelfTestLog> DecodeSelfTestLog(std::span<const std::uint8_t, 512> sector);

// One error of the summary error log: the registers of the error and the
// command that met it.
struct ErrorLogEntry {
  int number;  // the drive's error number (the error count when it happened)
  std::uint16_t powerOnHours;
  std::uint8_t status, error, command;
  std::uint32_t lba;                                 // 28-bit LBA from the error registers
  std::string stateText;                             // the drive's state when it happened
  std::uint8_t features = 0, count = 0, device = 0;  // the failed command's other registers
  std::uint8_t state = 0;                            // the state byte as the drive wrote it
};

struct ErrorLogSummary {
  int revision = 0;
  int errorCount = 0;                  // every error the drive logged in its life
  std::vector<ErrorLogEntry> entries;  // newest first, at most 5
  bool checksumValid = true;           // the sector's bytes add up to 0
};

// The summary error log sector (log 01h): the data structures that hold
// anything, from the one the index byte names backwards around the ring of 5;
// none when the index is 0. nullopt when the index lies past the 5 data
// structures. A wrong checksum is reported, not refused.
std::optional<ErrorLogSummary> DecodeSummaryErrorLog(std::span<const std::uint8_t, 512> sector);

// The self-test execution status, byte 363 of the SMART data sector.
struct SelfTestProgress {
  std::uint8_t status;   // high nibble
  std::string text;      // what the status means
  int remainingPercent;  // low nibble times 10 while a test runs, else 0
  bool running;          // status 15: a test is in progress
};
SelfTestProgress DecodeSelfTestProgress(std::uint8_t byte363);

// The name of a self-test sub-command (the LBA low register of D4h) and of a
// self-test status (the high nibble of the status byte).
std::string SelfTestTypeText(std::uint8_t type);
std::string SelfTestStatusText(std::uint8_t status);

// The decoded logs as report lines: a title line, then a table.
void ReportSelfTestLog(const SelfTestLog& log, const std::function<void(const std::string&)>& line);
void ReportErrorLog(const ErrorLogSummary& log,
                    const std::function<void(const std::string&)>& line);

// Sets byte 511 so that the 512 bytes add up to 0 (modulo 256), as every
// SMART sector carries it (the simulated machine and tests build sectors).
void SetSectorChecksum(std::span<std::uint8_t, 512> sector);

// Byte 363 of the SMART data sector.
inline constexpr std::size_t kSelfTestStatusOffset = 363;

// What the SMART data sector says about self-tests and logs: the off-line
// data collection capability (byte 367), the error logging capability (byte
// 370) and the recommended polling times in minutes (bytes 372 to 376).
struct SelfTestCapabilities {
  bool selfTest = false;    // short and extended self-tests
  bool conveyance = false;  // conveyance self-test
  bool errorLog = false;    // the summary error log
  int shortMinutes = 0, extendedMinutes = 0, conveyanceMinutes = 0;
};
SelfTestCapabilities DecodeSelfTestCapabilities(std::span<const std::uint8_t, 512> smartData);

}  // namespace dt
