// faultyfs: a FUSE file system that serves one file of a given size and
// fails reads and writes of chosen 512-byte sectors with EIO, or serves
// them only after a delay. A loop device over that file is a real block
// device with bad and slow sectors.
//
//   faultyfs MOUNTPOINT (--size BYTES | --image FILE) [--name NAME]
//            [--bad-read FIRST[-LAST]]... [--bad-write FIRST[-LAST]]...
//            [--slow FIRST[-LAST]:MS]... [--log FILE] [--debug]
//
// The file is MOUNTPOINT/NAME (default disk.img). Without --image its content
// is the pattern of pattern.h, and writes are kept in memory; with --image it
// is that file, read and written in place (its size is the file's size).
// A read or write that touches a sector of a bad range fails as a whole with
// EIO, and nothing of a failed write is stored. A read or write that touches
// a slow range is served after MS milliseconds (the longest of the slow
// ranges it touches). Sector ranges are inclusive.
// --log appends one line per request, "R offset length" or "W offset length",
// as the kernel sent it. The file is opened with direct_io, so the kernel
// passes every read on as it was asked instead of serving it from its cache.
// The program runs in the foreground; it ends when the file system is
// unmounted (fusermount3 -u) or on SIGTERM.
#define FUSE_USE_VERSION 312

#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pattern.h"

namespace {

constexpr std::uint64_t kSector = 512;

struct Range {
  std::uint64_t first;
  std::uint64_t last;
};

struct SlowRange {
  std::uint64_t first;
  std::uint64_t last;
  std::uint64_t ms;
};

struct State {
  std::uint64_t size = 0;
  std::string name = "disk.img";
  std::string path;  // "/" + name
  int imageFd = -1;
  std::vector<Range> badRead;
  std::vector<Range> badWrite;
  std::vector<SlowRange> slow;
  FILE* log = nullptr;
  std::mutex mu;  // the overlay and the log
  std::map<std::uint64_t, std::array<std::uint8_t, kSector>> overlay;
};

State g;

bool Touches(const std::vector<Range>& ranges, std::uint64_t off, std::uint64_t len) {
  if (len == 0) return false;
  const std::uint64_t first = off / kSector;
  const std::uint64_t last = (off + len - 1) / kSector;
  for (const Range& r : ranges)
    if (r.first <= last && first <= r.last) return true;
  return false;
}

// Waits as long as the slowest slow range that [off, off + len) touches.
void Delay(std::uint64_t off, std::uint64_t len) {
  if (len == 0) return;
  const std::uint64_t first = off / kSector;
  const std::uint64_t last = (off + len - 1) / kSector;
  std::uint64_t ms = 0;
  for (const SlowRange& r : g.slow)
    if (r.first <= last && first <= r.last) ms = std::max(ms, r.ms);
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Log(char kind, std::uint64_t off, std::size_t len) {
  if (!g.log) return;
  std::lock_guard<std::mutex> lock(g.mu);
  std::fprintf(g.log, "%c %" PRIu64 " %zu\n", kind, off, len);
  std::fflush(g.log);
}

// Pattern mode: the bytes of [off, off + len), written sectors from the
// overlay. The caller holds g.mu.
void ReadPattern(std::uint64_t off, std::uint8_t* out, std::size_t len) {
  std::size_t done = 0;
  while (done < len) {
    const std::uint64_t pos = off + done;
    const std::uint64_t sector = pos / kSector;
    const std::size_t in = static_cast<std::size_t>(pos % kSector);
    const std::size_t n = std::min<std::size_t>(len - done, kSector - in);
    auto it = g.overlay.find(sector);
    if (it != g.overlay.end()) {
      std::memcpy(out + done, it->second.data() + in, n);
    } else {
      dt::systest::FillPattern(pos, out + done, n);
    }
    done += n;
  }
}

void WritePattern(std::uint64_t off, const std::uint8_t* in, std::size_t len) {
  std::size_t done = 0;
  while (done < len) {
    const std::uint64_t pos = off + done;
    const std::uint64_t sector = pos / kSector;
    const std::size_t at = static_cast<std::size_t>(pos % kSector);
    const std::size_t n = std::min<std::size_t>(len - done, kSector - at);
    auto it = g.overlay.find(sector);
    if (it == g.overlay.end()) {
      std::array<std::uint8_t, kSector> s;
      dt::systest::FillPattern(sector * kSector, s.data(), kSector);
      it = g.overlay.emplace(sector, s).first;
    }
    std::memcpy(it->second.data() + at, in + done, n);
    done += n;
  }
}

void* FsInit(fuse_conn_info* /*conn*/, fuse_config* cfg) {
  cfg->direct_io = 1;
  cfg->kernel_cache = 0;
  cfg->use_ino = 1;
  return nullptr;
}

int FsGetattr(const char* path, struct stat* st, fuse_file_info* /*fi*/) {
  std::memset(st, 0, sizeof *st);
  st->st_uid = ::getuid();
  st->st_gid = ::getgid();
  if (std::strcmp(path, "/") == 0) {
    st->st_ino = 1;
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    return 0;
  }
  if (g.path == path) {
    st->st_ino = 2;
    st->st_mode = S_IFREG | 0644;
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(g.size);
    st->st_blksize = kSector;
    st->st_blocks = static_cast<blkcnt_t>((g.size + 511) / 512);
    return 0;
  }
  return -ENOENT;
}

int FsReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t /*off*/,
              fuse_file_info* /*fi*/, fuse_readdir_flags /*flags*/) {
  if (std::strcmp(path, "/") != 0) return -ENOENT;
  fill(buf, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buf, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buf, g.name.c_str(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  return 0;
}

int FsOpen(const char* path, fuse_file_info* fi) {
  if (g.path != path) return -ENOENT;
  fi->direct_io = 1;
  fi->keep_cache = 0;
  return 0;
}

int FsTruncate(const char* path, off_t size, fuse_file_info* /*fi*/) {
  if (g.path != path) return -ENOENT;
  // The disk has a fixed size.
  return static_cast<std::uint64_t>(size) == g.size ? 0 : -EPERM;
}

int FsRead(const char* path, char* buf, size_t len, off_t offset, fuse_file_info* /*fi*/) {
  if (g.path != path) return -ENOENT;
  const auto off = static_cast<std::uint64_t>(offset);
  Log('R', off, len);
  if (off >= g.size) return 0;
  len = static_cast<size_t>(std::min<std::uint64_t>(len, g.size - off));
  Delay(off, len);
  if (Touches(g.badRead, off, len)) return -EIO;
  if (g.imageFd >= 0) {
    size_t done = 0;
    while (done < len) {
      const ssize_t r =
          ::pread(g.imageFd, buf + done, len - done, offset + static_cast<off_t>(done));
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return -errno;
      if (r == 0) {  // the image is shorter than it was: zeros
        std::memset(buf + done, 0, len - done);
        break;
      }
      done += static_cast<size_t>(r);
    }
  } else {
    std::lock_guard<std::mutex> lock(g.mu);
    ReadPattern(off, reinterpret_cast<std::uint8_t*>(buf), len);
  }
  return static_cast<int>(len);
}

int FsWrite(const char* path, const char* buf, size_t len, off_t offset, fuse_file_info* /*fi*/) {
  if (g.path != path) return -ENOENT;
  const auto off = static_cast<std::uint64_t>(offset);
  Log('W', off, len);
  if (len == 0) return 0;
  if (off >= g.size) return -ENOSPC;
  len = static_cast<size_t>(std::min<std::uint64_t>(len, g.size - off));
  Delay(off, len);
  if (Touches(g.badWrite, off, len)) return -EIO;
  if (g.imageFd >= 0) {
    size_t done = 0;
    while (done < len) {
      const ssize_t r =
          ::pwrite(g.imageFd, buf + done, len - done, offset + static_cast<off_t>(done));
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return -errno;
      done += static_cast<size_t>(r);
    }
  } else {
    std::lock_guard<std::mutex> lock(g.mu);
    WritePattern(off, reinterpret_cast<const std::uint8_t*>(buf), len);
  }
  return static_cast<int>(len);
}

int FsFsync(const char* /*path*/, int /*datasync*/, fuse_file_info* /*fi*/) {
  if (g.imageFd >= 0 && ::fsync(g.imageFd) != 0) return -errno;
  return 0;
}

void Usage() {
  std::fprintf(stderr,
               "usage: faultyfs MOUNTPOINT (--size BYTES | --image FILE) [--name NAME]\n"
               "                [--bad-read FIRST[-LAST]]... [--bad-write FIRST[-LAST]]...\n"
               "                [--slow FIRST[-LAST]:MS]... [--log FILE] [--debug]\n");
}

bool ParseNumber(const char* s, std::uint64_t* v) {
  if (!s || !*s) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long x = std::strtoull(s, &end, 10);
  if (errno != 0 || *end != '\0' || *s == '-') return false;
  *v = x;
  return true;
}

bool ParseRange(const std::string& s, Range* r) {
  const auto dash = s.find('-');
  if (dash == std::string::npos) {
    if (!ParseNumber(s.c_str(), &r->first)) return false;
    r->last = r->first;
    return true;
  }
  return ParseNumber(s.substr(0, dash).c_str(), &r->first) &&
         ParseNumber(s.substr(dash + 1).c_str(), &r->last) && r->first <= r->last;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mountPoint;
  std::string image;
  std::string logPath;
  bool haveSize = false;
  bool debug = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "faultyfs: %s needs a value\n", what);
        std::exit(2);
      }
      return argv[++i];
    };
    Range r{};
    if (a == "--size") {
      if (!ParseNumber(value("--size"), &g.size)) {
        std::fprintf(stderr, "faultyfs: bad --size\n");
        return 2;
      }
      haveSize = true;
    } else if (a == "--image") {
      image = value("--image");
    } else if (a == "--name") {
      g.name = value("--name");
    } else if (a == "--log") {
      logPath = value("--log");
    } else if (a == "--bad-read" || a == "--bad-write") {
      if (!ParseRange(value(a.c_str()), &r)) {
        std::fprintf(stderr, "faultyfs: bad sector range for %s: %s\n", a.c_str(), argv[i]);
        return 2;
      }
      (a == "--bad-read" ? g.badRead : g.badWrite).push_back(r);
    } else if (a == "--slow") {
      const std::string v = value("--slow");
      const auto colon = v.find(':');
      std::uint64_t ms = 0;
      if (colon == std::string::npos || !ParseRange(v.substr(0, colon), &r) ||
          !ParseNumber(v.c_str() + colon + 1, &ms)) {
        std::fprintf(stderr, "faultyfs: bad slow range for --slow: %s\n", v.c_str());
        return 2;
      }
      g.slow.push_back({r.first, r.last, ms});
    } else if (a == "--debug") {
      debug = true;
    } else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else if (!a.empty() && a[0] != '-' && mountPoint.empty()) {
      mountPoint = a;
    } else {
      std::fprintf(stderr, "faultyfs: unknown argument %s\n", a.c_str());
      Usage();
      return 2;
    }
  }
  if (mountPoint.empty() || haveSize == !image.empty() || g.name.empty() ||
      g.name.find('/') != std::string::npos) {
    Usage();
    return 2;
  }
  g.path = "/" + g.name;
  if (!image.empty()) {
    g.imageFd = ::open(image.c_str(), O_RDWR | O_CLOEXEC);
    struct stat st {};
    if (g.imageFd < 0 || ::fstat(g.imageFd, &st) != 0) {
      std::fprintf(stderr, "faultyfs: %s: %s\n", image.c_str(), std::strerror(errno));
      return 1;
    }
    g.size = static_cast<std::uint64_t>(st.st_size);
  }
  if (!logPath.empty()) {
    g.log = std::fopen(logPath.c_str(), "a");
    if (!g.log) {
      std::fprintf(stderr, "faultyfs: %s: %s\n", logPath.c_str(), std::strerror(errno));
      return 1;
    }
  }

  fuse_operations ops{};
  ops.init = FsInit;
  ops.getattr = FsGetattr;
  ops.readdir = FsReaddir;
  ops.open = FsOpen;
  ops.truncate = FsTruncate;
  ops.read = FsRead;
  ops.write = FsWrite;
  ops.fsync = FsFsync;

  std::vector<std::string> args = {argv[0], "-o", "fsname=faultyfs,subtype=faultyfs"};
  if (debug) args.push_back("-d");
  std::vector<char*> cargs;
  for (std::string& s : args) cargs.push_back(s.data());
  cargs.push_back(nullptr);
  fuse_args fargs = FUSE_ARGS_INIT(static_cast<int>(args.size()), cargs.data());
  fuse* f = fuse_new(&fargs, &ops, sizeof ops, nullptr);
  if (!f) return 1;
  if (fuse_mount(f, mountPoint.c_str()) != 0) {
    fuse_destroy(f);
    return 1;
  }
  fuse_session* se = fuse_get_session(f);
  fuse_set_signal_handlers(se);
  fuse_loop_config* loop = fuse_loop_cfg_create();
  fuse_loop_cfg_set_max_threads(loop, 16);
  const int rc = fuse_loop_mt(f, loop);
  fuse_loop_cfg_destroy(loop);
  fuse_remove_signal_handlers(se);
  fuse_unmount(f);
  fuse_destroy(f);
  fuse_opt_free_args(&fargs);
  if (g.imageFd >= 0) ::close(g.imageFd);
  if (g.log) std::fclose(g.log);
  return rc == 0 ? 0 : 1;
}
