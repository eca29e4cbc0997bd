#include "platform/sim/ata_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace dt {
namespace {

namespace fs = std::filesystem;

const fs::path kCaptures = fs::path(DT_TESTDATA_DIR) / "ata-captures";

std::vector<std::uint8_t> Section(const char* tag, std::uint32_t length, std::uint8_t fill,
                                  std::size_t actual) {
  std::vector<std::uint8_t> s(tag, tag + 4);
  for (int shift = 24; shift >= 0; shift -= 8)
    s.push_back(static_cast<std::uint8_t>(length >> shift));
  s.insert(s.end(), actual, fill);
  return s;
}
std::vector<std::uint8_t> Section(const char* tag, std::uint32_t length, std::uint8_t fill = 0) {
  return Section(tag, length, fill, length);
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Parses and returns the error text ("" when the parse succeeded).
std::string ParseError(const std::vector<std::uint8_t>& bytes) {
  AtaCapture cap;
  std::string error;
  const bool ok = ParseAtaCapture(bytes.data(), bytes.size(), &cap, &error);
  EXPECT_EQ(ok, error.empty());
  return ok ? std::string() : error;
}

TEST(AtaCaptureTest, EveryRealCaptureReads) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(kCaptures)) {
    if (entry.path().extension() != ".cap") continue;
    ++count;
    SCOPED_TRACE(entry.path().filename().string());
    AtaCapture cap;
    std::string error;
    ASSERT_TRUE(ReadAtaCapture(entry.path().string(), &cap, &error)) << error;
    EXPECT_TRUE(cap.hasSmartData);
    EXPECT_TRUE(cap.hasThresholds);
    // Word 0 bit 15 clear: all of them are ATA disks; the model field is text.
    EXPECT_EQ(cap.identify[1] & 0x80, 0);
    EXPECT_GE(cap.identify[55], 'A');
    if (cap.hasStatus) {
      EXPECT_EQ(cap.status, 1u);
    }
  }
  EXPECT_GE(count, 11);
}

TEST(AtaCaptureTest, SectionsLandInTheirFields) {
  const auto bytes = Join({Section("SMTH", 512, 3), Section("SMST", 4, 0), Section("IDFY", 512, 1),
                           Section("SMDT", 512, 2)});
  AtaCapture cap;
  std::string error;
  ASSERT_TRUE(ParseAtaCapture(bytes.data(), bytes.size(), &cap, &error)) << error;
  EXPECT_EQ(cap.identify[511], 1);
  EXPECT_EQ(cap.smartData[0], 2);
  EXPECT_EQ(cap.thresholds[100], 3);
  EXPECT_TRUE(cap.hasStatus);
  EXPECT_EQ(cap.status, 0u);

  auto status = Join({Section("IDFY", 512), Section("SMST", 4)});
  status[status.size() - 4] = 0x12;
  status[status.size() - 1] = 0x34;
  ASSERT_TRUE(ParseAtaCapture(status.data(), status.size(), &cap, &error));
  EXPECT_EQ(cap.status, 0x12000034u);  // big-endian like the lengths
  EXPECT_FALSE(cap.hasSmartData);
  EXPECT_FALSE(cap.hasThresholds);
  EXPECT_FALSE(cap.hasSelfTestLog);
  EXPECT_FALSE(cap.hasErrorLog);

  // The optional logs, in any order.
  const auto logs = Join({Section("ELOG", 512, 5), Section("IDFY", 512), Section("SLOG", 512, 6)});
  ASSERT_TRUE(ParseAtaCapture(logs.data(), logs.size(), &cap, &error)) << error;
  EXPECT_TRUE(cap.hasErrorLog);
  EXPECT_TRUE(cap.hasSelfTestLog);
  EXPECT_EQ(cap.errorLog[511], 5);
  EXPECT_EQ(cap.selfTestLog[0], 6);
}

TEST(AtaCaptureTest, CaptureWithoutStatusSection) {
  AtaCapture cap;
  std::string error;
  ASSERT_TRUE(
      ReadAtaCapture((kCaptures / "WDC_WD2500JB--00REA0-20.00K20.cap").string(), &cap, &error))
      << error;
  EXPECT_FALSE(cap.hasStatus);
  EXPECT_TRUE(cap.hasSmartData);
}

TEST(AtaCaptureTest, RejectsMalformedFiles) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* mustSay;
  } cases[] = {
      {"empty", {}, "IDFY"},
      {"no identify", Join({Section("SMDT", 512), Section("SMTH", 512)}), "IDFY"},
      {"overrun", Join({Section("IDFY", 512, 0, 500)}), "runs past the end"},
      {"huge length", Join({Section("IDFY", 0xFFFFFFFFu, 0, 16)}), "runs past the end"},
      {"short header", Join({Section("IDFY", 512), {'S', 'M', 'D'}}), "header"},
      {"identify too short", Join({Section("IDFY", 256)}), "expected 512"},
      {"status too long", Join({Section("IDFY", 512), Section("SMST", 8)}), "expected 4"},
      {"unknown tag", Join({Section("IDFY", 512), Section("LOGS", 512)}), "unknown tag \"LOGS\""},
      {"binary tag", Join({Section("\x01\xFFXY", 4)}), "\\x01\\xFF"},
      {"lower-case tag", Join({Section("idfy", 512)}), "unknown tag"},
      {"second identify", Join({Section("IDFY", 512), Section("IDFY", 512)}), "second"},
      {"self-test log too short", Join({Section("IDFY", 512), Section("SLOG", 24)}),
       "expected 512"},
      {"second error log", Join({Section("IDFY", 512), Section("ELOG", 512), Section("ELOG", 512)}),
       "second \"ELOG\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string error = ParseError(c.bytes);
    ASSERT_FALSE(error.empty());
    EXPECT_NE(error.find(c.mustSay), std::string::npos) << error;
  }
  // Section errors name the section and where it starts.
  EXPECT_EQ(ParseError(Join({Section("IDFY", 512), Section("SMDT", 100)})),
            "section 2 at byte 520 (\"SMDT\"): length 100, expected 512");
}

TEST(AtaCaptureTest, FailedParseLeavesTheOutputAlone) {
  AtaCapture cap;
  cap.status = 77;
  const auto bytes = Join({Section("SMST", 4, 9)});
  EXPECT_FALSE(ParseAtaCapture(bytes.data(), bytes.size(), &cap, nullptr));
  EXPECT_EQ(cap.status, 77u);
}

TEST(AtaCaptureTest, FileErrorsNameTheFile) {
  const fs::path dir = fs::temp_directory_path();
  const fs::path bad = dir / ("dt_ata_capture_test_" + std::to_string(std::rand()) + ".cap");
  {
    std::ofstream out(bad, std::ios::binary);
    const auto bytes = Join({Section("IDFY", 512, 0, 10)});
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  AtaCapture cap;
  std::string error;
  EXPECT_FALSE(ReadAtaCapture(bad.string(), &cap, &error));
  EXPECT_EQ(error.rfind(bad.string() + ": section 1 at byte 0 (\"IDFY\")", 0), 0u) << error;
  fs::remove(bad);

  const std::string missing = (dir / "dt_no_such_capture.cap").string();
  EXPECT_FALSE(ReadAtaCapture(missing, &cap, &error));
  EXPECT_EQ(error, missing + ": cannot open the file");
}

}  // namespace
}  // namespace dt
