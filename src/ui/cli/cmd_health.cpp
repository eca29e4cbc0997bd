// disktest-cli health: the verdict on a physical disk's health with the
// reasons for it, its temperature, power-on hours and last self-tests; as
// text, as JSON, or in the Prometheus text format for node_exporter's
// textfile collector.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <string>

#include "ata/health.h"
#include "platform/platform.h"
#include "ui/cli/cli.h"

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
HealthArgs g_args;

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
  j["protocol"] = h.protocol;
  j["model"] = identified ? Json(h.model) : Json(nullptr);
  j["serial"] = identified ? Json(h.serial) : Json(nullptr);
  j["firmware"] = identified ? Json(h.firmware) : Json(nullptr);
  j["verdict"] = h.read ? Json(VerdictName(h.verdict)) : Json(nullptr);
  j["reasons"] = h.reasons;
  j["notes"] = h.notes;
  j["temperature_c"] = OrNull(h.temperatureC);
  j["power_on_hours"] = OrNull(h.powerOnHours);
  j["ata"] = h.ata ? AtaJson(*h.ata) : Json(nullptr);
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
    out_ << name << "{" << labels_ << extra << "} " << value << "\n";
  }

 private:
  std::ostream& out_;
  std::string labels_;
};

void PrintPrometheus(std::ostream& out, const std::string& device, const DriveHealth& h) {
  Exposition e(out, "device=\"" + LabelValue(device) + "\",model=\"" + LabelValue(h.model) +
                        "\",serial=\"" + LabelValue(h.serial) + "\"");
  e.Gauge("disktest_health_verdict", "Health verdict of the drive: 0 GOOD, 1 CAUTION, 2 BAD.");
  e.Sample("disktest_health_verdict", h.verdict == Verdict::Good      ? 0
                                      : h.verdict == Verdict::Caution ? 1
                                                                      : 2);
  if (h.temperatureC) {
    e.Gauge("disktest_temperature_celsius", "Temperature of the drive in degrees Celsius.");
    e.Sample("disktest_temperature_celsius", static_cast<std::uint64_t>(*h.temperatureC));
  }
  if (h.powerOnHours) {
    e.Gauge("disktest_power_on_hours", "Power-on hours of the drive.");
    e.Sample("disktest_power_on_hours", *h.powerOnHours);
  }
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

int RunHealth(std::ostream& out, std::ostream& err) {
  const int n = PhysicalDriveNumber(g_args.device);
  if (n < 0) {
    err << "disktest-cli: " << g_args.device
        << " is not a physical disk of the list (see disktest-cli list)\n";
    return kExitUsage;
  }
  const std::string device = Sys().PhysicalDrivePath(n);
  const DriveHealth h = ReadHealth(n);
  if (g_args.json) {
    PrintJson(out, n, device, h);
  } else if (g_args.prometheus) {
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
  g_args = HealthArgs{};
  CLI::App* app = root.add_subcommand(
      "health",
      "Print the health verdict of a physical disk (exit code 0 GOOD, 3 CAUTION, 4 BAD, 1 when it "
      "cannot be read) with its reasons, temperature, power-on hours and last self-tests");
  app->add_option("DEVICE", g_args.device, "Disk number of `list`, or its device path")->required();
  auto* json = app->add_flag("--json", g_args.json, "Print it as JSON (keys in README.md)");
  auto* prom = app->add_flag("--prometheus", g_args.prometheus,
                             "Print it in the Prometheus text format (for node_exporter's "
                             "textfile collector)");
  json->excludes(prom);
  commands.push_back({app, &RunHealth});
}

}  // namespace dt::cli
