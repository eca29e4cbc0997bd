#pragma once

#include <memory>

#include "platform/platform.h"

namespace dt {

struct PosixOpenFile;

class PosixPlatform : public Platform {
 public:
  PosixPlatform();
  ~PosixPlatform() override;

  std::string Name() const override { return "posix"; }
  std::string PhysicalDrivePath(int n) const override;
  std::string LogicalDrivePath(const std::string& name) const override;
  Handle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override;
  bool Close(Handle h) override;
  bool DeviceInUse(const std::string& path) override;
  FileType GetType(Handle h) override;
  bool ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
              std::uint32_t* done) override;
  bool WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
               std::uint32_t* done) override;
  // io_uring on the handle's descriptor (uncached where the handle is), or
  // the thread pool where the kernel refuses a ring or DISKTEST_ASYNC=threads.
  std::unique_ptr<AsyncReader> OpenAsyncReader(Handle h, std::uint32_t depth) override;
  bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen, void* out,
               std::uint32_t outLen, std::uint32_t* returned) override;
  // NVME_IOCTL_ADMIN_CMD on the open node (nvme_passthrough.cpp). Regular
  // files and devices of other drivers (loop, SCSI, device-mapper) answer
  // EOPNOTSUPP without a request being sent; a handle that could be opened
  // only without permission on the device fails with the refused open's error.
  bool NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) override;
  std::vector<LogicalDrive> LogicalDrives() override;
  bool VolumeInformation(const std::string& name, VolumeInfo* info) override;
  bool VolumeTotalBytes(const std::string& name, std::uint64_t* total) override;
  std::string ErrorText(std::uint32_t code) override;
  std::int64_t PerfFrequency() override;
  std::int64_t PerfCounter() override;
  std::uint32_t TickCount() override;
  bool PerfCounterIsCpuClock() override;
  // sched_setaffinity of the calling thread to the processor of sched_getcpu.
  bool KeepThreadOnProcessor(bool keep) override;

  // Takes over an open data descriptor (one that another process opened and
  // passed on): reads and writes go through it exactly as through a handle
  // OpenDevice made, uncached when it was opened so. Returns its handle, or
  // kInvalidHandle with the error when it cannot be examined.
  Handle Adopt(int fd);

 private:
  class Impl;
  // Records an open descriptor with its sector size; returns its handle.
  Handle Register(int fd, PosixOpenFile f);
  bool Transfer(bool write, Handle h, std::int64_t offset, void* buf, std::uint32_t len,
                std::uint32_t* done);
  bool DeviceSize(Handle h, std::uint64_t* bytes, std::uint32_t* sectorSize);
  // The full length of a block device (whole sectors) or a regular file.
  bool Length(Handle h, std::uint64_t* bytes);
  std::unique_ptr<Impl> impl_;
};

// The SMART requests, carried out as SG_IO ATA PASS-THROUGH commands
// (ata_passthrough.cpp).
bool AtaControl(int fd, bool block, std::uint32_t code, const void* in, std::uint32_t inLen,
                void* out, std::uint32_t outLen, std::uint32_t* returned);

}  // namespace dt
