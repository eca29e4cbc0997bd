// An NVMe controller node given where a disk is expected: smartctl and
// nvme-cli accept /dev/nvme0 for the drive whose first namespace is
// /dev/nvme0n1, and so does disktest.
#pragma once

#include <string>

namespace dt {

// The device path of the physical disk that stands for the NVMe controller
// node `path` (Linux: "/dev/nvme0", or a link to it, -> "/dev/nvme0n1", the
// first namespace that is a disk of the list). Empty when `path` is no
// controller node, the controller has no such namespace, or the system has
// no controller nodes (Windows).
std::string NvmeControllerDisk(const std::string& path);

}  // namespace dt
