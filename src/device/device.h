// Opening disks, their sizes, the physical-disk and logical-drive lists, and
// the system error box.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace dt {

// Size results below zero are failure codes, not sizes.
inline constexpr std::int64_t kSizeOpenFailed = -2;
inline constexpr std::int64_t kSizeRequestFailed = -3;

// The one device handle of the running test, shared by the read-speed test
// and the surface test. Written only while no test runs.
extern std::atomic<Handle> DiskHandle;

Handle OpenPhysicalDrive(int n);
// Cylinders is -2 when the drive cannot be opened, -3 when the geometry
// request fails.
DISK_GEOMETRY GetDriveGeometry(int n);
// Whole cylinders: Cylinders x (tracks x sectors x bytes per sector), the
// three-factor product in signed 32-bit arithmetic.
std::int64_t PhysicalDiskSize(int n);
// `name` is a drive letter on Windows, a device name ("sdb1") on Linux.
std::int64_t LogicalDiskSize(const std::string& name);
// The partition length that IOCTL_DISK_GET_PARTITION_INFO reports for an
// open device; 0 when the request fails or the length is unknown.
std::int64_t PartitionLength(Handle h);
// The full length in bytes of an open disk, partition or image file
// (IOCTL_DISK_GET_LENGTH_INFO): every sector, where the geometry size counts
// whole cylinders only. kSizeRequestFailed when the request fails.
std::int64_t DeviceLength(Handle h);

// "System error " + title box with extra + " " + SystemErrorText(code).
void ShowSystemError(const std::string& title, const std::string& extra, std::uint32_t code);
// ShowSystemError(message, "", code).
void ErrorMessage(const std::string& message, std::uint32_t code);

// One entry of a selection list: its text and the device path it maps to.
struct DriveItem {
  std::string text;
  std::string path;
};

// "HDD" + n + "  " + MiB + " MB" for n = 0, 1, ... up to the first missing one.
std::vector<DriveItem> FillPhysicalList();
// name + ": " + MiB + " MB [" + label + "] " + file system, for every drive.
std::vector<DriveItem> FillLogicalList();

// The drive number that a physical list item names ("HDD12  ..." -> 12);
// -1 for any other text ("HDD" and its digits, then the end or a space).
int DriveNumberOf(const std::string& itemText);
// The name of the logical drive that a logical list item names: the text
// before its first ':' ("C" on Windows, "sdb1" on Linux).
std::string LogicalNameOf(const std::string& itemText);
// The volume label and file system that a logical item carries: the text
// from "[" to its end, and the file system after "] ".
std::string LabelPartOf(const std::string& itemText);
std::string FileSystemOf(const std::string& itemText);

// The main window's selection: the mode and the current texts of both lists.
struct DriveSelection {
  bool physical = false;
  std::string physicalText;  // ComboBox1
  std::string logicalText;   // ComboBox2
};

std::string DeviceName(const DriveSelection& sel);
std::int64_t SelectedDiskSize(const DriveSelection& sel);

// Open `path` into DiskHandle for reading (or reading and writing). On
// failure show "Cannot open " + path + " for read" (" for write") with the
// system error and return false.
bool OpenForRead(const std::string& path);
bool OpenForWrite(const std::string& path);
// The same open, leaving DiskHandle alone: the new handle, or an invalid one
// once the failure has been shown.
Handle OpenDisk(const std::string& path, bool forWriting);
// Closes DiskHandle if it is open.
void CloseDiskHandle();

}  // namespace dt
