// Fixtures for system tests on real kernel paths: image files, loop devices
// over them, partitions, ext4 mounts and faultyfs (a FUSE file with bad
// sectors). Every fixture is an RAII object that undoes what it did when it
// goes out of scope, also when the test fails; a fixture that cannot be set
// up throws std::runtime_error with the failing command and its output, which
// fails the test. See README.md in this folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/notify.h"
#include "pattern.h"

namespace dt::systest {

// ---------------------------------------------------------------------------
// What a test needs of the machine.

enum Need : unsigned {
  kNeedRoot = 1u << 0,        // uid 0
  kNeedLoop = 1u << 1,        // losetup and /dev/loop-control
  kNeedPartitions = 1u << 2,  // sfdisk and partx
  kNeedExt4 = 1u << 3,        // mkfs.ext4, mount, umount, ext4 in the kernel
  kNeedFuse = 1u << 4,        // /dev/fuse, fusermount3 and the faultyfs program
};

// Empty when every facility in `needs` is there, otherwise why the test
// cannot run ("not root (uid 1000)", "no sfdisk in PATH", ...).
std::string MissingFacility(unsigned needs);

// Skips the current test, with the reason, when a facility is missing.
#define DT_SYSTEM_TEST_NEEDS(needs)                                        \
  do {                                                                     \
    const std::string dt_missing_ = ::dt::systest::MissingFacility(needs); \
    if (!dt_missing_.empty()) GTEST_SKIP() << dt_missing_;                 \
  } while (0)

// ---------------------------------------------------------------------------
// Running programs.

struct CommandResult {
  int exitCode = -1;   // -1 when the program could not be started or was killed
  std::string output;  // standard output and standard error together
};

// Runs a program (looked up in PATH, /usr/sbin and /sbin) with `input` on its
// standard input and waits for it.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = {});
// The same, but throws std::runtime_error unless the program exits with 0.
std::string RunOrThrow(const std::vector<std::string>& argv, const std::string& input = {});

// The full path of a program, empty when it is not installed.
std::string FindProgram(const std::string& name);
// The faultyfs program: $DT_FAULTYFS, or the one built with the tests.
std::string FaultyFsBinary();
// True when `path` is a mount point now.
bool IsMountPoint(const std::string& path);

// The command-line program built with the tests; empty when it is not built.
std::string CliBinary();
// The decimal numbers of a file, one a line (bad-block lists).
std::vector<std::int64_t> ReadNumbers(const std::string& path);
// sha256sum of a file or device (throws when it cannot be read).
std::string Sha256(const std::string& path);

// ---------------------------------------------------------------------------
// Files and directories.

// A fresh directory under $TMPDIR (or /tmp), removed with its content at the
// end unless something is still mounted below it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A temporary image file of a given size, filled with the pattern of
// pattern.h (PatternByte(offset) at every offset) or left as zeros (sparse).
class ImageFile {
 public:
  enum class Content { kPattern, kZeros };
  explicit ImageFile(std::uint64_t size, Content content = Content::kPattern);
  const std::string& path() const { return path_; }
  std::uint64_t size() const { return size_; }
  // Reads or overwrites bytes of the file directly (not through a device).
  std::vector<std::uint8_t> Read(std::uint64_t offset, std::size_t len) const;
  void Write(std::uint64_t offset, const std::vector<std::uint8_t>& data);

 private:
  TempDir dir_;
  std::string path_;
  std::uint64_t size_;
};

// The pattern bytes of [offset, offset + len).
std::vector<std::uint8_t> PatternBytes(std::uint64_t offset, std::size_t len);

// ---------------------------------------------------------------------------
// Loop devices.

struct LoopOptions {
  std::uint32_t sectorSize = 0;  // logical sector size; 0 = the default (512)
  bool readOnly = false;
};

// `losetup -f --show FILE`: a block device over a file. At the end its
// partitions are removed (partx -d, with the device nodes this fixture made)
// and the device is detached.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& file, LoopOptions options = {});
  ~LoopDevice();
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  const std::string& path() const { return path_; }  // "/dev/loop3"
  const std::string& name() const { return name_; }  // "loop3"

  // Writes a partition table with `sfdisk` (its script on standard input,
  // e.g. "label: dos\nstart=2048, size=20480, type=83\n"), makes the kernel
  // see the partitions (partx -a) and makes sure each has its device node
  // (mknod with the numbers from sysfs where the node is missing). Returns
  // the partition device paths in order ("/dev/loop3p1", ...).
  std::vector<std::string> Partition(const std::string& sfdiskScript);
  const std::vector<std::string>& partitions() const { return partitions_; }

  // Detaches now (also done at the end).
  void Detach();

 private:
  void RemovePartitions();
  std::string path_;
  std::string name_;
  std::vector<std::string> partitions_;
  std::vector<std::string> madeNodes_;
  bool attached_ = false;
};

// ---------------------------------------------------------------------------
// File systems.

// mkfs.ext4 on a device (quiet, forced), with a volume label when not empty.
void MakeExt4(const std::string& device, const std::string& label = {});

// Mounts a device on a fresh temporary directory; unmounts at the end.
class Mount {
 public:
  explicit Mount(const std::string& device, const std::string& options = {});
  ~Mount();
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  const std::string& dir() const { return dir_; }
  bool mounted() const { return mounted_; }
  // Unmounts now (retrying briefly while the file system is busy); throws
  // when it stays mounted.
  void Unmount();

 private:
  TempDir base_;
  std::string dir_;
  bool mounted_ = false;
};

// ---------------------------------------------------------------------------
// faultyfs.

// An inclusive range of 512-byte sectors.
struct SectorRange {
  std::uint64_t first;
  std::uint64_t last;
};

// One request as the kernel passed it to faultyfs.
struct FaultyRequest {
  char kind;  // 'R' or 'W'
  std::uint64_t offset;
  std::uint64_t length;
};

// faultyfs running in the background on a temporary mount point, serving
// file() with bad sectors; unmounted (fusermount3 -u) and waited for at the
// end. A loop device over file() must be destroyed before this fixture, so
// declare it after the FaultyFs.
class FaultyFs {
 public:
  struct Options {
    std::uint64_t size = 0;  // bytes; ignored with an image
    std::string image;       // back the file by this image (read and written)
    std::vector<SectorRange> badRead;
    std::vector<SectorRange> badWrite;
    // Sectors served only after a delay: the range and its milliseconds.
    std::vector<std::pair<SectorRange, std::uint32_t>> slow;
    std::string name = "disk.img";
    bool logRequests = false;  // keep a log for Requests()
  };
  explicit FaultyFs(const Options& options);
  ~FaultyFs();
  FaultyFs(const FaultyFs&) = delete;
  FaultyFs& operator=(const FaultyFs&) = delete;

  const std::string& file() const { return file_; }
  const std::string& mountPoint() const { return mountPoint_; }
  // The requests served so far (needs logRequests), and forgetting them.
  std::vector<FaultyRequest> Requests() const;
  void ClearRequests();
  // What faultyfs wrote to standard error so far.
  std::string ErrorOutput() const;

 private:
  void Stop();
  TempDir base_;
  std::string mountPoint_;
  std::string file_;
  std::string logPath_;
  std::string stderrPath_;
  pid_t pid_ = -1;
};

// ---------------------------------------------------------------------------
// Messages.

// Records every message box and question of the core while it lives (from
// any thread), and answers questions with `answer`.
class RecordingNotifier : public Notifier {
 public:
  struct Message {
    std::string caption;
    std::string text;
  };
  explicit RecordingNotifier(bool answer = false);
  ~RecordingNotifier() override;
  RecordingNotifier(const RecordingNotifier&) = delete;
  RecordingNotifier& operator=(const RecordingNotifier&) = delete;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  bool Confirm(const std::string& caption, const std::string& text) override;

  std::vector<Message> Messages() const;
  std::vector<Message> Questions() const;

 private:
  Notifier* previous_;
  bool answer_;
  mutable std::mutex mu_;
  std::vector<Message> messages_;
  std::vector<Message> questions_;
};

}  // namespace dt::systest
