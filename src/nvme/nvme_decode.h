// The NVMe data that disktest reads, decoded from the bytes the controller
// returns: the Identify Controller data (4096 bytes), the Identify Namespace
// data (4096 bytes), the SMART / Health Information log (log 02h, 512 bytes),
// the Error Information log (log 01h, 64 bytes per entry) and the Device
// Self-test log (log 06h, 564 bytes). Integers are
// little-endian; temperatures are kelvin, 0 meaning "not reported".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nvme/uint128.h"

namespace dt {

inline constexpr std::size_t kNvmeIdentifySize = 4096;
inline constexpr std::size_t kNvmeSmartLogSize = 512;
inline constexpr std::size_t kNvmeErrorEntrySize = 64;
inline constexpr std::size_t kNvmeSelfTestLogSize = 564;
inline constexpr int kNvmeSelfTestResults = 20;

struct NvmeController {
  std::uint16_t vendorId = 0;           // PCI vendor id (bytes 0-1)
  std::uint16_t subsystemVendorId = 0;  // PCI subsystem vendor id (2-3)
  std::string serial;                   // 4-23, trimmed
  std::string model;                    // 24-63, trimmed
  std::string firmware;                 // 64-71, trimmed
  std::uint32_t ieeeOui = 0;            // 73-75 (byte 75 the most significant)
  std::uint16_t controllerId = 0;       // 78-79
  std::uint32_t version = 0;            // 80-83: major 31:16, minor 15:8, tertiary 7:0
  std::uint16_t adminCommands = 0;      // OACS, 256-257: optional admin commands
  std::uint8_t logPageAttributes = 0;   // LPA, 261
  std::uint32_t errorLogEntries = 1;    // ELPE (262, zero-based) + 1
  std::uint16_t warningTempK = 0;       // WCTEMP, 266-267
  std::uint16_t criticalTempK = 0;      // CCTEMP, 268-269
  Uint128 totalCapacity;                // TNVMCAP, 280-295, bytes
  Uint128 unallocatedCapacity;          // UNVMCAP, 296-311, bytes
  std::uint32_t namespaces = 0;         // NN, 516-519
  // EDSTT, 316-317: the minutes the extended self-test takes.
  std::uint16_t extendedSelfTestMinutes = 0;

  // OACS bit 4: the controller runs the Device Self-test command.
  bool SelfTestSupported() const { return (adminCommands & 0x10) != 0; }
};

struct NvmeNamespace {
  std::uint32_t id = 1;
  std::uint64_t sizeBlocks = 0;         // NSZE
  std::uint64_t capacityBlocks = 0;     // NCAP
  std::uint64_t utilizationBlocks = 0;  // NUSE
  std::uint32_t blockSize = 0;          // of the LBA format in use; 0 when it is not valid
};

// The SMART / Health Information log, every field.
struct NvmeSmartLog {
  std::uint8_t criticalWarning = 0;          // 0
  std::uint16_t temperatureK = 0;            // 1-2, composite
  std::uint8_t availableSpare = 0;           // 3, percent
  std::uint8_t availableSpareThreshold = 0;  // 4, percent
  std::uint8_t percentageUsed = 0;           // 5, may exceed 100
  std::uint8_t enduranceGroupWarning = 0;    // 6, endurance group critical warning summary
  Uint128 dataUnitsRead;                     // 32-47, units of 1000 512-byte blocks
  Uint128 dataUnitsWritten;                  // 48-63
  Uint128 hostReadCommands;                  // 64-79
  Uint128 hostWriteCommands;                 // 80-95
  Uint128 controllerBusyTime;                // 96-111, minutes
  Uint128 powerCycles;                       // 112-127
  Uint128 powerOnHours;                      // 128-143
  Uint128 unsafeShutdowns;                   // 144-159
  Uint128 mediaErrors;                       // 160-175, media and data integrity errors
  Uint128 errorLogEntries;                   // 176-191, error information log entries
  std::uint32_t warningTempTime = 0;         // 192-195, minutes
  std::uint32_t criticalTempTime = 0;        // 196-199, minutes
  std::array<std::uint16_t, 8> sensorK{};    // 200-215, temperature sensors 1-8
  std::uint32_t thermal1Transitions = 0;     // 216-219
  std::uint32_t thermal2Transitions = 0;     // 220-223
  std::uint32_t thermal1Time = 0;            // 224-227, seconds
  std::uint32_t thermal2Time = 0;            // 228-231, seconds
};

// Self-test codes of the Device Self-test command and of the log.
inline constexpr std::uint8_t kNvmeSelfTestShort = 0x1;
inline constexpr std::uint8_t kNvmeSelfTestExtended = 0x2;
inline constexpr std::uint8_t kNvmeSelfTestAbort = 0xF;

// One result of the Device Self-test log (28 bytes from byte 4, the newest
// first).
struct NvmeSelfTestEntry {
  int number = 0;                     // 1 = the newest
  std::uint8_t code = 0;              // byte 0 bits 4-7: 1h short, 2h extended, Eh vendor specific
  std::uint8_t result = 0;            // byte 0 bits 0-3 (Fh: the entry is unused)
  std::uint8_t segment = 0;           // byte 1: the first segment that failed (0: none)
  std::uint64_t powerOnHours = 0;     // bytes 4-11
  std::optional<std::uint32_t> nsid;  // bytes 12-15, when byte 2 bit 0 says so
  std::optional<std::uint64_t> failingLba;     // bytes 16-23, when bit 1 says so
  std::optional<std::uint8_t> statusCodeType;  // byte 24 bits 0-2, when bit 2 says so
  std::optional<std::uint8_t> statusCode;      // byte 25, when bit 3 says so
  bool failed = false;                         // results 5 to 7: the test found a fault
};

struct NvmeSelfTestLog {
  std::uint8_t currentOperation = 0;       // byte 0 bits 0-3: 0 none, else the running test's code
  std::uint8_t completionPercent = 0;      // byte 1 bits 0-6
  std::vector<NvmeSelfTestEntry> entries;  // the used ones, newest first
  bool Running() const { return currentOperation != 0; }
};

// "Short", "Extended", "Vendor specific", "Reserved (3h)".
std::string NvmeSelfTestCodeText(std::uint8_t code);
// The meaning of a result: "Completed without error", "Aborted by a Device
// Self-test command", ... "Reserved (Ah)".
std::string NvmeSelfTestResultText(std::uint8_t result);
// Results 5 (fatal or unknown error), 6 and 7 (a segment failed).
bool NvmeSelfTestFailed(std::uint8_t result);
// Results 1 to 4, 8 and 9: the test ended before it was done.
bool NvmeSelfTestAborted(std::uint8_t result);

// The bytes of one data unit: 1000 blocks of 512 bytes.
inline constexpr std::uint32_t kNvmeDataUnitBytes = 512000;

// The critical warning bits that have a meaning (0-5).
inline constexpr int kNvmeCriticalWarningBits = 6;
// The text of critical warning bit `bit` ("available spare below threshold")
// and its JSON key ("spare_below_threshold"); null above bit 5.
const char* NvmeCriticalWarningText(int bit);
const char* NvmeCriticalWarningKey(int bit);

// °C of a kelvin temperature; none for 0 (not reported).
std::optional<int> KelvinToCelsius(std::uint16_t kelvin);
// "1.4" or "1.4.1"; "before 1.2" for 0 (older controllers leave VER empty).
std::string NvmeVersionText(std::uint32_t version);

// Each decoder reads exactly the size above from `data`.
NvmeController DecodeIdentifyController(const std::uint8_t* data);
NvmeNamespace DecodeIdentifyNamespace(const std::uint8_t* data, std::uint32_t nsid);
NvmeSmartLog DecodeSmartHealthLog(const std::uint8_t* data);
// The Device Self-test log (kNvmeSelfTestLogSize bytes).
NvmeSelfTestLog DecodeSelfTestLogPage(const std::uint8_t* data);
// The entries of an error information log (`entries` of 64 bytes) whose
// error count (bytes 0-7) is not zero.
std::uint32_t CountErrorLogEntries(const std::uint8_t* data, std::uint32_t entries);

}  // namespace dt
