#include "device/disk.h"

#include <atomic>

#include "device/device.h"

namespace dt {

void UniqueHandle::Reset(Handle h) {
  const Handle old = h_;
  h_ = h;
  if (old != kInvalidHandle && old != h) Sys().Close(old);
}

Disk OpenDiskAt(const std::string& path, bool forWriting) {
  Disk disk;
  disk.path = path;
  disk.readOnly = !forWriting;
  disk.handle.Reset(OpenDisk(path, forWriting));
  return disk;
}

namespace {
std::atomic<bool> leaseTaken{false};
}  // namespace

DiskLease DiskLease::Take() {
  DiskLease lease;
  lease.held_ = !leaseTaken.exchange(true);
  return lease;
}

bool DiskLease::Taken() { return leaseTaken.load(); }

void DiskLease::Release() {
  if (held_) leaseTaken.store(false);
  held_ = false;
}

}  // namespace dt
