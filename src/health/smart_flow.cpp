#include "health/smart_flow.h"

#include <algorithm>

#include "ata/identify_report.h"
#include "ata/smart_report.h"
#include "base/text.h"
#include "health/health.h"
#include "nvme/nvme_report.h"

namespace dt {

namespace {

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

}  // namespace

int IdentifyPadding(int lines) {
  // A report of exactly 56 lines gets one line too, so that the IDENTIFY
  // report always starts after the 57th line or later.
  return lines >= 56 ? 1 : 57 - lines;
}

std::string BuildSmartReport(int driveNumber, const SmartOptions& options,
                             const TReportLineProc& line) {
  TIDE_SMART smart;
  int count = 0;
  const TReportLineProc counted = [&](const std::string& s) {
    ++count;
    line(s);
  };
  // The report is held back until it is known whether the drive answered
  // ATA IDENTIFY: where it did not but answers NVMe Identify, the NVMe
  // report takes the place of the failure lines.
  std::vector<std::string> report;
  ReportSmart(
      smart, driveNumber, options.reserved, [&](const std::string& s) { report.push_back(s); },
      options.help ? kHelpFull : kHelpNone);
  if (smart.IsOpen && !smart.IdentifyValid) {
    const NvmeDrive nvme = ReadNvmeDrive(driveNumber);
    if (nvme.identified) {
      smart.CloseDrive();
      const auto failed = std::find_if(report.begin(), report.end(), [](const std::string& l) {
        return l.rfind("ID error : System ", 0) == 0;
      });
      std::for_each(report.begin(), failed, counted);
      ReportNvme(nvme, counted);
      if (options.health) {
        counted("");
        ReportHealth(NvmeHealth(nvme), counted);
      }
      const NvmeController& c = nvme.controller;
      return c.model + " " + c.firmware + " " + c.serial + " ";
    }
  }
  std::for_each(report.begin(), report.end(), counted);
  if (options.identify) {
    for (int i = IdentifyPadding(count); i > 0; --i) counted("");
    ReportIdentify(smart, counted, options.english ? kIdentifyEnglish : kIdentifyRussian);
  }
  const std::string title = CleanText(smart.GetModel()) + " " + CleanText(smart.GetFirmware()) +
                            " " + CleanText(smart.GetSerial()) + " ";
  smart.CloseDrive();
  if (options.health) {
    counted("");
    ReportHealth(ReadHealth(driveNumber), counted);
  }
  return title;
}

std::vector<std::string> FailureLines(const std::vector<std::string>& lines) {
  static const char* const kStarts[] = {"Open Error ", "No support SMART",
                                        "ATTR read error : ", "Get disk geometry error ",
                                        "ID error : System "};
  std::vector<std::string> out;
  for (const std::string& l : lines) {
    for (const char* p : kStarts)
      if (l.rfind(p, 0) == 0) out.push_back(l);
    if (l.find("THRESHOLD read Error") != std::string::npos) out.push_back("THRESHOLD read Error");
  }
  return out;
}

std::vector<SmartAttribute> DecodeSmartAttributes(const std::uint8_t* data,
                                                  const std::uint8_t* thresholds) {
  std::vector<SmartAttribute> out;
  for (int i = 0; i < kSmartSlots; ++i) {
    const std::uint8_t* e = data + 2 + i * kSmartEntrySize;
    if (e[0] == 0) continue;
    SmartAttribute a;
    a.slot = i;
    a.id = e[0];
    a.name = Trim(AttributeName(e[0]));
    a.flags = static_cast<std::uint16_t>(e[1] | (e[2] << 8));
    a.value = e[3];
    a.worst = e[4];
    for (int b = 5; b >= 0; --b) a.raw = (a.raw << 8) | e[5 + b];
    if (thresholds) a.threshold = thresholds[2 + i * kSmartEntrySize + 1];
    out.push_back(a);
  }
  return out;
}

DriveIdentity IdentityOf(TIDE_SMART& smart) {
  return {Trim(CleanText(smart.GetModel())), Trim(CleanText(smart.GetSerial())),
          Trim(CleanText(smart.GetFirmware()))};
}

DriveIdentityRead ReadDriveIdentity(int driveNumber) {
  DriveIdentityRead r;
  TIDE_SMART smart;
  const bool opened = smart.OpenDrive(driveNumber);
  if (opened && smart.LoadIdentify()) {
    r.identified = true;
    r.protocol = "ata";
    r.trimmed = IdentityOf(smart);
    r.padded = {CleanText(smart.GetModel()), CleanText(smart.GetSerial()),
                CleanText(smart.GetFirmware())};
  }
  smart.CloseDrive();
  if (r.identified || !opened) return r;
  // No ATA IDENTIFY: an NVMe drive names itself in Identify Controller.
  const Handle h = OpenNvmeDrive(driveNumber, nullptr);
  if (h == kInvalidHandle) return r;
  std::vector<std::uint8_t> page(kNvmeIdentifySize);
  if (NvmeIdentify(h, kNvmeCnsController, 0, page.data(), nullptr)) {
    const NvmeController c = DecodeIdentifyController(page.data());
    r.identified = true;
    r.protocol = "nvme";
    r.trimmed = {c.model, c.serial, c.firmware};
    r.padded = {PadRight(c.model, 40), PadRight(c.serial, 20), PadRight(c.firmware, 8)};
  }
  Sys().Close(h);
  return r;
}

SmartSummary ReadSmartSummary(int driveNumber) {
  SmartSummary s;
  // The failure lines of the ATA report itself: where an NVMe drive answers
  // instead, the callers read it on their own, as BuildSmartReport would.
  std::vector<std::string> lines;
  TIDE_SMART report;
  ReportSmart(
      report, driveNumber, false, [&](const std::string& l) { lines.push_back(l); }, kHelpNone);
  report.CloseDrive();
  s.errors = FailureLines(lines);

  TIDE_SMART smart;
  if (!smart.OpenDrive(driveNumber)) return s;
  if (smart.LoadIdentify()) {
    s.identified = true;
    const DriveIdentity id = IdentityOf(smart);
    s.model = id.model;
    s.serial = id.serial;
    s.firmware = id.firmware;
    s.sectors28 = static_cast<std::uint32_t>(smart.Word(60)) |
                  (static_cast<std::uint32_t>(smart.Word(61)) << 16);
    for (int i = 3; i >= 0; --i) s.sectors48 = (s.sectors48 << 16) | smart.Word(100 + i);
  }
  SENDCMDOUTPARAMS512 data{}, thresholds{};
  std::uint32_t n = 0;
  if (smart.EnableSmart() && smart.ReadAttributes(&data, &n)) {
    s.dataSector.emplace();
    std::copy(data.bBuffer, data.bBuffer + 512, s.dataSector->begin());
    const bool haveThresholds = smart.ReadThresholds(&thresholds, &n);
    s.attributes =
        DecodeSmartAttributes(data.bBuffer, haveThresholds ? thresholds.bBuffer : nullptr);
  }
  smart.CloseDrive();
  return s;
}

}  // namespace dt
