// The health of a drive past the report: a verdict (GOOD, CAUTION, BAD) with
// the findings that led to it, the temperature, the power-on hours and the
// protocol's own data. The model is the same for every protocol; "ata" fills
// `ata`, a second protocol adds its own part beside it.
//
// The verdict of an ATA drive:
//   BAD      the drive's own SMART status (RETURN STATUS) says a threshold
//            is exceeded, or a pre-failure attribute (flag bit 0) has a
//            current value at or below its non-zero threshold;
//   CAUTION  otherwise, reallocated sectors (5), reallocation events (196),
//            pending sectors (197) or off-line uncorrectable sectors (198)
//            above zero, any attribute whose worst value was at or below its
//            non-zero threshold, or a last self-test that failed;
//   GOOD     otherwise.
// Normalised values outside 1-253 mean "no value" and are never compared;
// a threshold of 0 never fails.
//
// The verdict of an NVMe drive, from its SMART / Health Information log:
//   BAD      any critical warning bit is set (one reason per bit), or the
//            available spare is below its threshold;
//   CAUTION  otherwise, media and data integrity errors above zero, a
//            percentage used of 90 or more, or a last self-test that failed
//            (the newest result of the Device Self-test log);
//   GOOD     otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ata/smart_commands.h"
#include "ata/smart_logs.h"
#include "ata/tide_smart.h"
#include "health/smart_flow.h"
#include "nvme/nvme_commands.h"

namespace dt {

enum class Verdict { Good, Caution, Bad };

// "GOOD", "CAUTION" or "BAD".
const char* VerdictName(Verdict v);

// What was read from an ATA drive for its verdict.
struct AtaHealthData {
  std::vector<SmartAttribute> attributes;  // with thresholds where they could be read
  SmartStatus status = SmartStatus::Unknown;
  std::optional<std::uint8_t> selfTestByte;  // byte 363 of the SMART data sector
  std::optional<SelfTestLog> selfTestLog;
  std::string selfTestLogError;  // why there is no self-test log
  std::optional<ErrorLogSummary> errorLog;
  std::string errorLogError;  // why there is no error log summary
};

struct VerdictResult {
  Verdict verdict = Verdict::Good;
  std::vector<std::string> reasons;  // one per finding, the worst first
};

// The verdict rules above over what was read; no command is sent.
VerdictResult AtaVerdict(const AtaHealthData& data);

// The counter of attributes 5, 196, 197 and 198: the low 16-bit word of the
// raw value. Drives keep other data in the upper words (some Fujitsu models
// a second count in bytes 2-3 of 196 or in bytes 4-5 of 5, some Seagate
// models vendor data in bytes 4-5 of 196), which is no sector count.
std::uint64_t AtaCount(const SmartAttribute& a);
// The temperature in °C: byte 0 of the raw value of attribute 194, else of
// 190 (the other bytes hold the lowest and highest temperature, or nothing);
// none without either or when that byte is 0 or above 127.
std::optional<int> AtaTemperature(const std::vector<SmartAttribute>& attributes);
// The power-on hours: bytes 0-2 of the raw value of attribute 9 read as
// hours, the unit of most drives (the upper bytes hold vendor data on some);
// the few models that count minutes or half-minutes there are not told
// apart. None without attribute 9.
std::optional<std::uint64_t> AtaPowerOnHours(const std::vector<SmartAttribute>& attributes);

// What was read from an NVMe drive for its verdict.
struct NvmeHealthData {
  NvmeController controller;
  std::optional<NvmeNamespace> ns;
  NvmeSmartLog log;
  // The error information log entries that hold an error; none when the
  // log could not be read (errorLogError says why).
  std::optional<std::uint32_t> errorLogEntries;
  std::string errorLogError;
  // The Device Self-test log; none when the controller runs no self-tests
  // (controller.SelfTestSupported()) or the log could not be read
  // (selfTestLogError says why).
  std::optional<NvmeSelfTestLog> selfTestLog;
  std::string selfTestLogError;
};

// The NVMe verdict rules above over a health log and, when given, the
// Device Self-test log; no command is sent.
VerdictResult NvmeVerdict(const NvmeSmartLog& log, const NvmeSelfTestLog* selfTests = nullptr);

// The health of one drive, for every protocol.
struct DriveHealth {
  bool read = false;                // false: the health could not be read
  std::vector<std::string> errors;  // why not, or what went wrong on the way
  // "ata" or "nvme"; empty when the drive answered neither protocol.
  std::string protocol;
  std::string model, serial, firmware;  // trimmed; empty when IDENTIFY failed
  Verdict verdict = Verdict::Good;
  std::vector<std::string> reasons;
  std::vector<std::string> notes;  // what the verdict could not take into account
  std::optional<int> temperatureC;
  std::optional<std::uint64_t> powerOnHours;
  std::optional<AtaHealthData> ata;
  std::optional<NvmeHealthData> nvme;  // protocol "nvme"
};

// The health of an ATA drive from what was read: verdict, reasons, notes,
// temperature and power-on hours.
DriveHealth AtaHealth(const SmartSummary& summary, AtaHealthData data);

// The health of an NVMe drive from what was read: verdict, reasons, the
// composite temperature and the power-on hours of its health log. Not read
// when the drive did not answer Identify Controller or the health log.
DriveHealth NvmeHealth(const NvmeDrive& drive);

// Reads the health of physical drive `driveNumber`: identity, attributes
// and thresholds (ReadSmartSummary), the drive's SMART status, and the
// self-test log and the summary error log where the drive says it keeps
// them. A drive that does not answer ATA IDENTIFY but answers NVMe Identify
// Controller is read as an NVMe drive (see ReadNvmeDrive). The drive is
// closed before the function returns.
DriveHealth ReadHealth(int driveNumber);

// The name of an attribute without the report's marker column: "Reallocated
// Sector Count", "Unknown attribute".
std::string PlainAttributeName(std::uint8_t id);

// The "Health" section of the SMART report: verdict, reasons, SMART status,
// temperature, power-on hours, the self-test log and the error log summary;
// for an NVMe drive the health log's warning, spare, wear and error figures.
void ReportHealth(const DriveHealth& health, const TReportLineProc& line);

}  // namespace dt
