// The "Get SMART" flow without a window: the whole SMART report of one
// physical drive, optionally followed by the IDENTIFY report, as the lines
// that the SMART window shows and prints. The CLI prints the same lines.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ata/tide_smart.h"

namespace dt {

struct SmartOptions {
  bool reserved = false;  // "Print SMART reserved bytes"
  bool help = false;      // "Print help": help level 7
  bool identify = false;  // "Include Identyfy Block Report"
  bool english = true;    // "Englesh Identify block report"
  bool health = false;    // the "Health" section at the end (see health/health.h)
};

// The report lines go to `line` (with `health`, the "Health" section of
// health/health.h follows everything else); returns the drive title
// (model + " " + firmware + " " + serial + " ", three blanks when IDENTIFY
// fails). A drive that fails ATA IDENTIFY but answers NVMe Identify
// Controller gets the NVMe report (nvme/nvme_report.h) after the version and
// geometry lines instead of the failure lines, without the IDENTIFY report,
// and its title from the controller's identity. The drive is closed before
// the function returns.
std::string BuildSmartReport(int driveNumber, const SmartOptions& options,
                             const TReportLineProc& line);

// Empty lines that go before the IDENTIFY report when the SMART report has
// `lines` lines: up to 57 lines in all, or one when there are already more.
int IdentifyPadding(int lines);

// One attribute slot of the SMART data sector with its threshold.
struct SmartAttribute {
  int slot = 0;
  std::uint8_t id = 0;
  std::string name;  // trimmed
  std::uint16_t flags = 0;
  std::uint8_t value = 0;
  std::uint8_t worst = 0;
  std::optional<std::uint8_t> threshold;  // none when the thresholds failed
  std::uint64_t raw = 0;                  // 48 bits
};

// What the drive answered, decoded, for machine-readable output.
struct SmartSummary {
  bool identified = false;
  std::string model, serial, firmware;  // trimmed
  std::uint32_t sectors28 = 0;
  std::uint64_t sectors48 = 0;
  std::vector<SmartAttribute> attributes;  // slots with a non-zero ID
  // The SMART data sector as read; none when it could not be read.
  std::optional<std::array<std::uint8_t, 512>> dataSector;
  std::vector<std::string> errors;  // the report's failure lines
};

SmartSummary ReadSmartSummary(int driveNumber);

// A drive's model, serial and firmware from its loaded IDENTIFY data,
// cleaned of unprintable characters and trimmed.
struct DriveIdentity {
  std::string model, serial, firmware;
};
DriveIdentity IdentityOf(TIDE_SMART& smart);

// The identity of physical drive `driveNumber` for every protocol: ATA
// IDENTIFY's text fields, or, where the drive answers no ATA IDENTIFY but
// NVMe Identify Controller, the controller's model number, serial number
// and firmware revision. `trimmed` as IdentityOf gives them; `padded` at
// their full widths (model 40, serial 20, firmware 8 characters) with
// unprintable characters as blanks, as report titles show them. The drive is
// closed before the function returns.
struct DriveIdentityRead {
  bool identified = false;
  std::string protocol;  // "ata", "nvme", or empty when neither answered
  DriveIdentity trimmed;
  DriveIdentity padded;
};
DriveIdentityRead ReadDriveIdentity(int driveNumber);
// The attribute slots with a non-zero ID of a SMART data sector, each with
// the threshold of the same slot of `thresholds` (none when it is null).
std::vector<SmartAttribute> DecodeSmartAttributes(const std::uint8_t* data,
                                                  const std::uint8_t* thresholds);
// The failure lines among report lines.
std::vector<std::string> FailureLines(const std::vector<std::string>& lines);

}  // namespace dt
