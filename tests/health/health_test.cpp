// The health verdict of an ATA drive: its rules at their edges, the raw
// readings it rests on, and the "Health" section of the report.
#include "health/health.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dt {
namespace {

constexpr std::uint16_t kPrefailure = 0x0033;
constexpr std::uint16_t kOldAge = 0x0032;

SmartAttribute Attr(std::uint8_t id, std::uint16_t flags, std::uint8_t value, std::uint8_t worst,
                    std::optional<std::uint8_t> threshold, std::uint64_t raw = 0) {
  SmartAttribute a;
  a.id = id;
  a.flags = flags;
  a.value = value;
  a.worst = worst;
  a.threshold = threshold;
  a.raw = raw;
  return a;
}

SelfTestEntry Entry(int number, std::uint8_t status, bool failed,
                    std::optional<std::uint64_t> lba = std::nullopt) {
  return SelfTestEntry{
      number, 2,     "Extended offline", status, failed ? "Read failure" : "Done", 0, 1234,
      lba,    failed};
}

// A healthy drive: every value above its threshold, no counts.
AtaHealthData Healthy() {
  AtaHealthData d;
  d.status = SmartStatus::Good;
  d.attributes = {Attr(1, 0x000F, 100, 100, 51),     Attr(5, kPrefailure, 100, 100, 10),
                  Attr(9, kOldAge, 97, 97, 0, 2379), Attr(194, 0x0022, 110, 81, 0, 40),
                  Attr(196, kOldAge, 100, 100, 0),   Attr(197, kOldAge, 100, 100, 0),
                  Attr(198, 0x0010, 100, 100, 0)};
  d.selfTestByte = 0x00;
  return d;
}

SmartAttribute& At(AtaHealthData& d, std::uint8_t id) {
  for (SmartAttribute& a : d.attributes)
    if (a.id == id) return a;
  d.attributes.push_back(Attr(id, kOldAge, 100, 100, 0));
  return d.attributes.back();
}

TEST(HealthVerdict, EachRuleAtItsEdge) {
  struct Case {
    const char* what;
    void (*change)(AtaHealthData&);
    Verdict verdict;
    const char* reason;  // a part of the only reason; null: no reason
  };
  const Case cases[] = {
      {"healthy", [](AtaHealthData&) {}, Verdict::Good, nullptr},
      {"the drive's own status",
       [](AtaHealthData& d) { d.status = SmartStatus::ThresholdExceeded; }, Verdict::Bad,
       "SMART status says a threshold is exceeded"},
      {"unknown status alone", [](AtaHealthData& d) { d.status = SmartStatus::Unknown; },
       Verdict::Good, nullptr},
      {"pre-failure value at its threshold",
       [](AtaHealthData& d) { At(d, 5) = Attr(5, kPrefailure, 10, 10, 10); }, Verdict::Bad,
       "attribute 5 Reallocated Sector Count: value 10 is at or below its threshold 10 "
       "(pre-failure)"},
      {"pre-failure value one above its threshold",
       [](AtaHealthData& d) { At(d, 1) = Attr(1, 0x000F, 52, 52, 51); }, Verdict::Good, nullptr},
      {"pre-failure worst at its threshold, value above",
       [](AtaHealthData& d) { At(d, 3) = Attr(3, 0x0003, 186, 21, 21); }, Verdict::Caution,
       "attribute 3 Spin Up Time: worst value 21 was at or below its threshold 21"},
      {"old-age value below its threshold",
       [](AtaHealthData& d) { At(d, 4) = Attr(4, kOldAge, 1, 1, 20); }, Verdict::Caution,
       "value 1 is at or below its threshold 20 (old-age)"},
      {"a threshold of 0 never fails",
       [](AtaHealthData& d) { At(d, 3) = Attr(3, kPrefailure, 100, 0, 0); }, Verdict::Good,
       nullptr},
      {"no thresholds: nothing to compare",
       [](AtaHealthData& d) { At(d, 5) = Attr(5, kPrefailure, 1, 1, std::nullopt); }, Verdict::Good,
       nullptr},
      {"values outside 1-253 are no values",
       [](AtaHealthData& d) {
         At(d, 10) = Attr(10, kPrefailure, 0, 254, 51);
         At(d, 11) = Attr(11, kPrefailure, 255, 255, 51);
       },
       Verdict::Good, nullptr},
      {"reallocated sectors", [](AtaHealthData& d) { At(d, 5).raw = 63; }, Verdict::Caution,
       "63 reallocated sectors (attribute 5 Reallocated Sector Count)"},
      {"reallocated sectors: only the low word counts",
       [](AtaHealthData& d) { At(d, 5).raw = 0x07D000000000; }, Verdict::Good, nullptr},
      {"reallocation events: only the low word counts",
       [](AtaHealthData& d) { At(d, 196).raw = 0x00001B650000; }, Verdict::Good, nullptr},
      {"reallocation events", [](AtaHealthData& d) { At(d, 196).raw = 0x5A9700000831; },
       Verdict::Caution, "2097 reallocation events"},
      {"pending sectors", [](AtaHealthData& d) { At(d, 197).raw = 0x6D4BFD220002; },
       Verdict::Caution, "2 pending sectors (attribute 197"},
      {"one off-line uncorrectable sector", [](AtaHealthData& d) { At(d, 198).raw = 1; },
       Verdict::Caution, "1 off-line uncorrectable sector (attribute 198"},
      {"last self-test failed, from the status byte",
       [](AtaHealthData& d) { d.selfTestByte = 0x73; }, Verdict::Caution,
       "the last self-test failed"},
      {"self-test running or aborted, from the status byte",
       [](AtaHealthData& d) { d.selfTestByte = 0xF7; }, Verdict::Good, nullptr},
      {"the log wins over the status byte",
       [](AtaHealthData& d) {
         d.selfTestByte = 0x73;
         d.selfTestLog = SelfTestLog{1, {Entry(1, 0, false), Entry(2, 7, true, 1000)}};
       },
       Verdict::Good, nullptr},
      {"the newest finished test of the log failed",
       [](AtaHealthData& d) {
         d.selfTestLog = SelfTestLog{1, {Entry(1, 15, false), Entry(2, 7, true, 123456)}};
       },
       Verdict::Caution, "Extended offline, Read failure, first failing LBA 123456"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AtaHealthData d = Healthy();
    c.change(d);
    const VerdictResult r = AtaVerdict(d);
    EXPECT_EQ(VerdictName(r.verdict), std::string(VerdictName(c.verdict)));
    if (!c.reason) {
      EXPECT_TRUE(r.reasons.empty()) << r.reasons.front();
    } else {
      ASSERT_EQ(r.reasons.size(), 1u);
      EXPECT_NE(r.reasons[0].find(c.reason), std::string::npos) << r.reasons[0];
    }
  }
}

TEST(HealthVerdict, BadReasonsComeFirstAndEveryFindingHasOne) {
  AtaHealthData d = Healthy();
  At(d, 197).raw = 529;
  At(d, 5) = Attr(5, kPrefailure, 5, 5, 10, 63);
  d.selfTestByte = 0x58;
  const VerdictResult r = AtaVerdict(d);
  EXPECT_EQ(r.verdict, Verdict::Bad);
  ASSERT_EQ(r.reasons.size(), 4u);
  EXPECT_NE(r.reasons[0].find("(pre-failure)"), std::string::npos);
  EXPECT_EQ(r.reasons[1], "63 reallocated sectors (attribute 5 Reallocated Sector Count)");
  EXPECT_EQ(r.reasons[2], "529 pending sectors (attribute 197 Current Pending Sector Count)");
  EXPECT_NE(r.reasons[3].find("the last self-test failed"), std::string::npos);
}

TEST(HealthReadings, TemperatureAndPowerOnHoursFromTheirRawBytes) {
  // 194 packs the lowest and highest temperature in bytes 2 and 4.
  EXPECT_EQ(AtaTemperature({Attr(194, 0x22, 100, 100, 0, 0x0036000F001C)}), 28);
  // Without 194, or with no temperature in it, 190.
  EXPECT_EQ(AtaTemperature({Attr(190, 0x22, 66, 47, 0, 0x22220022)}), 34);
  EXPECT_EQ(
      AtaTemperature({Attr(194, 0x22, 100, 100, 0, 0x2800), Attr(190, 0x22, 53, 50, 0, 0x2F)}), 47);
  EXPECT_EQ(AtaTemperature({Attr(194, 0x22, 100, 100, 0, 0xC8)}), std::nullopt);
  EXPECT_EQ(AtaTemperature({Attr(9, kOldAge, 100, 100, 0, 40)}), std::nullopt);
  // 9: bytes 0-2 in hours; a Seagate keeps other data in bytes 4-5.
  EXPECT_EQ(AtaPowerOnHours({Attr(9, kOldAge, 96, 96, 0, 0x70B300001119)}), 4377u);
  EXPECT_EQ(AtaPowerOnHours({Attr(194, 0x22, 100, 100, 0, 40)}), std::nullopt);
  EXPECT_EQ(PlainAttributeName(5), "Reallocated Sector Count");
  EXPECT_EQ(PlainAttributeName(160), "Unknown attribute");
}

TEST(HealthModel, WhatCouldNotBeReadIsSaid) {
  SmartSummary s;
  s.identified = true;
  s.model = "M";
  s.errors = {"ATTR read error : x"};
  DriveHealth h = AtaHealth(s, AtaHealthData{});
  EXPECT_FALSE(h.read);
  EXPECT_EQ(h.errors, s.errors);
  EXPECT_EQ(h.model, "M");

  AtaHealthData d = Healthy();
  d.status = SmartStatus::Unknown;
  for (SmartAttribute& a : d.attributes) a.threshold.reset();
  h = AtaHealth(SmartSummary{}, d);
  EXPECT_TRUE(h.read);
  EXPECT_EQ(h.protocol, "ata");
  EXPECT_EQ(h.verdict, Verdict::Good);
  EXPECT_EQ(h.notes.size(), 2u);
  EXPECT_EQ(h.temperatureC, 40);
  EXPECT_EQ(h.powerOnHours, 2379u);
  ASSERT_TRUE(h.ata);
  EXPECT_EQ(h.ata->attributes.size(), d.attributes.size());
}

TEST(HealthReport, SectionWithVerdictReasonsAndBothLogs) {
  AtaHealthData d = Healthy();
  At(d, 197).raw = 2;
  d.selfTestLog = SelfTestLog{1, {Entry(1, 7, true, 4660), Entry(2, 0, false)}};
  ErrorLogSummary errors;
  errors.revision = 1;
  errors.errorCount = 12;
  errors.entries.push_back(ErrorLogEntry{12, 5000, 0x51, 0x40, 0x25, 4660, "Active or idle"});
  d.errorLog = errors;
  std::vector<std::string> lines;
  ReportHealth(AtaHealth(SmartSummary{}, d), [&](const std::string& l) { lines.push_back(l); });
  auto has = [&](const std::string& text) {
    for (const std::string& l : lines)
      if (l.find(text) != std::string::npos) return true;
    return false;
  };
  EXPECT_EQ(lines.front(), "Health");
  EXPECT_EQ(lines[1], "Verdict                              : CAUTION");
  EXPECT_TRUE(has("Reason                               : 2 pending sectors"));
  EXPECT_TRUE(has("Reason                               : the last self-test failed"));
  EXPECT_TRUE(has("Temperature                          : 40 C"));
  EXPECT_TRUE(has("Power-on hours                       : 2379"));
  EXPECT_TRUE(has("SMART status                         : good"));
  EXPECT_TRUE(has("Self-test execution status           : "));
  // The logs' own tables follow.
  EXPECT_TRUE(has("SMART self-test log (revision 1)"));
  EXPECT_TRUE(has("  1  Extended offline      Read failure"));
  EXPECT_TRUE(has("SMART summary error log (revision 1)"));
  EXPECT_TRUE(has("Errors logged: 12"));
  EXPECT_TRUE(has("Active or idle"));

  // Logs that could not be read say why.
  d.selfTestLog.reset();
  d.selfTestLogError = "the drive keeps no self-test log";
  d.errorLog.reset();
  d.errorLogError = "aborted";
  lines.clear();
  ReportHealth(AtaHealth(SmartSummary{}, d), [&](const std::string& l) { lines.push_back(l); });
  EXPECT_TRUE(has("SMART self-test log: not read (the drive keeps no self-test log)"));
  EXPECT_EQ(lines.back(), "SMART summary error log: not read (aborted)");

  lines.clear();
  DriveHealth failed;
  failed.errors = {"Open Error x"};
  ReportHealth(failed, [&](const std::string& l) { lines.push_back(l); });
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "Health", "Verdict                              : the health could not be read",
                "Error                                : Open Error x"}));
}

}  // namespace
}  // namespace dt
