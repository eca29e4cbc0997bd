#include "health/health.h"

#include <algorithm>
#include <span>

#include "ata/smart_report.h"
#include "base/text.h"
#include "nvme/nvme_report.h"

namespace dt {

namespace {

constexpr std::size_t kLabelWidth = 37;

std::string Num(std::uint64_t v) {
  return std::to_string(v);
}

bool ValidValue(std::uint8_t v) {
  return v >= 1 && v <= 253;
}

const SmartAttribute* Find(const std::vector<SmartAttribute>& attributes, std::uint8_t id) {
  for (const SmartAttribute& a : attributes)
    if (a.id == id) return &a;
  return nullptr;
}

std::string Label(const std::string& text) {
  return PadRight(text, kLabelWidth) + ": ";
}

std::string AttributeTitle(const SmartAttribute& a) {
  return "attribute " + Num(a.id) + " " + PlainAttributeName(a.id);
}

// A failing self-test: from the newest finished entry of the log when the
// log was read, else from the self-test execution status byte.
std::optional<std::string> FailedSelfTest(const AtaHealthData& d) {
  if (d.selfTestLog) {
    for (const SelfTestEntry& e : d.selfTestLog->entries) {
      if (e.status == 15) continue;  // still running
      if (!e.failed) return std::nullopt;
      std::string text = "the last self-test failed: " + e.typeText + ", " + e.statusText;
      if (e.failingLba) text += ", first failing LBA " + Num(*e.failingLba);
      return text + " (self-test log, at " + Num(e.powerOnHours) + " power-on hours)";
    }
    return std::nullopt;
  }
  if (d.selfTestByte) {
    const SelfTestProgress p = DecodeSelfTestProgress(*d.selfTestByte);
    if (p.status >= 3 && p.status <= 8)
      return "the last self-test failed: " + p.text + " (self-test execution status " +
             Num(p.status) + ")";
  }
  return std::nullopt;
}

// One sector of a log that the drive says it keeps.
std::optional<std::array<std::uint8_t, 512>> ReadLog(TIDE_SMART& smart, bool kept,
                                                     std::uint8_t address, const std::string& name,
                                                     std::string* error) {
  if (!kept) {
    *error = "the drive keeps no " + name;
    return std::nullopt;
  }
  std::array<std::uint8_t, 512> sector{};
  if (!ReadSmartLog(smart, address, &sector, error)) return std::nullopt;
  return sector;
}

const char* StatusText(SmartStatus s) {
  switch (s) {
    case SmartStatus::Good:
      return "good";
    case SmartStatus::ThresholdExceeded:
      return "threshold exceeded";
    case SmartStatus::Unknown:
      break;
  }
  return "unknown";
}

}  // namespace

const char* VerdictName(Verdict v) {
  switch (v) {
    case Verdict::Good:
      return "GOOD";
    case Verdict::Caution:
      return "CAUTION";
    case Verdict::Bad:
      return "BAD";
  }
  return "GOOD";
}

std::string PlainAttributeName(std::uint8_t id) {
  // The report's name: a three-character marker column, the name, a blank.
  const std::string name = AttributeName(id);
  if (name.size() < 4) return std::string();
  std::string plain = name.substr(3);
  while (!plain.empty() && plain.back() == ' ') plain.pop_back();
  return plain;
}

std::uint64_t AtaCount(const SmartAttribute& a) {
  return a.raw & 0xFFFF;
}

std::optional<int> AtaTemperature(const std::vector<SmartAttribute>& attributes) {
  for (const std::uint8_t id : {std::uint8_t{194}, std::uint8_t{190}}) {
    const SmartAttribute* a = Find(attributes, id);
    if (!a) continue;
    const int t = static_cast<int>(a->raw & 0xFF);
    if (t >= 1 && t <= 127) return t;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> AtaPowerOnHours(const std::vector<SmartAttribute>& attributes) {
  const SmartAttribute* a = Find(attributes, 9);
  if (!a) return std::nullopt;
  return a->raw & 0xFFFFFF;
}

VerdictResult AtaVerdict(const AtaHealthData& d) {
  std::vector<std::string> bad, caution;
  if (d.status == SmartStatus::ThresholdExceeded)
    bad.push_back("the drive's SMART status says a threshold is exceeded");

  for (const SmartAttribute& a : d.attributes) {
    if (!a.threshold || *a.threshold == 0) continue;
    const std::uint8_t t = *a.threshold;
    const bool prefailure = (a.flags & 1) != 0;
    if (ValidValue(a.value) && a.value <= t) {
      const std::string text = AttributeTitle(a) + ": value " + Num(a.value) +
                               " is at or below its threshold " + Num(t) +
                               (prefailure ? " (pre-failure)" : " (old-age)");
      (prefailure ? bad : caution).push_back(text);
    } else if (ValidValue(a.worst) && a.worst <= t) {
      caution.push_back(AttributeTitle(a) + ": worst value " + Num(a.worst) +
                        " was at or below its threshold " + Num(t));
    }
  }

  static constexpr struct {
    std::uint8_t id;
    const char* what;
  } kCounts[] = {{5, "reallocated sector"},
                 {196, "reallocation event"},
                 {197, "pending sector"},
                 {198, "off-line uncorrectable sector"}};
  for (const auto& c : kCounts) {
    const SmartAttribute* a = Find(d.attributes, c.id);
    if (!a) continue;
    const std::uint64_t n = AtaCount(*a);
    if (n > 0)
      caution.push_back(Num(n) + " " + c.what + (n == 1 ? " (" : "s (") + AttributeTitle(*a) + ")");
  }

  if (const auto failed = FailedSelfTest(d)) caution.push_back(*failed);

  VerdictResult r;
  r.verdict = !bad.empty() ? Verdict::Bad : !caution.empty() ? Verdict::Caution : Verdict::Good;
  r.reasons = std::move(bad);
  r.reasons.insert(r.reasons.end(), caution.begin(), caution.end());
  return r;
}

DriveHealth AtaHealth(const SmartSummary& summary, AtaHealthData data) {
  DriveHealth h;
  // A drive that answers neither IDENTIFY nor SMART READ DATA speaks no ATA
  // that was seen (an NVMe drive is read before this).
  if (summary.identified || !data.attributes.empty()) h.protocol = "ata";
  h.errors = summary.errors;
  if (summary.identified) {
    h.model = summary.model;
    h.serial = summary.serial;
    h.firmware = summary.firmware;
  }
  if (data.attributes.empty()) {
    if (h.errors.empty()) h.errors.push_back("the drive reports no SMART attributes");
    return h;
  }
  h.read = true;
  const VerdictResult v = AtaVerdict(data);
  h.verdict = v.verdict;
  h.reasons = v.reasons;
  if (data.status == SmartStatus::Unknown)
    h.notes.push_back("the drive's own SMART status (RETURN STATUS) could not be read");
  if (std::none_of(data.attributes.begin(), data.attributes.end(),
                   [](const SmartAttribute& a) { return a.threshold.has_value(); }))
    h.notes.push_back("the thresholds could not be read: no attribute was compared with one");
  h.temperatureC = AtaTemperature(data.attributes);
  h.powerOnHours = AtaPowerOnHours(data.attributes);
  h.ata = std::move(data);
  return h;
}

VerdictResult NvmeVerdict(const NvmeSmartLog& l, const NvmeSelfTestLog* selfTests) {
  VerdictResult r;
  std::vector<std::string> caution;
  for (int bit = 0; bit < 8; ++bit) {
    if (!(l.criticalWarning & (1u << bit))) continue;
    const char* text = NvmeCriticalWarningText(bit);
    r.reasons.push_back("critical warning bit " + Num(static_cast<std::uint64_t>(bit)) + ": " +
                        (text ? text : "unknown warning"));
  }
  if (l.availableSpare < l.availableSpareThreshold)
    r.reasons.push_back("available spare " + Num(l.availableSpare) + "% is below its threshold " +
                        Num(l.availableSpareThreshold) + "%");
  if (!l.mediaErrors.IsZero())
    caution.push_back(ToDecimal(l.mediaErrors) + " media and data integrity error" +
                      (l.mediaErrors == Uint128(1) ? "" : "s"));
  if (l.percentageUsed >= 90)
    caution.push_back("percentage used " + Num(l.percentageUsed) +
                      "%: the drive is near or past its rated endurance");
  if (selfTests && !selfTests->entries.empty() && selfTests->entries[0].failed) {
    const NvmeSelfTestEntry& e = selfTests->entries[0];
    std::string text = "the last self-test failed: " + NvmeSelfTestCodeText(e.code) + ", " +
                       NvmeSelfTestResultText(e.result);
    if (e.segment) text += ", segment " + Num(e.segment);
    if (e.failingLba) text += ", failing LBA " + Num(*e.failingLba);
    caution.push_back(text + " (self-test log, at " + Num(e.powerOnHours) + " power-on hours)");
  }
  r.verdict = !r.reasons.empty() ? Verdict::Bad
              : !caution.empty() ? Verdict::Caution
                                 : Verdict::Good;
  r.reasons.insert(r.reasons.end(), caution.begin(), caution.end());
  return r;
}

DriveHealth NvmeHealth(const NvmeDrive& drive) {
  DriveHealth h;
  h.protocol = "nvme";
  if (!drive.identified) {
    h.errors.push_back(drive.identifyError);
    return h;
  }
  h.model = drive.controller.model;
  h.serial = drive.controller.serial;
  h.firmware = drive.controller.firmware;
  if (!drive.log) {
    h.errors.push_back(drive.logError);
    return h;
  }
  h.read = true;
  const VerdictResult v =
      NvmeVerdict(*drive.log, drive.selfTestLog ? &*drive.selfTestLog : nullptr);
  h.verdict = v.verdict;
  h.reasons = v.reasons;
  h.temperatureC = KelvinToCelsius(drive.log->temperatureK);
  if (drive.log->powerOnHours.FitsIn64()) h.powerOnHours = drive.log->powerOnHours.lo;
  NvmeHealthData data;
  data.controller = drive.controller;
  data.ns = drive.ns;
  data.log = *drive.log;
  data.errorLogEntries = drive.errorLogEntries;
  data.errorLogError = drive.errorLogError;
  data.selfTestLog = drive.selfTestLog;
  data.selfTestLogError = drive.selfTestLogError;
  if (!drive.errorLogEntries)
    h.notes.push_back("the error information log could not be read: " + drive.errorLogError);
  if (drive.controller.SelfTestSupported() && !drive.selfTestLog)
    h.notes.push_back("the self-test log could not be read: " + drive.selfTestLogError);
  h.nvme = std::move(data);
  return h;
}

DriveHealth ReadHealth(int driveNumber) {
  const SmartSummary summary = ReadSmartSummary(driveNumber);
  if (!summary.identified) {
    // No ATA IDENTIFY: an NVMe drive answers its own Identify.
    const NvmeDrive nvme = ReadNvmeDrive(driveNumber);
    if (nvme.identified) return NvmeHealth(nvme);
  }
  AtaHealthData data;
  data.attributes = summary.attributes;
  if (!summary.attributes.empty()) {
    TIDE_SMART smart;
    if (smart.OpenDrive(driveNumber)) {
      data.status = ReturnSmartStatus(smart);
      const std::array<std::uint8_t, 512>* sector =
          summary.dataSector ? &*summary.dataSector : nullptr;
      if (sector) data.selfTestByte = (*sector)[kSelfTestStatusOffset];
      const SelfTestCapabilities kept =
          sector ? DecodeSelfTestCapabilities(*sector) : SelfTestCapabilities{};
      const bool selfTests = kept.selfTest;
      const bool errorLogging = kept.errorLog;
      if (const auto log =
              ReadLog(smart, selfTests, kLogSelfTest, "self-test log", &data.selfTestLogError)) {
        data.selfTestLog = DecodeSelfTestLog(*log);
        if (!data.selfTestLog) data.selfTestLogError = "the self-test log sector holds no log";
      }
      if (const auto log =
              ReadLog(smart, errorLogging, kLogSummaryError, "error log", &data.errorLogError)) {
        data.errorLog = DecodeSummaryErrorLog(*log);
        if (!data.errorLog) data.errorLogError = "the error log sector holds no log";
      }
      smart.CloseDrive();
    }
  }
  return AtaHealth(summary, std::move(data));
}

void ReportHealth(const DriveHealth& h, const TReportLineProc& line) {
  line("Health");
  if (!h.read) {
    line(Label("Verdict") + "the health could not be read");
    for (const std::string& e : h.errors) line(Label("Error") + e);
    return;
  }
  line(Label("Verdict") + VerdictName(h.verdict));
  for (const std::string& r : h.reasons) line(Label("Reason") + r);
  for (const std::string& n : h.notes) line(Label("Note") + n);
  line(Label("Temperature") +
       (h.temperatureC ? std::to_string(*h.temperatureC) + " C" : "unknown"));
  line(Label("Power-on hours") + (h.powerOnHours ? Num(*h.powerOnHours) : "unknown"));
  if (h.nvme) {
    const NvmeHealthData& n = *h.nvme;
    line(Label("Critical warning") + "0x" + HexText(n.log.criticalWarning, 2));
    line(Label("Available spare") + Num(n.log.availableSpare) + "% (threshold " +
         Num(n.log.availableSpareThreshold) + "%)");
    line(Label("Percentage used") + Num(n.log.percentageUsed) + "%");
    line(Label("Media and data integrity errors") + ToDecimal(n.log.mediaErrors));
    line(Label("Error information log") +
         (n.errorLogEntries ? Num(*n.errorLogEntries) + " of " + Num(n.controller.errorLogEntries) +
                                  " entries hold an error"
                            : "not read (" + n.errorLogError + ")"));
    // The self-test log as `smart --logs` shows it.
    line(" ");
    if (n.selfTestLog) {
      ReportNvmeSelfTestLog(*n.selfTestLog, line);
    } else {
      line("NVMe self-test log (log 06h): not read (" + n.selfTestLogError + ")");
    }
  }
  if (!h.ata) return;
  const AtaHealthData& d = *h.ata;
  line(Label("SMART status") + StatusText(d.status));

  if (d.selfTestByte) {
    const SelfTestProgress p = DecodeSelfTestProgress(*d.selfTestByte);
    line(Label("Self-test execution status") + p.text +
         (p.running ? ", " + Num(static_cast<std::uint64_t>(p.remainingPercent)) + "% remaining"
                    : std::string()));
  }
  // The logs as `smart --logs` shows them.
  line(" ");
  if (d.selfTestLog) {
    ReportSelfTestLog(*d.selfTestLog, line);
  } else {
    line("SMART self-test log: not read (" + d.selfTestLogError + ")");
  }
  line(" ");
  if (d.errorLog) {
    ReportErrorLog(*d.errorLog, line);
  } else {
    line("SMART summary error log: not read (" + d.errorLogError + ")");
  }
}

}  // namespace dt
