// disktest-cli health: a verdict for every capture, its exit codes, and the
// Prometheus output read back by a parser of the text format.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "ata/smart_logs.h"
#include "platform/platform.h"
#include "ui/cli/cli.h"
#include "ui/cli/run_cli.h"

namespace dt {
namespace {

using Result = test::CliResult;
using test::RunCli;

std::vector<std::string> Captures() {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(DT_TESTDATA_DIR "/ata-captures"))
    if (e.path().extension() == ".cap") out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

// A capture file's bytes with its sections at hand, to build variants of a
// real drive.
class CaptureBytes {
 public:
  explicit CaptureBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), {});
  }
  // The data of the section with that tag.
  std::uint8_t* Section(const char* tag) {
    for (std::size_t at = 0; at + 8 <= bytes_.size();) {
      const std::size_t len =
          static_cast<std::size_t>(static_cast<std::uint8_t>(bytes_[at + 4])) << 24 |
          static_cast<std::size_t>(static_cast<std::uint8_t>(bytes_[at + 5])) << 16 |
          static_cast<std::size_t>(static_cast<std::uint8_t>(bytes_[at + 6])) << 8 |
          static_cast<std::uint8_t>(bytes_[at + 7]);
      if (bytes_.compare(at, 4, tag) == 0) return reinterpret_cast<std::uint8_t*>(&bytes_[at + 8]);
      at += 8 + len;
    }
    return nullptr;
  }
  // The model field (IDENTIFY words 27-46, each word high byte first).
  void SetModel(const std::string& model) {
    std::uint8_t* id = Section("IDFY");
    std::string field = model;
    field.resize(40, ' ');
    for (std::size_t i = 0; i < 40; i += 2) {
      id[54 + i] = static_cast<std::uint8_t>(field[i + 1]);
      id[54 + i + 1] = static_cast<std::uint8_t>(field[i]);
    }
  }
  // A section appended at the end.
  void Append(const char* tag, const std::array<std::uint8_t, 512>& data) {
    bytes_ += std::string(tag, 4) + std::string("\0\0\x02\0", 4);
    bytes_.append(reinterpret_cast<const char*>(data.data()), data.size());
  }
  std::string Save(const std::filesystem::path& path) const {
    std::ofstream(path, std::ios::binary) << bytes_;
    return path.string();
  }

 private:
  std::string bytes_;
};

TEST(HealthCli, EveryCaptureGetsAVerdictAndItsExitCode) {
  const std::map<std::string, int> codes = {{"GOOD", 0}, {"CAUTION", 3}, {"BAD", 4}};
  int cautions = 0;
  for (const std::string& cap : Captures()) {
    SCOPED_TRACE(cap);
    const Result r = RunCli({"--capture", cap, "health", "0", "--json"});
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_TRUE(j["verdict"].is_string()) << r.out;
    EXPECT_EQ(r.code, codes.at(j["verdict"].get<std::string>())) << r.err;
    cautions += j["verdict"] == "CAUTION";
    EXPECT_EQ(j["schema_version"], 1);
    EXPECT_EQ(j["protocol"], "ata");
    EXPECT_TRUE(j["model"].is_string() && j["serial"].is_string() && j["firmware"].is_string());
    EXPECT_EQ(j["reasons"].empty(), j["verdict"] == "GOOD");
    EXPECT_TRUE(j["errors"].empty());
    ASSERT_TRUE(j["ata"].is_object());
    EXPECT_FALSE(j["ata"]["attributes"].empty());
    for (const char* key : {"temperature_c", "power_on_hours", "notes"})
      EXPECT_TRUE(j.contains(key));
    for (const char* key : {"smart_status", "self_test_log", "error_log"})
      EXPECT_TRUE(j["ata"].contains(key));
  }
  EXPECT_EQ(cautions, 7);

  // One drive in detail: the demo's failing disk.
  const Result r =
      RunCli({"--capture", DT_TESTDATA_DIR "/ata-captures/WDC_WD5000AAKS--00TMA0-12.01C01.cap",
              "health", "0", "--json"});
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["model"], "WDC WD5000AAKS-00TMA0");
  EXPECT_EQ(j["verdict"], "CAUTION");
  EXPECT_EQ(j["reasons"], nlohmann::json::parse(R"j([
    "63 reallocated sectors (attribute 5 Reallocated Sector Count)",
    "63 reallocation events (attribute 196 Reallocation Events Count)",
    "529 pending sectors (attribute 197 Current Pending Sector Count)"])j"));
  EXPECT_EQ(j["temperature_c"], 40);
  EXPECT_EQ(j["power_on_hours"], 14992);
  const auto& a = j["ata"]["attributes"][3];
  EXPECT_EQ(a, nlohmann::json::parse(R"({"id": 5, "name": "Reallocated Sector Count",
    "flags": 51, "prefailure": true, "value": 192, "worst": 192, "threshold": 140, "raw": 63})"));

  // The same as text.
  const Result text =
      RunCli({"--capture", DT_TESTDATA_DIR "/ata-captures/WDC_WD5000AAKS--00TMA0-12.01C01.cap",
              "health", "0"});
  EXPECT_EQ(text.code, 3);
  EXPECT_EQ(text.out.rfind("\\\\.\\PHYSICALDRIVE0: WDC WD5000AAKS-00TMA0, serial ", 0), 0u)
      << text.out;
  EXPECT_NE(text.out.find("\nVerdict                              : CAUTION\n"), std::string::npos);
}

TEST(HealthCli, ExitCodesOfBadUnreadableAndUsage) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("dt_health_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  // A pre-failure attribute at its threshold: 5 of the Samsung (slot 3,
  // threshold 10) at 10.
  CaptureBytes bad(DT_TESTDATA_DIR "/ata-captures/SAMSUNG_HD501LJ--CR100-12.cap");
  std::uint8_t* entry = bad.Section("SMDT") + 2 + 3 * 12;
  ASSERT_EQ(entry[0], 5);
  entry[3] = 10;
  const Result r = RunCli({"--capture", bad.Save(dir / "bad.cap"), "health", "0"});
  EXPECT_EQ(r.code, 4) << r.out;
  EXPECT_NE(r.out.find("Verdict                              : BAD\n"), std::string::npos);
  std::filesystem::remove_all(dir);

  // The demo's failing disk, after its three others.
  const Result demo = RunCli({"--demo", "health", "3"});
  EXPECT_EQ(demo.code, 3);
  EXPECT_NE(demo.out.find(": 529 pending sectors"), std::string::npos) << demo.out;

  // The demo's flash drive has no ATA pass-through.
  const Result none = RunCli({"--demo", "health", "2", "--json"});
  EXPECT_EQ(none.code, 1);
  const auto j = nlohmann::json::parse(none.out);
  EXPECT_TRUE(j["verdict"].is_null());
  EXPECT_FALSE(j["errors"].empty());
  const Result noneProm = RunCli({"--demo", "health", "2", "--prometheus"});
  EXPECT_EQ(noneProm.code, 1);
  EXPECT_EQ(noneProm.out, "");
  EXPECT_NE(noneProm.err, "");

  EXPECT_EQ(RunCli({"--demo", "health"}).code, 2);
  EXPECT_EQ(RunCli({"--demo", "health", "/dev/nosuchdisk"}).code, 2);
  EXPECT_EQ(RunCli({"--demo", "health", "0", "--json", "--prometheus"}).code, 2);
}

// A drive whose logs say that its last self-test failed, with two errors in
// its error log: the verdict turns on the log, and both logs are in the JSON.
TEST(HealthCli, LogsOfTheDriveInTheVerdictAndTheJson) {
  // Self-test log (06h): revision 1; descriptor 1 an extended test (02h)
  // that failed reading (status 7) with 20% left at 2400 hours, first
  // failing LBA 123456; descriptor 2 a short test (01h) without error at
  // 2300 hours; the index names descriptor 2 (the newest).
  std::array<std::uint8_t, 512> tests{};
  tests[0] = 1;
  std::uint8_t* older = tests.data() + 2;
  older[0] = 0x01;
  older[2] = 2300 & 0xFF;
  older[3] = 2300 >> 8;
  std::uint8_t* newest = tests.data() + 2 + 24;
  newest[0] = 0x02;
  newest[1] = 0x72;
  newest[2] = 2400 & 0xFF;
  newest[3] = 2400 >> 8;
  newest[5] = 123456 & 0xFF;
  newest[6] = (123456 >> 8) & 0xFF;
  newest[7] = (123456 >> 16) & 0xFF;
  tests[508] = 2;
  SetSectorChecksum(tests);
  // Summary error log (01h): revision 1, 2 errors in all, the newest in
  // structure 1: READ DMA (C8h) met an uncorrectable error (40h) at LBA
  // 123456, 2390 hours.
  std::array<std::uint8_t, 512> errors{};
  errors[0] = 1;
  errors[1] = 1;
  std::uint8_t* e = errors.data() + 2;
  e[4 * 12 + 7] = 0xC8;
  e[60 + 1] = 0x40;
  e[60 + 3] = 123456 & 0xFF;
  e[60 + 4] = (123456 >> 8) & 0xFF;
  e[60 + 5] = (123456 >> 16) & 0xFF;
  e[60 + 7] = 0x51;
  e[60 + 28] = 2390 & 0xFF;
  e[60 + 29] = 2390 >> 8;
  errors[452] = 2;
  SetSectorChecksum(errors);

  const auto dir = std::filesystem::temp_directory_path() /
                   ("dt_logs_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  // A drive of verdict GOOD that keeps both logs.
  CaptureBytes cap(DT_TESTDATA_DIR "/ata-captures/SAMSUNG_MMCQE28G8MUP--0VA_VAM08L1Q.cap");
  cap.Append("SLOG", tests);
  cap.Append("ELOG", errors);
  const std::string file = cap.Save(dir / "logs.cap");
  const Result r = RunCli({"--capture", file, "health", "0", "--json"});
  std::filesystem::remove_all(dir);
  EXPECT_EQ(r.code, 3) << r.out;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["reasons"].size(), 1u);
  EXPECT_EQ(j["reasons"][0].get<std::string>().rfind("the last self-test failed: ", 0), 0u);
  EXPECT_NE(j["reasons"][0].get<std::string>().find("first failing LBA 123456"), std::string::npos);
  const auto& logged = j["ata"]["self_test_log"]["entries"][0];
  EXPECT_EQ(j["ata"]["self_test_log"]["entries"].size(), 2u);
  EXPECT_EQ(logged, nlohmann::json::parse(R"({"number": 1, "type": 2,
    "type_text": "Extended offline", "status": 7, "status_text": "Failed: read element",
    "remaining_percent": 20, "power_on_hours": 2400, "failing_lba": 123456, "failed": true})"));
  EXPECT_EQ(j["ata"]["error_log"]["error_count"], 2);
  ASSERT_EQ(j["ata"]["error_log"]["entries"].size(), 1u);
  EXPECT_EQ(j["ata"]["error_log"]["entries"][0]["lba"], 123456);
}

// ---------------------------------------------------------------------------
// A reader of the Prometheus text format: every line a # HELP, a # TYPE or a
// sample; names and label names by the format's rules; label values
// unescaped; one TYPE per metric, before its samples; no series twice.

struct Sample {
  std::string name;
  std::map<std::string, std::string> labels;
  double value;
};

bool IsName(const std::string& s, bool colon) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (colon && c == ':')))
      return false;
  return true;
}

std::vector<Sample> ParseExposition(const std::string& text) {
  std::vector<Sample> samples;
  std::set<std::string> typed, helped, series, sampled;
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    SCOPED_TRACE("line " + std::to_string(++n) + ": " + line);
    if (line.rfind("# ", 0) == 0) {
      std::istringstream ls(line.substr(2));
      std::string keyword, name, rest;
      ls >> keyword >> name;
      std::getline(ls, rest);
      EXPECT_TRUE(IsName(name, true));
      if (keyword == "TYPE") {
        EXPECT_TRUE(typed.insert(name).second) << "a second TYPE";
        EXPECT_EQ(sampled.count(name), 0u) << "TYPE after the samples";
        EXPECT_EQ(rest, " gauge");
      } else {
        EXPECT_EQ(keyword, "HELP");
        EXPECT_TRUE(helped.insert(name).second) << "a second HELP";
        EXPECT_FALSE(rest.empty());
      }
      continue;
    }
    Sample s;
    std::size_t at = line.find_first_of("{ ");
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos) continue;
    s.name = line.substr(0, at);
    EXPECT_TRUE(IsName(s.name, true));
    EXPECT_EQ(typed.count(s.name), 1u) << "a sample without a TYPE";
    if (line[at] == '{') {
      ++at;
      while (at < line.size() && line[at] != '}') {
        const std::size_t eq = line.find("=\"", at);
        EXPECT_NE(eq, std::string::npos);
        if (eq == std::string::npos) return samples;
        const std::string label = line.substr(at, eq - at);
        EXPECT_TRUE(IsName(label, false)) << label;
        std::string value;
        std::size_t i = eq + 2;
        for (; i < line.size() && line[i] != '"'; ++i) {
          if (line[i] == '\\') {
            ++i;
            EXPECT_TRUE(i < line.size() && std::strchr("\\\"n", line[i])) << "a bad escape";
            value += line[i] == 'n' ? '\n' : line[i];
          } else {
            value += line[i];
          }
        }
        EXPECT_LT(i, line.size()) << "an open label value";
        EXPECT_TRUE(s.labels.emplace(label, value).second) << "label " << label << " twice";
        at = i + 1;
        if (at < line.size() && line[at] == ',') ++at;
      }
      EXPECT_LT(at, line.size());
      ++at;
    }
    EXPECT_EQ(line[at], ' ');
    const std::string number = line.substr(at + 1);
    std::size_t used = 0;
    s.value = std::stod(number, &used);
    EXPECT_EQ(used, number.size()) << "more than a value after the labels";
    std::string key = s.name;
    for (const auto& [k, v] : s.labels) key += "|" + k + "=" + v;
    EXPECT_TRUE(series.insert(key).second) << "a series twice";
    sampled.insert(s.name);
    samples.push_back(s);
  }
  return samples;
}

TEST(HealthCli, PrometheusOutputReadsBack) {
  // A model with the characters that label values escape.
  const auto dir = std::filesystem::temp_directory_path() /
                   ("dt_prom_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  CaptureBytes odd(DT_TESTDATA_DIR "/ata-captures/ST9100821AS--3.CME.cap");
  odd.SetModel(R"(ST9"100\821 {a="b"})");
  std::vector<std::string> files = Captures();
  files.push_back(odd.Save(dir / "odd.cap"));

  for (const std::string& cap : files) {
    SCOPED_TRACE(cap);
    const Result r = RunCli({"--capture", cap, "health", "0", "--prometheus"});
    ASSERT_NE(r.code, 1) << r.err;
    const auto json =
        nlohmann::json::parse(RunCli({"--capture", cap, "health", "0", "--json"}).out);
    const std::vector<Sample> samples = ParseExposition(r.out);
    std::map<std::string, int> count;
    for (const Sample& s : samples) {
      ++count[s.name];
      EXPECT_EQ(s.labels.at("device"), "\\\\.\\PHYSICALDRIVE0");
      EXPECT_EQ(s.labels.at("model"), json["model"].get<std::string>());
      EXPECT_EQ(s.labels.at("serial"), json["serial"].get<std::string>());
      const std::map<std::string, double> verdicts = {{"GOOD", 0}, {"CAUTION", 1}, {"BAD", 2}};
      if (s.name == "disktest_health_verdict") {
        EXPECT_EQ(s.value, verdicts.at(json["verdict"].get<std::string>()));
      } else if (s.name == "disktest_temperature_celsius") {
        EXPECT_EQ(s.value, json["temperature_c"].get<double>());
      } else if (s.name == "disktest_power_on_hours") {
        EXPECT_EQ(s.value, json["power_on_hours"].get<double>());
      } else if (s.name == "disktest_ata_attribute_raw" && s.labels.at("id") == "9") {
        // The raw value, exactly.
        for (const auto& a : json["ata"]["attributes"]) {
          if (a["id"] == 9) {
            EXPECT_EQ(s.value, a["raw"].get<double>());
          }
        }
      }
    }
    EXPECT_EQ(count["disktest_health_verdict"], 1);
    EXPECT_EQ(count["disktest_temperature_celsius"], json["temperature_c"].is_null() ? 0 : 1);
    EXPECT_EQ(count["disktest_power_on_hours"], json["power_on_hours"].is_null() ? 0 : 1);
    std::set<int> ids;
    for (const auto& a : json["ata"]["attributes"]) ids.insert(a["id"].get<int>());
    EXPECT_EQ(count["disktest_ata_attribute_value"], static_cast<int>(ids.size()));
    EXPECT_EQ(count["disktest_ata_attribute_raw"], static_cast<int>(ids.size()));
  }
  EXPECT_EQ(nlohmann::json::parse(
                RunCli({"--capture", files.back(), "health", "0", "--json"}).out)["model"],
            R"(ST9"100\821 {a="b"})");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dt
