// Loading the simulated machine: the JSON descriptor, checked key by key,
// into the disks and volumes of a SimPlatform.
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "platform/sim/builtin_captures.h"
#include "platform/sim/sim_machine.h"

namespace dt {

using namespace sim;

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

}  // namespace dt
