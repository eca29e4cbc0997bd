#include "fixtures.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace dt::systest {

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::vector<std::string>& argv) {
  std::string s;
  for (const std::string& a : argv) s += (s.empty() ? "" : " ") + a;
  return s;
}

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool KernelHasFileSystem(const std::string& type) {
  std::ifstream in("/proc/filesystems");
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.rfind('\t');
    if (line.substr(tab == std::string::npos ? 0 : tab + 1) == type) return true;
  }
  return false;
}

// Mount points in /proc/self/mountinfo, with their octal escapes undone.
std::vector<std::string> MountPoints() {
  std::vector<std::string> out;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string id, parent, majmin, root, mp;
    ls >> id >> parent >> majmin >> root >> mp;
    std::string plain;
    for (std::size_t i = 0; i < mp.size(); ++i) {
      if (mp[i] == '\\' && i + 3 < mp.size()) {
        plain += static_cast<char>(std::stoi(mp.substr(i + 1, 3), nullptr, 8));
        i += 3;
      } else {
        plain += mp[i];
      }
    }
    out.push_back(plain);
  }
  return out;
}

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Waits up to `ms` for a child; true when it has ended (and is reaped).
bool WaitChild(pid_t pid, int ms) {
  for (int waited = 0;; waited += 10) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (waited >= ms) return false;
    SleepMs(10);
  }
}

// The "major:minor" text of a block device node, empty when it is none.
std::string NodeNumbers(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
  return std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
}

}  // namespace

// ---------------------------------------------------------------------------

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
  std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "";
  dirs += ":/usr/local/sbin:/usr/sbin:/sbin:/usr/bin:/bin";
  std::istringstream in(dirs);
  std::string dir;
  while (std::getline(in, dir, ':')) {
    if (dir.empty()) continue;
    const std::string p = dir + "/" + name;
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0)
      return p;
  }
  return {};
}

std::string FaultyFsBinary() {
  if (const char* e = std::getenv("DT_FAULTYFS"); e && *e) return e;
#ifdef DT_FAULTYFS_PATH
  return DT_FAULTYFS_PATH;
#else
  return "faultyfs";
#endif
}

std::string MissingFacility(unsigned needs) {
  auto programs = [](std::initializer_list<const char*> names) -> std::string {
    for (const char* n : names)
      if (FindProgram(n).empty()) return std::string("no ") + n + " in PATH";
    return {};
  };
  if ((needs & kNeedRoot) && ::geteuid() != 0)
    return "needs root (running as uid " + std::to_string(::geteuid()) + ")";
  if (needs & kNeedLoop) {
    if (::access("/dev/loop-control", F_OK) != 0) return "no /dev/loop-control (loop driver)";
    if (auto m = programs({"losetup"}); !m.empty()) return m;
  }
  if (needs & kNeedPartitions) {
    if (auto m = programs({"sfdisk", "partx"}); !m.empty()) return m;
  }
  if (needs & kNeedExt4) {
    if (auto m = programs({"mkfs.ext4", "mount", "umount"}); !m.empty()) return m;
    if (!KernelHasFileSystem("ext4")) return "the kernel has no ext4";
  }
  if (needs & kNeedFuse) {
    const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) return std::string("cannot open /dev/fuse: ") + std::strerror(errno);
    ::close(fd);
    if (auto m = programs({"fusermount3"}); !m.empty()) return m;
    if (FindProgram(FaultyFsBinary()).empty()) return "no faultyfs program at " + FaultyFsBinary();
  }
  return {};
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input) {
  CommandResult result;
  if (argv.empty()) return result;
  std::string exe = FindProgram(argv[0]);
  if (exe.empty()) {
    result.output = argv[0] + ": not found";
    return result;
  }
  int out[2];
  int in[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return result;
  if (::pipe2(in, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return result;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::execv(exe.c_str(), args.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  if (pid < 0) {
    ::close(in[1]);
    ::close(out[0]);
    return result;
  }
  // Small inputs (partition scripts) fit in the pipe; the write cannot block.
  if (!input.empty()) {
    const ssize_t w = ::write(in[1], input.data(), input.size());
    (void)w;
  }
  ::close(in[1]);
  char buf[4096];
  for (;;) {
    const ssize_t r = ::read(out[0], buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    result.output.append(buf, static_cast<std::size_t>(r));
  }
  ::close(out[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string RunOrThrow(const std::vector<std::string>& argv, const std::string& input) {
  const CommandResult r = RunCommand(argv, input);
  if (r.exitCode != 0)
    throw std::runtime_error(Joined(argv) + " failed (exit " + std::to_string(r.exitCode) +
                             "): " + r.output);
  return r.output;
}

bool IsMountPoint(const std::string& path) {
  std::error_code ec;
  const fs::path canon = fs::weakly_canonical(path, ec);
  const std::string want = ec ? path : canon.string();
  for (const std::string& mp : MountPoints())
    if (mp == want) return true;
  return false;
}

// ---------------------------------------------------------------------------

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/dt-systest-XXXXXX";
  if (!::mkdtemp(templ.data()))
    throw std::runtime_error("mkdtemp " + templ + ": " + std::strerror(errno));
  path_ = templ;
}

TempDir::~TempDir() {
  // Never remove into a file system that is still mounted below the folder.
  for (const std::string& mp : MountPoints()) {
    if (mp.rfind(path_ + "/", 0) == 0 || mp == path_) {
      std::fprintf(stderr, "systest: %s is still mounted, %s is left behind\n", mp.c_str(),
                   path_.c_str());
      return;
    }
  }
  std::error_code ec;
  fs::remove_all(path_, ec);
}

ImageFile::ImageFile(std::uint64_t size, Content content)
    : path_(dir_.path() + "/image.bin"), size_(size) {
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("create " + path_ + ": " + std::strerror(errno));
  bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  if (ok && content == Content::kPattern) {
    std::vector<std::uint8_t> chunk(1 << 20);
    for (std::uint64_t off = 0; ok && off < size; off += chunk.size()) {
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - off));
      FillPattern(off, chunk.data(), n);
      ok = ::pwrite(fd, chunk.data(), n, static_cast<off_t>(off)) == static_cast<ssize_t>(n);
    }
  }
  const int err = errno;
  ::close(fd);
  if (!ok) throw std::runtime_error("fill " + path_ + ": " + std::strerror(err));
}

std::vector<std::uint8_t> ImageFile::Read(std::uint64_t offset, std::size_t len) const {
  std::vector<std::uint8_t> out(len);
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  const ssize_t r = fd < 0 ? -1 : ::pread(fd, out.data(), len, static_cast<off_t>(offset));
  if (fd >= 0) ::close(fd);
  if (r < 0) throw std::runtime_error("read " + path_ + ": " + std::strerror(errno));
  out.resize(static_cast<std::size_t>(r));
  return out;
}

void ImageFile::Write(std::uint64_t offset, const std::vector<std::uint8_t>& data) {
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  const ssize_t w =
      fd < 0 ? -1 : ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
  if (fd >= 0) ::close(fd);
  if (w != static_cast<ssize_t>(data.size()))
    throw std::runtime_error("write " + path_ + ": " + std::strerror(errno));
}

std::vector<std::uint8_t> PatternBytes(std::uint64_t offset, std::size_t len) {
  std::vector<std::uint8_t> out(len);
  FillPattern(offset, out.data(), len);
  return out;
}

// ---------------------------------------------------------------------------

LoopDevice::LoopDevice(const std::string& file, LoopOptions options) {
  std::vector<std::string> argv = {"losetup", "-f", "--show"};
  if (options.sectorSize) {
    argv.push_back("--sector-size");
    argv.push_back(std::to_string(options.sectorSize));
  }
  if (options.readOnly) argv.push_back("--read-only");
  argv.push_back(file);
  std::string out = RunOrThrow(argv);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  if (out.rfind("/dev/loop", 0) != 0) throw std::runtime_error("losetup said: " + out);
  path_ = out;
  name_ = out.substr(5);
  attached_ = true;
}

LoopDevice::~LoopDevice() {
  try {
    Detach();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "systest: %s\n", e.what());
  }
}

std::vector<std::string> LoopDevice::Partition(const std::string& sfdiskScript) {
  RemovePartitions();  // a second table replaces the first
  RunOrThrow({"sfdisk", "--no-reread", "--no-tell-kernel", "-q", path_}, sfdiskScript);
  RunOrThrow({"partx", "-a", path_});
  partitions_.clear();
  for (int k = 1; k <= 64; ++k) {
    const std::string part = name_ + "p" + std::to_string(k);
    const std::string numbers = ReadFirstLine("/sys/block/" + name_ + "/" + part + "/dev");
    if (numbers.empty()) continue;  // DOS logical partitions start at 5
    const std::string node = "/dev/" + part;
    // Without udev nobody may make the node (devtmpfs does, where mounted);
    // a stale node from an earlier device with other numbers is replaced.
    if (NodeNumbers(node) != numbers) {
      unsigned maj = 0;
      unsigned min = 0;
      if (std::sscanf(numbers.c_str(), "%u:%u", &maj, &min) != 2)
        throw std::runtime_error("bad device numbers for " + part + ": " + numbers);
      ::unlink(node.c_str());
      if (::mknod(node.c_str(), S_IFBLK | 0600, makedev(maj, min)) != 0 && errno != EEXIST)
        throw std::runtime_error("mknod " + node + ": " + std::strerror(errno));
      if (NodeNumbers(node) != numbers) throw std::runtime_error("no usable node " + node);
      madeNodes_.push_back(node);
    }
    partitions_.push_back(node);
  }
  if (partitions_.empty())
    throw std::runtime_error("no partitions of " + path_ + " appeared in /sys/block/" + name_);
  return partitions_;
}

void LoopDevice::RemovePartitions() {
  for (const std::string& node : madeNodes_) ::unlink(node.c_str());
  madeNodes_.clear();
  if (!partitions_.empty()) {
    // The kernel keeps partitions added by hand after the loop is detached.
    RunCommand({"partx", "-d", path_});
    partitions_.clear();
  }
}

void LoopDevice::Detach() {
  if (!attached_) return;
  attached_ = false;
  RemovePartitions();
  RunOrThrow({"losetup", "-d", path_});
}

// ---------------------------------------------------------------------------

void MakeExt4(const std::string& device, const std::string& label) {
  std::vector<std::string> argv = {"mkfs.ext4", "-q", "-F", "-E", "nodiscard"};
  if (!label.empty()) {
    argv.push_back("-L");
    argv.push_back(label);
  }
  argv.push_back(device);
  RunOrThrow(argv);
}

Mount::Mount(const std::string& device, const std::string& options) : dir_(base_.path() + "/mnt") {
  fs::create_directory(dir_);
  std::vector<std::string> argv = {"mount"};
  if (!options.empty()) {
    argv.push_back("-o");
    argv.push_back(options);
  }
  argv.push_back(device);
  argv.push_back(dir_);
  RunOrThrow(argv);
  mounted_ = true;
}

Mount::~Mount() {
  try {
    Unmount();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "systest: %s\n", e.what());
  }
}

void Mount::Unmount() {
  if (!mounted_) return;
  CommandResult r;
  for (int i = 0; i < 50; ++i) {
    r = RunCommand({"umount", dir_});
    if (r.exitCode == 0 || !IsMountPoint(dir_)) {
      mounted_ = false;
      return;
    }
    SleepMs(20);
  }
  throw std::runtime_error("umount " + dir_ + " failed: " + r.output);
}

// ---------------------------------------------------------------------------

FaultyFs::FaultyFs(const Options& o)
    : mountPoint_(base_.path() + "/mnt"),
      file_(mountPoint_ + "/" + o.name),
      stderrPath_(base_.path() + "/faultyfs.stderr") {
  fs::create_directory(mountPoint_);
  std::vector<std::string> argv = {FaultyFsBinary(), mountPoint_, "--name", o.name};
  if (o.image.empty()) {
    argv.insert(argv.end(), {"--size", std::to_string(o.size)});
  } else {
    argv.insert(argv.end(), {"--image", o.image});
  }
  auto range = [](const SectorRange& r) {
    return std::to_string(r.first) + "-" + std::to_string(r.last);
  };
  for (const SectorRange& r : o.badRead) argv.insert(argv.end(), {"--bad-read", range(r)});
  for (const SectorRange& r : o.badWrite) argv.insert(argv.end(), {"--bad-write", range(r)});
  for (const auto& [r, ms] : o.slow)
    argv.insert(argv.end(), {"--slow", range(r) + ":" + std::to_string(ms)});
  if (o.logRequests) {
    logPath_ = base_.path() + "/requests.log";
    argv.insert(argv.end(), {"--log", logPath_});
  }

  const std::uint64_t want =
      o.image.empty() ? o.size : static_cast<std::uint64_t>(fs::file_size(o.image));
  const int err = ::open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (err < 0) throw std::runtime_error("create " + stderrPath_ + ": " + std::strerror(errno));
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    const int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(err, 1);
    ::dup2(err, 2);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(err);
  if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));

  // Ready when the file shows with its size on the mounted file system.
  for (int waited = 0; waited < 10000; waited += 10) {
    struct stat st {};
    if (IsMountPoint(mountPoint_) && ::stat(file_.c_str(), &st) == 0 &&
        static_cast<std::uint64_t>(st.st_size) == want)
      return;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("faultyfs ended at start: " + ErrorOutput());
    }
    SleepMs(10);
  }
  Stop();
  throw std::runtime_error("faultyfs did not come up on " + mountPoint_ + ": " + ErrorOutput());
}

FaultyFs::~FaultyFs() {
  Stop();
}

void FaultyFs::Stop() {
  if (pid_ < 0) return;
  // A loop device that has just let go of the file may hold the mount a
  // little longer: retry, then detach it lazily.
  for (int i = 0; i < 100 && IsMountPoint(mountPoint_); ++i) {
    if (RunCommand({"fusermount3", "-u", mountPoint_}).exitCode == 0) break;
    SleepMs(20);
  }
  if (IsMountPoint(mountPoint_)) RunCommand({"fusermount3", "-u", "-z", mountPoint_});
  if (!WaitChild(pid_, 5000)) {
    ::kill(pid_, SIGTERM);
    if (!WaitChild(pid_, 2000)) {
      ::kill(pid_, SIGKILL);
      WaitChild(pid_, 2000);
    }
  }
  pid_ = -1;
}

std::vector<FaultyRequest> FaultyFs::Requests() const {
  std::vector<FaultyRequest> out;
  if (logPath_.empty()) return out;
  std::ifstream in(logPath_);
  FaultyRequest r{};
  while (in >> r.kind >> r.offset >> r.length) out.push_back(r);
  return out;
}

void FaultyFs::ClearRequests() {
  if (logPath_.empty()) return;
  // faultyfs appends, so truncating in place keeps its handle valid.
  if (::truncate(logPath_.c_str(), 0) != 0)
    throw std::runtime_error("truncate " + logPath_ + ": " + std::strerror(errno));
}

std::string FaultyFs::ErrorOutput() const {
  return ReadWhole(stderrPath_);
}

// ---------------------------------------------------------------------------

RecordingNotifier::RecordingNotifier(bool answer) : previous_(&Notify()), answer_(answer) {
  SetNotifier(this);
}

RecordingNotifier::~RecordingNotifier() {
  SetNotifier(previous_);
}

void RecordingNotifier::ShowMessage(const std::string& caption, const std::string& text) {
  std::lock_guard<std::mutex> lock(mu_);
  messages_.push_back({caption, text});
}

bool RecordingNotifier::Confirm(const std::string& caption, const std::string& text) {
  std::lock_guard<std::mutex> lock(mu_);
  questions_.push_back({caption, text});
  return answer_;
}

std::vector<RecordingNotifier::Message> RecordingNotifier::Messages() const {
  std::lock_guard<std::mutex> lock(mu_);
  return messages_;
}

std::vector<RecordingNotifier::Message> RecordingNotifier::Questions() const {
  std::lock_guard<std::mutex> lock(mu_);
  return questions_;
}

std::string CliBinary() {
  if (const char* env = std::getenv("DT_CLI")) return env;
#ifdef DT_CLI_EXE
  if (std::filesystem::exists(DT_CLI_EXE)) return DT_CLI_EXE;
#endif
  return {};
}

std::vector<std::int64_t> ReadNumbers(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::int64_t> out;
  std::int64_t v = 0;
  while (in >> v) out.push_back(v);
  return out;
}

std::string Sha256(const std::string& path) {
  return RunOrThrow({"sha256sum", path}).substr(0, 64);
}

}  // namespace dt::systest
