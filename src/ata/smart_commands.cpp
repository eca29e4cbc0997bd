#include "ata/smart_commands.h"

#include <cstring>

#include "ata/smart_logs.h"
#include "base/text.h"

namespace dt {

namespace {

// The failure of a command as one text: what failed, the storage driver's
// status and the system's error.
std::string FailureText(const TIDE_SMART& drive, const std::string& what) {
  if (!drive.IsOpen) return what + " failed: the drive is not open";
  return what + " failed: " + DriverErrorText(drive.DriverError) + "," +
         SystemErrorText(drive.LastError);
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

}  // namespace

SmartStatus ReturnSmartStatus(TIDE_SMART& drive) {
  if (!drive.IsOpen) return SmartStatus::Unknown;
  // The answer carries the registers the drive returned as an IDEREGS
  // record at the start of its data area; a driver that returns none leaves
  // them zero, which reads as neither verdict.
  std::uint8_t out[kSendCmdOutHeader + sizeof(IDEREGS)] = {};
  std::uint32_t returned = 0;
  if (!drive.SmartCommand(SMART_SEND_DRIVE_COMMAND, kSmartReturnStatus, 1, 0, out, sizeof out,
                          &returned))
    return SmartStatus::Unknown;
  if (returned < sizeof out) return SmartStatus::Unknown;
  IDEREGS regs;
  std::memcpy(&regs, out + kSendCmdOutHeader, sizeof regs);
  if (regs.bCylLowReg == 0x4F && regs.bCylHighReg == 0xC2) return SmartStatus::Good;
  if (regs.bCylLowReg == 0xF4 && regs.bCylHighReg == 0x2C) return SmartStatus::ThresholdExceeded;
  return SmartStatus::Unknown;
}

bool ExecuteSelfTest(TIDE_SMART& drive, SelfTestKind kind, std::string* error) {
  const std::string what = "SMART EXECUTE OFF-LINE IMMEDIATE (" +
                           SelfTestTypeText(static_cast<std::uint8_t>(kind)) + ")";
  if (!drive.IsOpen) return Fail(error, FailureText(drive, what));
  std::uint8_t out[kSendCmdOutHeader] = {};
  if (!drive.SmartCommand(SMART_SEND_DRIVE_COMMAND, kSmartExecuteOffline,
                          static_cast<std::uint8_t>(kind), 0, out, sizeof out, nullptr))
    return Fail(error, FailureText(drive, what));
  return true;
}

bool ReadSmartLog(TIDE_SMART& drive, std::uint8_t address, std::array<std::uint8_t, 512>* sector,
                  std::string* error) {
  const std::string what = "SMART READ LOG (log " + HexText(address, 2) + "h)";
  if (!drive.IsOpen) return Fail(error, FailureText(drive, what));
  SENDCMDOUTPARAMS512 out;
  std::uint32_t returned = 0;
  if (!drive.SmartCommand(SMART_RCV_DRIVE_DATA, kSmartReadLog, address, 512, &out, sizeof out,
                          &returned))
    return Fail(error, FailureText(drive, what));
  if (returned < sizeof out)
    return Fail(error, what + " failed: the driver returned " + std::to_string(returned) +
                           " bytes instead of " + std::to_string(sizeof out));
  if (sector) std::memcpy(sector->data(), out.bBuffer, 512);
  return true;
}

void ReportSmartLogs(TIDE_SMART& drive, const TReportLineProc& line) {
  SENDCMDOUTPARAMS512 data;
  std::uint32_t returned = 0;
  if (drive.IsOpen && drive.ReadAttributes(&data, &returned)) {
    const SelfTestProgress p = DecodeSelfTestProgress(data.bBuffer[kSelfTestStatusOffset]);
    line("Self-test execution status: " + p.text +
         (p.running ? ", " + std::to_string(p.remainingPercent) + "% remaining" : std::string()));
  } else {
    line("Self-test execution status: not read (" + FailureText(drive, "SMART READ DATA") + ")");
  }
  line("");
  std::array<std::uint8_t, 512> sector{};
  std::string error;
  if (!ReadSmartLog(drive, kLogSelfTest, &sector, &error)) {
    line("SMART self-test log: not read (" + error + ")");
  } else if (const auto log = DecodeSelfTestLog(sector)) {
    ReportSelfTestLog(*log, line);
  } else {
    line("SMART self-test log: the drive's answer is no self-test log (index " +
         std::to_string(sector[508]) + ")");
  }
  line("");
  if (!ReadSmartLog(drive, kLogSummaryError, &sector, &error)) {
    line("SMART summary error log: not read (" + error + ")");
  } else if (const auto log = DecodeSummaryErrorLog(sector)) {
    ReportErrorLog(*log, line);
  } else {
    line("SMART summary error log: the drive's answer is no error log (index " +
         std::to_string(sector[1]) + ")");
  }
}

}  // namespace dt
