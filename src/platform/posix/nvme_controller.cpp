#include "platform/nvme_controller.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cctype>

#include "platform/posix/sysfs.h"

namespace dt {

std::string NvmeControllerDisk(const std::string& path) {
  char real[PATH_MAX];
  const std::string node = ::realpath(path.c_str(), real) ? std::string(real) : path;
  const std::string name = node.substr(node.rfind('/') + 1);
  // "nvme" and the controller's number, nothing else.
  if (name.size() <= 4 || name.rfind("nvme", 0) != 0) return {};
  for (std::size_t i = 4; i < name.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return {};
  // A controller node is a character device; a file of that name is not.
  struct stat st {};
  if (::stat(node.c_str(), &st) == 0 && !S_ISCHR(st.st_mode)) return {};
  const std::string disk = sysfs::FirstNamespaceOf(name);
  return disk.empty() ? std::string() : "/dev/" + disk;
}

}  // namespace dt
