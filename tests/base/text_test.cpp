#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/platform.h"

namespace dt {
namespace {

class EnglishFormat : public ::testing::Test {
 protected:
  void SetUp() override { SetNumberFormat({",", "."}); }
};

TEST_F(EnglishFormat, NumberTextGroupsAndRounds) {
  EXPECT_EQ(NumberText(0, 14, 2), "0.00");
  EXPECT_EQ(NumberText(1000, 14, 2), "1,000.00");
  EXPECT_EQ(NumberText(1000.0000009536743, 14, 0), "1,000");
  EXPECT_EQ(NumberText(76319.4, 13, 3), "76,319.400");
  EXPECT_EQ(NumberText(1048576, 14, 0), "1,048,576");
  EXPECT_EQ(NumberText(999999.5, 14, 0), "1,000,000");
  EXPECT_EQ(NumberText(-1234.5, 14, 1), "-1,234.5");
  EXPECT_EQ(NumberText(-0.001, 14, 2), "0.00");
  EXPECT_EQ(NumberText(10.0, 5, 1), "10.0");
  EXPECT_EQ(NumberText(99.99, 4, 1), "100.0");
}

TEST_F(EnglishFormat, NumberTextKeepsAtMostPSignificantDigits) {
  // Rounded to p significant digits first, then padded to d decimals.
  EXPECT_EQ(NumberText(1234.5678, 5, 2), "1,234.60");
  EXPECT_EQ(NumberText(12.3456, 4, 2), "12.35");
  EXPECT_EQ(NumberText(8455200768.0, 13, 0), "8,455,200,768");
}

TEST_F(EnglishFormat, NumberTextFallsIntoExponentFormPastPDigits) {
  EXPECT_EQ(NumberText(1e13, 13, 0), "1E13");
  EXPECT_EQ(NumberText(9999999999999.0, 13, 0), "9,999,999,999,999");
  EXPECT_EQ(NumberText(12345678901234.0, 13, 0), "1.234567890123E13");
  EXPECT_EQ(NumberText(123456789.0, 8, 2), "1.2345679E8");
}

TEST_F(EnglishFormat, GroupedNumberIsFourteenDigitsWithoutDecimals) {
  EXPECT_EQ(GroupedNumber(524288), "524,288");
  EXPECT_EQ(GroupedNumber(0), "0");
  EXPECT_EQ(GroupedNumber(99999999999999), "99,999,999,999,999");
  EXPECT_EQ(GroupedNumber(100000000000000), "1E14");
}

TEST(NumberTextLocale, UsesTheLocaleSeparators) {
  SetNumberFormat({"\xC2\xA0", ","});  // Russian: no-break space and comma
  EXPECT_EQ(NumberText(1234567.891, 14, 2), "1\xC2\xA0" "234\xC2\xA0" "567,89");
  SetNumberFormat({".", ","});
  EXPECT_EQ(NumberText(40001.0, 14, 0), "40.001");
  SetNumberFormat({",", "."});
}

TEST(PadNumber, ZeroAndBlankFill) {
  EXPECT_EQ(PadNumber(7, 2, true), "07");
  EXPECT_EQ(PadNumber(123, 2, true), "**");
  EXPECT_EQ(PadNumber(-5, 3, true), "-05");
  EXPECT_EQ(PadNumber(-5, 2, true), "-5");
  EXPECT_EQ(PadNumber(-55, 2, true), "**");
  EXPECT_EQ(PadNumber(7, 4, false), "   7");
  // Without zero fill the text is padded to width minus the sign.
  EXPECT_EQ(PadNumber(-5, 4, false), " -5");
}

TEST(DurationText, ClockAndDays) {
  EXPECT_EQ(DurationText(0), "00:00:00");
  EXPECT_EQ(DurationText(3599), "00:59:59");
  EXPECT_EQ(DurationText(86399), "23:59:59");
  EXPECT_EQ(DurationText(90061), "1 dey 01:01:01");
  EXPECT_EQ(DurationText(2147483647), "24855 dey 03:14:07");
}

TEST(SystemErrorText, CodeWithAndWithoutSystemText) {
#ifdef _WIN32
  // Windows says "Access is denied.", Wine "Access denied.".
  const std::string t = SystemErrorText(5);
  EXPECT_TRUE(t == " Error Code = 5 Access is denied." || t == " Error Code = 5 Access denied.") << t;
  EXPECT_EQ(SystemErrorText(0x2FFFFFFF), " Error Code = 805306367 ");
#else
  EXPECT_EQ(SystemErrorText(5), " Error Code = 5 Input/output error");
  EXPECT_EQ(SystemErrorText(13), " Error Code = 13 Permission denied");
  EXPECT_EQ(SystemErrorText(99999), " Error Code = 99999 ");
#endif
  // Codes are shown unsigned.
  EXPECT_EQ(SystemErrorText(0xFFFFFFFFu).substr(0, 25), " Error Code = 4294967295 ");
}

TEST(TextWidth, CountsCharactersNotBytes) {
  const std::string ru = "Модель";  // 6 characters, 12 bytes
  EXPECT_EQ(CharCount(ru), 6u);
  EXPECT_EQ(PadRight(ru, 8), ru + "  ");
  EXPECT_EQ(PadLeft(ru, 7), " " + ru);
  EXPECT_EQ(CharCount(PadRight("Model", 8)), CharCount(PadRight(ru, 8)));
  EXPECT_EQ(LeftChars(ru, 2), "Мо");
  EXPECT_EQ(LeftChars("abc", 10), "abc");
  EXPECT_EQ(HexText(0x1F, 4), "001F");
  EXPECT_EQ(HexText(0xABCDE, 2), "ABCDE");
}

}  // namespace
}  // namespace dt
