#include "platform/posix/nvme_passthrough.h"

#include <limits.h>
#include <linux/nvme_ioctl.h>
#include <stdlib.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstddef>
#include <mutex>
#include <string>

#include "platform/posix/sysfs.h"

namespace dt {

namespace {

static_assert(sizeof(nvme_admin_cmd) == 72);
static_assert(offsetof(nvme_admin_cmd, addr) == 24);
static_assert(offsetof(nvme_admin_cmd, data_len) == 36);
static_assert(offsetof(nvme_admin_cmd, cdw10) == 40);
static_assert(offsetof(nvme_admin_cmd, result) == 68);

std::mutex g_hookMutex;
NvmeIoctlFunction g_hook;

int RealNvmeIoctl(int fd, NvmeAdminRequest& req) {
  nvme_admin_cmd c{};
  c.opcode = req.opcode;
  c.nsid = req.nsid;
  c.addr = reinterpret_cast<std::uintptr_t>(req.data);
  c.data_len = req.dataLen;
  c.cdw10 = req.cdw10;
  c.cdw11 = req.cdw11;
  c.cdw12 = req.cdw12;
  c.cdw13 = req.cdw13;
  c.cdw14 = req.cdw14;
  c.cdw15 = req.cdw15;
  c.timeout_ms = req.timeoutMs;
  const int r = ::ioctl(fd, NVME_IOCTL_ADMIN_CMD, &c);
  if (r < 0) return errno > 0 ? -errno : -EIO;
  if (r == 0) req.result = c.result;
  return r;
}

int SendNvmeIoctl(int fd, NvmeAdminRequest& req) {
  NvmeIoctlFunction f;
  {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    f = g_hook;
  }
  return f ? f(fd, req) : RealNvmeIoctl(fd, req);
}

// The kernel's name of a device node ("nvme0n1", "nvme0", "sda").
std::string KernelName(bool block, unsigned major, unsigned minor) {
  const std::string link = sysfs::Path(std::string(block ? "/sys/dev/block/" : "/sys/dev/char/") +
                                       std::to_string(major) + ":" + std::to_string(minor));
  char real[PATH_MAX];
  if (!::realpath(link.c_str(), real)) return {};
  const std::string p = real;
  return p.substr(p.rfind('/') + 1);
}

}  // namespace

void SetNvmeIoctlFunction(NvmeIoctlFunction f) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_hook = std::move(f);
}

bool IsNvmeNode(bool block, unsigned major, unsigned minor) {
  const std::string name = KernelName(block, major, minor);
  if (name.rfind("nvme", 0) == 0) return true;
  // The generic character node of a namespace.
  return !block && name.rfind("ng", 0) == 0;
}

bool NvmeAdminCommand(int fd, const NvmeCommand& cmd, NvmeResult* result) {
  NvmeResult local;
  NvmeResult& res = result ? *result : local;
  res = NvmeResult{};
  if (cmd.dataLen != 0 && !cmd.data) {
    Platform::SetLastError(EINVAL);
    return false;
  }
  NvmeAdminRequest req;
  req.opcode = cmd.opcode;
  req.nsid = cmd.nsid;
  req.cdw10 = cmd.cdw10;
  req.cdw11 = cmd.cdw11;
  req.cdw12 = cmd.cdw12;
  req.cdw13 = cmd.cdw13;
  req.cdw14 = cmd.cdw14;
  req.cdw15 = cmd.cdw15;
  req.data = cmd.dataLen ? cmd.data : nullptr;
  req.dataLen = cmd.dataLen;
  const int r = SendNvmeIoctl(fd, req);
  if (r < 0) {
    // A node that does not know the request is no NVMe device.
    const int err = -r;
    Platform::SetLastError(static_cast<std::uint32_t>(err == ENOTTY ? EOPNOTSUPP : err));
    return false;
  }
  if (r > 0) {
    res.status = static_cast<std::uint16_t>(r & 0x7FFF);
    Platform::SetLastError(EIO);
    return false;
  }
  res.cdw0 = req.result;
  return true;
}

}  // namespace dt
