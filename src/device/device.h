// Opening disks, their sizes, the physical-disk and logical-drive lists, and
// the system error box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace dt {

// Size results below zero are failure codes, not sizes.
inline constexpr std::int64_t kSizeOpenFailed = -2;
inline constexpr std::int64_t kSizeRequestFailed = -3;

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

// A disk or drive as a test takes it, resolved once where it comes in (an
// item of the main window's lists, a command's argument; see
// device/drive_ref.h), so that no test reads a list's display text.
struct DriveRef {
  enum class Kind {
    None,      // names nothing that can be opened
    Physical,  // a physical disk: `number`, listed when `listText` is set
    Logical,   // a logical drive of the list: `name`
    File,      // a block device or image file that the lists do not show
  };
  Kind kind = Kind::None;
  int number = -1;         // Physical: the drive number ("HDD3" is 3)
  std::string name;        // Logical: the drive's name ("C", "sdb1")
  std::string label;       // Logical: "[" + volume label + "] " + file system
  std::string fileSystem;  // Logical: "NTFS", "CDFS", ...
  std::string listText;    // Physical or Logical: the list item's text
  std::string path;        // what opens it: the list's path, or the file's
  // The argument was a path or a link (not a number or a list name).
  bool byPath = false;

  // Physical disk `n`; the logical drive `name` (no label or file system).
  static DriveRef OfDisk(int n) {
    DriveRef r;
    r.kind = Kind::Physical;
    r.number = n;
    return r;
  }
  static DriveRef OfDrive(const std::string& name) {
    DriveRef r;
    r.kind = Kind::Logical;
    r.name = name;
    return r;
  }
  bool Physical() const { return kind == Kind::Physical; }
  // A disk or drive of the lists, as the main window holds its choice.
  bool Listed() const { return !listText.empty(); }
};

// One entry of a selection list: its text, the device path it maps to, and
// what it names (a physical disk's number, or a logical drive's name, label
// and file system).
struct DriveItem {
  std::string text;
  std::string path;
  int number = -1;  // a physical disk's; -1 for a logical drive
  std::string name;
  std::string label;
  std::string fileSystem;

  DriveRef Ref() const;
};

// "HDD" + n + "  " + MiB + " MB" for n = 0, 1, ... up to the first missing one.
std::vector<DriveItem> FillPhysicalList();
// name + ": " + MiB + " MB [" + label + "] " + file system, for every drive.
std::vector<DriveItem> FillLogicalList();

// The device path of a disk or drive, and its size (-2 / -3 as the other
// size helpers).
std::string DeviceName(const DriveRef& drive);
std::int64_t SelectedDiskSize(const DriveRef& drive);

// Opens `path` for reading (or reading and writing): the new handle, or an
// invalid one once "Cannot open " + path + " for read" (" for write") has
// been shown with the system error. OpenDiskAt (device/disk.h) gives it an
// owner.
Handle OpenDisk(const std::string& path, bool forWriting);

}  // namespace dt
