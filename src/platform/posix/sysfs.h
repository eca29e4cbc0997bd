// What Linux tells about block devices through sysfs and /proc, which needs
// no permission on the devices themselves.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dt::sysfs {

// Whole-disk block devices in the order of the physical list: real disks by
// name ("nvme0n1" < "nvme0n2" < "nvme1n1" < "nvme10n1", "sda" < "sdb" <
// "sdaa", "vda"), then loop devices that have a backing file, by number.
// Hidden disks (the per-path nodes of a multipath NVMe namespace,
// "nvme0c0n1") have no device node and are left out.
std::vector<std::string> WholeDisks();
// Partitions of those disks in the same order, and the whole disks that have
// no partitions (they are volumes when they carry a file system themselves).
std::vector<std::string> Volumes();
// Partition names of one whole disk ("sdb1", "loop0p1").
std::vector<std::string> PartitionsOf(const std::string& disk);
// The first namespace of NVMe controller `controller` ("nvme0") that is a
// disk of the list ("nvme0n1"), from the controller's entries under
// /sys/class/nvme; a multipath controller's per-path entry ("nvme0c0n1")
// stands for its namespace's disk ("nvme0n1"). Empty when there is none.
std::string FirstNamespaceOf(const std::string& controller);

bool DeviceBytes(unsigned major, unsigned minor, std::uint64_t* bytes);
std::uint32_t LogicalBlockSize(unsigned major, unsigned minor);
bool PartitionStart(unsigned major, unsigned minor, std::uint64_t* sector);
std::uint32_t PartitionNumber(unsigned major, unsigned minor);

// The mount point of a device node, empty when it is not mounted.
std::string MountPointOf(const std::string& devPath);
// True when the device or one of its partitions is mounted or is the root
// file system's device.
bool InUse(const std::string& disk);
// True when the file (st_dev, st_ino) backs a loop device that is in use:
// writing the file then writes a mounted file system.
bool BackingFileInUse(dev_t dev, ino_t ino);
// The whole disk a device name belongs to ("sdb1" -> "sdb"); the name itself
// for a whole disk.
std::string DiskOf(const std::string& name);

// Reads the first line of a file under /sys or /proc; empty when it cannot
// be read.
std::string ReadLine(const std::string& path);

// Where an absolute /sys or /proc path is read from: the path itself, or the
// same path under the directory set for tests.
std::string Path(const std::string& path);
// Reads /sys and /proc under `dir` from now on (a fake tree built by a
// test); an empty `dir` reads the real ones again.
void SetRootForTests(const std::string& dir);

}  // namespace dt::sysfs
