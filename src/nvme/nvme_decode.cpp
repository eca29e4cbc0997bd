#include "nvme/nvme_decode.h"

#include <iterator>

namespace dt {

namespace {

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t Le64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Le32(p + 4)) << 32 | Le32(p);
}

// An ASCII field padded with blanks (some drives pad with NULs): printable
// characters only, without the blanks around them.
std::string AsciiField(const std::uint8_t* p, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i)
    s += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : ' ';
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

struct WarningBit {
  const char* text;
  const char* key;
};
constexpr WarningBit kWarningBits[kNvmeCriticalWarningBits] = {
    {"available spare below threshold", "spare_below_threshold"},
    {"temperature above or below a threshold", "temperature"},
    {"NVM subsystem reliability degraded", "reliability_degraded"},
    {"media placed in read-only mode", "read_only"},
    {"volatile memory backup device failed", "volatile_memory_backup_failed"},
    {"persistent memory region read-only or unreliable", "persistent_memory_region_read_only"},
};

}  // namespace

const char* NvmeCriticalWarningText(int bit) {
  return bit >= 0 && bit < kNvmeCriticalWarningBits ? kWarningBits[bit].text : nullptr;
}

const char* NvmeCriticalWarningKey(int bit) {
  return bit >= 0 && bit < kNvmeCriticalWarningBits ? kWarningBits[bit].key : nullptr;
}

std::optional<int> KelvinToCelsius(std::uint16_t kelvin) {
  if (kelvin == 0) return std::nullopt;
  return static_cast<int>(kelvin) - 273;
}

std::string NvmeVersionText(std::uint32_t version) {
  if (version == 0) return "before 1.2";
  std::string s = std::to_string(version >> 16) + "." + std::to_string((version >> 8) & 0xFF);
  if (version & 0xFF) s += "." + std::to_string(version & 0xFF);
  return s;
}

NvmeController DecodeIdentifyController(const std::uint8_t* d) {
  NvmeController c;
  c.vendorId = Le16(d + 0);
  c.subsystemVendorId = Le16(d + 2);
  c.serial = AsciiField(d + 4, 20);
  c.model = AsciiField(d + 24, 40);
  c.firmware = AsciiField(d + 64, 8);
  c.ieeeOui = static_cast<std::uint32_t>(d[73]) | static_cast<std::uint32_t>(d[74]) << 8 |
              static_cast<std::uint32_t>(d[75]) << 16;
  c.controllerId = Le16(d + 78);
  c.version = Le32(d + 80);
  c.adminCommands = Le16(d + 256);
  c.logPageAttributes = d[261];
  c.errorLogEntries = static_cast<std::uint32_t>(d[262]) + 1;
  c.warningTempK = Le16(d + 266);
  c.criticalTempK = Le16(d + 268);
  c.totalCapacity = Uint128::FromLe(d + 280);
  c.unallocatedCapacity = Uint128::FromLe(d + 296);
  c.extendedSelfTestMinutes = Le16(d + 316);
  c.namespaces = Le32(d + 516);
  return c;
}

NvmeNamespace DecodeIdentifyNamespace(const std::uint8_t* d, std::uint32_t nsid) {
  NvmeNamespace n;
  n.id = nsid;
  n.sizeBlocks = Le64(d + 0);
  n.capacityBlocks = Le64(d + 8);
  n.utilizationBlocks = Le64(d + 16);
  // FLBAS bits 0-3 choose one of the LBA formats from byte 128 on (4 bytes
  // each, the block size as a power of two in the third byte).
  const std::uint8_t format = d[26] & 0x0F;
  const std::uint8_t shift = d[128 + 4 * format + 2];
  n.blockSize = shift >= 9 && shift < 32 ? 1u << shift : 0;
  return n;
}

NvmeSmartLog DecodeSmartHealthLog(const std::uint8_t* d) {
  NvmeSmartLog l;
  l.criticalWarning = d[0];
  l.temperatureK = Le16(d + 1);
  l.availableSpare = d[3];
  l.availableSpareThreshold = d[4];
  l.percentageUsed = d[5];
  l.enduranceGroupWarning = d[6];
  l.dataUnitsRead = Uint128::FromLe(d + 32);
  l.dataUnitsWritten = Uint128::FromLe(d + 48);
  l.hostReadCommands = Uint128::FromLe(d + 64);
  l.hostWriteCommands = Uint128::FromLe(d + 80);
  l.controllerBusyTime = Uint128::FromLe(d + 96);
  l.powerCycles = Uint128::FromLe(d + 112);
  l.powerOnHours = Uint128::FromLe(d + 128);
  l.unsafeShutdowns = Uint128::FromLe(d + 144);
  l.mediaErrors = Uint128::FromLe(d + 160);
  l.errorLogEntries = Uint128::FromLe(d + 176);
  l.warningTempTime = Le32(d + 192);
  l.criticalTempTime = Le32(d + 196);
  for (std::size_t i = 0; i < l.sensorK.size(); ++i) l.sensorK[i] = Le16(d + 200 + 2 * i);
  l.thermal1Transitions = Le32(d + 216);
  l.thermal2Transitions = Le32(d + 220);
  l.thermal1Time = Le32(d + 224);
  l.thermal2Time = Le32(d + 228);
  return l;
}

std::string NvmeSelfTestCodeText(std::uint8_t code) {
  switch (code) {
    case kNvmeSelfTestShort:
      return "Short";
    case kNvmeSelfTestExtended:
      return "Extended";
    case 0xE:
      return "Vendor specific";
    default:
      return "Reserved (" + std::string(1, "0123456789ABCDEF"[code & 0xF]) + "h)";
  }
}

std::string NvmeSelfTestResultText(std::uint8_t result) {
  static const char* const kTexts[] = {
      "Completed without error",
      "Aborted by a Device Self-test command",
      "Aborted by a controller level reset",
      "Aborted: its namespace was removed",
      "Aborted by a Format NVM command",
      "Failed: fatal or unknown test error",
      "Failed: a segment failed (which one is unknown)",
      "Failed: one or more segments failed",
      "Aborted for an unknown reason",
      "Aborted by a sanitize operation",
  };
  if (result < std::size(kTexts)) return kTexts[result];
  if (result == 0xF) return "Unused entry";
  return "Reserved (" + std::string(1, "0123456789ABCDEF"[result & 0xF]) + "h)";
}

bool NvmeSelfTestFailed(std::uint8_t result) {
  return result >= 5 && result <= 7;
}

bool NvmeSelfTestAborted(std::uint8_t result) {
  return (result >= 1 && result <= 4) || result == 8 || result == 9;
}

NvmeSelfTestLog DecodeSelfTestLogPage(const std::uint8_t* d) {
  NvmeSelfTestLog log;
  log.currentOperation = d[0] & 0x0F;
  log.completionPercent = d[1] & 0x7F;
  for (int i = 0; i < kNvmeSelfTestResults; ++i) {
    const std::uint8_t* r = d + 4 + static_cast<std::size_t>(i) * 28;
    const std::uint8_t result = r[0] & 0x0F;
    if (result == 0xF) continue;
    NvmeSelfTestEntry e;
    e.number = i + 1;
    e.code = static_cast<std::uint8_t>(r[0] >> 4);
    e.result = result;
    e.segment = r[1];
    e.powerOnHours = Le64(r + 4);
    if (r[2] & 0x01) e.nsid = Le32(r + 12);
    if (r[2] & 0x02) e.failingLba = Le64(r + 16);
    if (r[2] & 0x04) e.statusCodeType = static_cast<std::uint8_t>(r[24] & 0x07);
    if (r[2] & 0x08) e.statusCode = r[25];
    e.failed = NvmeSelfTestFailed(result);
    log.entries.push_back(e);
  }
  return log;
}

std::uint32_t CountErrorLogEntries(const std::uint8_t* data, std::uint32_t entries) {
  std::uint32_t n = 0;
  for (std::uint32_t i = 0; i < entries; ++i)
    if (Le64(data + static_cast<std::size_t>(i) * kNvmeErrorEntrySize) != 0) ++n;
  return n;
}

}  // namespace dt
