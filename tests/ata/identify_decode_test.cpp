#include "ata/identify_decode.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "base/text.h"

namespace dt {
namespace {

// An object holding a hand-made IDENTIFY block.
class Block {
 public:
  Block(std::initializer_list<std::pair<int, std::uint16_t>> words) {
    smart.IdentifyValid = true;
    for (const auto& [n, v] : words) Set(n, v);
  }
  void Set(int n, std::uint16_t v) {
    smart.IdentifyResult.bBuffer[2 * n] = static_cast<std::uint8_t>(v);
    smart.IdentifyResult.bBuffer[2 * n + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  TIDE_SMART smart;
};

// The ATA revisions 1..8 that a block claims, as a bit set (bit i = ATA-i).
unsigned ClaimedRevisions(const AtaClaims& c) {
  unsigned bits = 0;
  for (int i = 1; i <= 8; ++i)
    if (ClaimsAnyAta(c, i, i)) bits |= 1u << i;
  return bits;
}

class EnglishNumbers : public ::testing::Test {
 private:
  ScopedNumberFormat english_{{",", "."}};
};

TEST(AtaClaimsTest, WordEightyZeroMeansAtaOneAndCycleTimesAddAtaTwo) {
  Block plain({});
  const AtaClaims a(plain.smart);
  EXPECT_EQ(ClaimedRevisions(a), 1u << 1);
  EXPECT_FALSE(a[0]);
  EXPECT_FALSE(ClaimsAnyAta(a, 2, 8));
  EXPECT_TRUE(ClaimsAnyAta(a, 1, 8));

  for (int w : {65, 66, 67, 68}) {
    Block timed({{w, 120}});
    const AtaClaims b(timed.smart);
    EXPECT_EQ(ClaimedRevisions(b), (1u << 1) | (1u << 2)) << "word " << w;
    EXPECT_FALSE(ClaimsAnyAta(b, 3, 8));
  }

  // Cycle times do not add ATA-2 when word 80 names revisions itself.
  Block named({{80, 0x0010}, {66, 120}});
  EXPECT_EQ(ClaimedRevisions(AtaClaims(named.smart)), 1u << 4);
}

TEST(AtaClaimsTest, BitsOfWordEighty) {
  Block all({{80, 0xFFFF}});
  const AtaClaims a(all.smart);
  for (int i = 0; i < 15; ++i) EXPECT_TRUE(a[i]) << i;
  EXPECT_FALSE(a[15]);
  EXPECT_FALSE(a[-1]);

  Block modern({{80, 0x01F0}});
  const AtaClaims m(modern.smart);
  EXPECT_TRUE(ClaimsAnyAta(m, 4, 4));
  EXPECT_TRUE(ClaimsAnyAta(m, 1, 5));
  EXPECT_FALSE(ClaimsAnyAta(m, 1, 3));
  EXPECT_FALSE(ClaimsAnyAta(m, 8, 5));  // b below a
  EXPECT_FALSE(ClaimsAnyAta(m, 9, 20));
  EXPECT_TRUE(ClaimsAnyAta(m, -5, 4));

  const AtaClaims w = AtaClaims::FromWords(0x0000, 0, 0, 0, 1);
  EXPECT_EQ(ClaimedRevisions(w), (1u << 1) | (1u << 2));
}

TEST(IdentifyDecodeTest, VersionNames) {
  EXPECT_EQ(AtaVersionText(0x0000), "");
  EXPECT_EQ(AtaVersionText(0xFFFF), "");
  EXPECT_EQ(AtaVersionText(0x0001), "ATA (ATA-1) X3T9.2 781D prior to revision 4");
  EXPECT_EQ(AtaVersionText(0x000C), "ATA-3 X3T13 2008D revision 7 and 7a");
  EXPECT_EQ(AtaVersionText(0x0012), "ATA/ATAPI-4 published, ANSI NCITS 317-1998");
  EXPECT_EQ(AtaVersionText(0x001D), "ATA/ATAPI-7 published ANSI INCITS 397-2005.");
  EXPECT_EQ(AtaVersionText(0x0021), "ATA/ATAPI-7 T13 1532D version 4a");
  EXPECT_EQ(AtaVersionText(0x0022), "ATA/ATAPI-6 published, ANSI INCITS 361-2002");
  EXPECT_EQ(AtaVersionText(0x0052), "ATA8-ACS version 3b");
  EXPECT_EQ(AtaVersionText(0x0107), "ATA8-ACS version 2d");
  for (std::uint16_t gap : {0x001A, 0x001F, 0x0020, 0x0023, 0x0026, 0x0108, 0xFFFE})
    EXPECT_EQ(AtaVersionText(gap), "Unknown ATA 0x" + HexText(gap, 4));
  EXPECT_EQ(AtaVersionText(0x001A), "Unknown ATA 0x001A");
  EXPECT_EQ(AtaVersionText(0xABCD), "Unknown ATA 0xABCD");

  // Every code from 1 to 0x107 gives a text; the named ones never say unknown.
  int named = 0;
  for (int v = 1; v <= 0x107; ++v) {
    const std::string t = AtaVersionText(static_cast<std::uint16_t>(v));
    ASSERT_FALSE(t.empty()) << v;
    if (t.rfind("Unknown ATA 0x", 0) != 0) ++named;
  }
  EXPECT_EQ(named, 39);

  Block b({{81, 0x0042}});
  EXPECT_EQ(AtaVersionText(b.smart), "ATA8-ACS version 3f");
}

TEST(IdentifyDecodeTest, SupportAndUltraDmaSummaries) {
  Block b({{80, 0x00FE}, {88, 0x203F}});
  EXPECT_EQ(AtaSupportText(b.smart), "ATA-1,2,3,4,5,6,7");
  EXPECT_EQ(UltraDmaSupportedText(b.smart), "UltraDMA-0,1,2,3,4,5");
  EXPECT_EQ(UltraDmaSelectedText(b.smart), "UltraDMA-5");

  Block only0({{80, 0x0001}, {88, 0x0000}});
  EXPECT_EQ(AtaSupportText(only0.smart), "");
  EXPECT_EQ(UltraDmaSupportedText(only0.smart), "");
  EXPECT_EQ(UltraDmaSelectedText(only0.smart), "");

  // Bit 15 of word 80 is no revision; bit 14 is ATA-14.
  Block high({{80, 0xC000}, {88, 0xFF80}});
  EXPECT_EQ(AtaSupportText(high.smart), "ATA-14");
  EXPECT_EQ(UltraDmaSupportedText(high.smart), "UltraDMA-7");
  EXPECT_EQ(UltraDmaSelectedText(high.smart), "UltraDMA-0,1,2,3,4,5,6,7");
}

TEST(IdentifyDecodeTest, BitLists) {
  EXPECT_EQ(BitListText(3, 0, 1, 0x0003), "3,4");  // word 64: PIO modes 3 and 4
  EXPECT_EQ(BitListText(3, 0, 1, 0x0002), "4");
  EXPECT_EQ(BitListText(3, 0, 1, 0x00FC), "");  // bits outside the range
  EXPECT_EQ(BitListText(0, 0, 2, 0x0107), "0,1,2");
  EXPECT_EQ(BitListText(1, 1, 14, 0x8001), "");
  EXPECT_EQ(BitListText(0, 5, 4, 0xFFFF), "");            // last bit below first bit
  EXPECT_EQ(BitListText(0, 30, 40, 0xC0000000u), "0,1");  // bits end at 31
  EXPECT_EQ(BitListText(10, 8, 15, 0x8100), "10,17");
  EXPECT_EQ(PrefixedBitList(0, 0, 7, "UltraDMA-", 0), "");
  EXPECT_EQ(PrefixedBitList(0, 0, 7, "modes ", 0x81), "modes 0,7");
}

TEST_F(EnglishNumbers, SizeTexts) {
  EXPECT_EQ(SectorsToSizeText(976773168), "976773168 465.76 GBytes (476940 MBytes)");
  EXPECT_EQ(SectorsToSizeText(268435455), "268435455 128.00 GBytes (131071 MBytes)");
  EXPECT_EQ(SectorsToSizeText(0), "0 0.00 GBytes (0 MBytes)");
  EXPECT_EQ(SectorsToSizeText(2047), "2047 0.00 GBytes (0 MBytes)");
  EXPECT_EQ(SectorsToSizeText(4294967295u), "4294967295 2,048.00 GBytes (2097151 MBytes)");
  // A 48-bit count: more than 8 digits of gigabytes go to exponent form.
  EXPECT_EQ(SectorsToSizeText(0xFFFFFFFFFFFFull),
            "281474976710655 " + NumberText(281474976710655.0 / 2097152.0, 8, 2) +
                " GBytes (137438953471 MBytes)");
  EXPECT_EQ(SectorsToSizeText(976773168, " Гбайт (", " Мбайт)"),
            "976773168 465.76 Гбайт (476940 Мбайт)");

  SetNumberFormat({".", ","});
  EXPECT_EQ(SectorsToSizeText(4294967295u), "4294967295 2.048,00 GBytes (2097151 MBytes)");
}

TEST_F(EnglishNumbers, MultiWordValuesFromACapacityBlock) {
  Block b({{60, 0xFFFF}, {61, 0x0FFF}, {100, 0x6030}, {101, 0x3A38}, {102, 0}, {103, 0}});
  EXPECT_EQ(IdentifyDWord(b.smart, 60), 268435455u);
  EXPECT_EQ(IdentifyQWord(b.smart, 100), 976773168u);
  EXPECT_EQ(SectorsToSizeText(IdentifyDWord(b.smart, 60)),
            "268435455 128.00 GBytes (131071 MBytes)");
  b.Set(103, 0x8000);
  EXPECT_EQ(IdentifyQWord(b.smart, 100), 0x800000003A386030ull);
  // Words past the end of the block read as zero.
  b.Set(255, 0x1234);
  EXPECT_EQ(IdentifyDWord(b.smart, 255), 0x1234u);
}

TEST(IdentifyDecodeTest, ModelOfZeroBytesIsFortyBlanks) {
  Block b({});
  EXPECT_EQ(CleanText(b.smart.GetModel()), std::string(40, ' '));
  EXPECT_EQ(CleanText(b.smart.GetSerial()), std::string(20, ' '));
  EXPECT_EQ(CleanText(b.smart.GetFirmware()), std::string(8, ' '));
}

}  // namespace
}  // namespace dt
