// The Windows backend, run under Wine in the cross build.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/text.h"
#include "device/device.h"
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

// Overlapped reads through the completion port on an image file: every
// read brings the sectors of its place, each completion the tag it went
// out with, at one and at eight reads under way.
TEST(Win32Backend, AsyncReadsOfAnImageFile) {
  const char* name = "win32_async_test.img";
  constexpr std::uint32_t kSectors = 256;
  {
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_TRUE(f);
    for (std::uint32_t s = 0; s < kSectors; ++s) {
      std::vector<unsigned char> sector(512, static_cast<unsigned char>(s));
      std::memcpy(sector.data(), &s, sizeof s);
      ASSERT_EQ(std::fwrite(sector.data(), 1, sector.size(), f), sector.size());
    }
    std::fclose(f);
  }
  for (const std::uint32_t depth : {1u, 8u}) {
    SCOPED_TRACE(depth);
    const Handle h = Sys().OpenDevice(name, kGenericRead, kShareRead | kShareWrite,
                                      kOpenExisting, kAttributeNormal);
    ASSERT_NE(h, kInvalidHandle);
    {
      auto reader = Sys().OpenAsyncReader(h, depth);
      ASSERT_TRUE(reader);
      EXPECT_STREQ(reader->Kind(), "iocp");
      constexpr std::uint32_t kLen = 4096;
      auto* mem = static_cast<unsigned char*>(::operator new[](depth * kLen, std::align_val_t(4096)));
      int checked = 0;
      for (std::uint32_t round = 0; round < 5; ++round) {
        std::vector<AsyncReadRequest> reqs(depth);
        for (std::uint32_t i = 0; i < depth; ++i) {
          const std::uint32_t sector = ((round * 37 + i * 29) % (kSectors / 8)) * 8;
          reqs[i].offset = std::int64_t{sector} * 512;
          reqs[i].buf = mem + i * kLen;
          reqs[i].len = kLen;
          reqs[i].tag = 1000 + i;
        }
        ASSERT_TRUE(reader->Submit(reqs.data(), reqs.size()));
        std::vector<AsyncReadCompletion> done(depth);
        std::size_t got = 0;
        while (got < depth) {
          const std::size_t n = reader->Reap(done.data() + got, depth - got, 1);
          ASSERT_GT(n, 0u);
          got += n;
        }
        for (const AsyncReadCompletion& c : done) {
          ASSERT_GE(c.tag, 1000u);
          const std::uint32_t i = static_cast<std::uint32_t>(c.tag - 1000);
          ASSERT_LT(i, depth);
          EXPECT_EQ(c.error, 0u);
          EXPECT_EQ(c.done, kLen);
          std::uint32_t first = 0;
          std::memcpy(&first, reqs[i].buf, sizeof first);
          EXPECT_EQ(std::int64_t{first} * 512, reqs[i].offset);
          ++checked;
        }
      }
      EXPECT_EQ(checked, static_cast<int>(5 * depth));
      reader.reset();
      ::operator delete[](mem, std::align_val_t(4096));
    }
    EXPECT_TRUE(Sys().Close(h));
  }
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
