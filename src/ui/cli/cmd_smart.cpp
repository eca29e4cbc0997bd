// disktest-cli smart: the SMART and IDENTIFY report of a physical disk, line
// for line what the SMART window shows, or its facts as JSON.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "ata/smart_commands.h"
#include "base/text.h"
#include "health/health.h"
#include "health/smart_flow.h"
#include "nvme/nvme_report.h"
#include "platform/platform.h"
#include "ui/cli/cli.h"
#include "ui/cli/nvme_json.h"

namespace dt::cli {

namespace {

struct SmartArgs {
  std::string device;
  bool reserved = false;
  bool helpTexts = false;
  std::string identify;
  bool json = false;
  bool logs = false;
};

int RunSmart(const SmartArgs& args, std::ostream& out, std::ostream& err) {
  const int n = PhysicalDriveNumber(args.device);
  if (n < 0) {
    err << "disktest-cli: " << args.device
        << " is not a physical disk of the list (see disktest-cli list)\n";
    return kExitUsage;
  }
  if (args.json) {
    const SmartSummary s = ReadSmartSummary(n);
    // No ATA IDENTIFY: an NVMe drive says what its controller answers.
    const NvmeDrive nvme = s.identified ? NvmeDrive{} : ReadNvmeDrive(n);
    nlohmann::ordered_json j;
    j["schema_version"] = 1;
    j["drive"] = n;
    j["device"] = Sys().PhysicalDrivePath(n);
    if (nvme.identified) {
      const DriveHealth h = NvmeHealth(nvme);
      j["protocol"] = "nvme";
      j["model"] = h.model;
      j["serial"] = h.serial;
      j["firmware"] = h.firmware;
      j["nvme"] = h.nvme ? NvmeJson(*h.nvme) : nullptr;
      j["errors"] = h.errors;
      out << j.dump(2) << "\n";
      return h.errors.empty() ? kExitOk : kExitFailure;
    }
    j["protocol"] = "ata";
    j["model"] = s.identified ? nlohmann::ordered_json(s.model) : nullptr;
    j["serial"] = s.identified ? nlohmann::ordered_json(s.serial) : nullptr;
    j["firmware"] = s.identified ? nlohmann::ordered_json(s.firmware) : nullptr;
    j["sectors28"] = s.identified ? nlohmann::ordered_json(s.sectors28) : nullptr;
    j["sectors48"] = s.identified ? nlohmann::ordered_json(s.sectors48) : nullptr;
    j["attributes"] = nlohmann::ordered_json::array();
    for (const SmartAttribute& a : s.attributes) {
      nlohmann::ordered_json o;
      o["id"] = a.id;
      o["name"] = a.name;
      o["flags"] = a.flags;
      o["value"] = a.value;
      o["worst"] = a.worst;
      o["threshold"] = a.threshold ? nlohmann::ordered_json(*a.threshold) : nullptr;
      o["raw"] = a.raw;
      j["attributes"].push_back(o);
    }
    j["errors"] = s.errors;
    out << j.dump(2) << "\n";
    return s.errors.empty() ? kExitOk : kExitFailure;
  }
  SmartOptions o;
  o.reserved = args.reserved;
  o.help = args.helpTexts;
  o.identify = !args.identify.empty();
  o.english = args.identify != "ru";
  std::vector<std::string> lines;
  BuildSmartReport(n, o, [&](const std::string& l) {
    lines.push_back(l);
    out << l << "\n";
  });
  if (args.logs) {
    // The logs follow the report, which stays as it is; a log that cannot
    // be read says so in its place.
    out << "\n";
    const auto print = [&](const std::string& l) { out << l << "\n"; };
    TIDE_SMART drive;
    if (drive.OpenDrive(n)) {
      const bool ata = drive.LoadIdentify();
      drive.CloseDrive();
      // No ATA IDENTIFY: an NVMe drive keeps its own self-test log.
      const NvmeDrive nvme = ata ? NvmeDrive{} : ReadNvmeDrive(n);
      if (nvme.identified) {
        if (nvme.selfTestLog) {
          ReportNvmeSelfTestLog(*nvme.selfTestLog, print);
        } else {
          out << "NVMe self-test log (log 06h): not read (" << nvme.selfTestLogError << ")\n";
        }
      } else if (drive.OpenDrive(n)) {
        ReportSmartLogs(drive, print);
      } else {
        out << "SMART logs: the drive could not be opened:" << SystemErrorText(drive.LastError)
            << "\n";
      }
    } else {
      out << "SMART logs: the drive could not be opened:" << SystemErrorText(drive.LastError)
          << "\n";
    }
  }
  return FailureLines(lines).empty() ? kExitOk : kExitFailure;
}

}  // namespace

void AddSmartCommand(CLI::App& root, std::vector<Command>& commands) {
  // The options live as long as the run function that reads them.
  const auto args = std::make_shared<SmartArgs>();
  CLI::App* app = root.add_subcommand(
      "smart", "Print the SMART and IDENTIFY report of a physical disk (ATA pass-through)");
  app->add_option("DEVICE", args->device, "Disk number of `list`, or its device path")->required();
  app->add_flag("--reserved", args->reserved, "Print SMART reserved bytes and raw dumps");
  app->add_flag("--help-texts", args->helpTexts, "Print the attribute reference texts");
  app->add_option("--identify", args->identify,
                  "Append the IDENTIFY DEVICE report in English or Russian")
      ->check(CLI::IsMember({"en", "ru"}))
      ->option_text("en|ru");
  auto* json = app->add_flag("--json", args->json,
                             "Print identity and attribute table as JSON (schema in README.md)");
  app->add_flag("--logs", args->logs,
                "Append the self-test status, the self-test log and the summary error log (NVMe: "
                "the Device Self-test log)")
      ->excludes(json);
  commands.push_back(
      {app, [args](std::ostream& out, std::ostream& err) { return RunSmart(*args, out, err); }});
}

}  // namespace dt::cli
