// disktest-cli list: the physical and the logical list as the main window
// shows them, each item with the device path it maps to.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "base/text.h"
#include "device/device.h"
#include "ui/cli/cli.h"

namespace dt::cli {

namespace {

void PrintItems(std::ostream& out, const char* heading, const std::vector<DriveItem>& items) {
  out << heading << "\n";
  if (items.empty()) out << "  (none)\n";
  std::size_t width = 0;
  for (const DriveItem& i : items) width = std::max(width, CharCount(i.text));
  for (const DriveItem& i : items)
    out << "  " << PadRight(i.text, width) << "   " << i.path << "\n";
}

constexpr int kListJsonSchemaVersion = 1;

void PrintJson(std::ostream& out) {
  using Json = nlohmann::ordered_json;
  Json j;
  j["schema_version"] = kListJsonSchemaVersion;
  Json& physical = j["physical"] = Json::array();
  const std::vector<DriveItem> disks = FillPhysicalList();
  for (std::size_t n = 0; n < disks.size(); ++n)
    physical.push_back({{"drive", n}, {"text", disks[n].text}, {"device", disks[n].path}});
  Json& logical = j["logical"] = Json::array();
  for (const DriveItem& i : FillLogicalList())
    logical.push_back({{"name", i.name}, {"text", i.text}, {"device", i.path}});
  out << j.dump(2) << "\n";
}

int RunList(bool json, std::ostream& out) {
  if (json) {
    PrintJson(out);
    return kExitOk;
  }
  PrintItems(out, "Physical disks:", FillPhysicalList());
  PrintItems(out, "Logical drives:", FillLogicalList());
  return kExitOk;
}

}  // namespace

void AddListCommand(CLI::App& root, std::vector<Command>& commands) {
  CLI::App* app = root.add_subcommand(
      "list", "List the physical disks and logical drives with the device paths they map to");
  // The flag lives as long as the run function that reads it.
  const auto json = std::make_shared<bool>(false);
  app->add_flag("--json", *json, "Print the lists as JSON (keys in README.md)");
  commands.push_back(
      {app, [json](std::ostream& out, std::ostream&) { return RunList(*json, out); }});
}

}  // namespace dt::cli
