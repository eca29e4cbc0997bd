// The Windows backend, run under Wine in the cross build.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "device/device.h"
#include "device/text.h"
#include "platform/platform.h"

namespace dt {
namespace {

TEST(Win32Backend, SystemTextOfErrorFive) {
  const std::string raw = Sys().ErrorText(5);
  ASSERT_GE(raw.size(), 3u);
  EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");
  EXPECT_EQ(SystemErrorText(5), " Error Code = 5 " + raw.substr(0, raw.size() - 2));
  EXPECT_NE(raw.find("ccess"), std::string::npos) << raw;
}

TEST(Win32Backend, PhysicalDriveZeroAnswersTheGeometryRequest) {
  EXPECT_EQ(Sys().PhysicalDrivePath(0), "\\\\.\\PHYSICALDRIVE0");
  EXPECT_EQ(Sys().PhysicalDrivePath(12), "\\\\.\\PHYSICALDRIVE12");
  const DISK_GEOMETRY g = GetDriveGeometry(0);
  ASSERT_GE(g.Cylinders, 0) << "Cylinders code " << g.Cylinders;
  EXPECT_GT(g.BytesPerSector, 0u);
  EXPECT_GT(PhysicalDiskSize(0), 0);
  EXPECT_FALSE(FillPhysicalList().empty());
}

TEST(Win32Backend, AFileOpensAndIsADiskFile) {
  const char* name = "win32_backend_test.bin";
  {
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_TRUE(f);
    std::fputs("0123456789", f);
    std::fclose(f);
  }
  const Handle h = Sys().OpenDevice(name, kGenericRead, kShareRead | kShareWrite, kOpenExisting,
                                    kAttributeNormal);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(Sys().GetType(h), FileType::Disk);
  char buf[4] = {};
  std::uint32_t done = 0;
  ASSERT_TRUE(Sys().ReadAt(h, 3, buf, 4, &done));
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::string(buf, 4), "3456");
  EXPECT_TRUE(Sys().Close(h));
  std::remove(name);
}

TEST(Win32Backend, MissingDeviceFailsWithTheSystemCode) {
  const Handle h = Sys().OpenDevice("\\\\.\\PHYSICALDRIVE99", kGenericRead,
                                    kShareRead | kShareWrite, kOpenExisting, kAttributeNormal);
  EXPECT_EQ(h, kInvalidHandle);
  EXPECT_NE(Platform::LastError(), 0u);
  EXPECT_GT(Sys().PerfFrequency(), 0);
}

}  // namespace
}  // namespace dt
#endif
