// disktest-cli on the demo machine's NVMe SSD: health as text, JSON and
// Prometheus gauges, and smart as report and JSON.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "base/text.h"
#include "platform/platform.h"
#include "platform/sim/sim_platform.h"
#include "ui/cli/nvme_json.h"
#include "ui/cli/run_cli.h"

namespace dt {
namespace {

using test::RunCli;

TEST(NvmeCli, HealthOfTheDemoNvmeDisk) {
  const auto r = RunCli({"--demo", "health", "4", "--json"});
  EXPECT_EQ(r.code, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["protocol"], "nvme");
  EXPECT_EQ(j["verdict"], "GOOD");
  EXPECT_EQ(j["model"], "Corvale CV3 NVMe 4GB");
  EXPECT_EQ(j["temperature_c"], 38);
  EXPECT_EQ(j["power_on_hours"], 4127);
  EXPECT_TRUE(j["ata"].is_null());
  const auto& n = j["nvme"];
  EXPECT_EQ(n["serial"], "CV3A21K0774193");
  EXPECT_EQ(n["version"], "1.4");
  EXPECT_EQ(n["total_nvm_capacity"], 4294967296ull);
  EXPECT_EQ(n["namespace"]["size_blocks"], 8388608);
  EXPECT_EQ(n["critical_warning"], 0);
  EXPECT_EQ(n["critical_warning_bits"].size(), 6u);
  EXPECT_EQ(n["critical_warning_bits"]["read_only"], false);
  EXPECT_EQ(n["temperature_sensors_c"],
            nlohmann::json::parse("[38, 46, null, null, null, null, null, null]"));
  EXPECT_EQ(n["available_spare"], 100);
  EXPECT_EQ(n["available_spare_threshold"], 10);
  EXPECT_EQ(n["percentage_used"], 3);
  EXPECT_EQ(n["data_units_read"], 31478112);
  EXPECT_EQ(n["data_units_written"], 24905361);
  EXPECT_EQ(n["power_cycles"], 1214);
  EXPECT_EQ(n["unsafe_shutdowns"], 47);
  EXPECT_EQ(n["media_errors"], 0);
  EXPECT_EQ(n["error_log_entries"], 3);
  for (const char* key :
       {"host_read_commands", "host_write_commands", "controller_busy_time", "power_on_hours",
        "num_err_log_entries", "warning_temp_time", "critical_comp_time",
        "endurance_group_critical_warning", "thermal_temp1_transition_count",
        "thermal_temp2_transition_count", "thermal_temp1_total_time", "thermal_temp2_total_time"})
    EXPECT_TRUE(n[key].is_number()) << key;

  // 128-bit counters: numbers below 2^64, exact digits from there on.
  EXPECT_EQ(cli::CounterJson(Uint128(~0ull)), 18446744073709551615ull);
  EXPECT_EQ(cli::CounterJson(Uint128(1, 0)), "18446744073709551616");

  const auto prom = RunCli({"--demo", "health", "4", "--prometheus"});
  EXPECT_EQ(prom.code, 0);
  const std::string labels =
      R"({device="\\\\.\\PHYSICALDRIVE4",model="Corvale CV3 NVMe 4GB",serial="CV3A21K0774193")";
  for (const std::string& s :
       {"disktest_health_verdict" + labels + "} 0\n",
        "disktest_temperature_celsius" + labels + "} 38\n",
        "disktest_nvme_percentage_used" + labels + "} 3\n",
        "disktest_nvme_data_units_written" + labels + "} 24905361\n",
        "disktest_nvme_critical_warning_bit" + labels + R"(,bit="3",name="read_only"} 0)" + "\n",
        "disktest_nvme_temperature_sensor_celsius" + labels + R"(,sensor="2"} 46)" + "\n"})
    EXPECT_NE(prom.out.find(s), std::string::npos) << s << prom.out;
  EXPECT_EQ(prom.out.find("disktest_ata_"), std::string::npos);

  // The ATA drives keep their JSON without an "nvme" key.
  const auto ata = nlohmann::json::parse(RunCli({"--demo", "health", "0", "--json"}).out);
  EXPECT_EQ(ata["protocol"], "ata");
  EXPECT_FALSE(ata.contains("nvme"));
}

TEST(NvmeCli, SmartOfTheDemoNvmeDisk) {
  SetNumberFormat({",", "."});
  const auto r = RunCli({"--demo", "smart", "4"});
  EXPECT_EQ(r.code, 0) << r.out;
  for (const char* l : {"\nModel number                         : Corvale CV3 NVMe 4GB\n",
                        "\nData units read                      : 31,478,112 [16.1 TB]\n",
                        "\nData units written                   : 24,905,361 [12.8 TB]\n",
                        "\nPercentage used                      : 3%\n",
                        "\nPower-on hours                       : 4,127\n"})
    EXPECT_NE(r.out.find(l), std::string::npos) << l << r.out;
  EXPECT_EQ(r.out.find("No support SMART"), std::string::npos);

  const auto j = nlohmann::json::parse(RunCli({"--demo", "smart", "4", "--json"}).out);
  EXPECT_EQ(j["protocol"], "nvme");
  EXPECT_EQ(j["firmware"], "3B2QGXA7");
  EXPECT_EQ(j["nvme"]["power_on_hours"], 4127);
  EXPECT_TRUE(j["errors"].empty());
  const auto ata = nlohmann::json::parse(RunCli({"--demo", "smart", "0", "--json"}).out);
  EXPECT_EQ(ata["protocol"], "ata");
  EXPECT_FALSE(ata.contains("nvme"));
}

}  // namespace
}  // namespace dt

namespace dt {
namespace {

// An NVMe disk with an unreadable sector a quarter in, one whose controller
// runs no self-tests, and a disk that speaks neither ATA nor NVMe, on the
// virtual clock.
constexpr const char* kSelfTestMachine = R"({"disks": [
  {"size": 1073741824, "unreadable": [[524288, 524288]],
   "nvme": {"model": "Sim NVMe", "serial": "SN7", "firmware": "FW7", "power_on_hours": 100,
            "short_self_test_seconds": 60, "extended_self_test_minutes": 20}},
  {"size": 1048576, "nvme": {"self_test": false}},
  {"size": 67108864}]})";

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// Device Self-test from start to result on one machine: followed with
// --wait, its result in the log of `smart --logs`, in the verdict and the
// JSON of `health`, in the Prometheus gauges; a second test refused while
// one runs, abort, and the refusals of what a controller does not offer.
TEST(NvmeCli, SelfTestsRunAndShowTheirResults) {
  std::string error;
  auto m = ParseSimMachine(kSelfTestMachine, "", "m.json", &error);
  ASSERT_TRUE(m) << error;
  ScopedPlatform sim(std::move(m));
  const std::string drive0 = "\\\\.\\PHYSICALDRIVE0";

  auto r = RunCli({"selftest", "0", "short", "--wait"}, true);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Started the short self-test on " + drive0 +
                            " (the drive expects at most 2 minutes)\n"
                            "In progress: 100% remaining\nIn progress: 92% remaining\n",
                        0),
            0u)
      << r.out;
  EXPECT_TRUE(
      EndsWith(r.out, "In progress: 9% remaining\nSelf-test status: Completed without error\n"))
      << r.out;
  EXPECT_EQ(r.err, "");

  r = RunCli({"selftest", drive0, "long", "--wait"}, true);
  EXPECT_EQ(r.code, 4) << r.err;
  EXPECT_NE(r.out.find("(the drive expects about 20 minutes)\n"), std::string::npos) << r.out;
  EXPECT_TRUE(EndsWith(r.out,
                       "In progress: 76% remaining\nSelf-test status: Failed: one or more segments "
                       "failed\nFailed segment: 7\nFirst failing LBA: 524288\n"))
      << r.out;

  r = RunCli({"smart", "0", "--logs"}, true);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\nNVMe self-test log (log 06h)\nCurrent self-test: none\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(
      r.out.find("\n  1  Extended         Failed: one or more segments failed                 "
                 "   7             100  1                524288  2h/81h\n"
                 "  2  Short            Completed without error                             "
                 "   -             100  -                     -  -\n"),
      std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("SMART READ"), std::string::npos) << r.out;

  r = RunCli({"health", "0", "--json"}, true);
  EXPECT_EQ(r.code, 3) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["verdict"], "CAUTION");
  EXPECT_EQ(j["reasons"], nlohmann::json::parse(R"j(["the last self-test failed: Extended, )j"
                                                R"j(Failed: one or more segments failed, segment )j"
                                                R"j(7, failing LBA 524288 (self-test log, at 100 )j"
                                                R"j(power-on hours)"])j"));
  const auto& log = j["nvme"]["self_test_log"];
  EXPECT_EQ(j["nvme"]["self_test_supported"], true);
  EXPECT_EQ(j["nvme"]["extended_self_test_minutes"], 20);
  EXPECT_EQ(log["running"], false);
  EXPECT_TRUE(log["completion_percent"].is_null());
  ASSERT_EQ(log["entries"].size(), 2u);
  EXPECT_EQ(log["entries"][0], nlohmann::json::parse(R"({"number": 1, "type": 2,
      "type_text": "Extended", "result": 7, "result_text": "Failed: one or more segments failed",
      "segment": 7, "power_on_hours": 100, "nsid": 1, "failing_lba": 524288,
      "status_code_type": 2, "status_code": 129, "failed": true})"));
  EXPECT_EQ(log["entries"][1]["result"], 0);
  EXPECT_TRUE(log["entries"][1]["failing_lba"].is_null());

  r = RunCli({"health", "0", "--prometheus"}, true);
  const std::string labels = R"({device="\\\\.\\PHYSICALDRIVE0",model="Sim NVMe",serial="SN7")";
  for (const std::string& s :
       {"disktest_health_verdict" + labels + "} 1\n",
        "disktest_nvme_self_test_running" + labels + "} 0\n",
        "disktest_nvme_self_test_last_result" + labels + R"(,test="Extended"} 7)" + "\n",
        "disktest_nvme_self_test_last_failed" + labels + R"(,test="Extended"} 1)" + "\n"})
    EXPECT_NE(r.out.find(s), std::string::npos) << s << r.out;

  // One test at a time; abort ends it.
  EXPECT_EQ(RunCli({"selftest", "0", "short"}, true).code, 0);
  r = RunCli({"selftest", "0", "long"}, true);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "disktest-cli: a self-test is already running on " + drive0 +
                       " (100% remaining); disktest-cli selftest 0 abort stops it\n");
  r = RunCli({"selftest", "0", "abort", "--wait"}, true);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Asked " + drive0 +
                       " to abort its self-test\nSelf-test status: Aborted by a Device Self-test "
                       "command\n");

  // What the controllers do not offer, said plainly: no ATA message.
  r = RunCli({"selftest", "0", "conveyance"}, true);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "disktest-cli: " + drive0 +
                       " does not offer the conveyance self-test (NVMe has short and extended "
                       "ones)\n");
  r = RunCli({"selftest", "1", "short", "--wait"}, true);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            "disktest-cli: \\\\.\\PHYSICALDRIVE1 runs no self-tests (its NVMe controller "
            "does not offer Device Self-test)\n");
  r = RunCli({"smart", "1", "--logs"}, true);
  EXPECT_TRUE(EndsWith(r.out,
                       "\nNVMe self-test log (log 06h): not read (the controller runs no "
                       "self-tests)\n"))
      << r.out;
  EXPECT_EQ(r.out.find("SMART READ"), std::string::npos);

  // A disk of neither protocol has none.
  const auto none = nlohmann::json::parse(RunCli({"health", "2", "--json"}, true).out);
  EXPECT_TRUE(none["protocol"].is_null());
  EXPECT_TRUE(none["ata"].is_null());
}

// The read-speed test names an NVMe drive by its controller's identity, in
// the JSON and in the report title, as it names an ATA drive by IDENTIFY.
TEST(NvmeCli, SpeedTakesTheIdentityOfTheController) {
  std::string error;
  auto m = ParseSimMachine(kSelfTestMachine, "", "m.json", &error);
  ASSERT_TRUE(m) << error;
  ScopedPlatform sim(std::move(m));
  const auto r = RunCli({"speed", "0", "--count", "4", "--to", "10%", "--json", "-"}, true);
  ASSERT_EQ(r.code, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["model"], "Sim NVMe");
  EXPECT_EQ(j["firmware"], "FW7");
  EXPECT_EQ(j["serial"], "SN7");
  EXPECT_EQ(j["report_title"], "Sim NVMe" + std::string(32, ' ') + "  Firmware: FW7" +
                                   std::string(5, ' ') + "  Serial: SN7" + std::string(17, ' '));
  // A disk that answers neither keeps the empty identity.
  const auto none =
      nlohmann::json::parse(RunCli({"speed", "2", "--count", "4", "--json", "-"}, true).out);
  EXPECT_TRUE(none["model"].is_null());
  EXPECT_EQ(none["report_title"], "  Firmware:   Serial: ");
}

}  // namespace
}  // namespace dt
