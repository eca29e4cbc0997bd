#include "platform/platform.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <stdlib.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <mutex>
#include <utility>

namespace dt {

namespace {
thread_local std::uint32_t t_lastError = 0;
std::unique_ptr<Platform> g_platform;
}  // namespace

std::uint32_t Platform::LastError() { return t_lastError; }
void Platform::SetLastError(std::uint32_t code) { t_lastError = code; }

// The dump file is an ordinary file on every platform; stdio keeps it
// portable. The descriptor is an index into a small table of open files.
namespace {
constexpr int kMaxDumps = 8;
std::mutex g_dumpMutex;
std::FILE* g_dumps[kMaxDumps] = {};
}  // namespace

namespace {
// The host's code of the last failing C library call: the system's error
// code on Windows (the C runtime keeps it beside errno), errno elsewhere.
std::uint32_t CrtError(std::uint32_t fallback) {
#ifdef _WIN32
  if (_doserrno != 0) return static_cast<std::uint32_t>(_doserrno);
#endif
  return errno != 0 ? static_cast<std::uint32_t>(errno) : fallback;
}
}  // namespace

std::string DumpTargetRefusal(const std::string& name) {
  if (name.empty()) return "no file name was given";
#ifdef _WIN32
  // The device namespace ("\\.\PHYSICALDRIVE1", "\\?\...") and the reserved
  // device names (NUL, CON, COM1, ...), whatever folder or extension they
  // carry, open devices rather than files.
  if (name.size() >= 4 && (name[0] == '\\' || name[0] == '/') &&
      (name[1] == '\\' || name[1] == '/') && (name[2] == '.' || name[2] == '?') &&
      (name[3] == '\\' || name[3] == '/'))
    return name + " is a device, not a regular file";
  std::string base = name.substr(name.find_last_of("\\/:") == std::string::npos
                                     ? 0
                                     : name.find_last_of("\\/:") + 1);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && (base.back() == ' ')) base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kReserved[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  bool reserved = false;
  for (const char* r : kReserved) reserved = reserved || base == r;
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
      base[3] >= '0' && base[3] <= '9')
    reserved = true;
  if (reserved) return name + " is a device, not a regular file";
#endif
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(name, ec);
  if (ec || st.type() == std::filesystem::file_type::not_found ||
      st.type() == std::filesystem::file_type::regular)
    return {};
  switch (st.type()) {
    case std::filesystem::file_type::directory:
      return name + " is a directory, not a regular file";
    case std::filesystem::file_type::block:
      return name + " is a block device, not a regular file";
    case std::filesystem::file_type::character:
      return name + " is a character device, not a regular file";
    case std::filesystem::file_type::fifo:
      return name + " is a pipe, not a regular file";
    case std::filesystem::file_type::socket:
      return name + " is a socket, not a regular file";
    default:
      return name + " is not a regular file";
  }
}

int Platform::DumpCreate(const std::string& name) {
  if (!DumpTargetRefusal(name).empty()) {
    SetLastError(kErrInvalidParameter);
    return -1;
  }
#ifdef _WIN32
  errno = 0;
  _doserrno = 0;
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) {
    SetLastError(CrtError(kErrAccessDenied));
    return -1;
  }
#else
  // Opened without truncating, and checked on the open descriptor, so that a
  // name swapped for a device between the check and the open is never
  // written; O_NONBLOCK keeps a pipe from blocking the open.
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastError(static_cast<std::uint32_t>(errno));
    return -1;
  }
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0 ||
      ::fcntl(fd, F_SETFL, 0) != 0) {
    const int e = S_ISREG(st.st_mode) ? errno : EINVAL;
    ::close(fd);
    SetLastError(static_cast<std::uint32_t>(e));
    return -1;
  }
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    SetLastError(static_cast<std::uint32_t>(errno));
    ::close(fd);
    return -1;
  }
#endif
  std::lock_guard<std::mutex> lock(g_dumpMutex);
  for (int i = 0; i < kMaxDumps; ++i) {
    if (!g_dumps[i]) {
      g_dumps[i] = f;
      return i;
    }
  }
  std::fclose(f);
  SetLastError(kErrBusy);
  return -1;
}

bool Platform::DumpWrite(int fd, const void* data, std::uint32_t len) {
  std::lock_guard<std::mutex> lock(g_dumpMutex);
  if (fd < 0 || fd >= kMaxDumps || !g_dumps[fd]) {
    SetLastError(kErrInvalidHandle);
    return false;
  }
  errno = 0;
#ifdef _WIN32
  _doserrno = 0;
#endif
  if (std::fwrite(data, 1, len, g_dumps[fd]) == len) return true;
  SetLastError(CrtError(kErrIo));
  return false;
}

bool Platform::DumpClose(int fd) {
  std::lock_guard<std::mutex> lock(g_dumpMutex);
  if (fd < 0 || fd >= kMaxDumps || !g_dumps[fd]) return false;
  errno = 0;
#ifdef _WIN32
  _doserrno = 0;
#endif
  const bool ok = std::fclose(g_dumps[fd]) == 0;
  g_dumps[fd] = nullptr;
  if (!ok) SetLastError(CrtError(kErrIo));
  return ok;
}

bool Platform::DeviceInUse(const std::string&) { return false; }

bool Platform::NvmePassThrough(Handle, const NvmeCommand&, NvmeResult* result) {
  if (result) *result = NvmeResult{};
  SetLastError(kErrNotSupported);
  return false;
}

void Platform::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool Platform::KeepThreadOnProcessor(bool) { return false; }

bool Platform::PerfCounterIsCpuClock() {
  return PerfFrequency() > 70000000;
}

DISK_GEOMETRY ModernDiskGeometry(std::uint64_t bytes, std::uint32_t bytesPerSector) {
  DISK_GEOMETRY g{};
  g.MediaType = 12;  // FixedMedia
  g.TracksPerCylinder = 255;
  g.SectorsPerTrack = 63;
  g.BytesPerSector = bytesPerSector;
  g.Cylinders = static_cast<std::int64_t>(bytes / (255ull * 63ull * bytesPerSector));
  return g;
}

Platform& Sys() {
  if (!g_platform) g_platform = MakeHostPlatform();
  return *g_platform;
}

void SetSys(std::unique_ptr<Platform> p) { g_platform = std::move(p); }

ScopedPlatform::ScopedPlatform(std::unique_ptr<Platform> p)
    : saved_(std::move(g_platform)), current_(p.get()) {
  g_platform = std::move(p);
}

ScopedPlatform::~ScopedPlatform() { g_platform = std::move(saved_); }

}  // namespace dt
