// faultyfs itself, through plain system calls: the other system tests trust
// its content, its bad ranges and its request log.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fixtures.h"

namespace dt::systest {
namespace {

constexpr std::uint64_t kMiB = 1048576;

class Fd {
 public:
  Fd(const std::string& path, int flags) : fd_(::open(path.c_str(), flags | O_CLOEXEC)) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// pread: the bytes read, or the errno as a negative count.
struct Got {
  ssize_t n;
  int err;
  std::vector<std::uint8_t> data;
};

Got Pread(int fd, std::uint64_t off, std::size_t len) {
  void* p = nullptr;
  if (posix_memalign(&p, 4096, len) != 0) return {-1, ENOMEM, {}};
  const ssize_t n = ::pread(fd, p, len, static_cast<off_t>(off));
  Got g{n, n < 0 ? errno : 0, {}};
  if (n > 0) g.data.assign(static_cast<std::uint8_t*>(p), static_cast<std::uint8_t*>(p) + n);
  std::free(p);
  return g;
}

int Pwrite(int fd, std::uint64_t off, const std::vector<std::uint8_t>& data) {
  const ssize_t n = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(off));
  if (n < 0) return errno;
  return n == static_cast<ssize_t>(data.size()) ? 0 : -1;
}

TEST(FaultyFs, ServesThePatternAndFailsBadSectors) {
  DT_SYSTEM_TEST_NEEDS(kNeedRoot | kNeedFuse);
  FaultyFs::Options o;
  o.size = 4 * kMiB + 1000;  // ends inside a sector
  o.name = "sdz.img";
  o.badRead = {{100, 101}, {3000, 3000}};
  o.badWrite = {{200, 203}};
  FaultyFs fs(o);
  EXPECT_EQ(fs.file(), fs.mountPoint() + "/sdz.img");

  Fd f(fs.file(), O_RDWR);
  ASSERT_GE(f.get(), 0) << std::strerror(errno);
  Got g = Pread(f.get(), 12345, 20000);
  ASSERT_EQ(g.n, 20000);
  EXPECT_EQ(g.data, PatternBytes(12345, 20000));

  // Short at the end, nothing beyond it.
  g = Pread(f.get(), 4 * kMiB, 4096);
  ASSERT_EQ(g.n, 1000);
  EXPECT_EQ(g.data, PatternBytes(4 * kMiB, 1000));
  EXPECT_EQ(Pread(f.get(), 5 * kMiB, 512).n, 0);

  // A request that touches a bad sector fails whole; its neighbours read.
  g = Pread(f.get(), 99 * 512, 1024);
  EXPECT_EQ(g.n, -1);
  EXPECT_EQ(g.err, EIO);
  EXPECT_EQ(Pread(f.get(), 101 * 512 + 511, 1).err, EIO);
  EXPECT_EQ(Pread(f.get(), 3000 * 512, 512).err, EIO);
  EXPECT_EQ(Pread(f.get(), 99 * 512, 512).n, 512);
  EXPECT_EQ(Pread(f.get(), 102 * 512, 512).n, 512);

  // A write touching a bad-write sector stores nothing.
  EXPECT_EQ(Pwrite(f.get(), 198 * 512, std::vector<std::uint8_t>(2048, 0x11)), EIO);
  EXPECT_EQ(Pread(f.get(), 198 * 512, 1024).data, PatternBytes(198 * 512, 1024));
  // Other writes are kept, to the byte.
  ASSERT_EQ(Pwrite(f.get(), 204 * 512 + 10, std::vector<std::uint8_t>(600, 0x22)), 0);
  g = Pread(f.get(), 204 * 512, 1024);
  ASSERT_EQ(g.n, 1024);
  std::vector<std::uint8_t> want = PatternBytes(204 * 512, 1024);
  std::fill(want.begin() + 10, want.begin() + 610, 0x22);
  EXPECT_EQ(g.data, want);
  // Bad-write sectors still read, bad-read sectors still take writes.
  EXPECT_EQ(Pread(f.get(), 200 * 512, 2048).n, 2048);
  EXPECT_EQ(Pwrite(f.get(), 100 * 512, std::vector<std::uint8_t>(512, 0x33)), 0);
  // The disk has a fixed size.
  EXPECT_EQ(Pwrite(f.get(), 5 * kMiB, std::vector<std::uint8_t>(512, 0x44)), ENOSPC);
}

TEST(FaultyFs, ImageBackedAndLogged) {
  DT_SYSTEM_TEST_NEEDS(kNeedRoot | kNeedFuse);
  ImageFile image(2 * kMiB);
  image.Write(kMiB, std::vector<std::uint8_t>(512, 0x5A));
  FaultyFs::Options o;
  o.image = image.path();
  o.badRead = {{10, 10}};
  o.logRequests = true;
  FaultyFs fs(o);

  {
    Fd f(fs.file(), O_RDWR | O_DIRECT);
    ASSERT_GE(f.get(), 0) << std::strerror(errno);
    fs.ClearRequests();
    Got g = Pread(f.get(), kMiB, 512);
    ASSERT_EQ(g.n, 512);
    EXPECT_EQ(g.data, std::vector<std::uint8_t>(512, 0x5A));
    EXPECT_EQ(Pread(f.get(), 4096, 4096).err, EIO);
    ASSERT_EQ(Pwrite(f.get(), 8192, std::vector<std::uint8_t>(4096, 0x77)), 0);

    // direct_io: the kernel passes each request on as it was made.
    const std::vector<FaultyRequest> r = fs.Requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].kind, 'R');
    EXPECT_EQ(r[0].offset, kMiB);
    EXPECT_EQ(r[0].length, 512u);
    EXPECT_EQ(r[1].kind, 'R');
    EXPECT_EQ(r[1].offset, 4096u);
    EXPECT_EQ(r[2].kind, 'W');
    EXPECT_EQ(r[2].offset, 8192u);
    EXPECT_EQ(r[2].length, 4096u);
  }
  EXPECT_EQ(image.Read(8192, 4096), std::vector<std::uint8_t>(4096, 0x77));
  EXPECT_EQ(image.Read(0, 8192), PatternBytes(0, 8192));
}

TEST(FaultyFs, RefusesABadCommandLine) {
  if (FindProgram(FaultyFsBinary()).empty()) GTEST_SKIP() << "no faultyfs at " << FaultyFsBinary();
  TempDir dir;
  EXPECT_EQ(
      RunCommand({FaultyFsBinary(), dir.path(), "--size", "4096", "--bad-read", "9-3"}).exitCode,
      2);
  EXPECT_EQ(RunCommand({FaultyFsBinary(), dir.path()}).exitCode, 2);
  EXPECT_FALSE(IsMountPoint(dir.path()));
}

}  // namespace
}  // namespace dt::systest
