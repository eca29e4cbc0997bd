#include "device/device.h"

#include "base/notify.h"
#include "base/text.h"

namespace dt {

Handle OpenPhysicalDrive(int n) {
  const std::string path = Sys().PhysicalDrivePath(n);
  if (path.empty()) {
    Platform::SetLastError(kErrNotFound);
    return kInvalidHandle;
  }
  // Size queries only: the handle never moves data.
  return Sys().OpenDevice(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting,
                          kAttributeNormal | kFlagDeviceControl);
}

DISK_GEOMETRY GetDriveGeometry(int n) {
  DISK_GEOMETRY g{};
  g.Cylinders = kSizeOpenFailed;
  const Handle h = OpenPhysicalDrive(n);
  if (h == kInvalidHandle) return g;
  g.Cylinders = kSizeRequestFailed;
  std::uint32_t returned = 0;
  // The request's own result is not consulted: a failure leaves -3.
  Sys().Control(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &g, sizeof g, &returned);
  const std::uint32_t err = Platform::LastError();
  Sys().Close(h);
  Platform::SetLastError(err);
  return g;
}

std::int64_t PhysicalDiskSize(int n) {
  const DISK_GEOMETRY g = GetDriveGeometry(n);
  if (g.Cylinders < 0) return g.Cylinders;
  // The three-factor product wraps like the signed 32-bit integer it is.
  const std::int32_t perCylinder = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(g.TracksPerCylinder) * g.SectorsPerTrack * g.BytesPerSector);
  return g.Cylinders * static_cast<std::int64_t>(perCylinder);
}

std::int64_t LogicalDiskSize(const std::string& name) {
  const std::string path = Sys().LogicalDrivePath(name);
  Handle h = Sys().OpenDevice(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting,
                              kAttributeNormal | kFlagDeviceControl);
  if (h == kInvalidHandle)
    h = Sys().OpenDevice(path, kGenericRead, kShareRead, kOpenExisting,
                         kAttributeNormal | kFlagDeviceControl);
  if (h == kInvalidHandle) return kSizeOpenFailed;

  std::int64_t result = PartitionLength(h);
  if (result == 0) {
    result = kSizeRequestFailed;
    std::uint64_t total = 0;
    if (Sys().VolumeTotalBytes(name, &total)) result = static_cast<std::int64_t>(total);
  }
  const std::uint32_t err = Platform::LastError();
  Sys().Close(h);
  Platform::SetLastError(err);
  return result;
}

std::int64_t PartitionLength(Handle h) {
  PARTITION_INFORMATION pi{};
  std::uint32_t returned = 0;
  if (!Sys().Control(h, IOCTL_DISK_GET_PARTITION_INFO, nullptr, 0, &pi, 28, &returned)) return 0;
  return pi.PartitionLength;
}

std::int64_t DeviceLength(Handle h) {
  GET_LENGTH_INFORMATION li{};
  std::uint32_t returned = 0;
  if (!Sys().Control(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &li, sizeof li, &returned) ||
      returned < sizeof li || li.Length < 0)
    return kSizeRequestFailed;
  return li.Length;
}

namespace {
std::string Cut511(const std::string& s) { return s.size() > 511 ? s.substr(0, 511) : s; }
}  // namespace

void ShowSystemError(const std::string& title, const std::string& extra, std::uint32_t code) {
  const std::string caption = Cut511("System error " + title);
  const std::string text = Cut511(extra + " " + SystemErrorText(code));
  Notify().ShowMessage(caption, text);
}

void ErrorMessage(const std::string& message, std::uint32_t code) {
  ShowSystemError(message, "", code);
}

std::vector<DriveItem> FillPhysicalList() {
  std::vector<DriveItem> items;
  for (int n = 0; n < 100; ++n) {
    const std::int64_t size = PhysicalDiskSize(n);
    if (size < 0) break;
    DriveItem item;
    item.text = "HDD" + std::to_string(n) + "  " + std::to_string(size / 1048576) + " MB";
    item.path = Sys().PhysicalDrivePath(n);
    item.number = n;
    items.push_back(std::move(item));
  }
  return items;
}

std::vector<DriveItem> FillLogicalList() {
  std::vector<DriveItem> items;
  for (const LogicalDrive& d : Sys().LogicalDrives()) {
    std::int64_t size = LogicalDiskSize(d.name);
    if (size < 0) size = 0;
    VolumeInfo vi;
    Sys().VolumeInformation(d.name, &vi);  // result not checked: no medium lists empty texts
    const double mib = static_cast<double>(size) / 1048576.0;
    const std::string mibText = size <= 1048576000 ? NumberText(mib, 14, 2) : NumberText(mib, 14, 0);
    DriveItem item;
    item.name = d.name;
    item.label = "[" + vi.label + "] " + vi.fileSystem;
    item.fileSystem = vi.fileSystem;
    item.text = d.name + ": " + mibText + " MB " + item.label;
    item.path = Sys().LogicalDrivePath(d.name);
    items.push_back(std::move(item));
  }
  return items;
}

DriveRef DriveItem::Ref() const {
  DriveRef ref;
  ref.kind = number >= 0 ? DriveRef::Kind::Physical : DriveRef::Kind::Logical;
  ref.number = number;
  ref.name = name;
  ref.label = label;
  ref.fileSystem = fileSystem;
  ref.listText = text;
  ref.path = path;
  return ref;
}

std::string DeviceName(const DriveRef& drive) {
  switch (drive.kind) {
    case DriveRef::Kind::Physical:
      return Sys().PhysicalDrivePath(drive.number);
    case DriveRef::Kind::Logical:
      return Sys().LogicalDrivePath(drive.name);
    default:
      return drive.path;
  }
}

std::int64_t SelectedDiskSize(const DriveRef& drive) {
  if (drive.Physical()) return PhysicalDiskSize(drive.number);
  if (drive.kind == DriveRef::Kind::Logical) return LogicalDiskSize(drive.name);
  return kSizeOpenFailed;
}

Handle OpenDisk(const std::string& path, bool forWriting) {
  const std::uint32_t access = forWriting ? kGenericRead | kGenericWrite : kGenericRead;
  const Handle h =
      Sys().OpenDevice(path, access, kShareRead | kShareWrite, kOpenExisting, kAttributeNormal);
  if (h == kInvalidHandle)
    ErrorMessage("Cannot open " + path + (forWriting ? " for write" : " for read"),
                 Platform::LastError());
  return h;
}

}  // namespace dt
