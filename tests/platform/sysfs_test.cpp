// The Linux disk list read from a fake /sys tree: which block devices are
// physical disks, their order and their paths.
#ifndef _WIN32
#include "platform/posix/sysfs.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/nvme_controller.h"
#include "platform/posix/nvme_passthrough.h"
#include "platform/posix/posix_platform.h"

namespace dt {
namespace {

namespace fs = std::filesystem;

class FakeSysfs {
 public:
  FakeSysfs() {
    char dir[] = "/tmp/dt_sysfs_XXXXXX";
    root_ = ::mkdtemp(dir) ? dir : "";
    sysfs::SetRootForTests(root_);
  }
  ~FakeSysfs() {
    sysfs::SetRootForTests("");
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  void File(const std::string& path, const std::string& text) {
    const fs::path p = root_ + path;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text << "\n";
  }
  void Disk(const std::string& name, bool hidden = false) {
    File("/sys/block/" + name + "/hidden", hidden ? "1" : "0");
  }
  void Link(const std::string& path, const std::string& target) {
    fs::create_directories(fs::path(root_ + path).parent_path());
    fs::create_directory_symlink(target, root_ + path);
  }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

TEST(Sysfs, PhysicalDisksInNaturalOrder) {
  FakeSysfs sys;
  ASSERT_FALSE(sys.root().empty());
  for (const char* n : {"sdb", "nvme10n1", "sdaa", "sdz", "nvme0n10", "vda", "nvme1n1", "nvme0n2",
                        "sda", "nvme2n1", "nvme0n1", "dm-0", "sr0", "loop1", "zram0", "md127"})
    sys.Disk(n);
  // The per-path node of a multipath namespace is hidden.
  sys.Disk("nvme0c0n1", true);
  sys.Disk("loop0");
  sys.File("/sys/block/loop0/loop/backing_file", "/images/a.img");
  sys.File("/sys/block/nvme0n1/nvme0n1p2/partition", "2");
  sys.File("/sys/block/nvme0n1/nvme0n1p1/partition", "1");

  const std::vector<std::string> want = {"nvme0n1", "nvme0n2",  "nvme0n10", "nvme1n1",
                                         "nvme2n1", "nvme10n1", "sda",      "sdb",
                                         "sdz",     "sdaa",     "vda",      "loop0"};
  EXPECT_EQ(sysfs::WholeDisks(), want);
  EXPECT_EQ(sysfs::PartitionsOf("nvme0n1"), (std::vector<std::string>{"nvme0n1p1", "nvme0n1p2"}));
  const std::vector<std::string> volumes = sysfs::Volumes();
  ASSERT_GE(volumes.size(), 3u);
  EXPECT_EQ(volumes[0], "nvme0n1p1");
  EXPECT_EQ(volumes[2], "nvme0n2");

  PosixPlatform p;
  EXPECT_EQ(p.PhysicalDrivePath(0), "/dev/nvme0n1");
  EXPECT_EQ(p.PhysicalDrivePath(2), "/dev/nvme0n10");
  EXPECT_EQ(p.PhysicalDrivePath(5), "/dev/nvme10n1");
  EXPECT_EQ(p.PhysicalDrivePath(6), "/dev/sda");
  EXPECT_EQ(p.PhysicalDrivePath(11), "/dev/loop0");
  EXPECT_EQ(p.PhysicalDrivePath(12), "");
}

// A controller stands for its first namespace that is a disk of the list:
// plain entries, and the per-path entries of a multipath subsystem.
TEST(Sysfs, ControllerNodeToItsFirstNamespace) {
  FakeSysfs sys;
  ASSERT_FALSE(sys.root().empty());
  for (const char* n : {"nvme0n2", "nvme0n10", "nvme1n1", "nvme3n1", "sda"}) sys.Disk(n);
  sys.Disk("nvme1c1n1", true);
  for (const char* e : {"nvme0/nvme0n10", "nvme0/nvme0n2", "nvme0/nvme0n1", "nvme0/device",
                        "nvme1/nvme1c1n1", "nvme2/nvme2n1", "nvme3/nvme3n1p1"})
    sys.File(std::string("/sys/class/nvme/") + e + "/dev", "1:1");
  // nvme0n1 is no disk of the list; nvme2n1 neither; nvme3n1p1 is a partition.
  EXPECT_EQ(sysfs::FirstNamespaceOf("nvme0"), "nvme0n2");
  EXPECT_EQ(sysfs::FirstNamespaceOf("nvme1"), "nvme1n1");
  EXPECT_EQ(sysfs::FirstNamespaceOf("nvme2"), "");
  EXPECT_EQ(sysfs::FirstNamespaceOf("nvme3"), "");
  EXPECT_EQ(sysfs::FirstNamespaceOf("nvme9"), "");
  // The path of the node: a controller name only (no such file here).
  EXPECT_EQ(NvmeControllerDisk("/dev/nvme1"), "/dev/nvme1n1");
  EXPECT_EQ(NvmeControllerDisk("/dev/nvme1n1"), "");
  EXPECT_EQ(NvmeControllerDisk("/dev/sda"), "");
  EXPECT_EQ(NvmeControllerDisk("/dev/nvme"), "");
}

TEST(Sysfs, NvmeNodesAreKnownByTheirKernelName) {
  FakeSysfs sys;
  ASSERT_FALSE(sys.root().empty());
  const std::string ctrl = "../../devices/pci0000:00/0000:00:04.0/nvme/nvme0";
  sys.File("/sys/devices/pci0000:00/0000:00:04.0/nvme/nvme0/dev", "245:0");
  sys.File("/sys/devices/pci0000:00/0000:00:04.0/nvme/nvme0/nvme0n1/dev", "259:0");
  sys.File("/sys/devices/pci0000:00/0000:00:04.0/nvme/nvme0/nvme0n1/nvme0n1p1/dev", "259:1");
  sys.File("/sys/devices/virtual/nvme-generic/ng0n1/dev", "240:0");
  sys.File("/sys/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda/dev",
           "8:0");
  sys.File("/sys/devices/virtual/mem/null/dev", "1:3");
  sys.Link("/sys/dev/block/259:0", ctrl + "/nvme0n1");
  sys.Link("/sys/dev/block/259:1", ctrl + "/nvme0n1/nvme0n1p1");
  sys.Link("/sys/dev/block/8:0",
           "../../devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda");
  sys.Link("/sys/dev/char/245:0", ctrl);
  sys.Link("/sys/dev/char/240:0", "../../devices/virtual/nvme-generic/ng0n1");
  sys.Link("/sys/dev/char/1:3", "../../devices/virtual/mem/null");

  EXPECT_TRUE(IsNvmeNode(true, 259, 0));
  EXPECT_TRUE(IsNvmeNode(true, 259, 1));
  EXPECT_TRUE(IsNvmeNode(false, 245, 0));
  EXPECT_TRUE(IsNvmeNode(false, 240, 0));
  EXPECT_FALSE(IsNvmeNode(true, 8, 0));
  EXPECT_FALSE(IsNvmeNode(false, 1, 3));
  EXPECT_FALSE(IsNvmeNode(true, 7, 0));  // not in the tree
}

}  // namespace
}  // namespace dt
#endif
