#include "ata/identify_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ata/fake_platform.h"
#include "base/text.h"
#include "platform/sim/ata_capture.h"

namespace dt {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
constexpr IdentifyLanguage kEn = IdentifyLanguage::English;
constexpr IdentifyLanguage kRu = IdentifyLanguage::Russian;

// An IDENTIFY block built word by word.
struct Block {
  std::array<std::uint8_t, 512> bytes{};

  Block& Set(int n, std::uint16_t v) {
    bytes[2 * n] = static_cast<std::uint8_t>(v);
    bytes[2 * n + 1] = static_cast<std::uint8_t>(v >> 8);
    return *this;
  }
  // Every word 0xFFFF except where a value switches items off: all
  // revisions claimed, a valid hardware reset word, a reported password code.
  static Block Busy() {
    Block b;
    b.bytes.fill(0xFF);
    b.Set(80, 0x7FFE).Set(93, 0x7FFF).Set(92, 0xFFFE);
    return b;
  }
};

Lines Report(const std::array<std::uint8_t, 512>& bytes, IdentifyLanguage language) {
  TIDE_SMART s;
  std::copy(bytes.begin(), bytes.end(), s.IdentifyResult.bBuffer);
  s.IdentifyValid = true;
  Lines lines;
  WriteIdentifyReport(
      s, [&](const std::string& l) { lines.push_back(l); }, language);
  return lines;
}
Lines Report(const Block& b, IdentifyLanguage language = kEn) {
  return Report(b.bytes, language);
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}
// Lines that begin with a prefix.
Lines Starting(const Lines& lines, const std::string& prefix) {
  Lines r;
  for (const auto& l : lines)
    if (StartsWith(l, prefix)) r.push_back(l);
  return r;
}
bool Has(const Lines& lines, const std::string& prefix) {
  return !Starting(lines, prefix).empty();
}

// A word line begins with an offset prefix ("  0: ", "392: ").
bool IsWordLine(const std::string& l) {
  return l.size() >= 5 && l[3] == ':' && l[4] == ' ' && l[2] >= '0' && l[2] <= '9';
}
// The lines under the first word line that begins with `prefix`, up to the
// next word line.
Lines Under(const Lines& lines, const std::string& prefix) {
  Lines r;
  auto it = std::find_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return StartsWith(l, prefix); });
  if (it == lines.end()) return r;
  for (++it; it != lines.end() && !IsWordLine(*it); ++it) r.push_back(*it);
  return r;
}
// The bit numbers of the bit lines in `lines`.
std::vector<int> BitsOf(const Lines& lines) {
  std::vector<int> bits;
  for (const auto& l : lines)
    if (l.size() > 12 && l.compare(0, 5, "     ") == 0 && l[12] == ' ')
      bits.push_back(std::stoi(l.substr(8, 4)));
  return bits;
}

class IdentifyReportTest : public ::testing::Test {
 private:
  ScopedNumberFormat english_{{",", "."}};
};

// ---------------------------------------------------------------------------
// Line pieces

TEST(IdentifyLinePieces, OffsetsBitLinesAndYesNo) {
  EXPECT_EQ(OffsetPrefix(0), "  0: ");
  EXPECT_EQ(OffsetPrefix(103), "103: ");
  EXPECT_EQ(BitLine(0x20, 5, "supported", "not supported"), "   5 1  supported");
  EXPECT_EQ(BitLine(0x7FFF, 15, "ATAPI device", "ATA device"), "  15 0  ATA device");
  EXPECT_EQ(BitLine(1, 0, "", ""), "   0 1  ");
  EXPECT_EQ(LabelledBitLine(0, 2, "The fields reported in word 88 are ", "valid", "invalid"),
            "   2 0  The fields reported in word 88 are invalid");
  EXPECT_EQ(YesNoText(0, kEn), "No");
  EXPECT_EQ(YesNoText(1, kRu), "Да");
  EXPECT_EQ(YesNoText(0, kRu), "Нет");
  EXPECT_EQ(YesNoText(65535, kRu), "Unknown 65535");
}

// ---------------------------------------------------------------------------
// Through the drive: language choice, failures, a fresh IDENTIFY every time

class IdentifyThroughDriveTest : public IdentifyReportTest {
 protected:
  void SetUp() override {
    IdentifyReportTest::SetUp();
    auto f = fake::MakeFakeWithCapture("SAMSUNG_HD501LJ--CR100-12.cap");
    ASSERT_TRUE(f->capture);
    fake_ = f.get();
    scope_ = std::make_unique<ScopedPlatform>(std::move(f));
  }
  void TearDown() override {
    scope_.reset();
    IdentifyReportTest::TearDown();
  }
  Lines Run(TIDE_SMART& s, int language) {
    Lines lines;
    ReportIdentify(
        s, [&](const std::string& l) { lines.push_back(l); }, language);
    return lines;
  }
  fake::FakeAtaPlatform* fake_ = nullptr;

 private:
  std::unique_ptr<ScopedPlatform> scope_;
};

TEST_F(IdentifyThroughDriveTest, LanguageNumberChoosesTheReport) {
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  const Lines english = Run(s, kIdentifyEnglish);
  ASSERT_GT(english.size(), 2u);
  EXPECT_EQ(english[0], "Identify Block Report");
  EXPECT_EQ(english[1], "");
  EXPECT_EQ(Run(s, 0), english);
  EXPECT_EQ(Run(s, 2), english);
  EXPECT_EQ(Run(s, -7), english);
  const Lines russian = Run(s, kIdentifyRussian);
  EXPECT_EQ(russian[0], "Identify Block");
  EXPECT_EQ(russian[1], "");
  EXPECT_EQ(russian.size(), english.size());
}

TEST_F(IdentifyThroughDriveTest, NothingWithoutAnOpenDriveOrIdentify) {
  TIDE_SMART closed;
  EXPECT_TRUE(Run(closed, kIdentifyEnglish).empty());
  EXPECT_TRUE(Run(closed, kIdentifyRussian).empty());
  EXPECT_TRUE(fake_->requests.empty());

  fake_->failIdentify = true;
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  EXPECT_TRUE(Run(s, kIdentifyEnglish).empty());
  EXPECT_TRUE(Run(s, kIdentifyRussian).empty());
}

TEST_F(IdentifyThroughDriveTest, EveryReportSendsIdentifyAgain) {
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  const std::string word47 =
      " 94:  F Word 47: Maximum number of sectors per interrupt (for READ/WRITE MULTIPLE): ";
  EXPECT_EQ(Starting(Run(s, 1), word47), Lines{word47 + "16"});
  fake_->capture->identify[94] = 8;  // the drive now answers differently
  EXPECT_EQ(Starting(Run(s, 1), word47), Lines{word47 + "8"});
  EXPECT_EQ(fake_->RequestsWith(SMART_RCV_DRIVE_DATA).size(), 2u);
}

// ---------------------------------------------------------------------------
// Whole reports of real drives, checked line by line

TEST_F(IdentifyReportTest, GoldenReports) {
  const struct {
    const char* capture;
    const char* golden;
    IdentifyLanguage language;
  } cases[] = {
      {"SAMSUNG_HD501LJ--CR100-12.cap", "SAMSUNG_HD501LJ.en.txt", kEn},
      {"SAMSUNG_HD501LJ--CR100-12.cap", "SAMSUNG_HD501LJ.ru.txt", kRu},
      {"Maxtor_96147H8--BAC51KJ0.cap", "Maxtor_96147H8.en.txt", kEn},
      {"Maxtor_96147H8--BAC51KJ0.cap", "Maxtor_96147H8.ru.txt", kRu},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.golden);
    AtaCapture cap;
    std::string error;
    ASSERT_TRUE(
        ReadAtaCapture(std::string(DT_TESTDATA_DIR) + "/ata-captures/" + c.capture, &cap, &error))
        << error;
    std::ifstream in(fs::path(DT_SOURCE_DIR) / "tests/ata/golden/identify" / c.golden);
    ASSERT_TRUE(in) << "missing golden file";
    Lines expected;
    for (std::string l; std::getline(in, l);) expected.push_back(l);
    const Lines actual = Report(cap.identify, c.language);
    for (std::size_t i = 0; i < std::min(expected.size(), actual.size()); ++i)
      ASSERT_EQ(actual[i], expected[i]) << "line " << i + 1;
    EXPECT_EQ(actual.size(), expected.size());
  }
}

// ---------------------------------------------------------------------------
// Which lines the claimed revisions bring

// Words that a gate would show if it let them through.
Block OldWordsFilledIn(std::uint16_t word80) {
  Block b;
  b.Set(0, 0x0040).Set(1, 1000).Set(3, 16).Set(4, 1).Set(5, 2).Set(6, 63).Set(22, 4);
  b.Set(47, 0x8010).Set(48, 1).Set(49, 0x2F00).Set(51, 0x0200).Set(52, 0x0100);
  b.Set(53, 0x0007).Set(62, 0x0101).Set(64, 0x0003).Set(75, 0x001F).Set(80, word80);
  return b;
}

TEST_F(IdentifyReportTest, Ata6To8Only) {
  const Lines lines = Report(OldWordsFilledIn(0x01C0));
  for (const char* absent :
       {"  2: ", "  6: ", "  8: ", " 10: ", " 12: ", " 96: ", "103: ", "105: ", "124: ", "125: "})
    EXPECT_FALSE(Has(lines, absent)) << absent;
  EXPECT_EQ(BitsOf(Under(lines, "  0: ")), (std::vector<int>{15, 7, 2}));
  EXPECT_EQ(BitsOf(Under(lines, "106: ")), (std::vector<int>{2, 1}));
  for (const char* present : {"138: ", "152: ", "156: ", "158: ", "238: ", "240: "})
    EXPECT_TRUE(Has(lines, present)) << present;
  EXPECT_EQ(BitsOf(Under(lines, "119: ")), (std::vector<int>{7, 6, 5, 4, 0}));
  EXPECT_EQ(Starting(lines, "150: "), Lines{"150: OF Word 75: Maximum queue depth: 32"});
}

TEST_F(IdentifyReportTest, Ata4To8) {
  const Lines lines = Report(OldWordsFilledIn(0x01F0));
  for (const char* present : {"  2: ", "  6: ", " 12: ", "103: "})
    EXPECT_TRUE(Has(lines, present)) << present;
  for (const char* absent : {"  8: ", " 10: ", " 96: ", "105: "})
    EXPECT_FALSE(Has(lines, absent)) << absent;
  EXPECT_EQ(Starting(lines, "150: "),
            Lines{"150: OF Word 75: Maximum queue depth: 32 (in ATA-4 31)"});
  EXPECT_EQ(Starting(Report(OldWordsFilledIn(0x01F0), kRu), "150: "),
            Lines{"150: OF Word 75: Максимальная глубина очереди: 32 (согласно ATA-4 31)"});
}

TEST_F(IdentifyReportTest, Ata4AndAta8WithoutAta5To7GivesBothQueueDepths) {
  EXPECT_EQ(Starting(Report(OldWordsFilledIn(0x0110)), "150: "),
            (Lines{"150: OF Word 75: Maximum queue depth: 31",
                   "150: OF Word 75: Maximum queue depth: 32 (in ATA-4 31)"}));
  EXPECT_EQ(Starting(Report(OldWordsFilledIn(0x0010)), "150: "),
            Lines{"150: OF Word 75: Maximum queue depth: 31"});
}

TEST_F(IdentifyReportTest, NoRevisionNamedMeansAta1) {
  Lines lines = Report(OldWordsFilledIn(0x0000));
  for (const char* present :
       {"  2: ", "  6: ", "  8: ", " 10: ", " 12: ", " 44: ", " 94: ", "103: ", "105: ", "124: "})
    EXPECT_TRUE(Has(lines, present)) << present;
  EXPECT_EQ(Starting(lines, " 96: "), Lines{" 96:    Word 48: can perform doubleword I/O: Yes"});
  EXPECT_EQ(BitsOf(Under(lines, " 98: ")), (std::vector<int>{9, 8}));
  EXPECT_EQ(BitsOf(Under(lines, "106: ")), (std::vector<int>{0}));
  EXPECT_EQ(BitsOf(Under(lines, "  0: ")), (std::vector<int>{7, 6}));
  for (const char* absent : {"128: ", "130: ", "136: ", "150: ", "160: ", "164: ", "176: "})
    EXPECT_FALSE(Has(lines, absent)) << absent;

  // Cycle times in words 65-68 mean ATA-2 as well; ATA-2 does not hide word 48.
  Block ata2 = OldWordsFilledIn(0x0000);
  ata2.Set(66, 120);
  lines = Report(ata2);
  for (const char* present :
       {" 96: ", "103: ", "105: ", "124: ", "125: ", "128: ", "130: ", "132: ", "134: ", "136: "})
    EXPECT_TRUE(Has(lines, present)) << present;
  EXPECT_EQ(BitsOf(Under(lines, " 98: ")), (std::vector<int>{13, 11, 10, 9, 8}));
}

TEST_F(IdentifyReportTest, Word128EnhancedEraseGateDiffersByLanguage) {
  Block b;
  b.Set(128, 0x0021).Set(80, 0x0100);  // ATA-8 only
  EXPECT_EQ(BitsOf(Under(Report(b, kEn), "256: ")), (std::vector<int>{8, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(BitsOf(Under(Report(b, kRu), "256: ")), (std::vector<int>{8, 4, 3, 2, 1, 0}));
  b.Set(80, 0x0080);  // ATA-7
  EXPECT_EQ(BitsOf(Under(Report(b, kRu), "256: ")), (std::vector<int>{8, 5, 4, 3, 2, 1, 0}));
}

// ---------------------------------------------------------------------------
// Single words

TEST_F(IdentifyReportTest, Word59SanitizeBitsCountWithinTheHighByte) {
  Block b;
  b.Set(80, 0x0100).Set(59, 0xD110);
  const Lines expected{
      "119: M  Word 59: Multiple sector setting and Sanitize Device feature set (high byte)",
      "           7 1  Overwrite method:               supported",
      "           6 1  Block Erase method:             supported",
      "           5 0  Cryptographic Scramble method:  not supported",
      "           4 1  Sanitize Device methods:        supported",
      "      V    0 1  Multiple sector setting is valid",
      "118:  V Word 59: Low byte. Current number of sectors per interrupt for R/W Multiple "
      "command: 16"};
  Lines lines = Report(b);
  auto at = std::find(lines.begin(), lines.end(), expected[0]);
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(Lines(at, at + 7), expected);

  lines = Report(b, kRu);
  EXPECT_EQ(Under(lines, "119: "),
            (Lines{"           7 1  Поддерживает метод Overwrite",
                   "           6 1  Поддерживает метод Block Erase",
                   "           5 0  Не поддерживает метод Cryptographic Scramble",
                   "           4 1  Поддерживает методы Sanitize Device",
                   "      V    0 1  Число секторов для READ/WRITE MULTIPLE установлено"}));
}

TEST_F(IdentifyReportTest, UltraDmaLinesOnlyForNonZeroBytes) {
  Block b;
  b.Set(80, 0x0010).Set(88, 0x0000);
  EXPECT_FALSE(Has(Report(b), "176: "));
  EXPECT_FALSE(Has(Report(b), "177: "));
  b.Set(88, 0x203F);
  const Lines lines = Report(b);
  EXPECT_EQ(Starting(lines, "176: "),
            Lines{"176: O  Word 88: UltraDMA transfer modes supported: 0,1,2,3,4,5"});
  EXPECT_EQ(Starting(lines, "177: "), Lines{"177: O  Word 88: UltraDMA transfer mode active: 5"});
  b.Set(88, 0x0100);  // a mode active, none listed as supported
  EXPECT_FALSE(Has(Report(b), "176: "));
  EXPECT_TRUE(Has(Report(b), "177: O  Word 88: UltraDMA transfer mode active: 0"));
}

TEST_F(IdentifyReportTest, Word2NamedValuesWhateverTheRevision) {
  const struct {
    std::uint16_t word2;
    Lines names;
  } cases[] = {
      {0x37C8,
       {"Device requires SET FEATURES subcommand to spin-up after",
        "power-up and IDENTIFY DEVICE response is incomplete"}},
      {0x738C,
       {"Device requires SET FEATURES subcommand to spin-up after",
        "power-up and IDENTIFY DEVICE response is complete"}},
      {0x8C73,
       {"Device does not require SET FEATURES subcommand to spin-up after",
        "power-up and IDENTIFY DEVICE response is incomplete"}},
      {0xC837,
       {"Device does not require SET FEATURES subcommand to spin-up after",
        "power-up and IDENTIFY DEVICE response is complete"}},
      {0x1234, {}},
  };
  for (const auto& c : cases) {
    Block b;
    b.Set(2, c.word2).Set(80, 0x0010);  // ATA-4: no word 2 line, the names still
    Lines names;
    for (const auto& l : Starting(Report(b), std::string(14, ' '))) names.push_back(l.substr(14));
    EXPECT_EQ(names, c.names) << c.word2;
  }
  Block b;
  b.Set(2, 0x37C8).Set(80, 0x0040);
  EXPECT_EQ(Starting(Report(b), "  4: "), Lines{"  4: OV Word 2: Specific configuration: 0x37C8"});
}

TEST_F(IdentifyReportTest, Word49AlignmentReportingNeedsWord69Bit13) {
  Block b;
  b.Set(80, 0x0100).Set(49, 0x2F02);
  EXPECT_EQ(BitsOf(Under(Report(b), " 98: ")), (std::vector<int>{13, 11, 10, 9, 8}));
  b.Set(69, 0x2000);
  const Lines under = Under(Report(b), " 98: ");
  ASSERT_EQ(under.size(), 6u);
  EXPECT_EQ(under[5],
            "      V   1:0 2  The device shall report command aborted when an Alignment Error "
            "occurs");
  b.Set(49, 0x2F03);
  EXPECT_EQ(Under(Report(b), " 98: ")[5], "      V   1:0 3  Reserved");
}

TEST_F(IdentifyReportTest, Word93HardwareResetResult) {
  Block b;
  b.Set(80, 0x0020);
  for (std::uint16_t off : {0x0000, 0xC000, 0x8000})
    EXPECT_FALSE(Has(Report(b.Set(93, off)), "186: ")) << off;
  b.Set(93, 0x4000 | (2u << 9) | (3u << 1) | 0x0008);
  EXPECT_EQ(
      Under(Report(b), "186:    Word 93: Hardware reset result."),
      (Lines{"      V   13 0  Device detected CBLID- < ViL",
             "      V   11 0  Device 1 did not assert PDIAG-.",
             "      V 9-10 10 Device 1 determined the device number:  the CSEL signal was used",
             "      V    8 0  ",
             "      F    6 0  Device 0 does not respond when Device 1 is selected.",
             "      V    5 0  Device 0 did not detect the assertion of DASP-.",
             "      V    4 0  Device 0 did not detect the assertion of PDIAG-:",
             "      V    3 1  Device 0 diagnostics: passed",
             "      V  1-2 11 Device 0 determined the device number:  some other method was "
             "used or the method is unknown",
             "      V    0 0  "}));
}

TEST_F(IdentifyReportTest, PasswordCodeRemovableStatusAndSizes) {
  Block b;
  b.Set(80, 0x0080).Set(92, 0xFFFE).Set(127, 0x0003);
  b.Set(95, 3).Set(106, 0x3003).Set(117, 0x0001).Set(118, 0x8000);
  b.Set(100, 0x6030).Set(101, 0x3A38);  // 976773168 sectors
  Lines lines = Report(b);
  EXPECT_TRUE(Has(lines, "184: OV Word 92: Master Password Revision Code : 65534"));
  EXPECT_EQ(Starting(lines, "254: "),
            Lines{"254: OF Word 127: Removable Media Status Notification feature set: 3 Reserved"});
  EXPECT_TRUE(
      Has(lines, "190:  F Word 95: Stream Minimum Request Size (in sectors): 3 (1536 bytes)"));
  EXPECT_EQ(Under(lines, "212: "),
            (Lines{"      F   13 1  Device has multiple logical sectors per physical sector.",
                   "          12 1  Device Logical Sector Longer than 256 Words",
                   "      F  0-3    Logical sectors per physical sector: 8"}));
  // The byte count of words 117-118 is doubled in 32 bits.
  EXPECT_TRUE(
      Has(lines, "234: OV Words 117-118 : Logical Sector Size (in words): 2147483649 (2 Bytes)"));
  EXPECT_TRUE(Has(lines,
                  "200: OV Words 100-103: Maximum user LBA for 48-bit address: 976773168 "
                  "465.76 GBytes (476940 MBytes)"));

  lines = Report(b, kRu);
  EXPECT_TRUE(Has(lines,
                  "200: OV Words 100-103: Максимальный LBA для 48-битной адресации: "
                  "976773168 465.76 Гбайт (476940 Мбайт)"));
  EXPECT_TRUE(Has(lines,
                  "254: OF Word 127: Уведомление о состоянии сменного носителя: 3 "
                  "Зарезервировано"));
  EXPECT_TRUE(Has(lines,
                  "190:  F Word 95: Минимальный размер запроса Streaming (в секторах): 3 "
                  "(1536 байт)"));

  b.Set(92, 0xFFFF);
  EXPECT_FALSE(Has(Report(b), "184: "));
  b.Set(92, 0x0000);
  EXPECT_FALSE(Has(Report(b), "184: "));
  b.Set(127, 0x0001);
  EXPECT_TRUE(Has(Report(b),
                  "254: OF Word 127: Removable Media Status Notification feature set: "
                  "supported"));
}

TEST_F(IdentifyReportTest, StringsAreCleanedAndNeverTrimmed) {
  Block b;
  b.Set(10, 0x0741);  // serial: 0x07 then 'A'
  const Lines lines = Report(b);
  EXPECT_EQ(Starting(lines, " 20: "),
            Lines{" 20: MF Word 10-19: Serial number:      A" + std::string(18, ' ')});
  EXPECT_EQ(Starting(lines, " 54: "),
            Lines{" 54: MF Word 27-46: Model number:      " + std::string(40, ' ')});
  EXPECT_EQ(Starting(Report(b, kRu), " 46: "),
            Lines{" 46: MF Word 23-26: Версия прошивки: " + std::string(8, ' ')});
}

TEST_F(IdentifyReportTest, ByteDumpsOnlyWhenTheBytesAreNotAllZero) {
  // Dump line: offset in decimal and hex, the bytes in decimal, in hex and
  // as characters, 8 a line.
  const auto dump = [](const std::string& prefix, const std::string& dec, const std::string& hex,
                       const std::string& chars) {
    return prefix + " : " + PadRight(dec, 32) + " ! " + PadRight(hex, 24) + " ! " +
           PadRight(chars, 8) + " ! ";
  };
  const std::string dump4 = dump("    0 000", "  65  66   0 127", " 41 42 00 7F", "AB");
  Block b;
  b.Set(80, 0x0020).Set(7, 0x4241).Set(8, 0x7F00);
  EXPECT_EQ(Under(Report(b),
                  " 14: OV Word 7-8: Reserved for assignment by the CompactFlash "
                  "Association: "),
            Lines{dump4});
  EXPECT_EQ(
      Under(Report(b, kRu), " 14: OV Word 7-8: Зарезервировано для CompactFlash Association: "),
      Lines{dump4});

  b.Set(80, 0x0010);  // ATA-4: the vendor unique bytes, words 7-9
  EXPECT_EQ(Under(Report(b), " 14:  X Word 7-9: Vendor unique: "),
            Lines{dump("    0 000", "  65  66   0 127   0   0", " 41 42 00 7F 00 00", "AB")});
  b.Set(7, 0).Set(8, 0);
  EXPECT_FALSE(Has(Report(b), " 14: "));

  // Media serial number and manufacturer: headings always, dumps when set.
  b.Set(80, 0x0040);
  Lines lines = Report(b);
  EXPECT_TRUE(Under(lines, "352: O  Words 176-195: Current media serial number:").empty());
  EXPECT_EQ(lines.back(), "392: O  Words 196-205: Current media manufacturer:");
  b.Set(195, 0x0100).Set(205, 0x2020);
  lines = Report(b);
  const Lines serial = Under(lines, "352: ");
  ASSERT_EQ(serial.size(), 5u);  // 40 bytes, 8 a line
  EXPECT_EQ(serial[4],
            dump("   32 020", "   0   0   0   0   0   0   0   1", " 00 00 00 00 00 00 00 01", ""));
  const Lines maker = Under(lines, "392: ");
  ASSERT_EQ(maker.size(), 3u);  // 20 bytes, offsets from the start of the field
  EXPECT_EQ(maker[2], dump("   16 010", "   0   0  32  32", " 00 00 20 20", "    "));
}

TEST_F(IdentifyReportTest, OffsetsAndIndents) {
  const Lines lines = Report(Block::Busy());
  ASSERT_GT(lines.size(), 3u);
  EXPECT_EQ(lines[2], "  0: M  Word 0: General configuration");
  EXPECT_EQ(Starting(lines, "103: "), Lines{"103:    Word 51: PIO data transfer mode number: 255"});
  EXPECT_EQ(lines.back(), "   16 010 :  255 255 255 255" + std::string(16, ' ') +
                              " !  FF FF FF FF" + std::string(12, ' ') + " ! " +
                              std::string(8, ' ') + " ! ");
  // Every line after the heading is a word line, a bit or fixed line with its
  // indent column, a value name of word 2, or a dump line.
  for (std::size_t i = 2; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    const bool indent = StartsWith(l, "      F ") || StartsWith(l, "      V ") ||
                        StartsWith(l, std::string(8, ' '));
    const bool dump = l == " " || (l.size() > 12 && l.compare(9, 3, " : ") == 0);
    EXPECT_TRUE(IsWordLine(l) || indent || dump) << l;
  }
}

// ---------------------------------------------------------------------------
// The Russian report lines up as the English one

// The leading part of a line that must agree between the two languages: the
// offset prefix and attribute column of a word line, the indent, bit number
// and value of a bit line, the literal head of a fixed line; a dump line
// agrees whole.
std::string Frame(const std::string& l) {
  if (IsWordLine(l)) return LeftChars(l, 8);
  if (StartsWith(l, std::string(14, ' '))) return LeftChars(l, 14);
  if (StartsWith(l, "     ")) return LeftChars(l, 16);
  return l;
}

TEST_F(IdentifyReportTest, RussianLinesKeepTheEnglishFrame) {
  std::vector<std::pair<std::string, std::array<std::uint8_t, 512>>> blocks;
  for (const auto& entry : fs::directory_iterator(fs::path(DT_TESTDATA_DIR) / "ata-captures")) {
    if (entry.path().extension() != ".cap") continue;
    AtaCapture cap;
    std::string error;
    ASSERT_TRUE(ReadAtaCapture(entry.path().string(), &cap, &error)) << error;
    blocks.emplace_back(entry.path().filename().string(), cap.identify);
  }
  ASSERT_GE(blocks.size(), 11u);
  Block busy = Block::Busy();
  busy.Set(80, 0x007E);  // ATA-1..6: the Russian report shows word 128 bit 5 too
  blocks.emplace_back("busy", busy.bytes);
  blocks.emplace_back("zero", Block().bytes);
  for (const auto& [name, bytes] : blocks) {
    SCOPED_TRACE(name);
    const Lines en = Report(bytes, kEn), ru = Report(bytes, kRu);
    ASSERT_EQ(en.size(), ru.size());
    for (std::size_t i = 2; i < en.size(); ++i) EXPECT_EQ(Frame(ru[i]), Frame(en[i])) << en[i];
  }
}

// Lines under a heading whose text after the label starts at one column: the
// value of each line is the longest of `values` that ends it.
std::vector<std::size_t> ValueColumns(const Lines& lines, const std::vector<std::string>& values) {
  std::vector<std::size_t> columns;
  for (const auto& l : lines) {
    std::size_t best = 0;
    bool found = false;
    for (const auto& v : values) {
      if (l.size() >= v.size() && l.compare(l.size() - v.size(), v.size(), v) == 0 &&
          (!found || CharCount(v) > best)) {
        best = CharCount(v);
        found = true;
      }
    }
    columns.push_back(found ? CharCount(l) - best : 0);
  }
  return columns;
}

TEST_F(IdentifyReportTest, EachLabelGroupHasOneValueColumnInEachLanguage) {
  const std::vector<std::string> values = {"supported",
                                           "not supported",
                                           "enabled",
                                           "disabled",
                                           "valid",
                                           "invalid",
                                           "required",
                                           "not required",
                                           "executed",
                                           "not executed",
                                           "поддерживается",
                                           "не поддерживается",
                                           "Поддерживается",
                                           " Не поддерживается",
                                           "поддерживаются",
                                           "не поддерживаются",
                                           "разрешен",
                                           "разрешена",
                                           "разрешено",
                                           "разрешены",
                                           "запрещен",
                                           "запрещена",
                                           "запрещено",
                                           "запрещены",
                                           "верны",
                                           "неверны",
                                           "верен",
                                           "неверен",
                                           "требуется",
                                           "не требуется",
                                           "выполнена",
                                           "не выполнена",
                                           "High",
                                           "Maximum",
                                           "Высокий",
                                           "Максимальный",
                                           "expired",
                                           "not expired",
                                           "исчерпан",
                                           "не исчерпан",
                                           "Yes",
                                           "No",
                                           "Да",
                                           "Нет"};
  // The heading of each group and its label width in English and Russian.
  const struct {
    const char* heading;
    std::size_t en, ru;
  } groups[] = {
      {"138: ", 68, 68}, {"152: ", 54, 54}, {"156: ", 32, 32}, {"158: ", 32, 32}, {"164: ", 40, 48},
      {"170: ", 40, 48}, {"166: ", 50, 50}, {"172: ", 50, 50}, {"168: ", 56, 56}, {"174: ", 56, 56},
      {"238: ", 55, 55}, {"240: ", 55, 55}, {"256: ", 25, 45},
  };
  for (const Block& b : {Block::Busy(), Block().Set(80, 0x0100)}) {
    for (IdentifyLanguage language : {kEn, kRu}) {
      const Lines lines = Report(b, language);
      for (const auto& g : groups) {
        SCOPED_TRACE(std::string(g.heading) + (language == kRu ? " ru" : " en"));
        Lines group;
        for (const auto& l : Under(lines, g.heading)) {
          // Not in the group: the bits without texts, the unpadded bit 7 of
          // words 83 and 86, and the unpadded "Security " of English word 128.
          if (CharCount(l) <= 16 || l.find("INCITS") != std::string::npos ||
              l.find("Security enabled") != std::string::npos ||
              l.find("Security disabled") != std::string::npos ||
              l.find("Security supported") != std::string::npos ||
              l.find("Security not supported") != std::string::npos)
            continue;
          group.push_back(l);
        }
        ASSERT_FALSE(group.empty());
        const std::size_t want = 16 + (language == kRu ? g.ru : g.en);
        const auto columns = ValueColumns(group, values);
        for (std::size_t i = 0; i < group.size(); ++i) EXPECT_EQ(columns[i], want) << group[i];
      }
    }
  }
}

TEST_F(IdentifyReportTest, WordLineGroupsLineUpInRussian) {
  Block b = Block::Busy();
  b.Set(80, 0x00FE).Set(81, 0x0052);  // ATA-1..7: the old geometry and the streaming words
  for (int n = 10; n <= 46; ++n) b.Set(n, 0x4141);
  const Lines ru = Report(b, kRu);
  // The values of one group start in one column, right after the padding.
  const struct {
    std::vector<std::string> prefixes;
    std::size_t column;
  } groups[] = {
      {{"  2: ", "  6: ", " 12: "}, 8 + 40}, {{" 20: ", " 46: ", " 54: "}, 8 + 29},
      {{"108: ", "110: ", "112: "}, 8 + 62}, {{"130: ", "132: ", "134: ", "136: "}, 8 + 72},
      {{"188: ", "189: "}, 8 + 58},          {{"192: ", "194: "}, 8 + 98},
      {{"160: ", "162: "}, 8 + 39},
  };
  for (const auto& g : groups) {
    for (const auto& p : g.prefixes) {
      const Lines found = Starting(ru, p);
      ASSERT_EQ(found.size(), 1u) << p;
      const std::string& l = found[0];
      EXPECT_EQ(LeftChars(l, g.column).back(), ' ') << l;
      EXPECT_NE(LeftChars(l, g.column + 1).back(), ' ') << l;
    }
  }
  EXPECT_EQ(Starting(ru, "160: ")[0],
            "160: M  Word 80: Поддерживаемые стандарты ATA: 1,2,3,4,5,6,7");
  EXPECT_EQ(Starting(ru, "162: ")[0],
            "162: M  Word 81: Версия стандарта ATA:         ATA8-ACS version 3b");
  EXPECT_EQ(Starting(ru, " 20: ")[0],
            " 20: MF Word 10-19: Серийный номер:  " + std::string(20, 'A'));
}

TEST_F(IdentifyReportTest, RussianWordsAgreeWithTheirLabels) {
  Block b = Block::Busy();
  b.Set(80, 0x01FE);
  const Lines ru = Report(b, kRu);
  const auto line = [&](const char* heading, int bit) {
    for (const auto& l : Under(ru, heading))
      if (BitsOf({l}) == std::vector<int>{bit}) return l;
    return std::string();
  };
  EXPECT_EQ(line("164: ", 14),
            "      F   14 1  " + PadRight("Команда NOP:", 48) + "поддерживается");
  EXPECT_EQ(line("170: ", 14), "      F   14 1  " + PadRight("Команда NOP:", 48) + "разрешена");
  EXPECT_EQ(line("170: ", 0),
            "      V    0 1  " + PadRight("Мониторинг состояния SMART:", 48) + "разрешен");
  EXPECT_EQ(line("106: ", 2), "      F    2 1  Данные в слове 88 верны");
  EXPECT_EQ(line("256: ", 8),
            "      V    8 1  " + PadRight("Уровень безопасности:", 45) + "Максимальный");
  EXPECT_EQ(line("256: ", 5),
            "      F    5 1  " + PadRight("\"Продвинутое\" стирание:", 45) + "поддерживается");
  EXPECT_EQ(line("256: ", 1),
            "      V    1 1  " + PadRight("Режим безопасности:", 45) + "разрешен");
  EXPECT_EQ(line(" 98: ", 13), "      F   13 1  Значения таймера режима ожидания стандартные");
  EXPECT_EQ(line("320: ", 15), "      F   15 1  CFA Power Mode 1: поддерживается");
  EXPECT_EQ(line("152: ", 9),
            "      F    9 1  " +
                PadRight("receipt of host initiated power management requests:", 54) +
                "Поддерживается");
}

}  // namespace
}  // namespace dt
