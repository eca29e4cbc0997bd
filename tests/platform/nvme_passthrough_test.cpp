// The Linux NVMe transport: admin commands through NVME_IOCTL_ADMIN_CMD,
// with the ioctl replaced by a scripted one, and the refusal of handles that
// are no NVMe device.
#ifndef _WIN32
#include "platform/posix/nvme_passthrough.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_platform.h"

namespace dt {
namespace {

// Stands in for the ioctl while it lives: records every request, fills the
// data with `fill` and answers `answer` (0, a status, or -errno).
class ScriptedNvmeIoctl {
 public:
  ScriptedNvmeIoctl() {
    SetNvmeIoctlFunction([this](int fd, NvmeAdminRequest& req) {
      seen.push_back(req);
      fds.push_back(fd);
      if (req.data) std::memset(req.data, fill, req.dataLen);
      if (answer == 0) req.result = cdw0;
      return answer;
    });
  }
  ~ScriptedNvmeIoctl() { SetNvmeIoctlFunction({}); }
  ScriptedNvmeIoctl(const ScriptedNvmeIoctl&) = delete;
  ScriptedNvmeIoctl& operator=(const ScriptedNvmeIoctl&) = delete;

  int answer = 0;
  std::uint32_t cdw0 = 0;
  std::uint8_t fill = 0xA5;
  std::vector<NvmeAdminRequest> seen;
  std::vector<int> fds;
};

NvmeCommand SmartLog(void* data) {
  NvmeCommand c;
  c.opcode = kNvmeGetLogPage;
  c.nsid = kNvmeNsidAll;
  c.cdw10 = (((512 / 4) - 1) << 16) | kNvmeLogSmartHealth;
  c.data = data;
  c.dataLen = 512;
  return c;
}

TEST(NvmePassThrough, SendsTheCommandAndReturnsDwordZero) {
  ScriptedNvmeIoctl io;
  io.cdw0 = 0x12345678;
  std::vector<std::uint8_t> log(512, 0);
  NvmeResult r;
  r.status = 7;
  ASSERT_TRUE(NvmeAdminCommand(9, SmartLog(log.data()), &r));
  ASSERT_EQ(io.seen.size(), 1u);
  const NvmeAdminRequest& q = io.seen[0];
  EXPECT_EQ(io.fds[0], 9);
  EXPECT_EQ(q.opcode, 0x02);
  EXPECT_EQ(q.nsid, 0xFFFFFFFFu);
  EXPECT_EQ(q.cdw10, 0x007F0002u);
  EXPECT_EQ(q.data, log.data());
  EXPECT_EQ(q.dataLen, 512u);
  EXPECT_EQ(r.cdw0, 0x12345678u);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(log[0], 0xA5);
  EXPECT_EQ(log[511], 0xA5);

  // Every command dword travels.
  NvmeCommand c = SmartLog(log.data());
  c.cdw11 = 0x11;
  c.cdw12 = 0x12;
  c.cdw13 = 0x13;
  c.cdw14 = 0x14;
  c.cdw15 = 0x15;
  ASSERT_TRUE(NvmeAdminCommand(9, c, &r));
  const NvmeAdminRequest& q2 = io.seen.back();
  EXPECT_EQ(std::vector<std::uint32_t>({q2.cdw11, q2.cdw12, q2.cdw13, q2.cdw14, q2.cdw15}),
            std::vector<std::uint32_t>({0x11, 0x12, 0x13, 0x14, 0x15}));
}

TEST(NvmePassThrough, ControllerErrorsAndRefusedRequests) {
  ScriptedNvmeIoctl io;
  std::vector<std::uint8_t> log(512, 0);
  NvmeResult r;

  // Invalid Field in Command, Do Not Retry: the status, EIO.
  io.answer = 0x4002;
  io.cdw0 = 0xDEAD;
  Platform::SetLastError(0);
  EXPECT_FALSE(NvmeAdminCommand(3, SmartLog(log.data()), &r));
  EXPECT_EQ(r.status, 0x4002);
  EXPECT_EQ(NvmeStatusCode(r.status), 0x02);
  EXPECT_EQ(NvmeStatusCodeType(r.status), 0);
  EXPECT_EQ(r.cdw0, 0u);
  EXPECT_EQ(Platform::LastError(), kErrIo);

  // The ioctl refused: its errno, status 0.
  io.answer = -EACCES;
  r.status = 0x4002;
  EXPECT_FALSE(NvmeAdminCommand(3, SmartLog(log.data()), &r));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Platform::LastError(), static_cast<std::uint32_t>(EACCES));

  // A node that does not know the request is no NVMe device.
  io.answer = -ENOTTY;
  EXPECT_FALSE(NvmeAdminCommand(3, SmartLog(log.data()), &r));
  EXPECT_EQ(Platform::LastError(), kErrNotSupported);

  // Data announced without a buffer never reaches the kernel.
  NvmeCommand bad = SmartLog(nullptr);
  const std::size_t sent = io.seen.size();
  EXPECT_FALSE(NvmeAdminCommand(3, bad, &r));
  EXPECT_EQ(Platform::LastError(), kErrInvalidParameter);
  EXPECT_EQ(io.seen.size(), sent);
}

TEST(NvmePassThrough, FilesAndOtherDevicesAreNotSupported) {
  char name[] = "/tmp/dt_nvme_XXXXXX";
  const int tmp = ::mkstemp(name);
  ASSERT_GE(tmp, 0);
  ASSERT_EQ(::write(tmp, std::string(4096, 'x').data(), 4096), 4096);
  std::vector<std::uint8_t> log(512, 0);
  NvmeResult r;

  // The real ioctl on a regular file.
  Platform::SetLastError(0);
  EXPECT_FALSE(NvmeAdminCommand(tmp, SmartLog(log.data()), &r));
  EXPECT_EQ(Platform::LastError(), kErrNotSupported);
  EXPECT_EQ(r.status, 0);
  ::close(tmp);

  // Through the platform, a file and a character device of another driver
  // are refused before any request is sent.
  ScriptedNvmeIoctl io;
  PosixPlatform p;
  for (const char* path : {static_cast<const char*>(name), "/dev/null"}) {
    SCOPED_TRACE(path);
    const Handle h = p.OpenDevice(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting,
                                  kFlagDeviceControl);
    ASSERT_NE(h, kInvalidHandle);
    Platform::SetLastError(0);
    EXPECT_FALSE(p.NvmePassThrough(h, SmartLog(log.data()), &r));
    EXPECT_EQ(Platform::LastError(), kErrNotSupported);
    EXPECT_EQ(r.status, 0);
    p.Close(h);
  }
  EXPECT_TRUE(io.seen.empty());
  EXPECT_FALSE(p.NvmePassThrough(12345, SmartLog(log.data()), &r));
  EXPECT_EQ(Platform::LastError(), kErrInvalidHandle);
  ::unlink(name);
}

}  // namespace
}  // namespace dt
#endif
