#include "ata/smart_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ata/attribute_help.h"
#include "ata/drive_info.h"
#include "base/text.h"
#include "platform/sim/ata_capture.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

using Lines = std::vector<std::string>;

std::string Blanks(std::size_t n) {
  return std::string(n, ' ');
}

// A SMART data sector and a threshold sector built slot by slot.
struct Sectors {
  std::array<std::uint8_t, 512> d{};
  std::array<std::uint8_t, 512> t{};

  std::uint8_t* entry(int slot) { return d.data() + 2 + 12 * slot; }
  void attr(int slot, std::uint8_t id, std::uint16_t flags, std::uint8_t value, std::uint8_t worst,
            std::array<std::uint8_t, 6> raw, std::uint8_t reserved = 0) {
    std::uint8_t* e = entry(slot);
    e[0] = id;
    e[1] = static_cast<std::uint8_t>(flags);
    e[2] = static_cast<std::uint8_t>(flags >> 8);
    e[3] = value;
    e[4] = worst;
    std::copy(raw.begin(), raw.end(), e + 5);
    e[11] = reserved;
  }
  void threshold(int slot, std::uint8_t id, std::uint8_t value) {
    t[2 + 12 * slot] = id;
    t[3 + 12 * slot] = value;
  }
};

struct TableRun {
  bool thresholdsValid = true;
  std::uint32_t returned = 528;
  bool reserved = false;
  int help = kHelpNone;
  std::string model = "WDC WD5000AAKS-00TMA0";
};

Lines Tables(const Sectors& s, const TableRun& run = {}) {
  Lines out;
  SmartThresholds t;
  t.sector = s.t.data();
  t.valid = run.thresholdsValid;
  t.returned = run.returned;
  const RawDecoder decode = [&](std::uint8_t id, const std::uint8_t* raw) {
    return DecodeRawValue(run.model, id, raw);
  };
  ReportAttributeTables(s.d.data(), t, decode, run.reserved, run.help,
                        [&](const std::string& l) { out.push_back(l); });
  return out;
}

Lines Status(const Sectors& s, bool reserved, int help) {
  Lines out;
  ReportSmartStatus(s.d.data(), reserved, help, [&](const std::string& l) { out.push_back(l); });
  return out;
}

std::size_t IndexOf(const Lines& lines, const std::string& line, std::size_t from = 0) {
  for (std::size_t i = from; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  return lines.size();
}

bool ContainsText(const Lines& lines, const std::string& part) {
  for (const auto& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

// The line that starts a row of attribute `id` in the first table after
// `from` (the main table when from is 0).
std::size_t RowOf(const Lines& lines, std::uint8_t id, std::size_t from = 0) {
  const std::string start = PadLeft(std::to_string(id), 4) + " ";
  for (std::size_t i = from; i < lines.size(); ++i)
    if (lines[i].rfind(start, 0) == 0) return i;
  return lines.size();
}

// ---------------------------------------------------------------------------

TEST(AttributeNameTest, EightyEightNamesInTheMarkerLayout) {
  int known = 0;
  for (int id = 1; id < 256; ++id) {
    const std::string n = AttributeName(static_cast<std::uint8_t>(id));
    if (n == "   Unknown attribute ") continue;
    ++known;
    SCOPED_TRACE(n);
    ASSERT_GT(n.size(), 4u);
    const std::string marker = n.substr(0, 3);
    EXPECT_TRUE(marker == " * " || marker == " ! " || marker == "   ");
    EXPECT_NE(n[3], ' ');
    EXPECT_EQ(n.back(), ' ');
    EXPECT_NE(n[n.size() - 2], ' ');
  }
  EXPECT_EQ(known, 88);
  EXPECT_EQ(AttributeName(0), "");
  EXPECT_EQ(AttributeName(178), "   Unknown attribute ");
  EXPECT_EQ(AttributeName(255), "   Unknown attribute ");
}

TEST(AttributeNameTest, SharedAndIrregularNames) {
  for (int id = 96; id <= 101; ++id)
    EXPECT_EQ(AttributeName(static_cast<std::uint8_t>(id)), "   ? (Maxtor) ");
  EXPECT_EQ(AttributeName(210), " ! Vibration During Write ");
  EXPECT_EQ(AttributeName(211), " ! Vibration During Write ");
  EXPECT_EQ(AttributeName(194), "   Temperature ");
  EXPECT_EQ(AttributeName(231), "   Temperature ");
  EXPECT_EQ(AttributeName(181), " ! Program Fail Count Total/Non-4K Aligned Access Count ");
}

TEST(CenterTextTest, ExtraBlankGoesBehindAndLongTextsStayWhole) {
  EXPECT_EQ(CenterText("ab", 6), "  ab  ");
  EXPECT_EQ(CenterText("ab", 5), " ab  ");
  EXPECT_EQ(CenterText("ab", 3), "ab ");
  EXPECT_EQ(CenterText("ab", 2), "ab");
  EXPECT_EQ(CenterText("Attribute name", 0), "Attribute name");
  EXPECT_EQ(CenterText("Attribute name", -3), "Attribute name");
  // Widths count characters: six Cyrillic letters take six columns.
  const std::string t = CenterText("Строка", 10);
  EXPECT_EQ(CharCount(t), 10u);
  EXPECT_EQ(t, "  Строка  ");
}

TEST(DecodeRawValueTest, CountersUseTheLowFourRawBytes) {
  const std::uint8_t raw[6] = {0x01, 0x02, 0x03, 0x84, 0x05, 0x06};
  for (std::uint8_t id : {4, 5, 12, 196, 197, 198})
    EXPECT_EQ(DecodeRawValue("X", id, raw), "2214789633") << int(id);
  for (std::uint8_t id : {1, 3, 7, 190, 199, 231, 0})
    EXPECT_EQ(DecodeRawValue("X", id, raw), "") << int(id);
}

TEST(DecodeRawValueTest, TemperatureIsRawByteZeroOnly) {
  const std::uint8_t raw[6] = {40, 0, 15, 0, 54, 0};
  EXPECT_EQ(DecodeRawValue("X", 194, raw), "40 C(?F)");
  EXPECT_EQ(DecodeRawValue("X", 231, raw), "");
}

TEST(DecodeRawValueTest, PowerOnHoursAndTheFujitsuSeconds) {
  const std::uint8_t thousand[6] = {0xE8, 0x03, 0, 0, 0, 0};
  EXPECT_EQ(DecodeRawValue("WDC WD5000AAKS", 9, thousand), "41 dey 16:00:00");
  EXPECT_EQ(DecodeRawValue("FUJITSU MHY2120BH", 9, thousand), "00:16:40");
  // Only the first seven characters, exactly, select seconds.
  EXPECT_EQ(DecodeRawValue("FUJITS", 9, thousand), "41 dey 16:00:00");
  EXPECT_EQ(DecodeRawValue("fujitsu", 9, thousand), "41 dey 16:00:00");
  EXPECT_EQ(DecodeRawValue(" FUJITSU", 9, thousand), "41 dey 16:00:00");
  const std::uint8_t zero[6] = {};
  EXPECT_EQ(DecodeRawValue("X", 9, zero), "00:00:00");
}

TEST(DecodeRawValueTest, PowerOnHoursBeyondA32BitSecondCountStayExact) {
  // 596,524 hours is the first count whose seconds exceed 2^31 - 1.
  const std::uint8_t first[6] = {0x2C, 0x1A, 0x09, 0x00, 0, 0};  // 596524
  EXPECT_EQ(DecodeRawValue("X", 9, first), "24855 dey 04:00:00");
  const std::uint8_t max[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(DecodeRawValue("X", 9, max), "178956970 dey 15:00:00");
  // Fujitsu seconds above 2^31 - 1.
  EXPECT_EQ(DecodeRawValue("FUJITSU", 9, max), "49710 dey 06:28:15");
}

// ---------------------------------------------------------------------------

Sectors TypicalStatus() {
  Sectors s;
  s.d[362] = 0x82;
  s.d[363] = 0x00;
  s.d[364] = 0xE0;  // 12000
  s.d[365] = 0x2E;
  s.d[366] = 5;
  s.d[367] = 0x1B;
  s.d[368] = 0x03;
  s.d[370] = 0x01;
  s.d[371] = 77;
  s.d[372] = 2;
  s.d[373] = 150;
  return s;
}

TEST(SmartStatusTest, StatusLinesOfATypicalDrive) {
  const Lines lines = Status(TypicalStatus(), false, kHelpNone);
  const Lines expected = {
      "Offline data collection status       : 130 (was completed without error)",
      "SelfTest execution status            : 0% Code 0",
      "Time to complete off-line collection : 12000",
      "Off-line data collect capability     : EXECUTE_IMMEDIATE vendor_specific read_scanning "
      "self-test ",
      "SMART capability                     : save_SMART_data support SMART ENABLE/DISABLE "
      "ATTRIBUTE AUTOSAVE ",
      "Error logging capability             : Error logging support ",
      "Short self-test polling time         : 2              Extended self-test polling time"
      "      : 150    ",
      "Vendor specific at 366               : 5              Vendor specific at 371"
      "               : 77     ",
  };
  EXPECT_EQ(lines, expected);
}

TEST(SmartStatusTest, OfflineStatusMeanings) {
  const std::vector<std::pair<std::uint8_t, std::string>> cases = {
      {0x80, "128 (was never started)"},
      {0x86, "134 (was aborted by the device with a fatal error)"},
      {0x03, "3 (Unknown)"},
  };
  for (const auto& [v, text] : cases) {
    Sectors s;
    s.d[362] = v;
    EXPECT_EQ(Status(s, false, kHelpNone)[0], "Offline data collection status       : " + text);
  }
}

TEST(SmartStatusTest, UnknownSelfTestCodeAndItsMissingExplanation) {
  Sectors s;
  s.d[363] = 0x8F;
  const Lines plain = Status(s, false, kHelpNone);
  EXPECT_EQ(plain[1], "SelfTest execution status            : 150% Unknown 8");
  const Lines helped = Status(s, false, kHelpFull);
  EXPECT_EQ(helped, plain);
}

TEST(SmartStatusTest, SelfTestExplanationsNeedAHelpLevel) {
  Sectors s;
  s.d[363] = 0x35;  // code 3, half the test remaining
  const Lines plain = Status(s, false, kHelpNone);
  EXPECT_EQ(plain[1], "SelfTest execution status            : 50% Code 3");
  EXPECT_EQ(plain[2], "Time to complete off-line collection : 0");
  for (int help : {1, kHelpFull}) {
    const Lines lines = Status(s, false, help);
    ASSERT_EQ(lines.size(), plain.size() + 2);
    EXPECT_EQ(lines[2],
              "   A fatal error or unknown test error occurred while the device was executing its "
              "self-test");
    EXPECT_EQ(lines[3], "   routineand the device was unable to complete the self-test routine");
  }
  s.d[363] = 0xF0;
  const Lines progress = Status(s, false, 1);
  EXPECT_EQ(progress[1], "SelfTest execution status            : 0% Code 15");
  EXPECT_EQ(progress[2], "   Self-test routine in progress");
}

TEST(SmartStatusTest, UnknownCapabilityBits) {
  Sectors s;
  s.d[367] = 0xFF;
  s.d[368] = 0xFF;
  s.d[369] = 0xFF;  // the high byte of the capability word is not examined
  s.d[370] = 0xFE;
  const Lines lines = Status(s, false, kHelpNone);
  EXPECT_EQ(lines[3],
            "Off-line data collect capability     : EXECUTE_IMMEDIATE vendor_specific "
            "abort/restart_by_host_bit read_scanning self-test Unknown bits224");
  EXPECT_EQ(lines[4],
            "SMART capability                     : save_SMART_data support SMART "
            "ENABLE/DISABLE ATTRIBUTE AUTOSAVE Unknown bits252");
  EXPECT_EQ(lines[5],
            "Error logging capability             : Error logging not support Unknown bits254");
  s.d[368] = 0x00;
  s.d[367] = 0x20;
  const Lines other = Status(s, false, kHelpNone);
  EXPECT_EQ(other[3], "Off-line data collect capability     : Unknown bits32");
  EXPECT_EQ(other[4], "SMART capability                     : ");
}

TEST(SmartStatusTest, VendorAreaDumpOnlyWithReservedBytes) {
  Sectors s = TypicalStatus();
  for (int k = 386; k <= 510; ++k) s.d[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(k);
  s.d[386] = 'A';
  const Lines plain = Status(s, false, kHelpNone);
  const Lines lines = Status(s, true, kHelpNone);
  ASSERT_EQ(lines.size(), plain.size() + 3 + 19 + 1);
  EXPECT_TRUE(std::equal(plain.begin(), plain.end(), lines.begin()));
  std::size_t i = plain.size();
  EXPECT_EQ(lines[i], "");
  EXPECT_EQ(lines[i + 1], "Vendor Specific at 386");
  EXPECT_EQ(lines[i + 2], "");
  // The dump counts offsets from the start of the vendor area.
  EXPECT_EQ(lines[i + 3].substr(0, 12), "    0 000 : ");
  EXPECT_NE(lines[i + 3].find("  65"), std::string::npos);
  EXPECT_EQ(lines.back(), "");
  // 125 bytes, 8 a line: 16 lines, the last one holding 5 bytes.
  EXPECT_EQ(lines[lines.size() - 2].substr(0, 10), "  120 078 ");
}

// ---------------------------------------------------------------------------

TEST(AttributeTablesTest, RevisionLineAndThresholdFailure) {
  Sectors s;
  s.d[0] = 16;
  s.d[1] = 1;
  s.t[0] = 17;
  s.t[1] = 2;
  Lines lines = Tables(s);
  EXPECT_EQ(lines[0], "Attribute Structure Revision 16 1  Threshold Structure Revision 17 2");
  EXPECT_EQ(lines[1], " ");
  TableRun failed;
  failed.thresholdsValid = false;
  lines = Tables(s, failed);
  EXPECT_EQ(lines[0], "Attribute Structure Revision 16 1  THRESHOLD read Error");
}

TEST(AttributeTablesTest, MainTableHeaderAndRow) {
  Sectors s;
  s.attr(0, 5, 0x0033, 100, 99, {63, 0, 0, 0, 0, 0});
  s.threshold(0, 5, 140);
  const Lines lines = Tables(s);
  // The name column is as wide as " * Reallocated Sector Count " (28).
  EXPECT_EQ(lines[2],
            "  N         Attribute name             Status        Value Worst        "
            "Raw value          Threshold  Raw value as WORD     DWORD   ");
  EXPECT_EQ(lines[3], " ");
  EXPECT_EQ(lines[4],
            "   5  * Reallocated Sector Count  PF OC       EC SP ! 100    99 !  63   0   0"
            "   0   0   0 ! 140     !    63     0     0 !        63");
}

TEST(AttributeTablesTest, FlagColumnsFollowTheLowFlagBits) {
  Sectors s;
  s.attr(0, 1, 0xFFFF, 1, 1, {});
  s.attr(1, 2, 0xFF00, 1, 1, {});
  s.attr(2, 3, 0x000A, 1, 1, {});
  const Lines lines = Tables(s);
  const std::size_t w = CharCount(AttributeName(2));
  auto flags = [&](std::uint8_t id) { return lines[RowOf(lines, id)].substr(5 + w, 20); };
  EXPECT_EQ(flags(1), " PF OC PR ER EC SP !");
  EXPECT_EQ(flags(2), "                   !");
  EXPECT_EQ(flags(3), "    OC    ER       !");
}

TEST(AttributeTablesTest, RawByteFourAcrossTheWordColumns) {
  Sectors s;
  s.attr(0, 9, 0x0032, 100, 100, {0, 0, 0, 0, 1, 0});
  TableRun run;
  run.reserved = true;
  const Lines plain = Tables(s);
  const std::string mainRow = plain[RowOf(plain, 9)];
  EXPECT_TRUE(mainRow.ends_with(" !     0     0     1 !         0")) << mainRow;

  const Lines lines = Tables(s, run);
  const std::size_t shifted = IndexOf(lines, " ",
                                      IndexOf(lines, "EC - Events count" + Blanks(32) +
                                                         "SP - Self-preserve (automatic "
                                                         "update and save)"));
  ASSERT_LT(shifted, lines.size());
  const std::string row = lines[RowOf(lines, 9, shifted)];
  EXPECT_TRUE(
      row.ends_with(" !     0     0     1 !         0 !     0   256 !  16777216 !"
                    "     65536 !"))
      << row;
}

TEST(AttributeTablesTest, ShiftedRawTableLayout) {
  Sectors s;
  s.attr(0, 194, 0x0022, 100, 100, {0x1C, 0x00, 0x0F, 0x00, 0x36, 0x00});
  TableRun run;
  run.reserved = true;
  const Lines lines = Tables(s, run);
  const std::size_t header = IndexOf(lines,
                                     "  N  Attribute name    Raw value as WORD     DWORD     "
                                     "  WORD +1      DWORD +1     DWORD +2  ");
  ASSERT_LT(header, lines.size());
  EXPECT_EQ(lines[header - 1], " ");
  EXPECT_EQ(lines[header + 1], " ");
  EXPECT_EQ(lines[header + 2],
            " 194    Temperature  !    28    15    54 !    983068 !  3840 "
            "13824 ! 905973504 !   3538959 !");
}

TEST(AttributeTablesTest, ReservedMainTableShowsFlagsWordAndThresholdBytes) {
  Sectors s;
  s.attr(0, 194, 0x1A22, 97, 88, {47, 0, 0, 0, 0, 0}, 9);
  s.threshold(0, 194, 0);
  for (int k = 2; k < 12; ++k) s.t[static_cast<std::size_t>(2 + k)] = static_cast<std::uint8_t>(k);
  TableRun run;
  run.reserved = true;
  const Lines lines = Tables(s, run);
  EXPECT_EQ(lines[2],
            "  N  Attribute name            Status             Value Worst        "
            "Raw value         Reserved    N  Threshold                 Reserved"
            "                ");
  EXPECT_EQ(lines[4],
            " 194    Temperature     OC          SP ! 0x1A22 !   97    88 !  47   0   0"
            "   0   0   0     9   ! 194       0    !    2   3   4   5   6   7   8   9"
            "  10  11");
  run.thresholdsValid = false;
  const Lines failed = Tables(s, run);
  EXPECT_TRUE(failed[4].ends_with("     9   !")) << failed[4];
}

TEST(AttributeTablesTest, EmptyNameRowForAThresholdOnlySlot) {
  Sectors s;
  s.threshold(0, 200, 51);  // a long name, but threshold IDs do not set the width
  s.attr(1, 194, 0x0022, 100, 100, {40, 0, 0, 0, 0, 0});
  s.threshold(1, 194, 0);
  const Lines lines = Tables(s);
  const std::size_t w = CharCount(AttributeName(194));
  ASSERT_EQ(lines[3], " ");
  EXPECT_EQ(lines[4].substr(0, 5 + w + 1), "   0 " + Blanks(w) + " ");
  EXPECT_NE(lines[4].find("!  51     !"), std::string::npos) << lines[4];
  EXPECT_EQ(lines[5].substr(0, 5 + w), " 194    Temperature ");
  // The decoded table lists the temperature only.
  const std::size_t decoded = IndexOf(lines, "  N  " + CenterText("Attribute name", int(w)));
  ASSERT_LT(decoded, lines.size());
  EXPECT_EQ(lines[decoded + 1], " 194    Temperature  40 C(?F)");
  EXPECT_EQ(decoded + 2, lines.size());
}

TEST(AttributeTablesTest, NoAttributesGiveWidthZeroHeadersAndNoRows) {
  Sectors s;
  TableRun run;
  run.reserved = true;
  const Lines lines = Tables(s, run);
  EXPECT_EQ(lines[2], "  N  Attribute name" + CenterText("Status", 29) + " Value Worst " +
                          CenterText("Raw value", 24) + " Reserved    N  Threshold " +
                          CenterText("Reserved", 40));
  // The legend follows the header directly.
  EXPECT_EQ(lines[3], " ");
  EXPECT_EQ(lines[4].substr(0, 16), "PF - Pre-failure");
  EXPECT_NE(IndexOf(lines, "  N  Attribute name   " + CenterText("Raw value as WORD", 18) + "  " +
                               CenterText("DWORD", 10) + "  " + CenterText("WORD +1", 12) + " " +
                               CenterText("DWORD +1", 12) + " " + CenterText("DWORD +2", 12)),
            lines.size());
  const std::size_t decoded = IndexOf(lines, "  N  Attribute name");
  ASSERT_LT(decoded, lines.size());
  EXPECT_EQ(lines[decoded - 1], " ");
  EXPECT_EQ(lines[decoded + 1], " ");
  EXPECT_EQ(lines[decoded + 2], "  Attribute reserved buffer dump");

  const Lines plain = Tables(s);
  EXPECT_EQ(plain[2], "  N  Attribute name" + CenterText("Status", 19) + " Value Worst " +
                          CenterText("Raw value", 24) + "  Threshold " +
                          CenterText("Raw value as WORD", 20) + " " + CenterText("DWORD", 10));
}

TEST(AttributeTablesTest, BlankLineBeforeEveryGroupOfSixRows) {
  Sectors s;
  for (int i = 0; i < 13; ++i)
    s.attr(i + (i >= 7 ? 3 : 0), static_cast<std::uint8_t>(1 + i), 0, 100, 100, {});
  TableRun run;
  run.reserved = true;
  const Lines lines = Tables(s, run);
  for (std::size_t table : {std::size_t{0}, IndexOf(lines, "EC - Events count" + Blanks(32) +
                                                               "SP - Self-preserve (automatic "
                                                               "update and save)")}) {
    const std::size_t first = RowOf(lines, 1, table);
    ASSERT_LT(first, lines.size());
    EXPECT_EQ(lines[first - 1], " ");
    EXPECT_EQ(RowOf(lines, 6, table), first + 5);
    EXPECT_EQ(lines[first + 6], " ");
    EXPECT_EQ(RowOf(lines, 7, table), first + 7);
    EXPECT_EQ(lines[first + 13], " ");
    EXPECT_EQ(RowOf(lines, 13, table), first + 14);
    // The table ends after the thirteenth row.
    EXPECT_EQ(lines[first + 15], " ");
    EXPECT_NE(lines[first + 16].substr(0, 3), "  1");
  }
}

TEST(AttributeTablesTest, LegendOrFlagsReference) {
  Sectors s;
  s.attr(0, 1, 0x000B, 100, 100, {});
  const Lines plain = Tables(s);
  const std::size_t legend = IndexOf(
      plain,
      "PF - Pre-failure (in threshold minimal value)    OC - On-line collection (update on on-line "
      "only or on-line/off-line test.)");
  ASSERT_LT(legend, plain.size());
  EXPECT_EQ(plain[legend - 1], " ");
  EXPECT_EQ(plain[legend + 1],
            "PR - Performance related                         ER - Error rate (error frequency)");
  EXPECT_EQ(plain[legend + 2],
            "EC - Events count                                SP - Self-preserve (automatic update "
            "and save)");

  TableRun run;
  run.help = kHelpFull;
  const Lines helped = Tables(s, run);
  EXPECT_FALSE(ContainsText(helped, "PF - Pre-failure (in threshold"));
  Lines reference;
  FlagsReference([&](const std::string& l) { reference.push_back(l); });
  const std::size_t row = RowOf(helped, 1);
  ASSERT_LT(row + reference.size(), helped.size());
  EXPECT_TRUE(std::equal(reference.begin(), reference.end(), helped.begin() + row + 1));

  run.help = 1;
  EXPECT_LT(IndexOf(Tables(s, run), plain[legend]), plain.size());
}

TEST(AttributeTablesTest, DecodedValuesWithoutBlankLines) {
  Sectors s;
  s.attr(0, 1, 0, 100, 100, {1, 0, 0, 0, 0, 0});
  s.attr(1, 5, 0, 100, 100, {3, 1, 0, 0, 0, 0});
  s.attr(2, 9, 0, 100, 100, {0xE8, 0x03, 0, 0, 0, 0});
  s.attr(5, 194, 0, 100, 100, {40, 0, 0, 0, 0, 0});
  s.attr(7, 231, 0, 100, 100, {40, 0, 0, 0, 0, 0});
  s.attr(9, 197, 0, 100, 100, {0, 0, 0, 0, 0, 0});
  const Lines lines = Tables(s);
  const std::size_t w = CharCount(AttributeName(197));  // the widest of the six
  const std::size_t header = IndexOf(lines, "  N  " + CenterText("Attribute name", int(w)));
  ASSERT_LT(header, lines.size());
  EXPECT_EQ(lines[header - 1], " ");
  const Lines rows(lines.begin() + static_cast<std::ptrdiff_t>(header) + 1, lines.end());
  const Lines expected = {
      "   5 " + PadRight(AttributeName(5), w) + " 259",
      "   9 " + PadRight(AttributeName(9), w) + " 41 dey 16:00:00",
      " 194 " + PadRight(AttributeName(194), w) + " 40 C(?F)",
      " 197 " + PadRight(AttributeName(197), w) + " 0",
  };
  EXPECT_EQ(rows, expected);

  TableRun fujitsu;
  fujitsu.model = "FUJITSU MHY2120BH                       ";
  const Lines f = Tables(s, fujitsu);
  EXPECT_LT(IndexOf(f, "   9 " + PadRight(AttributeName(9), w) + " 00:16:40"), f.size());
}

TEST(AttributeTablesTest, ReservedOffLeavesOutDumpsAndTheShiftedTable) {
  Sectors s;
  s.attr(0, 1, 0, 100, 100, {});
  const Lines lines = Tables(s);
  EXPECT_FALSE(ContainsText(lines, "WORD +1"));
  EXPECT_FALSE(ContainsText(lines, "buffer dump"));
  EXPECT_FALSE(ContainsText(lines, "0x"));
  EXPECT_FALSE(ContainsText(lines, " 000 : "));
}

TEST(AttributeTablesTest, ReservedDumpsFollowTheDecodedTable) {
  Sectors s;
  s.attr(0, 1, 0, 100, 100, {});
  for (int k = 374; k < 386; ++k) s.d[static_cast<std::size_t>(k)] = 'a' + (k - 374);
  s.t[362] = 'T';
  TableRun run;
  run.reserved = true;
  const Lines lines = Tables(s, run);
  const std::size_t attr = IndexOf(lines, "  Attribute reserved buffer dump");
  ASSERT_LT(attr, lines.size());
  EXPECT_EQ(lines[attr - 1], " ");
  EXPECT_EQ(lines[attr + 1], " ");
  EXPECT_EQ(lines[attr + 2].substr(0, 10), "    0 000 ");
  EXPECT_NE(lines[attr + 2].find("abcdefgh"), std::string::npos);
  EXPECT_NE(lines[attr + 3].find("ijkl    "), std::string::npos);
  EXPECT_EQ(lines[attr + 4], " ");
  EXPECT_EQ(lines[attr + 5], "  Threshold reserved buffer dump");
  EXPECT_EQ(lines[attr + 6], " ");
  EXPECT_NE(lines[attr + 7].find("T       "), std::string::npos);
  // 150 bytes: 19 lines and a blank before the 6th, 11th and 16th.
  EXPECT_EQ(lines.size(), attr + 7 + 22);
}

TEST(AttributeTablesTest, ThresholdDumpCoversWhatTheDriverReturned) {
  Sectors s;
  s.attr(0, 1, 0, 100, 100, {});
  TableRun run;
  run.reserved = true;
  auto dumpLines = [&](std::uint32_t returned) {
    run.returned = returned;
    const Lines lines = Tables(s, run);
    const std::size_t at = IndexOf(lines, "  Threshold reserved buffer dump");
    EXPECT_LT(at, lines.size());
    return lines.size() - at - 2;
  };
  EXPECT_EQ(dumpLines(528), 22u);
  EXPECT_EQ(dumpLines(400), 3u);  // 22 bytes
  EXPECT_EQ(dumpLines(379), 1u);
  EXPECT_EQ(dumpLines(378), 0u);
  EXPECT_EQ(dumpLines(16), 0u);
  EXPECT_EQ(dumpLines(0), 0u);
  // A count beyond the record cannot read past the sector.
  EXPECT_EQ(dumpLines(0xFFFFFFFFu), 22u);

  run.thresholdsValid = false;
  run.returned = 528;
  EXPECT_FALSE(ContainsText(Tables(s, run), "Threshold reserved buffer dump"));
}

TEST(AttributeTablesTest, ReferenceTextsForEachReportedAttribute) {
  Sectors s;
  s.attr(0, 1, 0, 100, 100, {});
  s.attr(3, 5, 0, 100, 100, {});
  s.attr(4, 194, 0, 100, 100, {});
  const Lines plain = Tables(s);
  TableRun run;
  run.help = kHelpFull;
  const Lines lines = Tables(s, run);
  // The help part starts where the plain report ends, less the legend.
  const std::size_t tail = plain.size() - 4 + 25;
  ASSERT_EQ(lines.size(), tail + 1 + 1 + 4 + 1 + 12 + 1 + 4);
  EXPECT_EQ(lines[tail], " ");
  EXPECT_EQ(lines[tail + 1], " ");
  EXPECT_EQ(lines[tail + 2], "Raw Read Error Rate");
  EXPECT_EQ(lines[tail + 6], " ");
  EXPECT_EQ(lines[tail + 7], "Reallocated Sectors Count");
  EXPECT_EQ(lines[tail + 19], " ");
  EXPECT_EQ(lines[tail + 20], "Temperature");

  // Any other help level adds only the closing blank line.
  run.help = 3;
  const Lines some = Tables(s, run);
  ASSERT_EQ(some.size(), plain.size() + 1);
  EXPECT_EQ(some.back(), " ");
}

TEST(AttributeTablesTest, PlaceholdersPrintNothingAndUnknownIdsSaySo) {
  Sectors s;
  s.attr(0, 97, 0, 100, 100, {});
  s.attr(1, 178, 0, 100, 100, {});
  s.attr(2, 229, 0, 100, 100, {});
  s.attr(3, 178, 0, 100, 100, {});
  TableRun run;
  run.help = kHelpFull;
  const Lines lines = Tables(s, run);
  const Lines tail(lines.end() - 5, lines.end());
  const Lines expected = {" ", " ", "Unknown attribute ", " ", "Unknown attribute "};
  EXPECT_EQ(tail, expected);
  EXPECT_NE(lines[lines.size() - 6], " ");
}

// ---------------------------------------------------------------------------
// A whole table run over each real capture: the structure stays intact and
// every line keeps the width of its table.

std::vector<std::string> CaptureFiles() {
  std::vector<std::string> files;
  const std::string dir = std::string(DT_TESTDATA_DIR) + "/ata-captures/";
  for (const char* name :
       {"FUJITSU_MHY2120BH--0084000D.cap", "FUJITSU_MHY2120BH--0085000B.cap",
        "FUJITSU_MHZ2160BH_G1--0084000A.cap", "INTEL_SSDSA2MH080G1GC--045C8820.cap",
        "Maxtor_96147H8--BAC51KJ0.cap", "SAMSUNG_HD501LJ--CR100-12.cap",
        "SAMSUNG_MMCQE28G8MUP--0VA_VAM08L1Q.cap", "ST320410A--3.39.cap", "ST9100821AS--3.CME.cap",
        "WDC_WD2500JB--00REA0-20.00K20.cap", "WDC_WD5000AAKS--00TMA0-12.01C01.cap"})
    files.push_back(dir + name);
  return files;
}

TEST(AttributeTablesTest, EveryCaptureGivesOneRowPerSlotOfEqualWidth) {
  for (const std::string& file : CaptureFiles()) {
    SCOPED_TRACE(file);
    AtaCapture cap;
    std::string error;
    ASSERT_TRUE(ReadAtaCapture(file, &cap, &error)) << error;
    ASSERT_TRUE(cap.hasSmartData && cap.hasThresholds);
    Sectors s;
    s.d = cap.smartData;
    s.t = cap.thresholds;
    TableRun run;
    run.reserved = true;
    const Lines lines = Tables(s, run);
    int slots = 0;
    for (int i = 0; i < 30; ++i) slots += (s.d[2 + 12 * i] != 0 || s.t[2 + 12 * i] != 0);
    // Every listed slot has a row, and all rows of the main table (reserved
    // layout: every column has a fixed width) are equally wide.
    std::size_t rows = 0;
    const std::size_t width = CharCount(lines[4]);
    for (std::size_t i = 3; i < lines.size() && lines[i].rfind("PF - ", 0) != 0; ++i) {
      if (lines[i] == " ") continue;
      ++rows;
      EXPECT_EQ(CharCount(lines[i]), width) << lines[i];
    }
    EXPECT_EQ(rows, static_cast<std::size_t>(slots));
  }
}

// ---------------------------------------------------------------------------
// The report through the ATA object, on a simulated drive that answers from a
// capture and fails the commands it is told to.

std::string CapturePath(const std::string& name) {
  return std::string(DT_TESTDATA_DIR) + "/ata-captures/" + name;
}

std::unique_ptr<Platform> CaptureMachine(const std::string& capture, const std::string& fail = "") {
  std::string json = R"({"disks": [{"capture": ")" + CapturePath(capture) + "\"";
  if (!fail.empty()) json += ", \"fail\": " + fail;
  json += "}]}";
  std::string error;
  std::unique_ptr<Platform> p = ParseSimMachine(json, "", "test.json", &error);
  EXPECT_TRUE(p) << error;
  return p;
}

const char* const kWdc = "WDC_WD5000AAKS--00TMA0-12.01C01.cap";
const char* const kFujitsu = "FUJITSU_MHY2120BH--0084000D.cap";

Lines Attributes(TIDE_SMART& smart, bool reserved, int help) {
  Lines out;
  ReportAttributes(smart, reserved, help, [&](const std::string& l) { out.push_back(l); });
  return out;
}

TEST(ReportAttributesTest, NothingWhenTheDriveIsNotOpen) {
  ScopedPlatform sys(CaptureMachine(kWdc));
  TIDE_SMART smart;
  EXPECT_TRUE(Attributes(smart, true, kHelpFull).empty());
}

TEST(ReportAttributesTest, RefusedSmartEnableEndsTheReport) {
  ScopedPlatform sys(CaptureMachine(kWdc, R"({"enable": 5})"));
  TIDE_SMART smart;
  ASSERT_TRUE(smart.OpenDrive(0));
  EXPECT_EQ(Attributes(smart, true, kHelpFull), Lines{"No support SMART"});
}

TEST(ReportAttributesTest, FailedDataReadGivesBothErrorTexts) {
  ScopedPlatform sys(CaptureMachine(kWdc, R"({"data": 5, "driver_error": 4})"));
  TIDE_SMART smart;
  ASSERT_TRUE(smart.OpenDrive(0));
  const Lines lines = Attributes(smart, false, kHelpNone);
  const Lines expected = {
      "Support SMART  Attribute request return 0 bytes  Cheksum 0",
      "ATTR read error : " + SystemErrorText(5) + " " + DriverErrorText(4),
  };
  EXPECT_EQ(lines, expected);
}

TEST(ReportAttributesTest, FailedThresholdReadLeavesTheThresholdsOut) {
  ScopedPlatform sys(CaptureMachine(kWdc, R"({"thresholds": 5})"));
  TIDE_SMART smart;
  ASSERT_TRUE(smart.OpenDrive(0));
  const Lines lines = Attributes(smart, true, kHelpNone);
  const std::size_t revision =
      IndexOf(lines, "Attribute Structure Revision 16 0  THRESHOLD read Error");
  ASSERT_LT(revision + 1, lines.size());
  EXPECT_EQ(lines[revision + 1], " ");
  const std::string row = lines[RowOf(lines, 5)];
  EXPECT_TRUE(row.ends_with("  63   0   0   0   0   0     0   !")) << row;
  EXPECT_TRUE(ContainsText(lines, "  Attribute reserved buffer dump"));
  EXPECT_FALSE(ContainsText(lines, "Threshold reserved buffer dump"));
  // The decoded values still follow.
  EXPECT_TRUE(ContainsText(lines, " 624 dey 16:00:00"));
}

// The object-driven report is the status and table text of the sectors the
// drive returns, after the line with the byte count and checksum.
TEST(ReportAttributesTest, ReportsWhatTheDriveReturned) {
  for (const char* capture : {kWdc, kFujitsu}) {
    SCOPED_TRACE(capture);
    AtaCapture cap;
    std::string error;
    ASSERT_TRUE(ReadAtaCapture(CapturePath(capture), &cap, &error)) << error;
    ScopedPlatform sys(CaptureMachine(capture));
    for (bool reserved : {false, true}) {
      for (int help : {kHelpNone, 2, kHelpFull}) {
        TIDE_SMART smart;
        ASSERT_TRUE(smart.OpenDrive(0));
        const Lines lines = Attributes(smart, reserved, help);
        Lines expected = {"Support SMART  Attribute request return 528 bytes  Cheksum " +
                          std::to_string(cap.smartData[511])};
        auto add = [&](const std::string& l) { expected.push_back(l); };
        ReportSmartStatus(cap.smartData.data(), reserved, help, add);
        SmartThresholds t{cap.thresholds.data(), true, 528};
        const std::string model = smart.GetModel();
        ReportAttributeTables(
            cap.smartData.data(), t,
            [&](std::uint8_t id, const std::uint8_t* raw) {
              return DecodeRawValue(model, id, raw);
            },
            reserved, help, add);
        EXPECT_EQ(lines, expected);
      }
    }
  }
}

TEST(ReportAttributesTest, PowerOnTimeFollowsTheDrivesModel) {
  {
    ScopedPlatform sys(CaptureMachine(kFujitsu));
    TIDE_SMART smart;
    ASSERT_TRUE(smart.OpenDrive(0));
    // 2208 in the raw value: seconds on a Fujitsu drive.
    EXPECT_TRUE(ContainsText(Attributes(smart, false, kHelpNone), " 00:36:48"));
  }
  {
    ScopedPlatform sys(CaptureMachine(kWdc));
    TIDE_SMART smart;
    ASSERT_TRUE(smart.OpenDrive(0));
    // 14992 hours.
    EXPECT_TRUE(ContainsText(Attributes(smart, false, kHelpNone), " 624 dey 16:00:00"));
  }
}

TEST(ReportSmartTest, OpenFailureIsTheOnlyLine) {
  ScopedPlatform sys(CaptureMachine(kWdc, R"({"open": 5})"));
  TIDE_SMART smart;
  Lines lines;
  ReportSmart(
      smart, 0, true, [&](const std::string& l) { lines.push_back(l); }, kHelpFull);
  ASSERT_FALSE(smart.IsOpen);
  EXPECT_EQ(lines, Lines{"Open Error " + SystemErrorText(smart.LastError)});
}

TEST(ReportSmartTest, VersionDriveInfoAndSmartPartInOrder) {
  ScopedPlatform sys(CaptureMachine(kWdc));
  Lines expected;
  auto add = [&](const std::string& l) { expected.push_back(l); };
  {
    TIDE_SMART ref;
    ASSERT_TRUE(ref.OpenDrive(0));
    ReportVersion(ref, add);
    add(" ");
    ReportDriveInfo(ref, add);
    add(" ");
    ReportAttributes(ref, false, kHelpNone, add);
  }
  TIDE_SMART smart;
  Lines lines;
  ReportSmart(
      smart, 0, false, [&](const std::string& l) { lines.push_back(l); }, kHelpNone);
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(lines[0].rfind("Version     = ", 0), 0u);
  EXPECT_EQ(lines[3], " ");
  // The caller closes the drive.
  EXPECT_TRUE(smart.IsOpen);
}

}  // namespace
}  // namespace dt
