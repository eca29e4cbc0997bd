// NVMe admin commands on Linux: NVME_IOCTL_ADMIN_CMD on the open node of a
// namespace (/dev/nvme0n1), its generic node (/dev/ng0n1) or the controller
// (/dev/nvme0). The kernel answers with a negative value and errno when it
// refuses the request, with the completion's status field (> 0) when the
// controller failed the command, and with 0 and completion dword 0 otherwise.
//
// Failures become a failing call with a system error code:
//   not an NVMe device (file, loop, SCSI disk)  -> EOPNOTSUPP, no request sent
//   ioctl refused                               -> its errno (ENOTTY as EOPNOTSUPP)
//   the controller answered an error status     -> EIO, the status in NvmeResult
#pragma once

#include <cstdint>
#include <functional>

#include "platform/platform.h"

namespace dt {

// One admin request, independent of the kernel headers (the fields of
// struct nvme_passthru_cmd that disktest fills or reads).
struct NvmeAdminRequest {
  std::uint8_t opcode = 0;
  std::uint32_t nsid = 0;
  std::uint32_t cdw10 = 0, cdw11 = 0, cdw12 = 0, cdw13 = 0, cdw14 = 0, cdw15 = 0;
  void* data = nullptr;  // data from the controller
  std::uint32_t dataLen = 0;
  std::uint32_t timeoutMs = 0;
  std::uint32_t result = 0;  // completion dword 0, set on success
};

// Sends the request. Returns 0 on success, the NVMe status field (bits 1-15
// of completion dword 3, > 0) when the controller failed the command, or
// -errno when the ioctl was refused. Tests replace it.
using NvmeIoctlFunction = std::function<int(int fd, NvmeAdminRequest& req)>;
void SetNvmeIoctlFunction(NvmeIoctlFunction f);  // empty: the real ioctl

// Sends one admin command on `fd` and maps the answer onto the seam's
// contract (Platform::NvmePassThrough), without asking whether the node is
// an NVMe device.
bool NvmeAdminCommand(int fd, const NvmeCommand& cmd, NvmeResult* result);

// Whether the device node (block or character, major:minor) belongs to the
// NVMe driver: a namespace, its partitions, its generic node or a controller.
bool IsNvmeNode(bool block, unsigned major, unsigned minor);

}  // namespace dt
