// disktest-cli on the demo machine's NVMe SSD: health as text, JSON and
// Prometheus gauges, and smart as report and JSON.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "device/text.h"
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
