// The SMART report: the top-level builder that opens a drive and prints the
// driver version, the drive information section and the SMART part, and the
// SMART part itself: self-test and capability status lines, the attribute
// table with flags, values, raw bytes and thresholds, the decoded raw values,
// optional dumps of the reserved bytes and optional reference texts.
//
// The SMART data sector and the SMART threshold sector are 512 bytes each
// and hold 30 entries of 12 bytes from byte 2 on. Threshold entry i belongs
// to attribute entry i: the sectors are paired by slot, not by ID.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ata/tide_smart.h"

namespace dt {

// Help levels of the report: none, or the self-test explanations together
// with the long flags explanation and the attribute reference texts. Any
// other non-zero level prints only the self-test explanations.
inline constexpr int kHelpNone = 0;
inline constexpr int kHelpFull = 7;

inline constexpr std::size_t kSmartSectorSize = 512;
inline constexpr int kSmartSlots = 30;
inline constexpr std::size_t kSmartEntrySize = 12;

// The whole SMART report of physical drive `driveNumber`: opens it, prints
// the version lines, the drive information section and the SMART part.
// `reserved` adds the dumps and the reserved columns. The drive is left open;
// the caller closes it.
void ReportSmart(TIDE_SMART& smart, int driveNumber, bool reserved, const TReportLineProc& line,
                 int helpLevel);

// The SMART part: enables SMART, reads the data and threshold sectors and
// prints them. Nothing when the object is not open.
void ReportAttributes(TIDE_SMART& smart, bool reserved, int helpLevel, const TReportLineProc& line);

// The report name of an attribute: a three-character marker column, the
// name and one blank; empty for ID 0, "   Unknown attribute " for IDs
// without a name.
std::string AttributeName(std::uint8_t id);

// The human-readable form of a raw value (6 bytes, little-endian), or the
// empty text for attributes without one. The power-on hours of a drive whose
// model starts with "FUJITSU" count seconds; the model is read only for ID 9.
std::string DecodeRawValue(TIDE_SMART& smart, std::uint8_t id, const std::uint8_t* raw);
std::string DecodeRawValue(std::string_view model, std::uint8_t id, const std::uint8_t* raw);

// The short three-line legend of the attribute flags, after a line " ".
void FlagsLegend(const TReportLineProc& line);

// `text` centred in `width` characters: (width - length) / 2 blanks in front
// (rounded toward zero), the rest behind; the text alone when it is longer.
std::string CenterText(std::string_view text, int width);

// ---------------------------------------------------------------------------
// The parts of ReportAttributes that only format sector bytes.

// The status lines from the data sector: off-line collection and self-test
// status, completion time, capabilities, polling times, the vendor-specific
// bytes, and with `reserved` the dump of the vendor-specific area.
void ReportSmartStatus(const std::uint8_t* data, bool reserved, int helpLevel,
                       const TReportLineProc& line);

// The threshold sector as read: its bytes, whether the read succeeded and the
// bytes-returned count of the request (header included; 528 for a full
// answer).
struct SmartThresholds {
  const std::uint8_t* sector = nullptr;
  bool valid = false;
  std::uint32_t returned = 0;
};

// Gives the decoded text of one raw value (see DecodeRawValue).
using RawDecoder = std::function<std::string(std::uint8_t id, const std::uint8_t* raw)>;

// Everything from the structure revision line to the end of the report: the
// attribute table, the legend, the shifted raw table, the decoded values, the
// reserved dumps and the reference texts.
void ReportAttributeTables(const std::uint8_t* data, const SmartThresholds& thresholds,
                           const RawDecoder& decode, bool reserved, int helpLevel,
                           const TReportLineProc& line);

}  // namespace dt
