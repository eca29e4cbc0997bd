#include "speedtest/range_model.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "speed_harness.h"

namespace dt {
namespace {

using testing::RecordingNotifier;

class RangeModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNumberFormat(NumberFormat{",", "."});
    model.Prepare(1000000000);
    model.FormShow();
  }
  RecordingNotifier notifier;
  RangeModel model;
};

TEST_F(RangeModelTest, ByteFieldsAlignToSectors) {
  model.Edit1 = "1000";
  ASSERT_TRUE(model.Edit1Exit());
  EXPECT_EQ(model.RangeStart, 512);
  EXPECT_EQ(model.Edit1, "512");
  EXPECT_EQ(model.Edit2, "0.0000512");

  const std::pair<const char*, std::int64_t> ends[] = {
      {"1000", 511}, {"1023", 1023}, {"1024", 1023}, {"511", 511}, {"0", -1}};
  for (const auto& [text, expected] : ends) {
    model.Edit3 = text;
    ASSERT_TRUE(model.Edit3Exit());
    EXPECT_EQ(model.RangeEnd, expected) << text;
    EXPECT_EQ(model.Edit3, std::to_string(expected)) << text;
  }
  // Aligning down goes toward minus infinity.
  EXPECT_EQ(AlignDown(-1), -512);
  EXPECT_EQ(AlignToSectorEnd(-1), -1);
}

TEST_F(RangeModelTest, PercentFieldsRoundHalfToEvenThenAlign) {
  model.Edit2 = "50";
  ASSERT_TRUE(model.Edit2Exit());
  // 499,999,999.5 rounds to 500,000,000, aligned down.
  EXPECT_EQ(model.RangeStart, 499999744);
  EXPECT_EQ(model.Edit1, "499999744");
  EXPECT_EQ(model.Edit2, "49.9999744");

  // 1,000,000,000 is a whole number of sectors: 100 % is the last byte.
  model.Edit4 = "100";
  ASSERT_TRUE(model.Edit4Exit());
  EXPECT_EQ(model.RangeEnd, model.RangeMax);
  EXPECT_EQ(model.Edit4, "100.0000000");

  // Otherwise it is the end of the last whole sector.
  RangeModel odd;
  odd.Prepare(1000000100);
  odd.FormShow();
  odd.Edit4 = "100";
  ASSERT_TRUE(odd.Edit4Exit());
  EXPECT_EQ(odd.RangeEnd, 999999999);
  EXPECT_EQ(odd.Edit3, "999999999");
}

TEST_F(RangeModelTest, PercentTextsFollowTheLocale) {
  SetNumberFormat(NumberFormat{".", ","});
  model.Edit2 = "50,5";
  ASSERT_TRUE(model.Edit2Exit());
  EXPECT_EQ(model.RangeStart, 504999936);
  EXPECT_EQ(model.Edit2, "50,4999937");
  // A point is a thousands separator there, not a decimal point.
  model.Edit4 = "50.5";
  EXPECT_FALSE(model.Edit4Exit());
  SetNumberFormat(NumberFormat{",", "."});
}

TEST_F(RangeModelTest, NumbersThatAreNotNumbersKeepThePair) {
  model.Edit1 = "1024";
  ASSERT_TRUE(model.Edit1Exit());
  const std::string percent = model.Edit2;

  model.Edit1 = "12x";
  EXPECT_FALSE(model.Edit1Exit());
  EXPECT_EQ(model.RangeStart, 1024);
  EXPECT_EQ(model.Edit2, percent);
  model.Edit2 = "abc";
  EXPECT_FALSE(model.Edit2Exit());
  EXPECT_EQ(model.RangeStart, 1024);
  EXPECT_EQ(model.Edit1, "12x");  // the field keeps what was typed
  model.Edit3 = "";
  EXPECT_FALSE(model.Edit3Exit());
  model.Edit4 = "nan";
  EXPECT_FALSE(model.Edit4Exit());
  EXPECT_EQ(model.RangeEnd, 999999999);
  EXPECT_EQ(notifier.Messages(),
            (std::vector<std::string>{"Error: '12x' is not a valid integer value",
                                      "Error: 'abc' is not a valid floating point value",
                                      "Error: '' is not a valid integer value",
                                      "Error: 'nan' is not a valid floating point value"}));
}

TEST_F(RangeModelTest, OkChecksTheRange) {
  // From equal to To.
  model.Edit1 = "4096";
  model.Edit1Exit();
  model.Edit3 = "4096";
  model.Edit3Exit();  // 4095
  model.Edit3 = "4607";
  model.Edit3Exit();
  EXPECT_TRUE(model.Button1Click());
  EXPECT_TRUE(model.RangeAccepted);

  RangeModel m;
  m.Prepare(1000000000);
  m.RangeStart = 4096;
  m.RangeEnd = 4096;
  EXPECT_FALSE(m.Button1Click());
  // To beyond the disk.
  m.RangeStart = 0;
  m.Edit3 = "2000000000";
  m.Edit3Exit();
  EXPECT_FALSE(m.Button1Click());
  // A range that begins before the disk.
  m.Edit1 = "-1000";
  m.Edit1Exit();
  m.Edit3 = "4095";
  m.Edit3Exit();
  EXPECT_EQ(m.RangeStart, -1024);
  EXPECT_FALSE(m.Button1Click());
  EXPECT_FALSE(m.RangeAccepted);
  EXPECT_EQ(notifier.Messages(), std::vector<std::string>(3, "Data Error: Invalid range"));

  // The dialog stays open with its values: "Ok" after a correction works.
  m.Edit1 = "0";
  m.Edit1Exit();
  EXPECT_TRUE(m.Button1Click());
}

TEST_F(RangeModelTest, TextTypedButNeverLeftIsNotTaken) {
  model.Edit1 = "4096";
  model.Edit3 = "8191";
  EXPECT_TRUE(model.Button1Click());
  EXPECT_EQ(model.RangeStart, 0);
  EXPECT_EQ(model.RangeEnd, 999999999);
}

TEST(TextToNumber, FollowsTheStandardConversion) {
  std::int64_t v = 0;
  EXPECT_TRUE(TextToInt64(" 42 ", &v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(TextToInt64("-9223372036854775808", &v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_TRUE(TextToInt64("+7", &v));
  EXPECT_EQ(v, 7);
  EXPECT_FALSE(TextToInt64("9223372036854775808", &v));
  EXPECT_FALSE(TextToInt64("++7", &v));
  EXPECT_FALSE(TextToInt64("4 2", &v));
  EXPECT_FALSE(TextToInt64("0x10", &v));
  std::int32_t i = 0;
  EXPECT_FALSE(TextToInt32("2147483648", &i));
  EXPECT_TRUE(TextToInt32("-2147483648", &i));
  double d = 0;
  EXPECT_TRUE(TextToFloat("1e2", &d));
  EXPECT_EQ(d, 100.0);
  EXPECT_FALSE(TextToFloat("inf", &d));
  EXPECT_FALSE(TextToFloat("1.5.", &d));
}

}  // namespace
}  // namespace dt
