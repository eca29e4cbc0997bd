#include "platform/nvme_controller.h"

namespace dt {

// Windows opens an NVMe drive as \\.\PHYSICALDRIVE<n> only: there is no
// controller node to stand for it.
std::string NvmeControllerDisk(const std::string&) {
  return {};
}

}  // namespace dt
