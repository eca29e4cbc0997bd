#include "ata/smart_logs.h"

#include <algorithm>

#include "base/text.h"

namespace dt {

namespace {

// Self-test log: revision word, 21 descriptors of 24 bytes from byte 2, the
// index of the newest descriptor (1 to 21, 0 for none) at byte 508.
constexpr std::size_t kSelfTestDescriptors = 21;
constexpr std::size_t kSelfTestDescriptorSize = 24;
constexpr std::size_t kSelfTestIndexOffset = 508;

// Summary error log: revision byte, index byte (1 to 5, 0 for none), 5 error
// log data structures of 90 bytes from byte 2, the error count at 452. Each
// data structure: 5 command data structures of 12 bytes (the fifth is the
// command that met the error), then 30 bytes of error data.
constexpr std::size_t kErrorStructures = 5;
constexpr std::size_t kErrorStructureSize = 90;
constexpr std::size_t kErrorCountOffset = 452;
constexpr std::size_t kCommandSize = 12;
constexpr std::size_t kErrorDataOffset = 60;

std::uint16_t Word(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool AllZero(const std::uint8_t* p, std::size_t n) {
  return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}

bool ChecksumValid(std::span<const std::uint8_t, 512> sector) {
  unsigned sum = 0;
  for (std::uint8_t b : sector) sum += b;
  return (sum & 0xFF) == 0;
}

// The drive's state when an error happened (low nibble of the state byte).
std::string StateText(std::uint8_t state) {
  switch (state & 0x0F) {
    case 0x0:
      return "Unknown";
    case 0x1:
      return "Sleep";
    case 0x2:
      return "Standby";
    case 0x3:
      return "Active or idle";
    case 0x4:
      return "Running an off-line test or self-test";
    default:
      return (state & 0x0F) >= 0xB ? "Vendor specific" : "Reserved";
  }
}

std::string Hex2(std::uint8_t b) {
  return HexText(b, 2);
}

}  // namespace

std::string SelfTestTypeText(std::uint8_t type) {
  switch (type) {
    case 0:
      return "Off-line data collection";
    case 1:
      return "Short offline";
    case 2:
      return "Extended offline";
    case 3:
      return "Conveyance offline";
    case 4:
      return "Selective offline";
    case 127:
      return "Abort";
    case 129:
      return "Short captive";
    case 130:
      return "Extended captive";
    case 131:
      return "Conveyance captive";
    case 132:
      return "Selective captive";
    default:
      break;
  }
  const bool vendor = (type >= 64 && type <= 126) || type >= 144;
  return std::string(vendor ? "Vendor specific" : "Reserved") + " (" + Hex2(type) + "h)";
}

std::string SelfTestStatusText(std::uint8_t status) {
  static const char* const kTexts[] = {
      "Completed without error",
      "Aborted by the host",
      "Interrupted by a reset",
      "Fatal error or unknown test error",
      "Failed: unknown test element",
      "Failed: electrical element",
      "Failed: servo or seek element",
      "Failed: read element",
      "Failed: handling damage suspected",
  };
  if (status < std::size(kTexts)) return kTexts[status];
  if (status == 15) return "In progress";
  return "Reserved (" + std::to_string(status) + ")";
}

std::optional<SelfTestLog> DecodeSelfTestLog(std::span<const std::uint8_t, 512> sector) {
  const std::size_t index = sector[kSelfTestIndexOffset];
  if (index > kSelfTestDescriptors) return std::nullopt;
  SelfTestLog log;
  log.revision = Word(sector.data());
  log.checksumValid = ChecksumValid(sector);
  if (index == 0) return log;
  // The descriptors form a ring: the newest is number `index`, the one
  // before it the next older, wrapping from the first to the 21st.
  for (std::size_t k = 0; k < kSelfTestDescriptors; ++k) {
    const std::size_t slot = (index - 1 + kSelfTestDescriptors - k) % kSelfTestDescriptors;
    const std::uint8_t* d = sector.data() + 2 + slot * kSelfTestDescriptorSize;
    if (AllZero(d, kSelfTestDescriptorSize)) continue;
    SelfTestEntry e;
    e.number = static_cast<int>(log.entries.size()) + 1;
    e.type = d[0];
    e.typeText = SelfTestTypeText(e.type);
    e.status = static_cast<std::uint8_t>(d[1] >> 4);
    e.statusText = SelfTestStatusText(e.status);
    e.remainingPercent = (d[1] & 0x0F) * 10;
    e.powerOnHours = Word(d + 2);
    e.failed = e.status >= 3 && e.status <= 8;
    const std::uint32_t lba = static_cast<std::uint32_t>(d[5]) | (std::uint32_t{d[6]} << 8) |
                              (std::uint32_t{d[7]} << 16) | (std::uint32_t{d[8]} << 24);
    // The failing LBA means something only for a failed test; all ones is
    // how drives mark that there is none.
    if (e.failed && lba != 0xFFFFFFFFu) e.failingLba = lba;
    log.entries.push_back(std::move(e));
  }
  return log;
}

std::optional<ErrorLogSummary> DecodeSummaryErrorLog(std::span<const std::uint8_t, 512> sector) {
  const std::size_t index = sector[1];
  if (index > kErrorStructures) return std::nullopt;
  ErrorLogSummary log;
  log.revision = sector[0];
  log.errorCount = Word(sector.data() + kErrorCountOffset);
  log.checksumValid = ChecksumValid(sector);
  if (index == 0) return log;
  for (std::size_t k = 0; k < kErrorStructures; ++k) {
    const std::size_t slot = (index - 1 + kErrorStructures - k) % kErrorStructures;
    const std::uint8_t* s = sector.data() + 2 + slot * kErrorStructureSize;
    if (AllZero(s, kErrorStructureSize)) continue;
    const std::uint8_t* err = s + kErrorDataOffset;
    // The fifth command data structure holds the command that met the
    // error; with fewer commands logged, the last one that holds anything.
    const std::uint8_t* cmd = s + 4 * kCommandSize;
    for (int c = 3; c >= 0 && AllZero(cmd, kCommandSize); --c) cmd = s + c * kCommandSize;
    ErrorLogEntry e;
    // The error count names the newest error, each older slot one less; the
    // count is 16 bits and wraps, so the numbers before a wrap lie above it.
    e.number = log.errorCount - static_cast<int>(k);
    if (e.number < 1) e.number += 0x10000;
    e.powerOnHours = Word(err + 28);
    e.error = err[1];
    e.count = err[2];
    e.lba = static_cast<std::uint32_t>(err[3]) | (std::uint32_t{err[4]} << 8) |
            (std::uint32_t{err[5]} << 16) | (std::uint32_t{err[6] & 0x0Fu} << 24);
    e.device = err[6];
    e.status = err[7];
    e.state = err[27];
    e.stateText = StateText(e.state);
    e.features = cmd[1];
    e.command = cmd[7];
    log.entries.push_back(std::move(e));
  }
  return log;
}

SelfTestProgress DecodeSelfTestProgress(std::uint8_t byte363) {
  SelfTestProgress p;
  p.status = static_cast<std::uint8_t>(byte363 >> 4);
  p.text = SelfTestStatusText(p.status);
  p.running = p.status == 15;
  p.remainingPercent = p.running ? (byte363 & 0x0F) * 10 : 0;
  return p;
}

SelfTestCapabilities DecodeSelfTestCapabilities(std::span<const std::uint8_t, 512> smartData) {
  SelfTestCapabilities c;
  const std::uint8_t offline = smartData[367];
  c.selfTest = (offline & 0x10) != 0;
  c.conveyance = (offline & 0x20) != 0;
  c.errorLog = (smartData[370] & 0x01) != 0;
  c.shortMinutes = smartData[372];
  // FFh: the extended time does not fit in a byte and is the word at 375.
  c.extendedMinutes = smartData[373] == 0xFF ? Word(smartData.data() + 375) : smartData[373];
  c.conveyanceMinutes = smartData[374];
  return c;
}

void ReportSelfTestLog(const SelfTestLog& log,
                       const std::function<void(const std::string&)>& line) {
  line("SMART self-test log (revision " + std::to_string(log.revision) + ")");
  if (!log.checksumValid) line("Warning: the log's checksum is wrong");
  if (log.entries.empty()) {
    line("No self-test has been logged");
    return;
  }
  line(
      "Num  Test                  Status                              Remaining  Hours  "
      "First failing LBA");
  for (const SelfTestEntry& e : log.entries) {
    line(PadLeft(std::to_string(e.number), 3) + "  " + PadRight(e.typeText, 20) + "  " +
         PadRight(e.statusText, 34) + "  " + PadLeft(std::to_string(e.remainingPercent) + "%", 9) +
         "  " + PadLeft(std::to_string(e.powerOnHours), 5) + "  " +
         (e.failingLba ? std::to_string(*e.failingLba) : std::string("-")));
  }
}

void ReportErrorLog(const ErrorLogSummary& log,
                    const std::function<void(const std::string&)>& line) {
  line("SMART summary error log (revision " + std::to_string(log.revision) + ")");
  if (!log.checksumValid) line("Warning: the log's checksum is wrong");
  line("Errors logged: " + std::to_string(log.errorCount));
  if (log.entries.empty()) return;
  line("Error  Hours  Command  Features  Status  Error        LBA  Device state");
  for (const ErrorLogEntry& e : log.entries) {
    line(PadLeft(std::to_string(e.number), 5) + "  " + PadLeft(std::to_string(e.powerOnHours), 5) +
         "  " + PadRight(Hex2(e.command) + "h", 7) + "  " + PadRight(Hex2(e.features) + "h", 8) +
         "  " + PadRight(Hex2(e.status) + "h", 6) + "  " + PadRight(Hex2(e.error) + "h", 5) + "  " +
         PadLeft(std::to_string(e.lba), 9) + "  " + e.stateText);
  }
}

void SetSectorChecksum(std::span<std::uint8_t, 512> sector) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum += sector[i];
  sector[511] = static_cast<std::uint8_t>((256 - (sum & 0xFF)) & 0xFF);
}

}  // namespace dt
