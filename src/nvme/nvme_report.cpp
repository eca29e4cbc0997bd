#include "nvme/nvme_report.h"

#include "base/text.h"

namespace dt {

namespace {

constexpr std::size_t kLabelWidth = 37;

std::string Label(const std::string& text) {
  return PadRight(text, kLabelWidth) + ": ";
}

std::string Grouped(Uint128 v) {
  return ToGroupedDecimal(v);
}

std::string Hex(std::uint64_t v, int digits) {
  return "0x" + HexText(v, digits);
}

std::string Temperature(std::uint16_t kelvin) {
  const auto c = KelvinToCelsius(kelvin);
  return c ? std::to_string(*c) + " C (" + std::to_string(kelvin) + " K)" : "not reported";
}

std::string Bytes(Uint128 bytes) {
  return bytes.IsZero() ? "0" : Grouped(bytes) + " [" + SiBytesText(bytes) + "]";
}

void ReportIdentity(const NvmeDrive& d, const NvmeLineProc& line) {
  const NvmeController& c = d.controller;
  line("NVMe controller (Identify Controller)");
  line(Label("Model number") + c.model);
  line(Label("Serial number") + c.serial);
  line(Label("Firmware rev") + c.firmware);
  line(Label("PCI vendor ID / subsystem vendor ID") + Hex(c.vendorId, 4) + " / " +
       Hex(c.subsystemVendorId, 4));
  line(Label("IEEE OUI identifier") + Hex(c.ieeeOui, 6));
  line(Label("Controller ID") + std::to_string(c.controllerId));
  line(Label("NVMe version") + NvmeVersionText(c.version));
  line(Label("Number of namespaces") + std::to_string(c.namespaces));
  line(Label("Total NVM capacity") + Bytes(c.totalCapacity));
  line(Label("Unallocated NVM capacity") + Bytes(c.unallocatedCapacity));
  line(Label("Error log page entries") + std::to_string(c.errorLogEntries));
  line(Label("Log page attributes") + Hex(c.logPageAttributes, 2));
  line(Label("Warning composite temp. threshold") + Temperature(c.warningTempK));
  line(Label("Critical composite temp. threshold") + Temperature(c.criticalTempK));
  if (d.ns) {
    const NvmeNamespace& n = *d.ns;
    const std::string ns = "Namespace " + std::to_string(n.id);
    line(Label(ns + " size / capacity / used") + Grouped(n.sizeBlocks) + " / " +
         Grouped(n.capacityBlocks) + " / " + Grouped(n.utilizationBlocks) + " blocks");
    line(Label(ns + " formatted block size") +
         (n.blockSize ? std::to_string(n.blockSize) + " bytes" : "unknown"));
  }
}

void ReportLog(const NvmeSmartLog& l, const NvmeLineProc& line) {
  line("SMART / Health Information (log 02h)");
  line(Label("Critical warning") + Hex(l.criticalWarning, 2) +
       (l.criticalWarning == 0 ? " (none)" : ""));
  for (int bit = 0; bit < 8; ++bit) {
    if (!(l.criticalWarning & (1u << bit))) continue;
    const char* text = NvmeCriticalWarningText(bit);
    line(Label("  bit " + std::to_string(bit)) + (text ? text : "unknown warning"));
  }
  line(Label("Composite temperature") + Temperature(l.temperatureK));
  line(Label("Available spare") + std::to_string(l.availableSpare) + "%");
  line(Label("Available spare threshold") + std::to_string(l.availableSpareThreshold) + "%");
  line(Label("Percentage used") + std::to_string(l.percentageUsed) + "%");
  line(Label("Endurance group critical warning") + Hex(l.enduranceGroupWarning, 2));
  line(Label("Data units read") + DataUnitsText(l.dataUnitsRead));
  line(Label("Data units written") + DataUnitsText(l.dataUnitsWritten));
  line(Label("Host read commands") + Grouped(l.hostReadCommands));
  line(Label("Host write commands") + Grouped(l.hostWriteCommands));
  line(Label("Controller busy time") + Grouped(l.controllerBusyTime) + " min");
  line(Label("Power cycles") + Grouped(l.powerCycles));
  line(Label("Power-on hours") + Grouped(l.powerOnHours));
  line(Label("Unsafe shutdowns") + Grouped(l.unsafeShutdowns));
  line(Label("Media and data integrity errors") + Grouped(l.mediaErrors));
  line(Label("Error information log entries") + Grouped(l.errorLogEntries));
  line(Label("Warning composite temperature time") + Grouped(l.warningTempTime) + " min");
  line(Label("Critical composite temperature time") + Grouped(l.criticalTempTime) + " min");
  for (std::size_t i = 0; i < l.sensorK.size(); ++i)
    if (l.sensorK[i] != 0)
      line(Label("Temperature sensor " + std::to_string(i + 1)) + Temperature(l.sensorK[i]));
  line(Label("Thermal mgmt. temp. 1 transitions") + Grouped(l.thermal1Transitions));
  line(Label("Thermal mgmt. temp. 2 transitions") + Grouped(l.thermal2Transitions));
  line(Label("Thermal mgmt. temp. 1 total time") + Grouped(l.thermal1Time) + " s");
  line(Label("Thermal mgmt. temp. 2 total time") + Grouped(l.thermal2Time) + " s");
}

}  // namespace

std::string DataUnitsText(Uint128 units) {
  bool overflow = false;
  const Uint128 bytes = Multiply(units, kNvmeDataUnitBytes, &overflow);
  if (units.IsZero() || overflow) return Grouped(units);
  return Grouped(units) + " [" + SiBytesText(bytes) + "]";
}

void ReportNvme(const NvmeDrive& d, const NvmeLineProc& line) {
  ReportIdentity(d, line);
  line(" ");
  if (d.log) {
    ReportLog(*d.log, line);
  } else {
    line("SMART / Health Information (log 02h): not read (" + d.logError + ")");
  }
  line(" ");
  if (d.errorLogEntries) {
    line(Label("Error information log (log 01h)") + std::to_string(*d.errorLogEntries) + " of " +
         std::to_string(d.controller.errorLogEntries) + " entries hold an error");
  } else {
    line("Error information log (log 01h): not read (" + d.errorLogError + ")");
  }
}

std::string NvmeCurrentSelfTestText(const NvmeSelfTestLog& log) {
  if (!log.Running()) return "none";
  return NvmeSelfTestCodeText(log.currentOperation) + ", " + std::to_string(log.completionPercent) +
         "% complete";
}

void ReportNvmeSelfTestLog(const NvmeSelfTestLog& log, const NvmeLineProc& line) {
  line("NVMe self-test log (log 06h)");
  line("Current self-test: " + NvmeCurrentSelfTestText(log));
  if (log.entries.empty()) {
    line("No self-test has been logged");
    return;
  }
  line(
      "Num  Test             Result                                           Segment  "
      "Power-on hours  NSID        Failing LBA  Status");
  for (const NvmeSelfTestEntry& e : log.entries) {
    const std::string status =
        e.statusCodeType || e.statusCode
            ? (e.statusCodeType ? HexText(*e.statusCodeType, 1) + "h" : std::string("-")) + "/" +
                  (e.statusCode ? HexText(*e.statusCode, 2) + "h" : std::string("-"))
            : std::string("-");
    line(PadLeft(std::to_string(e.number), 3) + "  " + PadRight(NvmeSelfTestCodeText(e.code), 15) +
         "  " + PadRight(NvmeSelfTestResultText(e.result), 47) + "  " +
         PadLeft(e.segment ? std::to_string(e.segment) : std::string("-"), 7) + "  " +
         PadLeft(std::to_string(e.powerOnHours), 14) + "  " +
         PadRight(e.nsid ? (*e.nsid == kNvmeNsidAll ? std::string("all") : std::to_string(*e.nsid))
                         : std::string("-"),
                  4) +
         "  " + PadLeft(e.failingLba ? std::to_string(*e.failingLba) : std::string("-"), 17) +
         "  " + status);
  }
}

}  // namespace dt
