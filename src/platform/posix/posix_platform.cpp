// Linux backend of the platform seam.
//
// Block devices are read with O_DIRECT through aligned memory, so a speed
// test measures the disk and not the page cache and a bad 512-byte sector
// shows as one bad sector; where O_DIRECT is refused (tmpfs, some FUSE files)
// the handle falls back to buffered I/O. Opening a block device for writing
// takes an exclusive claim (O_EXCL): a disk that is mounted, or one of whose
// partitions is mounted, cannot be opened for writing.
#include "platform/posix/posix_platform.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/posix/nvme_passthrough.h"
#include "platform/posix/sysfs.h"
#include "platform/posix/uring_reader.h"
#include "platform/thread_pool_reader.h"

namespace dt {

// One open descriptor and what requests on it need to know.
struct PosixOpenFile {
  int fd = -1;
  bool block = false;
  bool direct = false;
  bool dataAllowed = true;  // false for device-control handles
  bool writable = false;
  dev_t rdev = 0;
  std::uint32_t sectorSize = 512;
  int openErrno = 0;  // why a device-control handle could only be opened O_PATH
};

namespace {

using OpenFile = PosixOpenFile;
constexpr std::size_t kAlign = 4096;

void Fail(int err) { Platform::SetLastError(static_cast<std::uint32_t>(err)); }

// Aligned scratch memory for requests whose buffer, offset or length does not
// suit O_DIRECT.
struct AlignedBuffer {
  void* p = nullptr;
  std::size_t size = 0;
  ~AlignedBuffer() { std::free(p); }
  bool Reserve(std::size_t n) {
    if (n <= size) return true;
    void* q = nullptr;
    if (posix_memalign(&q, kAlign, n) != 0) return false;
    std::free(p);
    p = q;
    size = n;
    return true;
  }
};

thread_local AlignedBuffer t_bounce;

}  // namespace

class PosixPlatform::Impl {
 public:
  std::mutex mu;
  std::map<Handle, OpenFile> files;

  bool Lookup(Handle h, OpenFile* out) {
    std::lock_guard<std::mutex> lock(mu);
    auto it = files.find(h);
    if (it == files.end()) return false;
    *out = it->second;
    return true;
  }
};

PosixPlatform::PosixPlatform() : impl_(std::make_unique<Impl>()) {}
PosixPlatform::~PosixPlatform() {
  for (auto& [h, f] : impl_->files) ::close(f.fd);
}

std::string PosixPlatform::PhysicalDrivePath(int n) const {
  const std::vector<std::string> disks = sysfs::WholeDisks();
  if (n < 0 || n >= static_cast<int>(disks.size())) return {};
  return "/dev/" + disks[static_cast<std::size_t>(n)];
}

std::string PosixPlatform::LogicalDrivePath(const std::string& name) const {
  return "/dev/" + name;
}

Handle PosixPlatform::OpenDevice(const std::string& path, std::uint32_t access,
                                 std::uint32_t /*share*/, std::uint32_t disposition,
                                 std::uint32_t flags) {
  const bool control = (flags & kFlagDeviceControl) != 0;
  const bool write = (access & kGenericWrite) != 0 && !control;

  struct stat st{};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (disposition == kCreateNew) {
    // Only plain files can be created; there is no legacy SMART driver here.
    if (exists) {
      Fail(EEXIST);
      return kInvalidHandle;
    }
    if (path.rfind("\\\\.\\", 0) == 0) {
      Fail(ENOENT);
      return kInvalidHandle;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      Fail(errno);
      return kInvalidHandle;
    }
    OpenFile f;
    f.fd = fd;
    f.writable = true;
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->files[fd] = f;
    return fd;
  }
  if (!exists) {
    Fail(errno);
    return kInvalidHandle;
  }

  if (write && S_ISREG(st.st_mode) && sysfs::BackingFileInUse(st.st_dev, st.st_ino)) {
    // An image behind a mounted loop device is a disk in use: like the
    // device itself (O_EXCL), it opens only for reading.
    Fail(EBUSY);
    return kInvalidHandle;
  }
  OpenFile f;
  f.block = S_ISBLK(st.st_mode);
  f.rdev = st.st_rdev;
  int fd = -1;
  if (control) {
    // Device-control handles: sizes and ATA commands only.
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && f.block && (errno == EACCES || errno == EPERM)) {
      // Sizes come from sysfs, which needs no permission on the device;
      // every other request fails with the error of the refused open.
      f.openErrno = errno;
      fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    }
    f.dataAllowed = false;
  } else {
    int mode = write ? O_RDWR : O_RDONLY;
    if (f.block && write) mode |= O_EXCL;
    // Uncached where the file system allows it (tmpfs and some FUSE files
    // refuse O_DIRECT with EINVAL: buffered I/O then).
    fd = ::open(path.c_str(), mode | O_DIRECT | O_CLOEXEC);
    if (fd >= 0) {
      f.direct = true;
    } else if (errno == EINVAL) {
      fd = ::open(path.c_str(), mode | O_CLOEXEC);
    }
    f.writable = write;
  }
  if (fd < 0) {
    Fail(errno);
    return kInvalidHandle;
  }
  return Register(fd, f);
}

Handle PosixPlatform::Adopt(int fd) {
  struct stat st {};
  const int fl = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || fl < 0) {
    Fail(errno);
    return kInvalidHandle;
  }
  OpenFile f;
  f.block = S_ISBLK(st.st_mode);
  f.rdev = st.st_rdev;
  f.direct = (fl & O_DIRECT) != 0;
  f.writable = (fl & O_ACCMODE) == O_RDWR;
  return Register(fd, f);
}

Handle PosixPlatform::Register(int fd, OpenFile f) {
  f.fd = fd;
  if (!f.block) {
    // A regular file: the direct I/O alignment its file system asks for
    // (none for FUSE files), so that one bad sector fails only itself.
    struct statx sx{};
    f.sectorSize = 512;
    if (f.direct && ::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &sx) == 0 &&
        (sx.stx_mask & STATX_DIOALIGN) && sx.stx_dio_offset_align > 512)
      f.sectorSize = sx.stx_dio_offset_align;
  } else {
    int ss = 0;
    if (::ioctl(fd, BLKSSZGET, &ss) == 0 && ss > 0) {
      f.sectorSize = static_cast<std::uint32_t>(ss);
    } else {
      f.sectorSize = sysfs::LogicalBlockSize(major(f.rdev), minor(f.rdev));
    }
  }
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->files[fd] = f;
  return fd;
}

bool PosixPlatform::Close(Handle h) {
  int fd = -1;
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    auto it = impl_->files.find(h);
    if (it == impl_->files.end()) {
      Fail(EBADF);
      return false;
    }
    fd = it->second.fd;
    impl_->files.erase(it);
  }
  if (::close(fd) != 0) {
    Fail(errno);
    return false;
  }
  return true;
}

bool PosixPlatform::DeviceInUse(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return false;
  if (S_ISREG(st.st_mode)) return sysfs::BackingFileInUse(st.st_dev, st.st_ino);
  if (!S_ISBLK(st.st_mode)) return false;
  // The kernel's name of the device, whatever link the path went through.
  const std::string link = sysfs::Path("/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                                       std::to_string(minor(st.st_rdev)));
  char real[PATH_MAX];
  if (!::realpath(link.c_str(), real)) return false;
  std::string name = real;
  name = name.substr(name.rfind('/') + 1);
  const std::string disk = sysfs::DiskOf(name);
  if (sysfs::InUse(disk)) return true;
  // The root file system's device, also when mountinfo names it otherwise.
  struct stat root{};
  if (::stat("/", &root) != 0) return false;
  const std::string rootDev =
      std::to_string(major(root.st_dev)) + ":" + std::to_string(minor(root.st_dev));
  std::vector<std::string> names = sysfs::PartitionsOf(disk);
  names.push_back(disk);
  for (const std::string& n : names)
    if (sysfs::ReadLine("/sys/class/block/" + n + "/dev") == rootDev) return true;
  return false;
}

FileType PosixPlatform::GetType(Handle h) {
  OpenFile f;
  if (!impl_->Lookup(h, &f)) {
    Fail(EBADF);
    return FileType::Unknown;
  }
  struct stat st{};
  if (::fstat(f.fd, &st) != 0) {
    Fail(errno);
    return FileType::Unknown;
  }
  if (S_ISBLK(st.st_mode) || S_ISREG(st.st_mode)) return FileType::Disk;
  if (S_ISCHR(st.st_mode)) return FileType::Char;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FileType::Pipe;
  return FileType::Unknown;
}

namespace {

// pread / pwrite the whole range, stopping early only at the end of the
// device. Returns the bytes moved, or -1 with errno set.
std::int64_t FullIo(bool write, int fd, void* buf, std::size_t len, std::int64_t off) {
  std::size_t done = 0;
  auto* p = static_cast<char*>(buf);
  while (done < len) {
    const ssize_t r = write ? ::pwrite(fd, p + done, len - done, off + static_cast<off_t>(done))
                            : ::pread(fd, p + done, len - done, off + static_cast<off_t>(done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace

bool PosixPlatform::Transfer(bool write, Handle h, std::int64_t offset, void* buf,
                             std::uint32_t len, std::uint32_t* done) {
  if (done) *done = 0;
  OpenFile f;
  if (!impl_->Lookup(h, &f)) {
    Fail(EBADF);
    return false;
  }
  if (!f.dataAllowed || (write && !f.writable)) {
    Fail(EBADF);
    return false;
  }
  if (offset < 0) {
    Fail(EINVAL);
    return false;
  }
  std::int64_t moved = 0;
  const std::uint64_t ss = f.direct ? std::max<std::uint32_t>(f.sectorSize, 512) : 1;
  const bool aligned = !f.direct || (reinterpret_cast<std::uintptr_t>(buf) % kAlign == 0 &&
                                     static_cast<std::uint64_t>(offset) % ss == 0 && len % ss == 0);
  if (aligned) {
    moved = FullIo(write, f.fd, buf, len, offset);
  } else {
    // Through aligned scratch memory covering whole sectors.
    const std::uint64_t start = static_cast<std::uint64_t>(offset) / ss * ss;
    const std::uint64_t end = (static_cast<std::uint64_t>(offset) + len + ss - 1) / ss * ss;
    const std::size_t span = static_cast<std::size_t>(end - start);
    const std::size_t lead = static_cast<std::size_t>(static_cast<std::uint64_t>(offset) - start);
    if (!t_bounce.Reserve(span)) {
      Fail(ENOMEM);
      return false;
    }
    if (write && !f.block) {
      // A file's partial sectors are written through the page cache: a
      // read-modify-write of whole sectors would lengthen a file whose end
      // is not on a sector boundary.
      const int flags = ::fcntl(f.fd, F_GETFL);
      if (flags < 0 || ::fcntl(f.fd, F_SETFL, flags & ~O_DIRECT) != 0) {
        Fail(errno);
        return false;
      }
      moved = FullIo(true, f.fd, buf, len, offset);
      const int e = errno;
      ::fcntl(f.fd, F_SETFL, flags);
      errno = e;
    } else if (write) {
      // Read-modify-write of the partial sectors at both ends.
      if (lead != 0 || (static_cast<std::uint64_t>(offset) + len) % ss != 0) {
        const std::int64_t r = FullIo(false, f.fd, t_bounce.p, span, static_cast<std::int64_t>(start));
        if (r < 0) {
          Fail(errno);
          return false;
        }
      }
      std::memcpy(static_cast<char*>(t_bounce.p) + lead, buf, len);
      const std::int64_t w = FullIo(true, f.fd, t_bounce.p, span, static_cast<std::int64_t>(start));
      moved = w < 0 ? -1 : std::min<std::int64_t>(len, std::max<std::int64_t>(0, w - static_cast<std::int64_t>(lead)));
    } else {
      const std::int64_t r = FullIo(false, f.fd, t_bounce.p, span, static_cast<std::int64_t>(start));
      if (r >= 0) {
        moved = std::min<std::int64_t>(len, std::max<std::int64_t>(0, r - static_cast<std::int64_t>(lead)));
        std::memcpy(buf, static_cast<char*>(t_bounce.p) + lead, static_cast<std::size_t>(moved));
      } else {
        moved = -1;
      }
    }
  }
  if (moved < 0) {
    Fail(errno);
    return false;
  }
  if (done) *done = static_cast<std::uint32_t>(moved);
  return true;
}

bool PosixPlatform::ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
                           std::uint32_t* done) {
  return Transfer(false, h, offset, buf, len, done);
}

bool PosixPlatform::WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
                            std::uint32_t* done) {
  return Transfer(true, h, offset, const_cast<void*>(buf), len, done);
}

std::unique_ptr<AsyncReader> PosixPlatform::OpenAsyncReader(Handle h, std::uint32_t depth) {
  OpenFile f;
  if (!impl_->Lookup(h, &f) || !f.dataAllowed) {
    Fail(EBADF);
    return nullptr;
  }
  if (depth == 0) {
    Fail(EINVAL);
    return nullptr;
  }
  const char* choice = std::getenv("DISKTEST_ASYNC");
  const bool threads = choice && std::strcmp(choice, "threads") == 0;
  // The ring reads whole sectors into the caller's aligned buffers, as the
  // handle's direct reads need.
  if (!threads)
    if (auto r = MakeUringReader(*this, f.fd, depth)) return r;
  return MakeThreadPoolReader(*this, h, depth);
}

bool PosixPlatform::DeviceSize(Handle h, std::uint64_t* bytes, std::uint32_t* sectorSize) {
  OpenFile f;
  if (!impl_->Lookup(h, &f)) {
    Fail(EBADF);
    return false;
  }
  if (!f.block) {
    // A regular file answers no disk request, as on Windows.
    Fail(ENOTTY);
    return false;
  }
  std::uint64_t size = 0;
  if (::ioctl(f.fd, BLKGETSIZE64, &size) != 0) {
    // Handles opened without permission on the device: ask sysfs.
    if (!sysfs::DeviceBytes(major(f.rdev), minor(f.rdev), &size)) {
      Fail(ENOTTY);
      return false;
    }
  }
  // Only whole sectors can be read: a device over a file whose length is not
  // a whole number of sectors ends at its last whole sector.
  const std::uint32_t ss = std::max<std::uint32_t>(f.sectorSize, 1);
  *bytes = size / ss * ss;
  *sectorSize = f.sectorSize;
  return true;
}

bool PosixPlatform::Length(Handle h, std::uint64_t* bytes) {
  OpenFile f;
  if (!impl_->Lookup(h, &f)) {
    Fail(EBADF);
    return false;
  }
  if (f.block) {
    std::uint32_t ss = 512;
    return DeviceSize(h, bytes, &ss);
  }
  // A regular file: every byte, also a last partial sector.
  struct stat st{};
  if (::fstat(f.fd, &st) != 0) {
    Fail(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    Fail(ENOTTY);
    return false;
  }
  *bytes = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool PosixPlatform::Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen,
                            void* out, std::uint32_t outLen, std::uint32_t* returned) {
  if (returned) *returned = 0;
  switch (code) {
    case IOCTL_DISK_GET_DRIVE_GEOMETRY: {
      if (outLen < sizeof(DISK_GEOMETRY) || !out) {
        Fail(EINVAL);
        return false;
      }
      std::uint64_t size = 0;
      std::uint32_t ss = 512;
      if (!DeviceSize(h, &size, &ss)) return false;
      const DISK_GEOMETRY g = ModernDiskGeometry(size, ss);
      std::memcpy(out, &g, sizeof g);
      if (returned) *returned = sizeof g;
      return true;
    }
    case IOCTL_DISK_GET_PARTITION_INFO: {
      if (outLen < 28 || !out) {
        Fail(EINVAL);
        return false;
      }
      std::uint64_t size = 0;
      std::uint32_t ss = 512;
      if (!DeviceSize(h, &size, &ss)) return false;
      OpenFile f;
      impl_->Lookup(h, &f);
      PARTITION_INFORMATION pi{};
      pi.PartitionLength = static_cast<std::int64_t>(size);
      std::uint64_t startSector = 0;
      if (sysfs::PartitionStart(major(f.rdev), minor(f.rdev), &startSector))
        pi.StartingOffset = static_cast<std::int64_t>(startSector * 512);
      pi.PartitionNumber = sysfs::PartitionNumber(major(f.rdev), minor(f.rdev));
      pi.RecognizedPartition = 1;
      std::memcpy(out, &pi, 28);
      if (returned) *returned = 28;
      return true;
    }
    case IOCTL_DISK_GET_LENGTH_INFO: {
      if (outLen < sizeof(GET_LENGTH_INFORMATION) || !out) {
        Fail(EINVAL);
        return false;
      }
      std::uint64_t size = 0;
      if (!Length(h, &size)) return false;
      const GET_LENGTH_INFORMATION li{static_cast<std::int64_t>(size)};
      std::memcpy(out, &li, sizeof li);
      if (returned) *returned = sizeof li;
      return true;
    }
    case SMART_GET_VERSION:
    case SMART_SEND_DRIVE_COMMAND:
    case SMART_RCV_DRIVE_DATA: {
      OpenFile f;
      if (!impl_->Lookup(h, &f)) {
        Fail(EBADF);
        return false;
      }
      if (f.openErrno != 0) {
        Fail(f.openErrno);
        return false;
      }
      return AtaControl(f.fd, f.block, code, in, inLen, out, outLen, returned);
    }
    default:
      Fail(ENOTTY);
      return false;
  }
}

bool PosixPlatform::NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) {
  if (result) *result = NvmeResult{};
  OpenFile f;
  if (!impl_->Lookup(h, &f)) {
    Fail(EBADF);
    return false;
  }
  // Whether the node is NVMe shows also on a handle opened without
  // permission on the device.
  struct stat st{};
  if (::fstat(f.fd, &st) != 0) {
    Fail(errno);
    return false;
  }
  const bool block = S_ISBLK(st.st_mode);
  if ((!block && !S_ISCHR(st.st_mode)) ||
      !IsNvmeNode(block, major(st.st_rdev), minor(st.st_rdev))) {
    Fail(EOPNOTSUPP);
    return false;
  }
  if (f.openErrno != 0) {
    Fail(f.openErrno);
    return false;
  }
  return NvmeAdminCommand(f.fd, cmd, result);
}

std::vector<LogicalDrive> PosixPlatform::LogicalDrives() {
  std::vector<LogicalDrive> out;
  for (const std::string& name : sysfs::Volumes()) {
    // A whole disk without partitions is a volume only when it carries a
    // file system itself (mounted, or recognised by its signature).
    if (sysfs::DiskOf(name) == name && sysfs::MountPointOf("/dev/" + name).empty()) {
      VolumeInfo vi;
      if (!VolumeInformation(name, &vi) || vi.fileSystem.empty()) continue;
    }
    out.push_back({name});
  }
  return out;
}

bool PosixPlatform::VolumeInformation(const std::string& name, VolumeInfo* info) {
  *info = VolumeInfo{};
  const std::string dev = "/dev/" + name;
  blkid_probe pr = blkid_new_probe_from_filename(dev.c_str());
  if (!pr) {
    Fail(errno ? errno : EACCES);
    return false;
  }
  blkid_probe_enable_superblocks(pr, 1);
  blkid_probe_set_superblocks_flags(pr, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_TYPE);
  const int rc = blkid_do_safeprobe(pr);
  if (rc == 0) {
    const char* v = nullptr;
    if (blkid_probe_lookup_value(pr, "LABEL", &v, nullptr) == 0 && v) info->label = v;
    if (blkid_probe_lookup_value(pr, "TYPE", &v, nullptr) == 0 && v) info->fileSystem = v;
  }
  blkid_free_probe(pr);
  return rc == 0;
}

bool PosixPlatform::VolumeTotalBytes(const std::string& name, std::uint64_t* total) {
  const std::string mountPoint = sysfs::MountPointOf("/dev/" + name);
  if (mountPoint.empty()) {
    Fail(ENOENT);
    return false;
  }
  struct statvfs vfs{};
  if (::statvfs(mountPoint.c_str(), &vfs) != 0) {
    Fail(errno);
    return false;
  }
  *total = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
  return true;
}

std::string PosixPlatform::ErrorText(std::uint32_t code) {
  char buf[256];
  // The GNU strerror_r returns the text (maybe not in buf).
  const char* s = strerror_r(static_cast<int>(code), buf, sizeof buf);
  if (!s || std::strncmp(s, "Unknown error", 13) == 0) return {};
  // Like the system texts of Windows, the text ends in a line break.
  return std::string(s) + "\r\n";
}

std::int64_t PosixPlatform::PerfFrequency() { return 1000000000; }

std::int64_t PosixPlatform::PerfCounter() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The counter is CLOCK_MONOTONIC in nanoseconds: its 1 GHz is a unit, not
// the processor's clock.
bool PosixPlatform::PerfCounterIsCpuClock() {
  return false;
}

namespace {
// The processors a thread was allowed before it kept its own.
thread_local cpu_set_t t_allowed;
thread_local bool t_kept = false;
}  // namespace

bool PosixPlatform::KeepThreadOnProcessor(bool keep) {
  if (!keep) {
    if (!t_kept) return false;
    t_kept = false;
    return ::sched_setaffinity(0, sizeof t_allowed, &t_allowed) == 0;
  }
  if (t_kept) return true;
  const int cpu = ::sched_getcpu();
  if (cpu < 0 || cpu >= CPU_SETSIZE || ::sched_getaffinity(0, sizeof t_allowed, &t_allowed) != 0)
    return false;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  if (::sched_setaffinity(0, sizeof one, &one) != 0) return false;
  t_kept = true;
  return true;
}

std::uint32_t PosixPlatform::TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000 +
                                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000);
}

std::unique_ptr<Platform> MakeHostPlatform() { return std::make_unique<PosixPlatform>(); }

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

}  // namespace dt
