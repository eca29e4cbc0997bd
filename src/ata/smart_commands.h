// The SMART commands past the report: the drive's own verdict (RETURN
// STATUS), self-tests (EXECUTE OFF-LINE IMMEDIATE) and the SMART logs (READ
// LOG), all sent through TIDE_SMART's pass-through requests, so that every
// platform backend (Windows, Linux SG_IO, the simulated machine) answers them
// like the other SMART commands.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ata/tide_smart.h"

namespace dt {

// SMART sub-commands (features register) beyond those of the report.
inline constexpr std::uint8_t kSmartExecuteOffline = 0xD4;
inline constexpr std::uint8_t kSmartReadLog = 0xD5;
inline constexpr std::uint8_t kSmartReturnStatus = 0xDA;

// SMART log addresses.
inline constexpr std::uint8_t kLogSummaryError = 0x01;
inline constexpr std::uint8_t kLogSelfTest = 0x06;

// SMART RETURN STATUS (B0h, feature DAh): the drive's own verdict, from the
// LBA mid/high registers it returns (4Fh/C2h good, F4h/2Ch threshold
// exceeded). Unknown when the command fails or the registers hold neither.
enum class SmartStatus { Good, ThresholdExceeded, Unknown };
SmartStatus ReturnSmartStatus(TIDE_SMART& drive);

// SMART EXECUTE OFF-LINE IMMEDIATE (D4h) in off-line mode (not captive): the
// drive starts the test and answers at once. Abort stops a running test.
enum class SelfTestKind : std::uint8_t { Short = 1, Extended = 2, Conveyance = 3, Abort = 127 };
bool ExecuteSelfTest(TIDE_SMART& drive, SelfTestKind kind, std::string* error);

// SMART READ LOG (D5h) of one 512-byte sector of log `address`.
bool ReadSmartLog(TIDE_SMART& drive, std::uint8_t address, std::array<std::uint8_t, 512>* sector,
                  std::string* error);

// The self-test execution status (from SMART READ DATA), the self-test log
// and the summary error log of an open drive as report lines, each part
// separated by an empty line; a part that cannot be read says why.
void ReportSmartLogs(TIDE_SMART& drive, const TReportLineProc& line);

}  // namespace dt
