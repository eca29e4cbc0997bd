// disktest-cli list: the physical and the logical list as the main window
// shows them, each item with the device path it maps to.
#include <CLI/CLI.hpp>
#include <ostream>

#include "ui/cli/cli.h"
#include "device/device.h"
#include "device/text.h"

namespace dt::cli {

namespace {

void PrintItems(std::ostream& out, const char* heading, const std::vector<DriveItem>& items) {
  out << heading << "\n";
  if (items.empty()) out << "  (none)\n";
  std::size_t width = 0;
  for (const DriveItem& i : items) width = std::max(width, CharCount(i.text));
  for (const DriveItem& i : items) out << "  " << PadRight(i.text, width) << "   " << i.path << "\n";
}

int RunList(std::ostream& out, std::ostream&) {
  PrintItems(out, "Physical disks:", FillPhysicalList());
  PrintItems(out, "Logical drives:", FillLogicalList());
  return kExitOk;
}

}  // namespace

void AddListCommand(CLI::App& root, std::vector<Command>& commands) {
  CLI::App* app = root.add_subcommand(
      "list", "List the physical disks and logical drives with the device paths they map to");
  commands.push_back({app, &RunList});
}

}  // namespace dt::cli
