#include "platform/posix/sysfs.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <mutex>
#include <sstream>
#include <tuple>

namespace dt::sysfs {

namespace {

std::mutex g_rootMutex;
std::string g_root;

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> out;
  DIR* d = ::opendir(Path(dir).c_str());
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") out.push_back(n);
  }
  ::closedir(d);
  return out;
}

bool Exists(const std::string& path) {
  struct stat st{};
  return ::stat(Path(path).c_str(), &st) == 0;
}

bool StartsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

// Devices that are not disks of their own: RAM disks, device-mapper and md
// volumes (they sit on disks already listed), optical and floppy drives,
// unconnected network block devices.
bool IsVirtual(const std::string& n) {
  for (const char* p : {"ram", "zram", "dm-", "md", "sr", "fd", "nbd", "loop"})
    if (StartsWith(n, p)) return true;
  return false;
}

std::string Prefix(const std::string& n) {
  std::size_t i = 0;
  while (i < n.size() && std::isalpha(static_cast<unsigned char>(n[i]))) ++i;
  return n.substr(0, i);
}

// Orders NVMe namespaces by controller, then namespace number ("nvme0n2" <
// "nvme0n10" < "nvme1n1"): every run of digits compares as a number.
bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
    if (da && db) {
      std::size_t ei = i;
      std::size_t ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      // Leading zeros do not occur in kernel names; a longer run is larger.
      const std::string na = a.substr(i, ei - i);
      const std::string nb = b.substr(j, ej - j);
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (na != nb) return na < nb;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

// The driver's part of a disk name: the letters before the number
// ("nvme", "mmcblk"), or for disks named by letters ("sdb", "vdaa") the
// letters before the index, so that "sdz" < "sdaa" by length.
std::string Family(const std::string& n) {
  for (const char* f : {"xvd", "sd", "vd", "hd"})
    if (StartsWith(n, f)) return f;
  return Prefix(n);
}

bool DiskLess(const std::string& a, const std::string& b) {
  const std::string pa = Family(a);
  const std::string pb = Family(b);
  if (pa == "nvme" && pb == "nvme") return NaturalLess(a, b);
  return std::make_tuple(pa, a.size(), a) < std::make_tuple(pb, b.size(), b);
}

int TrailingNumber(const std::string& n) {
  std::size_t i = n.size();
  while (i > 0 && std::isdigit(static_cast<unsigned char>(n[i - 1]))) --i;
  return i < n.size() ? std::atoi(n.c_str() + i) : -1;
}

std::string DevDir(unsigned major, unsigned minor) {
  return "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
}

// Every "major:minor" that is mounted, with its mount point.
std::vector<std::pair<std::string, std::string>> Mounts() {
  std::vector<std::pair<std::string, std::string>> out;
  std::ifstream in(Path("/proc/self/mountinfo"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string id, parent, majmin, root, mountPoint;
    ls >> id >> parent >> majmin >> root >> mountPoint;
    // Mount points escape blanks and a few other characters in octal.
    std::string mp;
    for (std::size_t i = 0; i < mountPoint.size(); ++i) {
      if (mountPoint[i] == '\\' && i + 3 < mountPoint.size() + 0 &&
          std::isdigit(static_cast<unsigned char>(mountPoint[i + 1]))) {
        mp += static_cast<char>(std::stoi(mountPoint.substr(i + 1, 3), nullptr, 8));
        i += 3;
      } else {
        mp += mountPoint[i];
      }
    }
    out.emplace_back(majmin, mp);
  }
  return out;
}

std::string MajMinOfName(const std::string& name) {
  return ReadLine("/sys/class/block/" + name + "/dev");
}

}  // namespace

std::string Path(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_rootMutex);
  return g_root.empty() ? path : g_root + path;
}

void SetRootForTests(const std::string& dir) {
  std::lock_guard<std::mutex> lock(g_rootMutex);
  g_root = dir;
}

std::string ReadLine(const std::string& path) {
  std::ifstream in(Path(path));
  std::string line;
  std::getline(in, line);
  return line;
}

std::vector<std::string> WholeDisks() {
  std::vector<std::string> real;
  std::vector<std::string> loops;
  for (const std::string& n : ListDir("/sys/block")) {
    if (ReadLine("/sys/block/" + n + "/hidden") == "1") continue;
    if (StartsWith(n, "loop")) {
      if (Exists("/sys/block/" + n + "/loop/backing_file")) loops.push_back(n);
    } else if (!IsVirtual(n)) {
      real.push_back(n);
    }
  }
  std::sort(real.begin(), real.end(), DiskLess);
  std::sort(loops.begin(), loops.end(), [](const std::string& a, const std::string& b) {
    return TrailingNumber(a) < TrailingNumber(b);
  });
  real.insert(real.end(), loops.begin(), loops.end());
  return real;
}

std::vector<std::string> PartitionsOf(const std::string& disk) {
  std::vector<std::pair<int, std::string>> parts;
  for (const std::string& n : ListDir("/sys/block/" + disk)) {
    const std::string num = ReadLine("/sys/block/" + disk + "/" + n + "/partition");
    if (!num.empty()) parts.emplace_back(std::atoi(num.c_str()), n);
  }
  std::sort(parts.begin(), parts.end());
  std::vector<std::string> out;
  for (auto& p : parts) out.push_back(p.second);
  return out;
}

std::string FirstNamespaceOf(const std::string& controller) {
  const std::vector<std::string> disks = WholeDisks();
  std::string first;
  for (const std::string& n : ListDir("/sys/class/nvme/" + controller)) {
    // nvme<subsystem>[c<controller>]n<namespace>
    std::size_t i = 4;
    auto digits = [&] {
      const std::size_t from = i;
      while (i < n.size() && std::isdigit(static_cast<unsigned char>(n[i]))) ++i;
      return i > from;
    };
    if (!StartsWith(n, "nvme") || !digits()) continue;
    const std::size_t subsystemEnd = i;
    if (i < n.size() && n[i] == 'c' && (++i, !digits())) continue;
    const std::size_t nsAt = i;
    if (i >= n.size() || n[i] != 'n' || (++i, !digits()) || i != n.size()) continue;
    const std::string disk = n.substr(0, subsystemEnd) + n.substr(nsAt);
    if (std::find(disks.begin(), disks.end(), disk) == disks.end()) continue;
    if (first.empty() || NaturalLess(disk, first)) first = disk;
  }
  return first;
}

std::vector<std::string> Volumes() {
  std::vector<std::string> out;
  for (const std::string& disk : WholeDisks()) {
    const std::vector<std::string> parts = PartitionsOf(disk);
    if (!parts.empty()) {
      out.insert(out.end(), parts.begin(), parts.end());
    } else {
      out.push_back(disk);
    }
  }
  return out;
}

bool DeviceBytes(unsigned major, unsigned minor, std::uint64_t* bytes) {
  const std::string s = ReadLine(DevDir(major, minor) + "/size");
  if (s.empty()) return false;
  *bytes = std::stoull(s) * 512;
  return true;
}

std::uint32_t LogicalBlockSize(unsigned major, unsigned minor) {
  std::string s = ReadLine(DevDir(major, minor) + "/queue/logical_block_size");
  if (s.empty()) s = ReadLine(DevDir(major, minor) + "/../queue/logical_block_size");
  const unsigned long v = s.empty() ? 512 : std::stoul(s);
  return v ? static_cast<std::uint32_t>(v) : 512;
}

bool PartitionStart(unsigned major, unsigned minor, std::uint64_t* sector) {
  const std::string s = ReadLine(DevDir(major, minor) + "/start");
  if (s.empty()) return false;
  *sector = std::stoull(s);
  return true;
}

std::uint32_t PartitionNumber(unsigned major, unsigned minor) {
  const std::string s = ReadLine(DevDir(major, minor) + "/partition");
  return s.empty() ? 0 : static_cast<std::uint32_t>(std::stoul(s));
}

std::string MountPointOf(const std::string& devPath) {
  std::string majmin;
  struct stat st{};
  if (::stat(devPath.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
    majmin = std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
  } else {
    const auto slash = devPath.rfind('/');
    majmin = MajMinOfName(devPath.substr(slash == std::string::npos ? 0 : slash + 1));
  }
  if (majmin.empty()) return {};
  for (const auto& [mm, mp] : Mounts())
    if (mm == majmin) return mp;
  return {};
}

std::string DiskOf(const std::string& name) {
  if (ReadLine("/sys/class/block/" + name + "/partition").empty()) return name;
  char buf[PATH_MAX];
  const std::string link = Path("/sys/class/block/" + name);
  if (!::realpath(link.c_str(), buf)) return name;
  std::string p = buf;
  p = p.substr(0, p.rfind('/'));
  return p.substr(p.rfind('/') + 1);
}

bool InUse(const std::string& disk) {
  std::vector<std::string> names = PartitionsOf(disk);
  names.push_back(disk);
  const auto mounts = Mounts();
  for (const std::string& n : names) {
    const std::string mm = MajMinOfName(n);
    if (mm.empty()) continue;
    for (const auto& m : mounts)
      if (m.first == mm) return true;
    // Held by device-mapper, md or the like.
    if (!ListDir("/sys/class/block/" + n + "/holders").empty()) return true;
  }
  return false;
}

bool BackingFileInUse(dev_t dev, ino_t ino) {
  for (const std::string& n : ListDir("/sys/block")) {
    if (n.rfind("loop", 0) != 0) continue;
    std::string file = ReadLine("/sys/block/" + n + "/loop/backing_file");
    const std::string deleted = " (deleted)";
    if (file.size() > deleted.size() &&
        file.compare(file.size() - deleted.size(), deleted.size(), deleted) == 0)
      file.resize(file.size() - deleted.size());
    struct stat st{};
    if (file.empty() || ::stat(file.c_str(), &st) != 0) continue;
    if (st.st_dev == dev && st.st_ino == ino && InUse(n)) return true;
  }
  return false;
}

}  // namespace dt::sysfs
