// A Platform that forwards every call to another one. A fake or a fault
// injector derives from it and overrides only what it changes, so a call
// added to the seam reaches every wrapper without touching it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace dt {

class PlatformWrapper : public Platform {
 public:
  // The wrapper owns the platform it forwards to.
  explicit PlatformWrapper(std::unique_ptr<Platform> target) : target_(std::move(target)) {}
  Platform& target() const { return *target_; }

  std::string Name() const override { return target_->Name(); }
  std::string PhysicalDrivePath(int n) const override { return target_->PhysicalDrivePath(n); }
  std::string LogicalDrivePath(const std::string& name) const override {
    return target_->LogicalDrivePath(name);
  }
  Handle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override {
    return target_->OpenDevice(path, access, share, disposition, flags);
  }
  bool Close(Handle h) override { return target_->Close(h); }
  bool DeviceInUse(const std::string& path) override { return target_->DeviceInUse(path); }
  FileType GetType(Handle h) override { return target_->GetType(h); }
  bool ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
              std::uint32_t* done) override {
    return target_->ReadAt(h, offset, buf, len, done);
  }
  bool WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
               std::uint32_t* done) override {
    return target_->WriteAt(h, offset, buf, len, done);
  }
  std::unique_ptr<AsyncReader> OpenAsyncReader(Handle h, std::uint32_t depth) override {
    return target_->OpenAsyncReader(h, depth);
  }
  bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen, void* out,
               std::uint32_t outLen, std::uint32_t* returned) override {
    return target_->Control(h, code, in, inLen, out, outLen, returned);
  }
  bool NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) override {
    return target_->NvmePassThrough(h, cmd, result);
  }
  std::vector<LogicalDrive> LogicalDrives() override { return target_->LogicalDrives(); }
  bool VolumeInformation(const std::string& name, VolumeInfo* info) override {
    return target_->VolumeInformation(name, info);
  }
  bool VolumeTotalBytes(const std::string& name, std::uint64_t* total) override {
    return target_->VolumeTotalBytes(name, total);
  }
  std::string ErrorText(std::uint32_t code) override { return target_->ErrorText(code); }
  std::int64_t PerfFrequency() override { return target_->PerfFrequency(); }
  std::int64_t PerfCounter() override { return target_->PerfCounter(); }
  std::uint32_t TickCount() override { return target_->TickCount(); }
  bool PerfCounterIsCpuClock() override { return target_->PerfCounterIsCpuClock(); }
  bool KeepThreadOnProcessor(bool keep) override { return target_->KeepThreadOnProcessor(keep); }
  void Sleep(std::uint32_t milliseconds) override { target_->Sleep(milliseconds); }
  int DumpCreate(const std::string& name) override { return target_->DumpCreate(name); }
  bool DumpWrite(int fd, const void* data, std::uint32_t len) override {
    return target_->DumpWrite(fd, data, len);
  }
  bool DumpClose(int fd) override { return target_->DumpClose(fd); }

 private:
  std::unique_ptr<Platform> target_;
};

}  // namespace dt
