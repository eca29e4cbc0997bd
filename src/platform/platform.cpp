#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
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

int Platform::DumpCreate(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) {
    SetLastError(static_cast<std::uint32_t>(errno));
    return -1;
  }
  std::lock_guard<std::mutex> lock(g_dumpMutex);
  for (int i = 0; i < kMaxDumps; ++i) {
    if (!g_dumps[i]) {
      g_dumps[i] = f;
      return i;
    }
  }
  std::fclose(f);
  return -1;
}

bool Platform::DumpWrite(int fd, const void* data, std::uint32_t len) {
  std::lock_guard<std::mutex> lock(g_dumpMutex);
  if (fd < 0 || fd >= kMaxDumps || !g_dumps[fd]) return false;
  return std::fwrite(data, 1, len, g_dumps[fd]) == len;
}

void Platform::DumpClose(int fd) {
  std::lock_guard<std::mutex> lock(g_dumpMutex);
  if (fd < 0 || fd >= kMaxDumps || !g_dumps[fd]) return;
  std::fclose(g_dumps[fd]);
  g_dumps[fd] = nullptr;
}

bool Platform::DeviceInUse(const std::string&) { return false; }

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
