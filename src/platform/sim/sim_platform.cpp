#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "platform/sim/ata_capture.h"
#include "platform/sim/builtin_captures.h"
#include "platform/sim/extent_store.h"

namespace dt {

namespace {

struct SlowRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::int64_t ns = 0;
};

struct Range {
  std::uint64_t first;
  std::uint64_t last;
};

struct Failures {
  std::optional<std::uint32_t> open, geometry, version, identify, enable, data, thresholds;
  std::uint8_t driverError = 0;
};

// A self-test that the simulated drive runs on the machine's clock.
struct SimSelfTest {
  bool running = false;
  std::uint8_t type = 0;  // the sub-command that started it
  std::int64_t startNs = 0;
  std::int64_t durationNs = 0;
  std::int64_t endNs = 0;  // when it ends: its duration, or the read failure
  bool fails = false;      // ends at endNs with a read failure at failLba
  std::uint64_t failLba = 0;
};

// The pages an NVMe disk answers, built from the descriptor's "nvme" object.
struct SimNvme {
  std::array<std::uint8_t, 4096> controller{};
  std::array<std::uint8_t, 4096> ns{};  // namespace 1
  std::array<std::uint8_t, 512> smartLog{};
  std::vector<std::uint8_t> errorLog;  // 64 bytes per entry
  // Device Self-test: whether the controller runs it, how long each test
  // takes, the test that runs and the log of 20 results.
  bool selfTests = true;
  std::int64_t shortNs = 0, extendedNs = 0;
  SimSelfTest test;
  std::array<std::uint8_t, 564> selfTestLog{};
};

struct SimDisk {
  std::uint64_t size = 0;
  std::uint32_t sectorSize = 512;
  std::vector<Range> unreadable;
  std::vector<Range> unwritable;
  // Sectors that read and write only slowly (as after the drive's internal
  // retries): a request touching one lasts at least its range's time.
  std::vector<SlowRange> slow;
  double startMBps = 100;
  double endMBps = 50;
  double latencyMs = 0.1;
  // The time to reach a place that does not follow the previous request
  // (seek and rotation of a hard disk), and where the last request ended.
  double accessMs = 0;
  std::uint64_t lastEnd = 0;
  std::optional<DISK_GEOMETRY> geometry;
  std::optional<AtaCapture> capture;
  std::optional<SimNvme> nvme;
  std::string imagePath;
  std::unique_ptr<std::ifstream> image;
  std::uint64_t imageSize = 0;
  Failures fail;
  ExtentStore written;
  SimSelfTest selfTest;
  // The self-test log: the capture's, or one begun by the first self-test
  // that ends here when the capture has none.
  std::optional<std::array<std::uint8_t, 512>> selfTestLog;
};

struct SimVolume {
  std::string name;
  std::string label;
  std::string fs;
  std::uint64_t size = 0;
  int disk = -1;
  std::uint64_t offset = 0;
  std::optional<std::uint64_t> mountedTotal;
  bool noMedium = false;
  ExtentStore written;  // for volumes not mapped on a disk
};

struct OpenEntry {
  int disk = -1;     // physical disk, or the disk a volume lies on
  int volume = -1;   // volume index, or -1 for a physical disk
  bool write = false;
};

bool Overlaps(const std::vector<Range>& ranges, std::uint64_t first, std::uint64_t last) {
  for (const Range& r : ranges)
    if (r.first <= last && first <= r.last) return true;
  return false;
}

// The deterministic content of a sector that was never written: its number
// in the first eight bytes, then a counting pattern.
void PatternFill(std::uint64_t byteOffset, std::uint8_t* out, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i) {
    const std::uint64_t pos = byteOffset + i;
    const std::uint64_t sector = pos / 512;
    const std::uint32_t in = static_cast<std::uint32_t>(pos % 512);
    out[i] = in < 8 ? static_cast<std::uint8_t>(sector >> (8 * in))
                    : static_cast<std::uint8_t>(in + sector * 7);
  }
}

// What a disk holds where nothing was written: its image, or the pattern.
void DefaultContent(SimDisk* disk, std::uint64_t at, std::uint8_t* out, std::size_t n) {
  if (disk && disk->image) {
    std::size_t fromImage = 0;
    if (at < disk->imageSize) {
      fromImage = static_cast<std::size_t>(std::min<std::uint64_t>(n, disk->imageSize - at));
      disk->image->clear();
      disk->image->seekg(static_cast<std::streamoff>(at));
      disk->image->read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(fromImage));
    }
    std::memset(out + fromImage, 0, n - fromImage);
  } else {
    PatternFill(at, out, n);
  }
}

// --- The drive's self-tests ------------------------------------------------

constexpr std::int64_t kNsPerMinute = 60'000'000'000LL;
constexpr std::int64_t kNsPerHour = 60 * kNsPerMinute;
constexpr std::uint32_t kNoLba = 0xFFFFFFFFu;

// Sets the self-test execution status (byte 363 of the SMART data) and
// moves the checksum byte along, so that the sector adds up as before.
void SetSelfTestStatus(AtaCapture& cap, std::uint8_t value) {
  std::uint8_t& b = cap.smartData[363];
  cap.smartData[511] = static_cast<std::uint8_t>(cap.smartData[511] + b - value);
  b = value;
}

// The drive's power-on hours: the low word of attribute 9's raw value, plus
// the hours the machine has run.
std::uint16_t PowerOnHours(const AtaCapture& cap, std::int64_t nowNs) {
  std::int64_t hours = 0;
  for (int i = 0; i < 30; ++i) {
    const std::uint8_t* a = cap.smartData.data() + 2 + 12 * i;
    if (a[0] == 9) {
      hours = a[5] | (a[6] << 8);
      break;
    }
  }
  return static_cast<std::uint16_t>(hours + nowNs / kNsPerHour);
}

// Tenths of the test still to run at `nowNs` (0 to 9), as the low nibble of
// the status byte gives them.
std::uint8_t RemainingTenths(const SimSelfTest& t, std::int64_t nowNs) {
  const std::int64_t left = t.startNs + t.durationNs - nowNs;
  if (left <= 0 || t.durationNs <= 0) return 0;
  const std::int64_t tenths = (left * 10 + t.durationNs - 1) / t.durationNs;
  return static_cast<std::uint8_t>(std::min<std::int64_t>(tenths, 9));
}

// Ends the running test with `statusByte` and writes its log entry.
void EndSelfTest(SimDisk& d, std::uint8_t statusByte, std::uint32_t lba, std::int64_t atNs) {
  AtaCapture& cap = *d.capture;
  SetSelfTestStatus(cap, statusByte);
  if (!d.selfTestLog) {
    d.selfTestLog.emplace();
    (*d.selfTestLog)[0] = 1;  // revision 1
  }
  std::array<std::uint8_t, 512>& log = *d.selfTestLog;
  // 21 descriptors of 24 bytes from byte 2 form a ring; byte 508 names the
  // newest (1 to 21).
  const std::size_t slot = log[508] % 21;
  std::uint8_t* e = log.data() + 2 + slot * 24;
  std::memset(e, 0, 24);
  const std::uint16_t hours = PowerOnHours(cap, atNs);
  e[0] = d.selfTest.type;
  e[1] = statusByte;
  e[2] = static_cast<std::uint8_t>(hours);
  e[3] = static_cast<std::uint8_t>(hours >> 8);
  for (int i = 0; i < 4; ++i) e[5 + i] = static_cast<std::uint8_t>(lba >> (8 * i));
  log[508] = static_cast<std::uint8_t>(slot + 1);
  unsigned sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum += log[i];
  log[511] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
  d.selfTest.running = false;
}

// Brings the drive's self-test up to the machine's time `nowNs`.
void AdvanceSelfTest(SimDisk& d, std::int64_t nowNs) {
  SimSelfTest& t = d.selfTest;
  if (!t.running) return;
  if (nowNs >= t.endNs) {
    if (t.fails) {
      // Status 7: the read element failed, at the first unreadable sector.
      EndSelfTest(d, static_cast<std::uint8_t>(0x70 | RemainingTenths(t, t.endNs)),
                  static_cast<std::uint32_t>(std::min<std::uint64_t>(t.failLba, kNoLba - 1)),
                  t.endNs);
    } else {
      EndSelfTest(d, 0x00, kNoLba, t.endNs);
    }
  } else {
    SetSelfTestStatus(*d.capture, static_cast<std::uint8_t>(0xF0 | RemainingTenths(t, nowNs)));
  }
}

// The minutes a self-test takes as the SMART data recommends polling it, or
// -1 when the drive does not run that sub-command: short, extended and
// conveyance tests in off-line mode, as the capability byte allows.
int TestMinutes(const AtaCapture& cap, std::uint8_t sub) {
  if (!cap.hasSmartData) return -1;
  const std::uint8_t offline = cap.smartData[367];
  switch (sub) {
    case 1:
      return (offline & 0x10) ? cap.smartData[372] : -1;
    case 2:
      if (!(offline & 0x10)) return -1;
      return cap.smartData[373] == 0xFF ? (cap.smartData[375] | (cap.smartData[376] << 8))
                                        : cap.smartData[373];
    case 3:
      return (offline & 0x20) ? cap.smartData[374] : -1;
    default:
      return -1;  // off-line data collection, selective and captive tests
  }
}

// A capture taken while a self-test ran (status 15) goes on with it: an
// extended test with as much left to run as the status byte shows.
void ResumeCapturedSelfTest(SimDisk& d) {
  if (!d.capture || !d.capture->hasSmartData) return;
  const std::uint8_t status = d.capture->smartData[363];
  if ((status >> 4) != 15) return;
  SimSelfTest& t = d.selfTest;
  t.running = true;
  t.type = 2;
  t.durationNs = std::max(TestMinutes(*d.capture, 2), 1) * kNsPerMinute;
  t.startNs = -t.durationNs * (10 - std::min(status & 0x0F, 10)) / 10;
  t.endNs = t.startNs + t.durationNs;
}

// A self-test started now (ATA sub-command or NVMe self-test code `type`)
// that lasts `durationNs`. The extended one reads the whole surface in order
// and stops at the first sector it cannot read.
SimSelfTest StartedSelfTest(const SimDisk& d, std::uint8_t type, bool extended,
                            std::int64_t durationNs, std::int64_t nowNs) {
  SimSelfTest t;
  t.running = true;
  t.type = type;
  t.startNs = nowNs;
  t.durationNs = durationNs;
  t.endNs = nowNs + durationNs;
  if (extended && !d.unreadable.empty()) {
    std::uint64_t first = d.unreadable[0].first;
    for (const Range& r : d.unreadable) first = std::min(first, r.first);
    const std::uint64_t sectors = std::max<std::uint64_t>(d.size / d.sectorSize, 1);
    t.fails = true;
    t.failLba = first;
    t.endNs = nowNs + static_cast<std::int64_t>(static_cast<long double>(durationNs) *
                                                static_cast<long double>(first) /
                                                static_cast<long double>(sectors));
  }
  return t;
}

// SMART EXECUTE OFF-LINE IMMEDIATE with sub-command `sub`: false when the
// drive aborts the command. Short, extended and conveyance tests in off-line
// mode run as the SMART data's capability byte allows, taking the polling
// times it recommends; abort stops a running test. A new test ends the
// running one as aborted by the host.
bool ExecuteOffline(SimDisk& d, std::uint8_t sub, std::int64_t nowNs) {
  AtaCapture& cap = *d.capture;
  SimSelfTest& t = d.selfTest;
  auto abortRunning = [&] {
    if (t.running)
      EndSelfTest(d, static_cast<std::uint8_t>(0x10 | RemainingTenths(t, nowNs)), kNoLba, nowNs);
  };
  if (sub == 127) {
    abortRunning();
    return true;
  }
  const int minutes = TestMinutes(cap, sub);
  if (minutes < 0) return false;
  abortRunning();
  t = StartedSelfTest(d, sub, sub == 2, std::max(minutes, 1) * kNsPerMinute, nowNs);
  SetSelfTestStatus(cap, static_cast<std::uint8_t>(0xF0 | RemainingTenths(t, nowNs)));
  return true;
}

// --- The NVMe controller's self-tests ----------------------------------------

constexpr std::uint8_t kSimNvmeDeviceSelfTest = 0x14;
constexpr std::uint8_t kSimNvmeLogSelfTest = 0x06;

// The controller's power-on hours: its health log's, plus the hours the
// machine has run.
std::uint64_t NvmePowerOnHours(const SimNvme& n, std::int64_t nowNs) {
  std::uint64_t hours = 0;
  for (int i = 7; i >= 0; --i) hours = hours << 8 | n.smartLog[128 + static_cast<std::size_t>(i)];
  return hours + static_cast<std::uint64_t>(std::max<std::int64_t>(nowNs, 0) / kNsPerHour);
}

// Ends the running test with `result` (and, for a failed media check, the
// failing LBA of namespace 1): its result goes to the top of the log, the
// older ones move down and the oldest of 20 drops out.
void EndNvmeSelfTest(SimNvme& n, std::uint8_t result, std::int64_t atNs,
                     std::optional<std::uint64_t> failingLba) {
  std::array<std::uint8_t, 564>& log = n.selfTestLog;
  std::memmove(log.data() + 4 + 28, log.data() + 4, 19 * 28);
  std::uint8_t* r = log.data() + 4;
  std::memset(r, 0, 28);
  r[0] = static_cast<std::uint8_t>(n.test.type << 4 | result);
  const std::uint64_t hours = NvmePowerOnHours(n, atNs);
  for (int i = 0; i < 8; ++i) r[4 + i] = static_cast<std::uint8_t>(hours >> (8 * i));
  if (failingLba) {
    r[1] = 7;     // segment 7: the media check
    r[2] = 0x0F;  // namespace, LBA, status code type and status code valid
    r[12] = 1;    // namespace 1
    for (int i = 0; i < 8; ++i) r[16 + i] = static_cast<std::uint8_t>(*failingLba >> (8 * i));
    r[24] = 0x02;  // media and data integrity error
    r[25] = 0x81;  // unrecovered read error
  }
  log[0] = 0;
  log[1] = 0;
  n.test.running = false;
}

// Brings the controller's self-test up to the machine's time `nowNs`.
void AdvanceNvmeSelfTest(SimNvme& n, std::int64_t nowNs) {
  SimSelfTest& t = n.test;
  if (!t.running) return;
  if (nowNs >= t.endNs) {
    if (t.fails) {
      EndNvmeSelfTest(n, 7, t.endNs, t.failLba);
    } else {
      EndNvmeSelfTest(n, 0, t.endNs, std::nullopt);
    }
    return;
  }
  n.selfTestLog[0] = t.type;
  const std::int64_t done = t.durationNs > 0 ? (nowNs - t.startNs) * 100 / t.durationNs : 0;
  n.selfTestLog[1] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(done, 0, 99));
}

// Device Self-test with self-test code `code`: the status the controller
// completes it with (0 when it runs). A test while another runs is refused;
// abort ends the running one.
std::uint16_t StartNvmeSelfTest(SimDisk& d, std::uint8_t code, std::int64_t nowNs) {
  SimNvme& n = *d.nvme;
  SimSelfTest& t = n.test;
  if (!n.selfTests) return 0x0001;  // Invalid Command Opcode
  if (code == 0xF) {
    if (t.running) EndNvmeSelfTest(n, 1, nowNs, std::nullopt);
    return 0;
  }
  if (code != 1 && code != 2) return 0x0002;  // Invalid Field in Command
  if (t.running) return 0x011D;               // Device Self-test in Progress
  t = StartedSelfTest(d, code, code == 2, code == 1 ? n.shortNs : n.extendedNs, nowNs);
  AdvanceNvmeSelfTest(n, nowNs);
  return 0;
}

}  // namespace

struct SimPlatform::Machine {
  mutable std::mutex mu;
  bool realtime = false;
  std::int64_t perfFrequency = 10000000;
  std::optional<bool> perfCpuClock;
  std::int64_t clockNs = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::vector<std::unique_ptr<SimDisk>> disks;
  std::vector<std::unique_ptr<SimVolume>> volumes;
  std::map<Handle, OpenEntry> open;
  Handle nextHandle = 0x100;
  std::function<void(int, std::int64_t, bool)> hook;
};

// ---------------------------------------------------------------------------
// Descriptor parsing.

namespace {

class DescriptorError {
 public:
  std::string message;
};

using json = nlohmann::json;

[[noreturn]] void Bad(const std::string& key, const std::string& what) {
  throw DescriptorError{"key '" + key + "': " + what};
}

void CheckKeys(const json& obj, const std::string& where, std::initializer_list<const char*> known) {
  if (!obj.is_object()) Bad(where, "expected an object");
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    bool ok = false;
    for (const char* k : known) ok = ok || it.key() == k;
    if (!ok) Bad(where.empty() ? it.key() : where + "." + it.key(), "unknown key");
  }
}

std::uint64_t UInt(const json& v, const std::string& key, bool positive) {
  if (!v.is_number_integer() || (v.is_number_integer() && v.get<std::int64_t>() < 0 && !v.is_number_unsigned()))
    Bad(key, positive ? "expected a positive integer" : "expected a non-negative integer");
  const std::uint64_t u = v.get<std::uint64_t>();
  if (positive && u == 0) Bad(key, "expected a positive integer");
  return u;
}

double Number(const json& v, const std::string& key) {
  if (!v.is_number() || v.get<double>() < 0) Bad(key, "expected a non-negative number");
  return v.get<double>();
}

std::string Text(const json& v, const std::string& key) {
  if (!v.is_string()) Bad(key, "expected a string");
  return v.get<std::string>();
}

bool Flag(const json& v, const std::string& key) {
  if (!v.is_boolean()) Bad(key, "expected true or false");
  return v.get<bool>();
}

// A sector range `k` of list `key`: in order, on the disk, and apart from
// the ones before it.
template <typename R>
void CheckRange(const R& range, const std::vector<R>& before, const std::string& key,
                const std::string& k, std::uint64_t sectors) {
  if (range.last < range.first) Bad(k, "last sector is below the first");
  if (range.last >= sectors)
    Bad(k, "sector " + std::to_string(range.last) + " lies beyond the disk's " +
               std::to_string(sectors) + " sectors");
  for (std::size_t j = 0; j < before.size(); ++j)
    if (before[j].first <= range.last && range.first <= before[j].last)
      Bad(k, "overlaps " + key + "[" + std::to_string(j) + "]");
}

std::vector<Range> Ranges(const json& v, const std::string& key, std::uint64_t sectors) {
  if (!v.is_array()) Bad(key, "expected a list of [first, last] sector pairs");
  std::vector<Range> out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const std::string k = key + "[" + std::to_string(i) + "]";
    const json& r = v[i];
    if (!r.is_array() || r.size() != 2) Bad(k, "expected a [first, last] sector pair");
    const Range range{UInt(r[0], k, false), UInt(r[1], k, false)};
    CheckRange(range, out, key, k, sectors);
    out.push_back(range);
  }
  return out;
}

// "slow": [{"first": LBA, "last": LBA, "ms": N}, ...], inclusive sector
// numbers that do not overlap.
std::vector<SlowRange> SlowRanges(const json& v, const std::string& key, std::uint64_t sectors) {
  if (!v.is_array()) Bad(key, "expected a list of {\"first\", \"last\", \"ms\"} objects");
  std::vector<SlowRange> out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const std::string k = key + "[" + std::to_string(i) + "]";
    const json& r = v[i];
    if (!r.is_object()) Bad(k, "expected a {\"first\", \"last\", \"ms\"} object");
    CheckKeys(r, k, {"first", "last", "ms"});
    SlowRange range;
    range.first = UInt(r.value("first", json()), k + ".first", false);
    range.last = UInt(r.value("last", json()), k + ".last", false);
    const double ms = Number(r.value("ms", json()), k + ".ms");
    if (!(ms >= 0) || ms > 3600000) Bad(k + ".ms", "expected milliseconds from 0 to 3600000");
    range.ns = static_cast<std::int64_t>(ms * 1e6 + 0.5);
    CheckRange(range, out, key, k, sectors);
    out.push_back(range);
  }
  return out;
}

std::string JoinPath(const std::string& base, const std::string& p) {
  if (p.empty() || base.empty() || p[0] == '/' || p[0] == '\\' ||
      (p.size() > 1 && p[1] == ':'))
    return p;
  return base + "/" + p;
}

// The sector count that an IDENTIFY block reports (48-bit when supported).
std::uint64_t IdentifySectors(const AtaCapture& c) {
  auto word = [&](int n) {
    return static_cast<std::uint64_t>(c.identify[2 * n] | (c.identify[2 * n + 1] << 8));
  };
  std::uint64_t lba48 = word(100) | (word(101) << 16) | (word(102) << 32) | (word(103) << 48);
  const bool has48 = (word(83) & 0x0400) != 0;
  if (has48 && lba48 != 0) return lba48;
  const std::uint64_t lba28 = word(60) | (word(61) << 16);
  if (lba28 != 0) return lba28;
  return word(1) * word(3) * word(6);
}

void PutLe(std::uint8_t* at, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// An ASCII field of Identify data: left-aligned, padded with blanks.
void PutAscii(std::uint8_t* at, const std::string& s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) at[i] = i < s.size() ? static_cast<std::uint8_t>(s[i]) : ' ';
}

// A temperature in °C as kelvin; the lowest the log can hold is 0 K.
std::uint16_t Kelvin(const json& v, const std::string& key) {
  if (!v.is_number_integer() || v.get<std::int64_t>() < -273 || v.get<std::int64_t>() > 65262)
    Bad(key, "expected a temperature in degrees Celsius (an integer from -273 on)");
  return static_cast<std::uint16_t>(v.get<std::int64_t>() + 273);
}

// The NVMe controller of a disk: Identify Controller, Identify Namespace 1,
// the SMART / Health Information log and an error information log of 64
// entries, built to their byte layouts from the descriptor's values.
SimNvme ParseNvme(const json& n, const std::string& key, const SimDisk& disk) {
  static constexpr const char* kCounters[][2] = {
      {"data_units_read", "32"},     {"data_units_written", "48"},   {"host_read_commands", "64"},
      {"host_write_commands", "80"}, {"controller_busy_time", "96"}, {"power_cycles", "112"},
      {"power_on_hours", "128"},     {"unsafe_shutdowns", "144"},    {"media_errors", "160"},
      {"num_err_log_entries", "176"}};
  static constexpr const char* kBytes[][2] = {{"critical_warning", "0"},
                                              {"available_spare", "3"},
                                              {"available_spare_threshold", "4"},
                                              {"percentage_used", "5"},
                                              {"endurance_group_critical_warning", "6"}};
  static constexpr const char* kDwords[][2] = {{"warning_temp_time", "192"},
                                               {"critical_comp_time", "196"},
                                               {"thermal_temp1_transition_count", "216"},
                                               {"thermal_temp2_transition_count", "220"},
                                               {"thermal_temp1_total_time", "224"},
                                               {"thermal_temp2_total_time", "228"}};
  CheckKeys(n, key,
            {"model",
             "serial",
             "firmware",
             "pci_vendor_id",
             "temperature_c",
             "temperature_sensors_c",
             "error_log_entries",
             "data_units_read",
             "data_units_written",
             "host_read_commands",
             "host_write_commands",
             "controller_busy_time",
             "power_cycles",
             "power_on_hours",
             "unsafe_shutdowns",
             "media_errors",
             "num_err_log_entries",
             "critical_warning",
             "available_spare",
             "available_spare_threshold",
             "percentage_used",
             "endurance_group_critical_warning",
             "warning_temp_time",
             "critical_comp_time",
             "thermal_temp1_transition_count",
             "thermal_temp2_transition_count",
             "thermal_temp1_total_time",
             "thermal_temp2_total_time",
             "self_test",
             "short_self_test_seconds",
             "extended_self_test_minutes"});
  auto text = [&](const char* k, const char* fallback) {
    return n.contains(k) ? Text(n[k], key + "." + k) : std::string(fallback);
  };
  auto limited = [&](const char* k, std::uint64_t max, std::uint64_t fallback) {
    if (!n.contains(k)) return fallback;
    const std::uint64_t v = UInt(n[k], key + "." + k, false);
    if (v > max) Bad(key + "." + k, "expected at most " + std::to_string(max));
    return v;
  };
  SimNvme s;
  constexpr std::uint32_t kErrorEntries = 64;
  std::uint8_t* c = s.controller.data();
  const std::uint64_t vendor = limited("pci_vendor_id", 0xFFFF, 0x1F2A);
  PutLe(c + 0, vendor, 2);
  PutLe(c + 2, vendor, 2);
  PutAscii(c + 4, text("serial", "SIM0000000001"), 20);
  PutAscii(c + 24, text("model", "SIM NVMe SSD"), 40);
  PutAscii(c + 64, text("firmware", "1.0"), 8);
  PutLe(c + 73, 0x5CD2E4, 3);    // IEEE OUI
  PutLe(c + 78, 1, 2);           // controller id
  PutLe(c + 80, 0x00010400, 4);  // version 1.4
  s.selfTests = !n.contains("self_test") || Flag(n["self_test"], key + ".self_test");
  if (s.selfTests) c[256] = 0x10;  // OACS: Device Self-test
  const std::uint64_t extendedMinutes = limited("extended_self_test_minutes", 0xFFFF, 10);
  PutLe(c + 316, extendedMinutes, 2);  // EDSTT
  s.extendedNs =
      static_cast<std::int64_t>(std::max<std::uint64_t>(extendedMinutes, 1)) * kNsPerMinute;
  s.shortNs =
      static_cast<std::int64_t>(limited("short_self_test_seconds", 7200, 120)) * 1000000000LL;
  s.shortNs = std::max<std::int64_t>(s.shortNs, 1000000000LL);
  for (int i = 0; i < 20; ++i)
    s.selfTestLog[4 + 28 * static_cast<std::size_t>(i)] = 0x0F;  // unused
  c[261] = 0x02;                 // the command effects log is kept
  c[262] = kErrorEntries - 1;    // zero-based
  PutLe(c + 266, 273 + 70, 2);   // warning composite temperature threshold
  PutLe(c + 268, 273 + 80, 2);   // critical composite temperature threshold
  PutLe(c + 280, disk.size, 8);  // total NVM capacity; all of it allocated
  PutLe(c + 516, 1, 4);          // one namespace

  std::uint8_t* ns = s.ns.data();
  const std::uint64_t blocks = disk.size / disk.sectorSize;
  PutLe(ns + 0, blocks, 8);
  PutLe(ns + 8, blocks, 8);
  PutLe(ns + 16, blocks, 8);
  int shift = 0;
  while ((1u << shift) < disk.sectorSize) ++shift;
  ns[128 + 2] = static_cast<std::uint8_t>(shift);  // LBA format 0, the one in use

  std::uint8_t* log = s.smartLog.data();
  for (const auto& f : kBytes) PutLe(log + std::stoi(f[1]), limited(f[0], 255, 0), 1);
  if (!n.contains("available_spare")) log[3] = 100;
  if (!n.contains("available_spare_threshold")) log[4] = 10;
  PutLe(log + 1,
        n.contains("temperature_c") ? Kelvin(n["temperature_c"], key + ".temperature_c") : 273 + 35,
        2);
  if (n.contains("temperature_sensors_c")) {
    const json& t = n["temperature_sensors_c"];
    const std::string k = key + ".temperature_sensors_c";
    if (!t.is_array() || t.size() > 8) Bad(k, "expected a list of up to 8 temperatures");
    for (std::size_t i = 0; i < t.size(); ++i)
      if (!t[i].is_null())
        PutLe(log + 200 + 2 * i, Kelvin(t[i], k + "[" + std::to_string(i) + "]"), 2);
  }
  for (const auto& f : kCounters)
    if (n.contains(f[0])) PutLe(log + std::stoi(f[1]), UInt(n[f[0]], key + "." + f[0], false), 8);
  for (const auto& f : kDwords) PutLe(log + std::stoi(f[1]), limited(f[0], 0xFFFFFFFF, 0), 4);

  // The newest entries first, each with its own error count.
  s.errorLog.assign(kErrorEntries * 64, 0);
  const std::uint64_t errors = limited("error_log_entries", kErrorEntries, 0);
  for (std::uint64_t i = 0; i < errors; ++i) {
    std::uint8_t* e = s.errorLog.data() + i * 64;
    PutLe(e + 0, errors - i, 8);    // error count
    PutLe(e + 8, 0, 2);             // submission queue id: the admin queue
    PutLe(e + 12, 0x0002 << 1, 2);  // status field: Invalid Field in Command
  }
  return s;
}

std::unique_ptr<SimDisk> ParseDisk(const json& d, const std::string& key, const std::string& baseDir) {
  CheckKeys(d, key, {"size", "sector_size", "unreadable", "unwritable", "slow", "speed",
                     "geometry", "capture", "image", "fail", "nvme", "access_ms"});
  auto disk = std::make_unique<SimDisk>();
  if (d.contains("capture") && d.contains("nvme"))
    Bad(key + ".nvme", "a disk answers either ATA commands from a capture or NVMe, not both");
  if (d.contains("capture")) {
    const std::string c = Text(d["capture"], key + ".capture");
    AtaCapture cap;
    std::string err;
    bool ok;
    if (c.rfind("builtin:", 0) == 0) {
      const BuiltinCapture* b = FindBuiltinCapture(c.substr(8));
      if (!b) Bad(key + ".capture", "no built-in capture named \"" + c.substr(8) + "\"");
      ok = ParseAtaCapture(b->data, b->size, &cap, &err);
    } else {
      ok = ReadAtaCapture(JoinPath(baseDir, c), &cap, &err);
    }
    if (!ok) Bad(key + ".capture", err);
    disk->capture = cap;
    if (cap.hasSelfTestLog) disk->selfTestLog = cap.selfTestLog;
  }
  if (d.contains("sector_size")) {
    const std::uint64_t ss = UInt(d["sector_size"], key + ".sector_size", true);
    if (ss < 512 || ss > 65536 || (ss & (ss - 1)) != 0)
      Bad(key + ".sector_size", "expected a power of two from 512 to 65536");
    disk->sectorSize = static_cast<std::uint32_t>(ss);
  }
  if (d.contains("size")) {
    disk->size = UInt(d["size"], key + ".size", true);
  } else if (disk->capture) {
    disk->size = IdentifySectors(*disk->capture) * 512;
  } else {
    Bad(key + ".size", "missing");
  }
  if (disk->size % disk->sectorSize != 0)
    Bad(key + ".size", "not a whole number of " + std::to_string(disk->sectorSize) + "-byte sectors");
  const std::uint64_t sectors = disk->size / disk->sectorSize;
  if (d.contains("unreadable")) disk->unreadable = Ranges(d["unreadable"], key + ".unreadable", sectors);
  if (d.contains("unwritable")) disk->unwritable = Ranges(d["unwritable"], key + ".unwritable", sectors);
  if (d.contains("slow")) disk->slow = SlowRanges(d["slow"], key + ".slow", sectors);
  if (d.contains("speed")) {
    const json& s = d["speed"];
    CheckKeys(s, key + ".speed", {"start_mbps", "end_mbps", "latency_ms"});
    if (s.contains("start_mbps")) disk->startMBps = Number(s["start_mbps"], key + ".speed.start_mbps");
    if (s.contains("end_mbps")) disk->endMBps = Number(s["end_mbps"], key + ".speed.end_mbps");
    if (s.contains("latency_ms")) disk->latencyMs = Number(s["latency_ms"], key + ".speed.latency_ms");
    if (disk->startMBps <= 0) Bad(key + ".speed.start_mbps", "expected a positive number");
    if (disk->endMBps <= 0) Bad(key + ".speed.end_mbps", "expected a positive number");
  }
  if (d.contains("access_ms")) {
    disk->accessMs = Number(d["access_ms"], key + ".access_ms");
    if (disk->accessMs < 0) Bad(key + ".access_ms", "expected a number of at least 0");
  }
  if (d.contains("geometry")) {
    const json& g = d["geometry"];
    CheckKeys(g, key + ".geometry", {"cylinders", "heads", "sectors"});
    DISK_GEOMETRY geo{};
    geo.MediaType = 12;
    geo.Cylinders = static_cast<std::int64_t>(UInt(g.value("cylinders", json()), key + ".geometry.cylinders", false));
    geo.TracksPerCylinder = static_cast<std::uint32_t>(UInt(g.value("heads", json()), key + ".geometry.heads", true));
    geo.SectorsPerTrack = static_cast<std::uint32_t>(UInt(g.value("sectors", json()), key + ".geometry.sectors", true));
    geo.BytesPerSector = disk->sectorSize;
    disk->geometry = geo;
  }
  if (d.contains("image")) {
    disk->imagePath = JoinPath(baseDir, Text(d["image"], key + ".image"));
    std::error_code ec;
    if (std::filesystem::is_directory(disk->imagePath, ec))
      Bad(key + ".image", disk->imagePath + " is a folder, not a file");
    disk->image = std::make_unique<std::ifstream>(disk->imagePath, std::ios::binary);
    if (!*disk->image) Bad(key + ".image", "cannot open " + disk->imagePath);
    disk->image->seekg(0, std::ios::end);
    disk->imageSize = static_cast<std::uint64_t>(disk->image->tellg());
  }
  if (d.contains("nvme")) disk->nvme = ParseNvme(d["nvme"], key + ".nvme", *disk);
  SimDisk* raw = disk.get();
  disk->written.SetDefault(
      [raw](std::uint64_t at, std::uint8_t* out, std::size_t n) { DefaultContent(raw, at, out, n); });
  ResumeCapturedSelfTest(*disk);
  if (d.contains("fail")) {
    const json& f = d["fail"];
    CheckKeys(f, key + ".fail", {"open", "geometry", "version", "identify", "enable", "data",
                                 "thresholds", "driver_error"});
    auto code = [&](const char* k, std::optional<std::uint32_t>& dst) {
      if (f.contains(k)) dst = static_cast<std::uint32_t>(UInt(f[k], key + ".fail." + k, true));
    };
    code("open", disk->fail.open);
    code("geometry", disk->fail.geometry);
    code("version", disk->fail.version);
    code("identify", disk->fail.identify);
    code("enable", disk->fail.enable);
    code("data", disk->fail.data);
    code("thresholds", disk->fail.thresholds);
    if (f.contains("driver_error")) {
      const std::uint64_t v = UInt(f["driver_error"], key + ".fail.driver_error", false);
      if (v > 255) Bad(key + ".fail.driver_error", "expected a byte (0 to 255)");
      disk->fail.driverError = static_cast<std::uint8_t>(v);
    }
  }
  return disk;
}

std::unique_ptr<SimVolume> ParseVolume(const json& v, const std::string& key,
                                       const std::vector<std::unique_ptr<SimDisk>>& disks) {
  CheckKeys(v, key, {"name", "label", "fs", "size", "disk", "offset", "mounted_total", "no_medium"});
  auto vol = std::make_unique<SimVolume>();
  vol->written.SetDefault(
      [](std::uint64_t at, std::uint8_t* out, std::size_t n) { DefaultContent(nullptr, at, out, n); });
  if (!v.contains("name")) Bad(key + ".name", "missing");
  vol->name = Text(v["name"], key + ".name");
  if (vol->name.empty() || vol->name.find_first_of(":/\\[] ") != std::string::npos)
    Bad(key + ".name", "expected a drive letter or a device name without ':', '/', '\\', '[', ']' or blanks");
  if (v.contains("label")) vol->label = Text(v["label"], key + ".label");
  if (v.contains("fs")) vol->fs = Text(v["fs"], key + ".fs");
  if (v.contains("no_medium")) vol->noMedium = Flag(v["no_medium"], key + ".no_medium");
  if (v.contains("size")) {
    vol->size = UInt(v["size"], key + ".size", false);
  } else if (!vol->noMedium && !v.contains("mounted_total")) {
    Bad(key + ".size", "missing");
  }
  if (v.contains("mounted_total")) vol->mountedTotal = UInt(v["mounted_total"], key + ".mounted_total", false);
  if (v.contains("disk")) {
    const std::uint64_t d = UInt(v["disk"], key + ".disk", false);
    if (d >= disks.size()) Bad(key + ".disk", "no disk number " + std::to_string(d));
    vol->disk = static_cast<int>(d);
    if (v.contains("offset")) vol->offset = UInt(v["offset"], key + ".offset", false);
    if (vol->offset % 512 != 0) Bad(key + ".offset", "not a multiple of 512");
    if (vol->offset + vol->size > disks[d]->size)
      Bad(key + ".size", "the volume reaches beyond the end of disk " + std::to_string(d));
  } else if (v.contains("offset")) {
    Bad(key + ".offset", "only a volume on a disk has an offset");
  }
  return vol;
}

}  // namespace

std::unique_ptr<SimPlatform> ParseSimMachine(const std::string& text, const std::string& baseDir,
                                             const std::string& fileName, std::string* error) {
  try {
    const json root = json::parse(text);
    CheckKeys(root, "", {"realtime", "perf_frequency", "perf_cpu_clock", "disks", "volumes"});
    auto m = std::make_unique<SimPlatform::Machine>();
    if (root.contains("realtime")) m->realtime = Flag(root["realtime"], "realtime");
    if (root.contains("perf_frequency"))
      m->perfFrequency = static_cast<std::int64_t>(UInt(root["perf_frequency"], "perf_frequency", false));
    if (root.contains("perf_cpu_clock"))
      m->perfCpuClock = Flag(root["perf_cpu_clock"], "perf_cpu_clock");
    if (root.contains("disks")) {
      if (!root["disks"].is_array()) Bad("disks", "expected a list");
      for (std::size_t i = 0; i < root["disks"].size(); ++i)
        m->disks.push_back(ParseDisk(root["disks"][i], "disks[" + std::to_string(i) + "]", baseDir));
    }
    if (root.contains("volumes")) {
      if (!root["volumes"].is_array()) Bad("volumes", "expected a list");
      for (std::size_t i = 0; i < root["volumes"].size(); ++i) {
        auto vol = ParseVolume(root["volumes"][i], "volumes[" + std::to_string(i) + "]", m->disks);
        for (const auto& other : m->volumes)
          if (other->name == vol->name)
            Bad("volumes[" + std::to_string(i) + "].name", "\"" + vol->name + "\" is listed twice");
        m->volumes.push_back(std::move(vol));
      }
    }
    return std::make_unique<SimPlatform>(std::move(m));
  } catch (const DescriptorError& e) {
    if (error) *error = fileName + ": " + e.message;
  } catch (const json::exception& e) {
    if (error) *error = fileName + ": not valid JSON: " + e.what();
  }
  return nullptr;
}

std::unique_ptr<SimPlatform> LoadSimMachine(const std::string& path, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = path + ": " + why;
    return nullptr;
  };
  // A folder opens as a stream on some systems and fails only on the first
  // read, with an exception.
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return fail("is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("cannot read the file");
  std::string text;
  try {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return fail("cannot read the file");
  }
  if (in.bad()) return fail("cannot read the file");
  const auto slash = path.find_last_of("/\\");
  const std::string base = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  return ParseSimMachine(text, base, path, error);
}

std::unique_ptr<Platform> MakeCaptureMachine(const std::string& capturePath, std::string* error) {
  // The capture is checked on its own first: its message then names the
  // file once, without the descriptor key the machine is built from.
  if (!ReadAtaCapture(capturePath, nullptr, error)) return nullptr;
  json d = json::object();
  d["disks"] = json::array({json{{"capture", capturePath}}});
  return ParseSimMachine(d.dump(), "", capturePath, error);
}

// ---------------------------------------------------------------------------
// The machine.

SimPlatform::SimPlatform(std::unique_ptr<Machine> m) : m_(std::move(m)) {}
SimPlatform::~SimPlatform() = default;

std::string SimPlatform::PhysicalDrivePath(int n) const {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (n < 0 || n >= static_cast<int>(m_->disks.size())) return {};
  return "\\\\.\\PHYSICALDRIVE" + std::to_string(n);
}

std::string SimPlatform::LogicalDrivePath(const std::string& name) const {
  if (name.size() == 1) return "\\\\.\\" + name + ":";
  return "/dev/" + name;
}

Handle SimPlatform::OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t,
                               std::uint32_t disposition, std::uint32_t) {
  std::lock_guard<std::mutex> lock(m_->mu);
  OpenEntry e;
  e.write = (access & kGenericWrite) != 0;
  bool found = false;
  if (disposition == kOpenExisting) {
    for (std::size_t i = 0; i < m_->disks.size() && !found; ++i) {
      if (path == "\\\\.\\PHYSICALDRIVE" + std::to_string(i)) {
        if (m_->disks[i]->fail.open) {
          SetLastError(*m_->disks[i]->fail.open);
          return kInvalidHandle;
        }
        e.disk = static_cast<int>(i);
        found = true;
      }
    }
    for (std::size_t i = 0; i < m_->volumes.size() && !found; ++i) {
      if (path == LogicalDrivePath(m_->volumes[i]->name)) {
        if (m_->volumes[i]->noMedium) {
          SetLastError(kErrNotReady);
          return kInvalidHandle;
        }
        e.volume = static_cast<int>(i);
        e.disk = m_->volumes[i]->disk;
        found = true;
      }
    }
  }
  if (!found) {
    SetLastError(kErrNotFound);
    return kInvalidHandle;
  }
  const Handle h = m_->nextHandle;
  m_->nextHandle += 4;
  m_->open[h] = e;
  return h;
}

bool SimPlatform::Close(Handle h) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (m_->open.erase(h) == 0) {
    SetLastError(kErrInvalidHandle);
    return false;
  }
  return true;
}

FileType SimPlatform::GetType(Handle h) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (!m_->open.count(h)) {
    SetLastError(kErrInvalidHandle);
    return FileType::Unknown;
  }
  return FileType::Disk;
}

namespace {

// Simulated duration of a request in nanoseconds.
std::int64_t RequestNs(const SimDisk* d, std::uint64_t offset, std::uint32_t len) {
  double start = 100, end = 50, latency = 0.1, size = 1;
  if (d) {
    start = d->startMBps;
    end = d->endMBps;
    latency = d->latencyMs;
    size = static_cast<double>(d->size);
  }
  const double mbps = start + (end - start) * (static_cast<double>(offset) / size);
  const double seconds = latency / 1000.0 + static_cast<double>(len) / (mbps * 1e6);
  return static_cast<std::int64_t>(seconds * 1e9);
}

}  // namespace

bool SimPlatform::ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
                         std::uint32_t* done) {
  return Transfer(false, h, offset, buf, len, done);
}

bool SimPlatform::WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
                          std::uint32_t* done) {
  return Transfer(true, h, offset, const_cast<void*>(buf), len, done);
}

bool SimPlatform::Transfer(bool write, Handle h, std::int64_t offset, void* buf,
                           std::uint32_t len, std::uint32_t* done, std::int64_t* serviceNs) {
  if (done) *done = 0;
  std::function<void(int, std::int64_t, bool)> hook;
  int hookDisk = -1;
  std::int64_t ns = 0;
  bool ok = false;
  std::uint32_t moved = 0;
  {
    std::lock_guard<std::mutex> lock(m_->mu);
    auto it = m_->open.find(h);
    if (it == m_->open.end()) {
      SetLastError(kErrInvalidHandle);
      return false;
    }
    const OpenEntry e = it->second;
    hook = m_->hook;
    hookDisk = e.disk;
    if (write && !e.write) {
      SetLastError(kErrAccessDenied);
      return false;
    }
    SimDisk* disk = e.disk >= 0 ? m_->disks[static_cast<std::size_t>(e.disk)].get() : nullptr;
    SimVolume* vol = e.volume >= 0 ? m_->volumes[static_cast<std::size_t>(e.volume)].get() : nullptr;
    const std::uint64_t base = vol ? vol->offset : 0;
    const std::uint64_t limit = vol ? vol->size : disk->size;
    const std::uint32_t ss = disk ? disk->sectorSize : 512;
    if (offset < 0 || static_cast<std::uint64_t>(offset) % ss != 0 || len % ss != 0) {
      SetLastError(kErrInvalidParameter);
      return false;
    }
    const std::uint64_t off = static_cast<std::uint64_t>(offset);
    // Requests past the end move what lies before it.
    moved = off >= limit ? 0 : static_cast<std::uint32_t>(std::min<std::uint64_t>(len, limit - off));
    const std::uint64_t abs = base + off;
    ns = RequestNs(disk, abs, len);
    if (disk && disk->accessMs > 0) {
      if (abs != disk->lastEnd) ns += static_cast<std::int64_t>(disk->accessMs * 1e6);
      disk->lastEnd = abs + len;
    }
    ok = true;
    if (moved > 0 && disk) {
      const std::uint64_t first = abs / ss;
      const std::uint64_t last = (abs + moved - 1) / ss;
      for (const SlowRange& r : disk->slow)
        if (r.first <= last && first <= r.last) ns = std::max(ns, r.ns);
      if (Overlaps(write ? disk->unwritable : disk->unreadable, first, last)) {
        SetLastError(write ? kErrWriteFault : kErrCrc);
        ok = false;
      }
    }
    if (ok && moved > 0) {
      ExtentStore& store = (disk ? disk->written : vol->written);
      auto* p = static_cast<std::uint8_t*>(buf);
      if (write) {
        store.Write(abs, p, moved);
      } else {
        // Unwritten bytes come from the image, or from the pattern.
        store.Read(abs, p, moved, [disk](std::uint64_t at, std::uint8_t* out, std::size_t n) {
          DefaultContent(disk, at, out, n);
        });
      }
    }
    // An asynchronous read takes its time on the reader's queue instead.
    if (serviceNs) {
      *serviceNs = ns;
    } else if (!m_->realtime) {
      m_->clockNs += ns;
    }
  }
  if (hook) hook(hookDisk, offset, write);
  if (m_->realtime && !serviceNs) std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
  if (ok && done) *done = moved;
  return ok;
}

bool SimPlatform::Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen,
                          void* out, std::uint32_t outLen, std::uint32_t* returned) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (returned) *returned = 0;
  auto it = m_->open.find(h);
  if (it == m_->open.end()) {
    SetLastError(kErrInvalidHandle);
    return false;
  }
  const OpenEntry e = it->second;
  SimDisk* disk = e.disk >= 0 ? m_->disks[static_cast<std::size_t>(e.disk)].get() : nullptr;
  SimVolume* vol = e.volume >= 0 ? m_->volumes[static_cast<std::size_t>(e.volume)].get() : nullptr;

  switch (code) {
    case IOCTL_DISK_GET_DRIVE_GEOMETRY: {
      if (!out || outLen < sizeof(DISK_GEOMETRY)) {
        SetLastError(kErrInvalidParameter);
        return false;
      }
      if (!disk) {
        // A volume not mapped on a disk answers no disk geometry.
        SetLastError(kErrInvalidFunction);
        return false;
      }
      if (disk->fail.geometry) {
        SetLastError(*disk->fail.geometry);
        return false;
      }
      const DISK_GEOMETRY g =
          disk->geometry ? *disk->geometry : ModernDiskGeometry(disk->size, disk->sectorSize);
      std::memcpy(out, &g, sizeof g);
      if (returned) *returned = sizeof g;
      return true;
    }
    case IOCTL_DISK_GET_PARTITION_INFO: {
      if (!out || outLen < 28) {
        SetLastError(kErrInvalidParameter);
        return false;
      }
      PARTITION_INFORMATION pi{};
      if (vol) {
        pi.StartingOffset = static_cast<std::int64_t>(vol->offset);
        pi.PartitionLength = static_cast<std::int64_t>(vol->size);
      } else {
        pi.PartitionLength = static_cast<std::int64_t>(disk->size);
      }
      pi.RecognizedPartition = 1;
      std::memcpy(out, &pi, 28);
      if (returned) *returned = 28;
      return true;
    }
    case IOCTL_DISK_GET_LENGTH_INFO: {
      if (!out || outLen < sizeof(GET_LENGTH_INFORMATION)) {
        SetLastError(kErrInvalidParameter);
        return false;
      }
      const GET_LENGTH_INFORMATION li{
          static_cast<std::int64_t>(vol ? vol->size : disk ? disk->size : 0)};
      std::memcpy(out, &li, sizeof li);
      if (returned) *returned = sizeof li;
      return true;
    }
    case SMART_GET_VERSION:
    case SMART_SEND_DRIVE_COMMAND:
    case SMART_RCV_DRIVE_DATA:
      break;
    default:
      SetLastError(kErrInvalidFunction);
      return false;
  }

  // SMART requests: only a physical disk with a capture answers them.
  if (vol || !disk || !disk->capture) {
    SetLastError(kErrInvalidFunction);
    return false;
  }
  const std::int64_t nowNs = m_->realtime ? std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                std::chrono::steady_clock::now() - m_->start)
                                                .count()
                                          : m_->clockNs;
  AdvanceSelfTest(*disk, nowNs);
  const AtaCapture& cap = *disk->capture;
  if (code == SMART_GET_VERSION) {
    if (!out || outLen < sizeof(GETVERSIONINPARAMS)) {
      SetLastError(kErrInvalidParameter);
      return false;
    }
    if (disk->fail.version) {
      SetLastError(*disk->fail.version);
      return false;
    }
    GETVERSIONINPARAMS v{};
    v.bVersion = 1;
    v.bRevision = 1;
    v.bIDEDeviceMap = static_cast<std::uint8_t>(1u << (e.disk & 3));
    v.fCapabilities = CAP_ATA_ID_CMD | CAP_ATAPI_ID_CMD | CAP_SMART_CMD;
    std::memcpy(out, &v, sizeof v);
    if (returned) *returned = sizeof v;
    return true;
  }
  if (!in || inLen < kSendCmdInLength || !out || outLen < kSendCmdOutHeader) {
    SetLastError(kErrInvalidParameter);
    return false;
  }
  SENDCMDINPARAMS cmd{};
  std::memcpy(&cmd, in, kSendCmdInLength);
  const IDEREGS& r = cmd.irDriveRegs;
  auto* o = static_cast<std::uint8_t*>(out);
  const bool dataIn = code == SMART_RCV_DRIVE_DATA;
  const bool smartRegs = r.bCommandReg == 0xB0 && r.bCylLowReg == 0x4F && r.bCylHighReg == 0xC2;
  // RETURN STATUS answers with the drive's registers after the header.
  const bool returnStatus = !dataIn && smartRegs && r.bFeaturesReg == 0xDA;
  const std::uint32_t answerLen = dataIn         ? kSendCmdOutHeader + 512
                                  : returnStatus ? kSendCmdOutHeader + sizeof(IDEREGS)
                                                 : kSendCmdOutHeader;
  if (outLen < answerLen) {
    SetLastError(kErrInvalidParameter);
    return false;
  }
  std::memset(o, 0, answerLen);
  SENDCMDOUTPARAMS head{};
  head.cBufferSize = answerLen - kSendCmdOutHeader;

  auto failWith = [&](std::uint32_t sysErr, std::uint8_t drvErr) {
    head.cBufferSize = dataIn ? 512 : 0;
    head.DriverStatus.bDriverError = drvErr;
    std::memcpy(o, &head, kSendCmdOutHeader);
    SetLastError(sysErr);
    return false;
  };
  const std::uint8_t drvErr = disk->fail.driverError ? disk->fail.driverError : 1;
  const std::uint8_t* sector = nullptr;
  if (!dataIn) {
    if (!smartRegs) return failWith(kErrInvalidParameter, 3);
    if (r.bFeaturesReg == 0xD8) {
      if (disk->fail.enable) return failWith(*disk->fail.enable, drvErr);
    } else if (returnStatus) {
      // The capture's verdict; a drive without one aborts the command.
      if (!cap.hasStatus) return failWith(kErrIo, 1);
      IDEREGS answer{};
      answer.bSectorCountReg = 1;
      answer.bSectorNumberReg = 1;
      answer.bCylLowReg = cap.status ? 0x4F : 0xF4;
      answer.bCylHighReg = cap.status ? 0xC2 : 0x2C;
      answer.bDriveHeadReg = 0xA0;
      answer.bCommandReg = 0x50;  // status: ready, seek complete
      std::memcpy(o + kSendCmdOutHeader, &answer, sizeof answer);
    } else if (r.bFeaturesReg == 0xD4) {
      if (!ExecuteOffline(*disk, r.bSectorNumberReg, nowNs)) return failWith(kErrIo, 1);
    } else {
      return failWith(kErrInvalidParameter, 3);
    }
  } else if (r.bCommandReg == 0xEC) {
    if (disk->fail.identify) return failWith(*disk->fail.identify, drvErr);
    sector = cap.identify.data();
  } else if (r.bCommandReg == 0xA1) {
    // An ATA drive aborts IDENTIFY PACKET DEVICE.
    return failWith(kErrIo, 1);
  } else if (smartRegs && r.bFeaturesReg == 0xD0) {
    if (disk->fail.data) return failWith(*disk->fail.data, drvErr);
    if (!cap.hasSmartData) return failWith(kErrIo, 1);
    sector = cap.smartData.data();
  } else if (smartRegs && r.bFeaturesReg == 0xD1) {
    if (disk->fail.thresholds) return failWith(*disk->fail.thresholds, drvErr);
    if (!cap.hasThresholds) return failWith(kErrIo, 1);
    sector = cap.thresholds.data();
  } else if (smartRegs && r.bFeaturesReg == 0xD5 && r.bSectorCountReg == 1) {
    // READ LOG of one sector: the logs the capture holds (and the self-test
    // log that tests run here began); the drive aborts the others.
    if (r.bSectorNumberReg == 0x06 && disk->selfTestLog) {
      sector = disk->selfTestLog->data();
    } else if (r.bSectorNumberReg == 0x01 && cap.hasErrorLog) {
      sector = cap.errorLog.data();
    } else {
      return failWith(kErrIo, 1);
    }
  } else {
    return failWith(kErrIo, 3);
  }
  std::memcpy(o, &head, kSendCmdOutHeader);
  if (sector) std::memcpy(o + kSendCmdOutHeader, sector, 512);
  if (returned) *returned = answerLen;
  return true;
}

bool SimPlatform::NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (result) *result = NvmeResult{};
  auto it = m_->open.find(h);
  if (it == m_->open.end()) {
    SetLastError(kErrInvalidHandle);
    return false;
  }
  const OpenEntry e = it->second;
  SimDisk* disk = e.disk >= 0 ? m_->disks[static_cast<std::size_t>(e.disk)].get() : nullptr;
  if (e.volume >= 0 || !disk || !disk->nvme) {
    SetLastError(kErrNotSupported);
    return false;
  }
  SimNvme& n = *disk->nvme;
  const std::int64_t nowNs = m_->realtime ? std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                std::chrono::steady_clock::now() - m_->start)
                                                .count()
                                          : m_->clockNs;
  AdvanceNvmeSelfTest(n, nowNs);
  // The controller's answer: a completion status other than 0 fails the call.
  auto status = [&](std::uint16_t s) {
    if (result) result->status = s;
    SetLastError(kErrIo);
    return false;
  };
  auto give = [&](const std::uint8_t* page, std::size_t size, std::uint32_t want) {
    if (!cmd.data || cmd.dataLen < want) {
      SetLastError(kErrInvalidParameter);
      return false;
    }
    auto* out = static_cast<std::uint8_t*>(cmd.data);
    const std::size_t copied = std::min<std::size_t>(size, want);
    std::memcpy(out, page, copied);
    std::memset(out + copied, 0, want - copied);
    return true;
  };
  switch (cmd.opcode) {
    case kNvmeIdentify: {
      const std::uint8_t cns = cmd.cdw10 & 0xFF;
      if (cns == kNvmeCnsController) return give(n.controller.data(), n.controller.size(), 4096);
      if (cns != kNvmeCnsNamespace) return status(0x0002);  // Invalid Field in Command
      if (cmd.nsid != 1) return status(0x000B);             // Invalid Namespace or Format
      return give(n.ns.data(), n.ns.size(), 4096);
    }
    case kNvmeGetLogPage: {
      const std::uint32_t numd = ((cmd.cdw11 & 0xFFFF) << 16 | cmd.cdw10 >> 16) + 1;
      const std::uint64_t want = static_cast<std::uint64_t>(numd) * 4;
      if (want > 0xFFFFFFFFu) return status(0x0002);
      const std::uint8_t logId = cmd.cdw10 & 0xFF;
      if (logId == kNvmeLogSmartHealth)
        return give(n.smartLog.data(), n.smartLog.size(), static_cast<std::uint32_t>(want));
      if (logId == kNvmeLogErrorInfo)
        return give(n.errorLog.data(), n.errorLog.size(), static_cast<std::uint32_t>(want));
      if (logId == kSimNvmeLogSelfTest && n.selfTests)
        return give(n.selfTestLog.data(), n.selfTestLog.size(), static_cast<std::uint32_t>(want));
      return status(0x0109);  // command specific: Invalid Log Page
    }
    case kSimNvmeDeviceSelfTest: {
      if (cmd.nsid != 0 && cmd.nsid != 1 && cmd.nsid != kNvmeNsidAll)
        return status(0x000B);  // Invalid Namespace or Format
      const std::uint16_t s = StartNvmeSelfTest(*disk, cmd.cdw10 & 0xF, nowNs);
      return s ? status(s) : true;
    }
    default:
      return status(0x0001);  // Invalid Command Opcode
  }
}

std::vector<LogicalDrive> SimPlatform::LogicalDrives() {
  std::lock_guard<std::mutex> lock(m_->mu);
  std::vector<LogicalDrive> out;
  for (const auto& v : m_->volumes) out.push_back({v->name});
  return out;
}

bool SimPlatform::VolumeInformation(const std::string& name, VolumeInfo* info) {
  std::lock_guard<std::mutex> lock(m_->mu);
  *info = VolumeInfo{};
  for (const auto& v : m_->volumes) {
    if (v->name != name) continue;
    if (v->noMedium) {
      SetLastError(kErrNotReady);
      return false;
    }
    info->label = v->label;
    info->fileSystem = v->fs;
    return true;
  }
  SetLastError(kErrNotFound);
  return false;
}

bool SimPlatform::VolumeTotalBytes(const std::string& name, std::uint64_t* total) {
  std::lock_guard<std::mutex> lock(m_->mu);
  for (const auto& v : m_->volumes) {
    if (v->name != name) continue;
    if (!v->mountedTotal) {
      SetLastError(kErrNotReady);
      return false;
    }
    *total = *v->mountedTotal;
    return true;
  }
  SetLastError(kErrNotFound);
  return false;
}

std::string SimPlatform::ErrorText(std::uint32_t code) {
  // The simulated machine fails with the host's own codes and texts.
  static std::unique_ptr<Platform> host = MakeHostPlatform();
  return host->ErrorText(code);
}

std::int64_t SimPlatform::PerfFrequency() {
  std::lock_guard<std::mutex> lock(m_->mu);
  return m_->perfFrequency;
}

std::int64_t SimPlatform::PerfCounter() {
  std::lock_guard<std::mutex> lock(m_->mu);
  std::int64_t ns = m_->clockNs;
  if (m_->realtime)
    ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                              m_->start)
             .count();
  if (m_->perfFrequency == 0) return 0;
  return static_cast<std::int64_t>(static_cast<long double>(ns) * m_->perfFrequency / 1e9L);
}

bool SimPlatform::PerfCounterIsCpuClock() {
  std::optional<bool> given;
  {
    std::lock_guard<std::mutex> lock(m_->mu);
    given = m_->perfCpuClock;
  }
  return given ? *given : Platform::PerfCounterIsCpuClock();
}

std::uint32_t SimPlatform::TickCount() {
  std::lock_guard<std::mutex> lock(m_->mu);
  std::int64_t ns = m_->clockNs;
  if (m_->realtime)
    ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                              m_->start)
             .count();
  return static_cast<std::uint32_t>(ns / 1000000);
}

void SimPlatform::Sleep(std::uint32_t milliseconds) {
  if (m_->realtime) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return;
  }
  std::lock_guard<std::mutex> lock(m_->mu);
  m_->clockNs += static_cast<std::int64_t>(milliseconds) * 1000000;
}

// The disk serves the reads of a reader one after the other, in the order
// they were submitted: each begins when the one before it has ended (or at
// its submission) and takes its simulated duration, access time included.
// Reaping waits on the machine's clock for the completions it returns.
class SimAsyncReader : public AsyncReader {
 public:
  SimAsyncReader(SimPlatform& p, Handle h, std::uint32_t depth) : p_(p), h_(h), depth_(depth) {}

  bool Submit(const AsyncReadRequest* reqs, std::size_t n) override {
    if (pending_.size() + n > depth_) {
      Platform::SetLastError(kErrInvalidParameter);
      return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      Pending q;
      q.c.tag = reqs[i].tag;
      std::int64_t ns = 0;
      if (!p_.Transfer(false, h_, reqs[i].offset, reqs[i].buf, reqs[i].len, &q.c.done, &ns))
        q.c.error = Platform::LastError();
      const std::int64_t begin = std::max(p_.NowNs(), busyUntil_);
      busyUntil_ = begin + ns;
      q.endNs = busyUntil_;
      q.seq = seq_++;
      pending_.push_back(q);
    }
    return true;
  }

  std::size_t Reap(AsyncReadCompletion* out, std::size_t max, std::size_t min) override {
    std::sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
      return a.endNs != b.endNs ? a.endNs < b.endNs : a.seq < b.seq;
    });
    const std::size_t want = std::min({min, max, pending_.size()});
    if (want > 0) p_.WaitUntilNs(pending_[want - 1].endNs);
    const std::int64_t now = p_.NowNs();
    std::size_t n = 0;
    while (n < max && n < pending_.size() && pending_[n].endNs <= now) {
      out[n] = pending_[n].c;
      out[n].counter = p_.CounterAtNs(pending_[n].endNs);
      ++n;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
  }

  const char* Kind() const override { return "sim"; }

 private:
  struct Pending {
    std::int64_t endNs = 0;
    std::uint64_t seq = 0;
    AsyncReadCompletion c;
  };
  SimPlatform& p_;
  const Handle h_;
  const std::size_t depth_;
  std::vector<Pending> pending_;
  std::int64_t busyUntil_ = 0;
  std::uint64_t seq_ = 0;
};

std::unique_ptr<AsyncReader> SimPlatform::OpenAsyncReader(Handle h, std::uint32_t depth) {
  {
    std::lock_guard<std::mutex> lock(m_->mu);
    if (!m_->open.count(h)) {
      SetLastError(kErrInvalidHandle);
      return nullptr;
    }
  }
  if (depth == 0) {
    SetLastError(kErrInvalidParameter);
    return nullptr;
  }
  return std::make_unique<SimAsyncReader>(*this, h, depth);
}

std::int64_t SimPlatform::NowNs() const {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (m_->realtime)
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                m_->start)
        .count();
  return m_->clockNs;
}

void SimPlatform::WaitUntilNs(std::int64_t ns) {
  if (m_->realtime) {
    std::this_thread::sleep_until(m_->start + std::chrono::nanoseconds(ns));
    return;
  }
  std::lock_guard<std::mutex> lock(m_->mu);
  m_->clockNs = std::max(m_->clockNs, ns);
}

std::int64_t SimPlatform::CounterAtNs(std::int64_t ns) const {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (m_->perfFrequency == 0) return 0;
  return static_cast<std::int64_t>(static_cast<long double>(ns) * m_->perfFrequency / 1e9L);
}

void SimPlatform::SetRequestHook(std::function<void(int, std::int64_t, bool)> hook) {
  std::lock_guard<std::mutex> lock(m_->mu);
  m_->hook = std::move(hook);
}

void SimPlatform::AdvanceClock(std::int64_t nanoseconds) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (!m_->realtime) m_->clockNs += nanoseconds;
}

void SimPlatform::SetPerfFrequency(std::int64_t f) {
  std::lock_guard<std::mutex> lock(m_->mu);
  m_->perfFrequency = f;
}

bool SimPlatform::Realtime() const { return m_->realtime; }

int SimPlatform::OpenHandleCount() const {
  std::lock_guard<std::mutex> lock(m_->mu);
  return static_cast<int>(m_->open.size());
}

int SimPlatform::DiskCount() const {
  std::lock_guard<std::mutex> lock(m_->mu);
  return static_cast<int>(m_->disks.size());
}

std::uint64_t SimPlatform::DiskSize(int disk) const {
  std::lock_guard<std::mutex> lock(m_->mu);
  return m_->disks.at(static_cast<std::size_t>(disk))->size;
}

}  // namespace dt
