// Owned disks: a device handle with one owner that closes it, the open disk
// that a test reads (and writes), and the one mark that a test holds a disk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace dt {

// A device handle that closes itself. It is moved, never copied, so exactly
// one owner closes it, also on every early return.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle h) : h_(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) Reset(o.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle Get() const { return h_; }
  explicit operator bool() const { return h_ != kInvalidHandle; }
  // Gives the handle up without closing it.
  Handle Release() {
    const Handle h = h_;
    h_ = kInvalidHandle;
    return h;
  }
  // Closes the handle held, if any, and holds `h` in its place.
  void Reset(Handle h = kInvalidHandle);

 private:
  Handle h_ = kInvalidHandle;
};

// An open disk, partition or image file.
struct Disk {
  UniqueHandle handle;
  std::string path;
  std::int64_t length = -1;  // bytes; below zero while unknown
  std::uint32_t sectorSize = 512;
  bool readOnly = true;  // opened for reading only

  bool IsOpen() const { return static_cast<bool>(handle); }
};

// Opens `path` for reading (or reading and writing). When it does not open,
// "Cannot open " + path + " for read" (" for write") has been shown with the
// system error, and the disk is not open.
Disk OpenDiskAt(const std::string& path, bool forWriting);

// The mark that a test holds a disk: the read-speed test, the random access
// test and the surface test each take it for as long as they have the disk,
// and none of them starts while another holds it. One per program.
class DiskLease {
 public:
  DiskLease() = default;
  ~DiskLease() { Release(); }
  DiskLease(DiskLease&& o) noexcept : held_(o.held_) { o.held_ = false; }
  DiskLease& operator=(DiskLease&& o) noexcept {
    if (this != &o) {
      Release();
      held_ = o.held_;
      o.held_ = false;
    }
    return *this;
  }
  DiskLease(const DiskLease&) = delete;
  DiskLease& operator=(const DiskLease&) = delete;

  // The lease, or one that is not held when a test has it already.
  static DiskLease Take();
  // A test holds the lease.
  static bool Taken();
  // What a test that does not get the lease says.
  static const char* InUseText() { return "The disk is in use by another test. Close it first."; }

  bool Held() const { return held_; }
  explicit operator bool() const { return held_; }
  void Release();

 private:
  bool held_ = false;
};

}  // namespace dt
