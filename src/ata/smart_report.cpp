#include "ata/smart_report.h"

#include <algorithm>
#include <string>

#include "ata/attribute_help.h"
#include "ata/drive_info.h"
#include "base/text.h"

namespace dt {

namespace {

// Offsets in the SMART data sector.
constexpr std::size_t kEntries = 2;
constexpr std::size_t kOfflineStatus = 362;
constexpr std::size_t kSelfTestStatus = 363;
constexpr std::size_t kOfflineTime = 364;
constexpr std::size_t kVendor366 = 366;
constexpr std::size_t kOfflineCapability = 367;
constexpr std::size_t kSmartCapability = 368;
constexpr std::size_t kErrorLogCapability = 370;
constexpr std::size_t kVendor371 = 371;
constexpr std::size_t kShortPolling = 372;
constexpr std::size_t kExtendedPolling = 373;
constexpr std::size_t kReservedArea = 374;
constexpr std::size_t kReservedAreaSize = 12;
constexpr std::size_t kVendorArea = 386;
constexpr std::size_t kVendorAreaSize = 125;
constexpr std::size_t kChecksum = 511;
// The reserved tail of the threshold sector, and where it lies in the
// 528-byte answer of the request.
constexpr std::size_t kThresholdReserved = 362;
constexpr std::size_t kThresholdReservedInAnswer = kSendCmdOutHeader + kThresholdReserved;

constexpr int kRowsPerGroup = 6;
constexpr int kDumpBytesPerLine = 8;

std::string Num(std::uint64_t v) {
  return std::to_string(v);
}

// B4: a byte right-aligned in 4 characters.
std::string B4(std::uint8_t b) {
  return PadLeft(Num(b), 4);
}

// W6: a little-endian 16-bit value right-aligned in 6 characters.
std::string W6(std::uint8_t lo, std::uint8_t hi) {
  return PadLeft(Num(static_cast<std::uint32_t>(lo) | static_cast<std::uint32_t>(hi) << 8), 6);
}

std::uint32_t Dword(const std::uint8_t* b) {
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

// D10: an unsigned little-endian 32-bit value right-aligned in 10 characters.
std::string D10(const std::uint8_t* b) {
  return PadLeft(Num(Dword(b)), 10);
}

// A duration of any number of seconds in the form of DurationText; whole days
// are split off first so that counts beyond a signed 32-bit number of seconds
// still print their true value.
std::string LongDurationText(std::uint64_t seconds) {
  constexpr std::uint64_t kDay = 86400;
  const std::uint64_t days = seconds / kDay;
  std::string out = days > 0 ? Num(days) + " dey " : std::string();
  return out + DurationText(static_cast<std::int32_t>(seconds % kDay));
}

const char* OfflineStatusText(std::uint8_t v) {
  switch (v) {
    case 0x00:
    case 0x80:
      return "was never started";
    case 0x02:
    case 0x82:
      return "was completed without error";
    case 0x04:
    case 0x84:
      return "was suspended by an interrupting command from host";
    case 0x05:
    case 0x85:
      return "was aborted by an interrupting command from host";
    case 0x06:
    case 0x86:
      return "was aborted by the device with a fatal error";
    default:
      return "Unknown";
  }
}

void SelfTestExplanation(int code, const TReportLineProc& line) {
  switch (code) {
    case 0:
      line(
          "   The previous self-test routine completed without error or no self-test has ever been "
          "run");
      break;
    case 1:
      line("   The self-test routine was aborted by the host");
      break;
    case 2:
      line(
          "   The self-test routine was interrupted by the host with a hardware or software reset");
      break;
    case 3:
      line(
          "   A fatal error or unknown test error occurred while the device was executing its "
          "self-test");
      line("   routineand the device was unable to complete the self-test routine");
      break;
    case 4:
      line(
          "   The previous self-test completed having a test element that failed and the test "
          "element that");
      line("   failed is not known");
      break;
    case 5:
      line("   The previous self-test completed having the electrical element of the test failed");
      break;
    case 6:
      line(
          "   The previous self-test completed having the servo (and/or seek) test element of the "
          "test failed");
      break;
    case 7:
      line("   The previous self-test completed having the read element of the test failed");
      break;
    case 15:
      line("   Self-test routine in progress");
      break;
    default:
      break;  // 8 to 14 are reserved codes without an explanation
  }
}

// One slot of the two sectors.
struct Slot {
  const std::uint8_t* attr;       // 12-byte attribute entry
  const std::uint8_t* threshold;  // 12-byte threshold entry, null when not read
  std::uint8_t id() const { return attr[0]; }
  const std::uint8_t* raw() const { return attr + 5; }
  // A slot is listed when either sector names an attribute in it.
  bool listed() const { return attr[0] != 0 || (threshold && threshold[0] != 0); }
};

// The formatting state shared by the tables of one report.
class TableWriter {
 public:
  TableWriter(const std::uint8_t* data, const SmartThresholds& thresholds,
              const TReportLineProc& line)
      : data_(data), thresholds_(thresholds), line_(line) {
    width_ = 0;
    for (int i = 0; i < kSmartSlots; ++i) {
      const std::uint8_t id = slot(i).id();
      if (id != 0) width_ = std::max(width_, CharCount(AttributeName(id)));
    }
  }

  Slot slot(int i) const {
    const std::size_t at = kEntries + static_cast<std::size_t>(i) * kSmartEntrySize;
    return Slot{data_ + at, thresholds_.valid ? thresholds_.sector + at : nullptr};
  }

  bool thresholdsValid() const { return thresholds_.valid; }

  // "  N  " and the centred name column of every table header.
  std::string headerStart() const {
    return "  N  " + CenterText("Attribute name", static_cast<int>(width_));
  }

  std::string rowStart(const Slot& s) const {
    return B4(s.id()) + " " + PadRight(AttributeName(s.id()), width_);
  }

  // Emits the rows that `row` builds, with a line " " before every group of
  // six rows.
  template <typename RowFn>
  void groupedRows(RowFn row) const {
    int n = 0;
    for (int i = 0; i < kSmartSlots; ++i) {
      const Slot s = slot(i);
      if (!s.listed()) continue;
      if (n % kRowsPerGroup == 0) line_(" ");
      ++n;
      line_(row(s));
    }
  }

 private:
  const std::uint8_t* data_;
  SmartThresholds thresholds_;
  const TReportLineProc& line_;
  std::size_t width_;
};

std::string FlagColumns(std::uint8_t flags) {
  static const char* const kFlags[] = {" PF", " OC", " PR", " ER", " EC"};
  std::string out;
  for (int bit = 0; bit < 5; ++bit) out += (flags >> bit & 1) ? kFlags[bit] : "   ";
  out += (flags & 0x20) ? " SP !" : "    !";
  return out;
}

std::string RawBytes(const std::uint8_t* raw) {
  std::string out;
  for (int k = 0; k < 6; ++k) out += B4(raw[k]);
  return out;
}

void MainTable(const TableWriter& tw, bool reserved, const TReportLineProc& line) {
  if (!reserved) {
    line(tw.headerStart() + CenterText("Status", 19) + " Value Worst " +
         CenterText("Raw value", 24) + " " + " Threshold " + CenterText("Raw value as WORD", 20) +
         " " + CenterText("DWORD", 10));
    tw.groupedRows([&](const Slot& s) {
      const std::uint8_t* a = s.attr;
      const std::uint8_t* r = s.raw();
      const std::string threshold = tw.thresholdsValid() ? B4(s.threshold[1]) + "    " : "";
      return tw.rowStart(s) + FlagColumns(a[1]) + B4(a[3]) + "  " + B4(a[4]) + " !" + RawBytes(r) +
             " !" + threshold + " !" + W6(r[0], r[1]) + W6(r[2], r[3]) + W6(r[4], r[5]) + " !" +
             D10(r);
    });
    return;
  }
  line(tw.headerStart() + CenterText("Status", 29) + " Value Worst " + CenterText("Raw value", 24) +
       " " + "Reserved    N " + " Threshold " + CenterText("Reserved", 40));
  tw.groupedRows([&](const Slot& s) {
    const std::uint8_t* a = s.attr;
    std::string threshold;
    if (tw.thresholdsValid()) {
      const std::uint8_t* t = s.threshold;
      threshold = B4(t[0]) + "    " + B4(t[1]) + "    " + "! ";
      for (std::size_t k = 2; k < kSmartEntrySize; ++k) threshold += B4(t[k]);
    }
    const unsigned flagsWord = static_cast<unsigned>(a[1]) | static_cast<unsigned>(a[2]) << 8;
    return tw.rowStart(s) + FlagColumns(a[1]) + " 0x" + HexText(flagsWord, 4) + " ! " + B4(a[3]) +
           "  " + B4(a[4]) + " !" + RawBytes(s.raw()) + "  " + B4(a[11]) + "  " + " !" + threshold;
  });
}

// The raw value read as words and double words from every byte offset.
void ShiftedRawTable(const TableWriter& tw, const TReportLineProc& line) {
  line(" ");
  line(tw.headerStart() + "   " + CenterText("Raw value as WORD", 18) + "  " +
       CenterText("DWORD", 10) + "  " + CenterText("WORD +1", 12) + " " +
       CenterText("DWORD +1", 12) + " " + CenterText("DWORD +2", 12));
  tw.groupedRows([&](const Slot& s) {
    const std::uint8_t* r = s.raw();
    return tw.rowStart(s) + " !" + W6(r[0], r[1]) + W6(r[2], r[3]) + W6(r[4], r[5]) + " !" +
           D10(r) + " !" + W6(r[1], r[2]) + W6(r[3], r[4]) + " !" + D10(r + 1) + " !" + D10(r + 2) +
           " !";
  });
}

void DecodedTable(const TableWriter& tw, const RawDecoder& decode, const TReportLineProc& line) {
  line(" ");
  line(tw.headerStart());
  for (int i = 0; i < kSmartSlots; ++i) {
    const Slot s = tw.slot(i);
    if (!s.listed()) continue;
    const std::string text = decode(s.id(), s.raw());
    if (!text.empty()) line(tw.rowStart(s) + " " + text);
  }
}

// The report names; every ID not listed is unknown.
// clang-format off
constexpr struct {
  std::uint8_t id;
  const char* name;
} kAttributeNames[] = {
  {1, " * Raw Read Error Rate "},
  {2, " * Throughput Performance "},
  {3, " * Spin Up Time "},
  {4, "   Start/Stop Count "},
  {5, " * Reallocated Sector Count "},
  {6, "   Read Channel Margin "},
  {7, " * Seek Error Rate "},
  {8, " * Seek Time Performance "},
  {9, "   Power-On Hours Count "},
  {10, " * Spin Retry Count "},
  {11, "   Recalibration Retries "},
  {12, "   Device Power Cycle Count "},
  {13, "   Soft Read Error Rate "},
  {22, " ! Current Helium Level "},
  {96, "   ? (Maxtor) "},
  {97, "   ? (Maxtor) "},
  {98, "   ? (Maxtor) "},
  {99, "   ? (Maxtor) "},
  {100, "   ? (Maxtor) "},
  {101, "   ? (Maxtor) "},
  {170, " ! Available Reserved Space "},
  {171, " ! SSD Program Fail Count "},
  {172, " ! SSD Erase Fail Count "},
  {173, " ! SSD Wear Leveling Count "},
  {174, " ! Unexpected power loss count "},
  {175, " ! Power Loss Protection Failure "},
  {176, " ! Erase Fail Count (chip) "},
  {177, " ! Wear Range Delta "},
  {179, " ! Used Reserved Block Count Total "},
  {180, " ! Unused Reserved Block Count Total "},
  {181, " ! Program Fail Count Total/Non-4K Aligned Access Count "},
  {182, " ! Erase Fail Count "},
  {183, " ! SATA Downshift Error Count/Runtime Bad Block "},
  {184, " ! End-to-End error / IOEDC "},
  {185, " ! Head Stability "},
  {186, " ! Induced Op-Vibration Detection "},
  {187, " ! Reported Uncorrectable Errors "},
  {188, " ! Command Timeout "},
  {189, " ! High Fly Writes "},
  {190, " ! Airflow Temperature (obsolete) "},
  {191, "   G-Sense Error Rate "},
  {192, "   Power-Off Retract Cycle "},
  {193, "   Load/Unload Cycle Count "},
  {194, "   Temperature "},
  {195, "   ? (Quantum AS, Seagate, Maxtor) "},
  {196, " * Reallocation Events Count "},
  {197, "   Current Pending Sector Count "},
  {198, "   Uncorrectable Sector Count "},
  {199, "   UltraDMA CRC Error Rate "},
  {200, " * Write Error Rate (? WD - MultiZone Error Rate) "},
  {201, "   Soft Read Error Rate/TA Counter Detected "},
  {202, "   Data Address Mark errors/TA Counter Increased "},
  {203, "   Run Out Cancel "},
  {204, "   Soft ECC Correction "},
  {205, "   Thermal Asperity Rate (TAR) "},
  {206, "   Flying Height "},
  {207, "   Spin High Current "},
  {208, "   Spin Buzz "},
  {209, "   Offline Seek Performance "},
  {210, " ! Vibration During Write "},
  {211, " ! Vibration During Write "},
  {212, " ! Shock During Write "},
  {220, "   Disk Shift "},
  {221, "   G-Sense Error Rate (? Hitachi - Shock Sense Error Rate) "},
  {222, "   Loaded Hours "},
  {223, "   Load/Unload Retry Count "},
  {224, "   Load Friction "},
  {225, "   Load/Unload Cycle Count "},
  {226, "   Load-in Time "},
  {227, "   Torque Amplification Count "},
  {228, "   Power-Off Retract Count "},
  {229, "   ? (IBM DTTA, thanx to Drennick) "},
  {230, "   GMR Head Amplitude "},
  {231, "   Temperature "},
  {232, " ! Endurance Remaining/Available Reserved Space "},
  {233, " ! Power-On Hours/Media Wearout Indicator "},
  {234, " ! Average erase count AND Maximum Erase Count "},
  {235, " ! Good Block Count AND System(Free) Block Count "},
  {240, "   Head Flying Hours (Hitachi)/Transfer Error Rate (Fujitsu) "},
  {241, " ! Total LBAs Written "},
  {242, " ! Total LBAs Read "},
  {243, " ! Total LBAs Written Expanded "},
  {244, " ! Total LBAs Read Expanded "},
  {249, " ! NAND_Writes_1GiB "},
  {250, "   Read Error Retry Rate "},
  {251, " ! Minimum Spares Remaining "},
  {252, " ! Newly Added Bad Flash Block "},
  {254, " ! Free Fall Protection "},
};
// clang-format on

}  // namespace

std::string CenterText(std::string_view text, int width) {
  const int d = width - static_cast<int>(CharCount(text));
  if (d <= 0) return std::string(text);
  const auto front = static_cast<std::size_t>(d / 2);
  const auto back = static_cast<std::size_t>(d - d / 2);
  return std::string(front, ' ') + std::string(text) + std::string(back, ' ');
}

std::string AttributeName(std::uint8_t id) {
  if (id == 0) return std::string();
  for (const auto& n : kAttributeNames)
    if (n.id == id) return n.name;
  return "   Unknown attribute ";
}

std::string DecodeRawValue(std::string_view model, std::uint8_t id, const std::uint8_t* raw) {
  const std::uint32_t v = Dword(raw);
  switch (id) {
    case 4:
    case 5:
    case 12:
    case 196:
    case 197:
    case 198:
      return Num(v);
    case 9:
      // Fujitsu drives count the power-on time in seconds, others in hours.
      if (model.substr(0, 7) == "FUJITSU") return LongDurationText(v);
      return LongDurationText(static_cast<std::uint64_t>(v) * 3600);
    case 194:
      return Num(raw[0]) + " C(?F)";
    default:
      return std::string();
  }
}

std::string DecodeRawValue(TIDE_SMART& smart, std::uint8_t id, const std::uint8_t* raw) {
  // Only the power-on hours depend on the model; no other ID asks the drive.
  return DecodeRawValue(id == 9 ? smart.GetModel() : std::string(), id, raw);
}

void FlagsLegend(const TReportLineProc& line) {
  constexpr std::size_t kColumn = 49;
  line(" ");
  line(PadRight("PF - Pre-failure (in threshold minimal value)", kColumn) +
       "OC - On-line collection (update on on-line only or on-line/off-line test.)");
  line(PadRight("PR - Performance related", kColumn) + "ER - Error rate (error frequency)");
  line(PadRight("EC - Events count", kColumn) + "SP - Self-preserve (automatic update and save)");
}

void ReportSmartStatus(const std::uint8_t* d, bool reserved, int helpLevel,
                       const TReportLineProc& line) {
  line("Offline data collection status       : " + Num(d[kOfflineStatus]) + " (" +
       OfflineStatusText(d[kOfflineStatus]) + ")");

  const int code = d[kSelfTestStatus] >> 4;
  const int remaining = d[kSelfTestStatus] & 0x0F;
  const bool known = code <= 7 || code == 15;
  line("SelfTest execution status            : " + Num(remaining * 10) + "% " +
       (known ? "Code " : "Unknown ") + Num(code));
  if (helpLevel != kHelpNone) SelfTestExplanation(code, line);

  line("Time to complete off-line collection : " +
       Num(d[kOfflineTime] | static_cast<unsigned>(d[kOfflineTime + 1]) << 8));

  const std::uint8_t offline = d[kOfflineCapability];
  std::string text = "Off-line data collect capability     : ";
  static const char* const kOfflineFlags[] = {"EXECUTE_IMMEDIATE ", "vendor_specific ",
                                              "abort/restart_by_host_bit ", "read_scanning ",
                                              "self-test "};
  for (int bit = 0; bit < 5; ++bit)
    if (offline >> bit & 1) text += kOfflineFlags[bit];
  if (offline & 0xE0) text += "Unknown bits" + Num(offline & 0xE0);
  line(text);

  const unsigned smartCap = d[kSmartCapability] | static_cast<unsigned>(d[kSmartCapability + 1])
                                                      << 8;
  text = "SMART capability                     : ";
  if (smartCap & 1) text += "save_SMART_data ";
  if (smartCap & 2) text += "support SMART ENABLE/DISABLE ATTRIBUTE AUTOSAVE ";
  if (smartCap & 0xFC) text += "Unknown bits" + Num(smartCap & 0xFC);
  line(text);

  const std::uint8_t errorLog = d[kErrorLogCapability];
  text = "Error logging capability             : ";
  text += (errorLog & 1) ? "Error logging support " : "Error logging not support ";
  if (errorLog & 0xFE) text += "Unknown bits" + Num(errorLog & 0xFE);
  line(text);

  line("Short self-test polling time         : " + PadRight(Num(d[kShortPolling]), 7) + "        " +
       "Extended self-test polling time      : " + PadRight(Num(d[kExtendedPolling]), 7));
  line("Vendor specific at 366               : " + PadRight(Num(d[kVendor366]), 7) + "        " +
       "Vendor specific at 371               : " + PadRight(Num(d[kVendor371]), 7));

  if (reserved) {
    line("");
    line("Vendor Specific at 386");
    line("");
    DumpBytes(d + kVendorArea, kVendorAreaSize, kDumpBytesPerLine, line);
    line("");
  }
}

void ReportAttributeTables(const std::uint8_t* d, const SmartThresholds& thresholds,
                           const RawDecoder& decode, bool reserved, int helpLevel,
                           const TReportLineProc& line) {
  const std::uint8_t* t = thresholds.sector;
  line("Attribute Structure Revision " + Num(d[0]) + " " + Num(d[1]) + "  " +
       (thresholds.valid ? "Threshold Structure Revision " + Num(t[0]) + " " + Num(t[1])
                         : std::string("THRESHOLD read Error")));
  line(" ");

  const TableWriter tw(d, thresholds, line);
  MainTable(tw, reserved, line);
  if (helpLevel == kHelpFull) {
    FlagsReference(line);
  } else {
    FlagsLegend(line);
  }
  if (reserved) ShiftedRawTable(tw, line);
  DecodedTable(tw, decode, line);

  if (reserved) {
    line(" ");
    line("  Attribute reserved buffer dump");
    line(" ");
    DumpBytes(d + kReservedArea, kReservedAreaSize, kDumpBytesPerLine, line);
    if (thresholds.valid) {
      line(" ");
      line("  Threshold reserved buffer dump");
      line(" ");
      // Only the part of the tail that the driver actually returned; a count
      // that claims more than the sector holds is cut to the sector's end.
      std::size_t count = 0;
      if (thresholds.returned > kThresholdReservedInAnswer)
        count = std::min<std::size_t>(thresholds.returned - kThresholdReservedInAnswer,
                                      kSmartSectorSize - kThresholdReserved);
      DumpBytes(t + kThresholdReserved, count, kDumpBytesPerLine, line);
    }
  }

  if (helpLevel != kHelpNone) {
    line(" ");
    if (helpLevel == kHelpFull) {
      AttributeHelpList help;
      for (int i = 0; i < kSmartSlots; ++i) {
        const std::uint8_t id = tw.slot(i).id();
        if (id == 0) continue;
        help.count = 0;
        AttributeHelp(id, help);
        if (help.count <= 0) continue;
        line(" ");
        for (int k = 0; k < help.count && k < AttributeHelpList::kMaxLines; ++k)
          line(help.lines[static_cast<std::size_t>(k)]);
      }
    }
  }
}

void ReportAttributes(TIDE_SMART& smart, bool reserved, int helpLevel,
                      const TReportLineProc& line) {
  if (!smart.IsOpen) return;
  if (!smart.EnableSmart()) {
    line("No support SMART");
    return;
  }

  SENDCMDOUTPARAMS512 data{};
  std::uint32_t dataReturned = 0;
  const bool dataOk = smart.ReadAttributes(&data, &dataReturned);
  const std::uint8_t* d = data.bBuffer;
  line("Support SMART  Attribute request return " + Num(dataReturned) + " bytes  Cheksum " +
       Num(d[kChecksum]));
  if (!dataOk) {
    line("ATTR read error : " + SystemErrorText(smart.LastError) + " " +
         DriverErrorText(smart.DriverError));
    return;
  }

  ReportSmartStatus(d, reserved, helpLevel, line);

  SENDCMDOUTPARAMS512 threshold{};
  SmartThresholds t;
  t.sector = threshold.bBuffer;
  t.valid = smart.ReadThresholds(&threshold, &t.returned);

  const RawDecoder decode = [&smart](std::uint8_t id, const std::uint8_t* raw) {
    return DecodeRawValue(smart, id, raw);
  };
  ReportAttributeTables(d, t, decode, reserved, helpLevel, line);
}

void ReportSmart(TIDE_SMART& smart, int driveNumber, bool reserved, const TReportLineProc& line,
                 int helpLevel) {
  if (!smart.OpenDrive(driveNumber)) {
    line("Open Error " + SystemErrorText(smart.LastError));
    return;
  }
  ReportVersion(smart, line);
  line(" ");
  ReportDriveInfo(smart, line);
  line(" ");
  ReportAttributes(smart, reserved, helpLevel, line);
}

}  // namespace dt
