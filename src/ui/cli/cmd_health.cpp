// disktest-cli health: the verdict on a physical disk's health with the
// reasons for it, its temperature, power-on hours and last self-tests; as
// text, as JSON, or in the Prometheus text format for node_exporter's
// textfile collector.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <string>

#include "health/health.h"
#include "platform/platform.h"
#include "ui/cli/cli.h"
#include "ui/cli/nvme_json.h"

namespace dt::cli {

namespace {

// Exit codes of the verdicts (GOOD is kExitOk).
constexpr int kExitCaution = 3;
constexpr int kExitBad = 4;

constexpr int kJsonSchemaVersion = 1;

struct HealthArgs {
  std::string device;
  bool json = false;
  bool prometheus = false;
};

using Json = nlohmann::ordered_json;

int ExitCode(const DriveHealth& h) {
  if (!h.read) return kExitFailure;
  switch (h.verdict) {
    case Verdict::Good:
      return kExitOk;
    case Verdict::Caution:
      return kExitCaution;
    case Verdict::Bad:
      return kExitBad;
  }
  return kExitFailure;
}

template <typename T>
Json OrNull(const std::optional<T>& v) {
  return v ? Json(*v) : Json(nullptr);
}

const char* StatusKey(SmartStatus s) {
  switch (s) {
    case SmartStatus::Good:
      return "good";
    case SmartStatus::ThresholdExceeded:
      return "threshold_exceeded";
    case SmartStatus::Unknown:
      break;
  }
  return "unknown";
}

Json AtaJson(const AtaHealthData& d) {
  Json a;
  a["smart_status"] = StatusKey(d.status);
  if (d.selfTestByte) {
    const SelfTestProgress p = DecodeSelfTestProgress(*d.selfTestByte);
    a["self_test_execution"] = {{"status", p.status},
                                {"text", p.text},
                                {"remaining_percent", p.remainingPercent},
                                {"running", p.running}};
  } else {
    a["self_test_execution"] = nullptr;
  }
  a["attributes"] = Json::array();
  for (const SmartAttribute& x : d.attributes) {
    Json o;
    o["id"] = x.id;
    o["name"] = PlainAttributeName(x.id);
    o["flags"] = x.flags;
    o["prefailure"] = (x.flags & 1) != 0;
    o["value"] = x.value;
    o["worst"] = x.worst;
    o["threshold"] = OrNull(x.threshold);
    o["raw"] = x.raw;
    a["attributes"].push_back(o);
  }
  if (d.selfTestLog) {
    Json log;
    log["revision"] = d.selfTestLog->revision;
    log["entries"] = Json::array();
    for (const SelfTestEntry& e : d.selfTestLog->entries) {
      Json o;
      o["number"] = e.number;
      o["type"] = e.type;
      o["type_text"] = e.typeText;
      o["status"] = e.status;
      o["status_text"] = e.statusText;
      o["remaining_percent"] = e.remainingPercent;
      o["power_on_hours"] = e.powerOnHours;
      o["failing_lba"] = OrNull(e.failingLba);
      o["failed"] = e.failed;
      log["entries"].push_back(o);
    }
    a["self_test_log"] = log;
  } else {
    a["self_test_log"] = nullptr;
  }
  if (d.errorLog) {
    Json log;
    log["revision"] = d.errorLog->revision;
    log["error_count"] = d.errorLog->errorCount;
    log["entries"] = Json::array();
    for (const ErrorLogEntry& e : d.errorLog->entries) {
      Json o;
      o["number"] = e.number;
      o["power_on_hours"] = e.powerOnHours;
      o["command"] = e.command;
      o["status"] = e.status;
      o["error"] = e.error;
      o["lba"] = e.lba;
      o["state"] = e.stateText;
      log["entries"].push_back(o);
    }
    a["error_log"] = log;
  } else {
    a["error_log"] = nullptr;
  }
  return a;
}

void PrintJson(std::ostream& out, int drive, const std::string& device, const DriveHealth& h) {
  const bool identified = !h.model.empty() || !h.serial.empty() || !h.firmware.empty();
  Json j;
  j["schema_version"] = kJsonSchemaVersion;
  j["drive"] = drive;
  j["device"] = device;
  j["protocol"] = h.protocol.empty() ? Json(nullptr) : Json(h.protocol);
  j["model"] = identified ? Json(h.model) : Json(nullptr);
  j["serial"] = identified ? Json(h.serial) : Json(nullptr);
  j["firmware"] = identified ? Json(h.firmware) : Json(nullptr);
  j["verdict"] = h.read ? Json(VerdictName(h.verdict)) : Json(nullptr);
  j["reasons"] = h.reasons;
  j["notes"] = h.notes;
  j["temperature_c"] = OrNull(h.temperatureC);
  j["power_on_hours"] = OrNull(h.powerOnHours);
  j["ata"] = h.ata ? AtaJson(*h.ata) : Json(nullptr);
  if (h.protocol == "nvme") j["nvme"] = h.nvme ? NvmeJson(*h.nvme) : Json(nullptr);
  j["errors"] = h.errors;
  out << j.dump(2) << "\n";
}

// A label value of the text format: backslash, double quote and line feed
// escaped.
std::string LabelValue(const std::string& s) {
  std::string out;
  for (const char c : s) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

class Exposition {
 public:
  Exposition(std::ostream& out, std::string labels) : out_(out), labels_(std::move(labels)) {}

  // The # HELP and # TYPE lines of a gauge, once per metric.
  void Gauge(const std::string& name, const std::string& help) {
    out_ << "# HELP " << name << " " << help << "\n# TYPE " << name << " gauge\n";
  }
  void Sample(const std::string& name, std::uint64_t value, const std::string& extra = {}) {
    Sample(name, std::to_string(value), extra);
  }
  // A value already written out (a negative one, or a 128-bit counter's
  // exact digits).
  void Sample(const std::string& name, const std::string& value, const std::string& extra = {}) {
    out_ << name << "{" << labels_ << extra << "} " << value << "\n";
  }

 private:
  std::ostream& out_;
  std::string labels_;
};

// The NVMe health log as gauges: one per field (the composite temperature
// and the power-on hours are the drive's gauges above).
void PrintNvmeGauges(Exposition& e, const NvmeHealthData& d) {
  const NvmeSmartLog& l = d.log;
  auto gauge = [&](const std::string& name, const std::string& help, const std::string& value) {
    e.Gauge("disktest_nvme_" + name, help);
    e.Sample("disktest_nvme_" + name, value);
  };
  auto counter = [&](const std::string& name, const std::string& help, Uint128 v) {
    gauge(name, help, ToDecimal(v));
  };
  gauge("critical_warning", "Critical warning byte of the NVMe health log (0: no warning).",
        std::to_string(l.criticalWarning));
  e.Gauge("disktest_nvme_critical_warning_bit", "One bit of the NVMe critical warning (1: set).");
  for (int bit = 0; bit < kNvmeCriticalWarningBits; ++bit)
    e.Sample("disktest_nvme_critical_warning_bit", (l.criticalWarning >> bit) & 1u,
             ",bit=\"" + std::to_string(bit) + "\",name=\"" + NvmeCriticalWarningKey(bit) + "\"");
  gauge("available_spare_percent", "Available spare capacity of the NVMe drive in percent.",
        std::to_string(l.availableSpare));
  gauge("available_spare_threshold_percent",
        "Available spare below which the NVMe drive warns, in percent.",
        std::to_string(l.availableSpareThreshold));
  gauge("percentage_used", "Estimate of the rated endurance used, in percent (may exceed 100).",
        std::to_string(l.percentageUsed));
  gauge("endurance_group_critical_warning", "Endurance group critical warning summary byte.",
        std::to_string(l.enduranceGroupWarning));
  counter("data_units_read", "Data units read (1 unit = 512,000 bytes).", l.dataUnitsRead);
  counter("data_units_written", "Data units written (1 unit = 512,000 bytes).", l.dataUnitsWritten);
  counter("host_read_commands", "Read commands completed by the controller.", l.hostReadCommands);
  counter("host_write_commands", "Write commands completed by the controller.",
          l.hostWriteCommands);
  counter("controller_busy_time_minutes", "Time the controller was busy with I/O, in minutes.",
          l.controllerBusyTime);
  counter("power_cycles", "Power cycles of the NVMe drive.", l.powerCycles);
  counter("unsafe_shutdowns", "Unsafe shutdowns of the NVMe drive.", l.unsafeShutdowns);
  counter("media_errors", "Unrecovered data integrity errors of the NVMe drive.", l.mediaErrors);
  counter("num_err_log_entries", "Error information log entries over the drive's life.",
          l.errorLogEntries);
  gauge("warning_temp_time_minutes", "Minutes above the warning composite temperature threshold.",
        std::to_string(l.warningTempTime));
  gauge("critical_comp_time_minutes", "Minutes above the critical composite temperature threshold.",
        std::to_string(l.criticalTempTime));
  bool sensors = false;
  for (std::size_t i = 0; i < l.sensorK.size(); ++i) {
    const auto c = KelvinToCelsius(l.sensorK[i]);
    if (!c) continue;
    if (!sensors)
      e.Gauge("disktest_nvme_temperature_sensor_celsius",
              "Temperature sensor of the NVMe drive in degrees Celsius.");
    sensors = true;
    e.Sample("disktest_nvme_temperature_sensor_celsius", std::to_string(*c),
             ",sensor=\"" + std::to_string(i + 1) + "\"");
  }
  e.Gauge("disktest_nvme_thermal_transitions",
          "Transitions to a thermal management temperature (1: light, 2: heavy throttling).");
  e.Sample("disktest_nvme_thermal_transitions", l.thermal1Transitions, ",temp=\"1\"");
  e.Sample("disktest_nvme_thermal_transitions", l.thermal2Transitions, ",temp=\"2\"");
  e.Gauge("disktest_nvme_thermal_time_seconds",
          "Seconds spent at a thermal management temperature.");
  e.Sample("disktest_nvme_thermal_time_seconds", l.thermal1Time, ",temp=\"1\"");
  e.Sample("disktest_nvme_thermal_time_seconds", l.thermal2Time, ",temp=\"2\"");
  if (d.errorLogEntries)
    gauge("error_log_entries", "Entries of the error information log that hold an error.",
          std::to_string(*d.errorLogEntries));
  if (d.selfTestLog) {
    const NvmeSelfTestLog& t = *d.selfTestLog;
    gauge("self_test_running", "Whether the NVMe drive runs a self-test now (1: yes).",
          t.Running() ? "1" : "0");
    if (!t.entries.empty()) {
      const NvmeSelfTestEntry& last = t.entries[0];
      const std::string test = ",test=\"" + LabelValue(NvmeSelfTestCodeText(last.code)) + "\"";
      e.Gauge("disktest_nvme_self_test_last_result",
              "Result code of the newest entry of the NVMe self-test log (0: completed without "
              "error).");
      e.Sample("disktest_nvme_self_test_last_result", last.result, test);
      e.Gauge("disktest_nvme_self_test_last_failed",
              "Whether the newest self-test of the NVMe drive failed (1: yes).");
      e.Sample("disktest_nvme_self_test_last_failed", last.failed ? 1u : 0u, test);
      e.Gauge("disktest_nvme_self_test_last_power_on_hours",
              "Power-on hours at the newest self-test of the NVMe drive.");
      e.Sample("disktest_nvme_self_test_last_power_on_hours", last.powerOnHours, test);
    }
  }
}

void PrintPrometheus(std::ostream& out, const std::string& device, const DriveHealth& h) {
  Exposition e(out, "device=\"" + LabelValue(device) + "\",model=\"" + LabelValue(h.model) +
                        "\",serial=\"" + LabelValue(h.serial) + "\"");
  e.Gauge("disktest_health_verdict", "Health verdict of the drive: 0 GOOD, 1 CAUTION, 2 BAD.");
  e.Sample("disktest_health_verdict", h.verdict == Verdict::Good      ? 0
                                      : h.verdict == Verdict::Caution ? 1
                                                                      : 2);
  if (h.temperatureC) {
    e.Gauge("disktest_temperature_celsius", "Temperature of the drive in degrees Celsius.");
    e.Sample("disktest_temperature_celsius", std::to_string(*h.temperatureC));
  }
  if (h.powerOnHours) {
    e.Gauge("disktest_power_on_hours", "Power-on hours of the drive.");
    e.Sample("disktest_power_on_hours", *h.powerOnHours);
  }
  if (h.nvme) PrintNvmeGauges(e, *h.nvme);
  if (!h.ata || h.ata->attributes.empty()) return;
  // One series per attribute ID: a second slot with the same ID is left out.
  std::vector<const SmartAttribute*> attributes;
  std::set<std::uint8_t> seen;
  for (const SmartAttribute& a : h.ata->attributes)
    if (seen.insert(a.id).second) attributes.push_back(&a);
  auto labels = [](const SmartAttribute& a) {
    return ",id=\"" + std::to_string(a.id) + "\",name=\"" + LabelValue(PlainAttributeName(a.id)) +
           "\"";
  };
  e.Gauge("disktest_ata_attribute_value", "Normalised value of an ATA SMART attribute.");
  for (const SmartAttribute* a : attributes)
    e.Sample("disktest_ata_attribute_value", a->value, labels(*a));
  e.Gauge("disktest_ata_attribute_raw", "Raw value of an ATA SMART attribute (48 bits).");
  for (const SmartAttribute* a : attributes)
    e.Sample("disktest_ata_attribute_raw", a->raw, labels(*a));
}

void PrintText(std::ostream& out, const std::string& device, const DriveHealth& h) {
  out << device;
  if (!h.model.empty()) out << ": " << h.model;
  if (!h.serial.empty()) out << ", serial " << h.serial;
  if (!h.firmware.empty()) out << ", firmware " << h.firmware;
  out << "\n";
  ReportHealth(h, [&out](const std::string& l) { out << l << "\n"; });
}

int RunHealth(const HealthArgs& args, std::ostream& out, std::ostream& err) {
  const int n = PhysicalDriveNumber(args.device);
  if (n < 0) {
    err << "disktest-cli: " << args.device
        << " is not a physical disk of the list (see disktest-cli list)\n";
    return kExitUsage;
  }
  const std::string device = Sys().PhysicalDrivePath(n);
  const DriveHealth h = ReadHealth(n);
  if (args.json) {
    PrintJson(out, n, device, h);
  } else if (args.prometheus) {
    // Nothing for the collector when there is no verdict: the series go
    // stale rather than show a wrong one.
    if (h.read) PrintPrometheus(out, device, h);
    for (const std::string& e : h.errors) err << "disktest-cli: " << e << "\n";
  } else {
    PrintText(out, device, h);
  }
  return ExitCode(h);
}

}  // namespace

void AddHealthCommand(CLI::App& root, std::vector<Command>& commands) {
  // The options live as long as the run function that reads them.
  const auto args = std::make_shared<HealthArgs>();
  CLI::App* app = root.add_subcommand(
      "health",
      "Print the health verdict of a physical disk (exit code 0 GOOD, 3 CAUTION, 4 BAD, 1 when it "
      "cannot be read) with its reasons, temperature, power-on hours and last self-tests");
  app->add_option("DEVICE", args->device, "Disk number of `list`, or its device path")->required();
  auto* json = app->add_flag("--json", args->json, "Print it as JSON (keys in README.md)");
  auto* prom = app->add_flag("--prometheus", args->prometheus,
                             "Print it in the Prometheus text format (for node_exporter's "
                             "textfile collector)");
  json->excludes(prom);
  commands.push_back(
      {app, [args](std::ostream& out, std::ostream& err) { return RunHealth(*args, out, err); }});
}

}  // namespace dt::cli
