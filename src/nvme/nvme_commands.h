// The NVMe admin commands that disktest sends through the platform seam
// (Identify, Get Log Page, Device Self-test) and the whole read of one
// drive's identity and health.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "nvme/nvme_decode.h"
#include "platform/platform.h"

namespace dt {

// The admin opcode and log page of the self-tests (beside those of
// platform/platform.h). Device Self-test moves no data.
inline constexpr std::uint8_t kNvmeDeviceSelfTest = 0x14;
inline constexpr std::uint8_t kNvmeLogSelfTest = 0x06;

// Command dwords 10 and 11 of a Get Log Page of `bytes` bytes (a multiple of
// 4): the log id in bits 0-7 of dword 10, the zero-based dword count split
// into its lower 16 bits (dword 10 bits 16-31) and upper 16 bits (dword 11
// bits 0-15).
std::uint32_t GetLogPageDword10(std::uint8_t logId, std::uint32_t bytes);
std::uint32_t GetLogPageDword11(std::uint32_t bytes);

// "Invalid Field in Command" and the like for a completion status, with the
// status in hexadecimal: "status 0x0002 (Invalid Field in Command)".
std::string NvmeStatusText(std::uint16_t status);

// Identify with the given CNS and namespace into `out` (4096 bytes). On
// failure `error` says which command failed and why.
bool NvmeIdentify(Handle h, std::uint8_t cns, std::uint32_t nsid, std::uint8_t* out,
                  std::string* error);
// Get Log Page of `bytes` bytes into `out`.
bool NvmeGetLogPage(Handle h, std::uint8_t logId, std::uint32_t nsid, std::uint8_t* out,
                    std::uint32_t bytes, std::string* error);

// Device Self-test with self-test code `code` (short, extended or abort)
// for the controller and all its namespaces.
bool NvmeDeviceSelfTest(Handle h, std::uint8_t code, std::string* error);
// The Device Self-test log (log 06h), decoded.
bool NvmeReadSelfTestLog(Handle h, NvmeSelfTestLog* log, std::string* error);

// Opens physical drive `driveNumber` for NVMe admin commands (device control
// only); kInvalidHandle with the reason in `error` when it cannot be opened.
Handle OpenNvmeDrive(int driveNumber, std::string* error);

// What was read from an NVMe drive.
struct NvmeDrive {
  bool identified = false;  // Identify Controller answered: the drive speaks NVMe
  std::string identifyError;
  NvmeController controller;
  std::optional<NvmeNamespace> ns;  // namespace 1, when the controller has one
  std::optional<NvmeSmartLog> log;
  std::string logError;  // why there is no log
  // The error information log entries with a non-zero error count.
  std::optional<std::uint32_t> errorLogEntries;
  std::string errorLogError;  // why they were not counted
  // The Device Self-test log, when the controller runs self-tests and the
  // log could be read; selfTestLogError says why not otherwise.
  std::optional<NvmeSelfTestLog> selfTestLog;
  std::string selfTestLogError;
};

// Opens physical drive `driveNumber` for device control and reads Identify
// Controller; when the drive answers, also Identify Namespace 1, the SMART /
// Health Information log, the Error Information log (all entries the
// controller keeps) and, where the controller runs self-tests, the Device
// Self-test log. The drive is closed before the function returns.
NvmeDrive ReadNvmeDrive(int driveNumber);

}  // namespace dt
