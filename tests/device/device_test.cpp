#include <gtest/gtest.h>

#include "base/notify.h"
#include "base/text.h"
#include "device/device.h"
#include "device/disk.h"
#include "device/recording_notifier.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

std::unique_ptr<SimPlatform> Machine(const std::string& json) {
  std::string error;
  auto m = ParseSimMachine(json, "", "test.json", &error);
  EXPECT_TRUE(m) << error;
  return m;
}

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNumberFormat({",", "."}); }
};

TEST_F(DeviceTest, DeviceNamesOfPhysicalAndLogicalSelections) {
  std::string disks = R"({"disks": [)";
  for (int i = 0; i < 13; ++i) disks += std::string(i ? "," : "") + R"({"size": 1048576})";
  disks += R"(], "volumes": [{"name": "C", "size": 1048576}, {"name": "sdb1", "size": 1048576}]})";
  ScopedPlatform sim(Machine(disks));
  EXPECT_EQ(DeviceName(DriveRef::OfDisk(7)), "\\\\.\\PHYSICALDRIVE7");
  EXPECT_EQ(DeviceName(DriveRef::OfDisk(12)), "\\\\.\\PHYSICALDRIVE12");
  EXPECT_EQ(DeviceName(DriveRef::OfDrive("C")), "\\\\.\\C:");
  EXPECT_EQ(DeviceName(DriveRef::OfDrive("sdb1")), "/dev/sdb1");
  EXPECT_EQ(SelectedDiskSize(DriveRef::OfDisk(12)), 0);  // less than one cylinder
  EXPECT_EQ(DeviceName(DriveRef{}), "");  // an empty list's placeholder names nothing
}

TEST_F(DeviceTest, PhysicalListEndsAtTheFirstMissingDrive) {
  // Disk 2 cannot be opened: disk 3 exists but is not listed.
  ScopedPlatform sim(Machine(R"({"disks": [
      {"size": 80026361856}, {"size": 8455200768},
      {"size": 1000000000, "fail": {"open": 2}}, {"size": 1000000000}]})"));
  const auto items = FillPhysicalList();
  ASSERT_EQ(items.size(), 2u);
  // Whole cylinders of 255 x 63 x 512 bytes: 9729 cylinders of 80 GB.
  EXPECT_EQ(items[0].text, "HDD0  76316 MB");
  EXPECT_EQ(items[0].path, "\\\\.\\PHYSICALDRIVE0");
  EXPECT_EQ(items[1].text, "HDD1  8056 MB");
  EXPECT_EQ(items[1].Ref().number, 1);
  EXPECT_TRUE(items[1].Ref().Physical());
  EXPECT_EQ(PhysicalDiskSize(2), kSizeOpenFailed);
  EXPECT_EQ(PhysicalDiskSize(3), 1000000000 / 8225280 * 8225280);
  EXPECT_EQ(PhysicalDiskSize(4), kSizeOpenFailed);
}

TEST_F(DeviceTest, GeometryFailureGivesMinusThree) {
  ScopedPlatform sim(Machine(R"({"disks": [{"size": 1000000000, "fail": {"geometry": 1117}}]})"));
  EXPECT_EQ(GetDriveGeometry(0).Cylinders, kSizeRequestFailed);
  EXPECT_EQ(PhysicalDiskSize(0), kSizeRequestFailed);
  EXPECT_TRUE(FillPhysicalList().empty());
}

TEST_F(DeviceTest, ThreeFactorProductIsSignedThirtyTwoBit) {
  // 65535 x 255 x 512 = 8,556,249,600 wraps to -33,684,992 in 32 bits, and
  // the negative size then reads as a failure.
  ScopedPlatform sim(Machine(R"({"disks": [{"size": 1048576,
      "geometry": {"cylinders": 3, "heads": 65535, "sectors": 255}}]})"));
  EXPECT_EQ(PhysicalDiskSize(0), 3 * -33684992LL);
  EXPECT_TRUE(FillPhysicalList().empty());
  // 16383 x 16 x 63 x 512.
  ScopedPlatform sim2(Machine(R"({"disks": [{"size": 1048576,
      "geometry": {"cylinders": 16383, "heads": 16, "sectors": 63}}]})"));
  EXPECT_EQ(PhysicalDiskSize(0), 8455200768LL);
}

TEST_F(DeviceTest, LogicalListItems) {
  ScopedPlatform sim(Machine(R"({"volumes": [
      {"name": "C", "label": "SYSTEM", "fs": "NTFS", "size": 41944137728},
      {"name": "D", "label": "EXACT", "fs": "FAT32", "size": 1048576000},
      {"name": "E", "label": "ONEMORE", "fs": "FAT32", "size": 1048576001},
      {"name": "F", "no_medium": true},
      {"name": "G", "label": "NET", "fs": "NTFS", "mounted_total": 2097152}]})"));
  const auto items = FillLogicalList();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].text, "C: 40,001 MB [SYSTEM] NTFS");
  EXPECT_EQ(items[0].path, "\\\\.\\C:");
  EXPECT_EQ(items[1].text, "D: 1,000.00 MB [EXACT] FAT32");
  EXPECT_EQ(items[2].text, "E: 1,000 MB [ONEMORE] FAT32");
  const DriveRef e = items[2].Ref();
  EXPECT_EQ(e.kind, DriveRef::Kind::Logical);
  EXPECT_EQ(e.name, "E");
  EXPECT_EQ(e.label, "[ONEMORE] FAT32");
  EXPECT_EQ(e.fileSystem, "FAT32");
  // A drive without a medium: size 0, empty label and file system.
  EXPECT_EQ(items[3].text, "F: 0.00 MB [] ");
  EXPECT_EQ(items[3].Ref().fileSystem, "");
  // Partition length 0: the volume totals are used.
  EXPECT_EQ(items[4].text, "G: 2.00 MB [NET] NTFS");
  EXPECT_EQ(LogicalDiskSize("F"), kSizeOpenFailed);
  EXPECT_EQ(LogicalDiskSize("Q"), kSizeOpenFailed);
}

TEST_F(DeviceTest, OpenDiskAtReportsFailuresThroughTheNotifier) {
  ScopedPlatform sim(Machine(R"({"disks": [{"size": 1048576, "fail": {"open": 5}}]})"));
  RecordingNotifier rec;
  EXPECT_FALSE(OpenDiskAt("\\\\.\\PHYSICALDRIVE0", false).IsOpen());
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].caption, "System error Cannot open \\\\.\\PHYSICALDRIVE0 for read");
  // The box text starts with two blanks before "Error Code = ".
  EXPECT_EQ(rec.messages[0].text, "  Error Code = 5 " + SystemErrorText(5).substr(16));
  EXPECT_FALSE(OpenDiskAt("\\\\.\\PHYSICALDRIVE7", true).IsOpen());
  EXPECT_EQ(rec.messages[1].caption, "System error Cannot open \\\\.\\PHYSICALDRIVE7 for write");
}

// A disk's handle has one owner: moving it hands it over, replacing or
// dropping it closes it once. The lease goes to one holder at a time.
TEST_F(DeviceTest, OwnedDisksCloseOnceAndTheLeaseHasOneHolder) {
  ScopedPlatform sim(Machine(R"({"disks": [{"size": 1048576}]})"));
  auto& machine = static_cast<SimPlatform&>(sim.get());
  {
    Disk a = OpenDiskAt("\\\\.\\PHYSICALDRIVE0", false);
    ASSERT_TRUE(a.IsOpen());
    EXPECT_TRUE(a.readOnly);
    Disk b = std::move(a);
    EXPECT_FALSE(a.IsOpen());
    EXPECT_EQ(machine.OpenHandleCount(), 1);
    b.handle = OpenDiskAt("\\\\.\\PHYSICALDRIVE0", true).handle;  // the old one closes
    EXPECT_EQ(machine.OpenHandleCount(), 1);
  }
  EXPECT_EQ(machine.OpenHandleCount(), 0);

  DiskLease first = DiskLease::Take();
  EXPECT_TRUE(first);
  EXPECT_FALSE(DiskLease::Take());
  DiskLease moved = std::move(first);
  EXPECT_FALSE(first);
  EXPECT_TRUE(DiskLease::Taken());
  moved.Release();
  EXPECT_FALSE(DiskLease::Taken());
  EXPECT_TRUE(DiskLease::Take());  // taken and given up again at once
  EXPECT_FALSE(DiskLease::Taken());
}

TEST_F(DeviceTest, SystemErrorBoxTextsAreCutTo511Characters) {
  RecordingNotifier rec;
  ShowSystemError(std::string(600, 't'), std::string(600, 'x'), 5);
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0].caption.size(), 511u);
  EXPECT_EQ(rec.messages[0].caption.substr(0, 13), "System error ");
  EXPECT_EQ(rec.messages[0].text, std::string(511, 'x'));
}

}  // namespace
}  // namespace dt

namespace dt {
namespace {

// Both window programs show a message in the style the core gives it.
TEST(MessageStyle, ErrorsOfferCancelTheBusyNoticeInformsTheRestWarn) {
  const struct {
    const char* caption;
    const char* text;
    MessageStyle style;
  } cases[] = {
      {"System error (read error)", "Error Code = 5", MessageStyle::OkCancel},
      {"Data Error", "Invalid range", MessageStyle::OkCancel},
      {"Surface test", kBusyText, MessageStyle::Information},
      {"Disk read speed", "No block size can be formed", MessageStyle::Warning},
      {"System error", "a caption without its blank", MessageStyle::Warning},
  };
  for (const auto& c : cases) EXPECT_EQ(StyleOf(c.caption, c.text), c.style) << c.caption;
}

}  // namespace
}  // namespace dt
