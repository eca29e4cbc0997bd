// The messages between the programs and disktest-helper, and the helper's
// rules: what it opens and which drive commands it runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "helper/helper_server.h"
#include "platform/helper/helper_protocol.h"
#include "platform/platform.h"

namespace dt::helper {
namespace {

Request OpenRequest(const std::string& path, bool write) {
  Request q;
  q.kind = Kind::Open;
  q.path = path;
  q.write = write;
  return q;
}

// A SENDCMDINPARAMS record with the given command, features and sector number.
std::vector<std::uint8_t> AtaRecord(std::uint8_t command, std::uint8_t features = 0,
                                    std::uint8_t sector = 0) {
  SENDCMDINPARAMS in{};
  in.irDriveRegs.bCommandReg = command;
  in.irDriveRegs.bFeaturesReg = features;
  in.irDriveRegs.bSectorNumberReg = sector;
  const auto* p = reinterpret_cast<const std::uint8_t*>(&in);
  return std::vector<std::uint8_t>(p, p + kSendCmdInLength);
}

Request AtaRequest(std::uint32_t code, std::vector<std::uint8_t> in) {
  Request q;
  q.kind = Kind::Ata;
  q.path = "/dev/sda";
  q.code = code;
  q.in = std::move(in);
  q.outLen = 528;
  return q;
}

Request NvmeRequest(std::uint8_t opcode, std::uint32_t cdw10, std::uint32_t dataLen) {
  Request q;
  q.kind = Kind::Nvme;
  q.path = "/dev/nvme0n1";
  q.opcode = opcode;
  q.nsid = 0xFFFFFFFFu;
  q.cdw[0] = cdw10;
  q.cdw[5] = 0x12345678;
  q.dataLen = dataLen;
  return q;
}

TEST(HelperProtocol, EveryMessageKindRoundTrips) {
  const std::vector<Request> requests = {
      Request{}, OpenRequest("/dev/loop3", false), OpenRequest("/dev/disk/by-id/x", true),
      AtaRequest(SMART_RCV_DRIVE_DATA, AtaRecord(0xB0, 0xD0)), NvmeRequest(0x02, 0x007F0002, 512)};
  for (const Request& q : requests) {
    const std::vector<std::uint8_t> m = Encode(q);
    Request back;
    std::string why;
    ASSERT_TRUE(DecodeRequest(m.data(), m.size(), &back, &why)) << why;
    EXPECT_TRUE(back == q) << static_cast<int>(q.kind);
    // A message of one direction is never taken for the other's.
    Reply wrong;
    if (q.kind != Kind::Hello) {
      EXPECT_FALSE(DecodeReply(m.data(), m.size(), &wrong, &why));
    }
  }
  Reply ata;
  ata.kind = Kind::Ata;
  ata.error = 5;
  ata.returned = 528;
  ata.data.assign(528, 0xA5);
  Reply nvme;
  nvme.kind = Kind::Nvme;
  nvme.cdw0 = 7;
  nvme.status = 0x4002;
  nvme.data.assign(4096, 1);
  Reply open;
  open.kind = Kind::Open;
  open.error = EBUSY;
  for (const Reply& a : {Reply{}, open, ata, nvme}) {
    const std::vector<std::uint8_t> m = Encode(a);
    Reply back;
    std::string why;
    ASSERT_TRUE(DecodeReply(m.data(), m.size(), &back, &why)) << why;
    EXPECT_TRUE(back == a) << static_cast<int>(a.kind);
  }
}

TEST(HelperProtocol, MalformedMessagesAreRefused) {
  const std::vector<std::uint8_t> good = Encode(OpenRequest("/dev/loop0", false));
  auto put32 = [](std::vector<std::uint8_t> m, std::size_t at, std::uint32_t v) {
    std::memcpy(m.data() + at, &v, 4);
    return m;
  };
  std::vector<std::uint8_t> trailing = good;
  trailing.push_back(0);
  trailing[8] = static_cast<std::uint8_t>(trailing[8] + 1);  // the length counts it
  Request longPath = OpenRequest(std::string(kMaxPath + 1, 'a'), false);
  Request nulPath = OpenRequest(std::string("/dev/sda\0x", 10), false);
  Request emptyPath = OpenRequest("", false);
  Request bigOut = AtaRequest(SMART_RCV_DRIVE_DATA, AtaRecord(0xEC));
  bigOut.outLen = kMaxData + 1;
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"short header", std::vector<std::uint8_t>(good.begin(), good.begin() + 11)},
      {"truncated payload", std::vector<std::uint8_t>(good.begin(), good.end() - 1)},
      {"bytes after the message", [&] {
         auto m = good;
         m.push_back(0);
         return m;
       }()},
      {"payload longer than its fields", trailing},
      {"wrong magic", put32(good, 0, 0x12345678)},
      {"wrong version", [&] {
         auto m = good;
         m[4] = 2;
         return m;
       }()},
      {"unknown kind", [&] {
         auto m = good;
         m[6] = 9;
         return m;
       }()},
      {"oversize length", put32(good, 8, kMaxPayload + 1)},
      {"unknown open flags", put32(good, 12, 2)},
      {"path too long", Encode(longPath)},
      {"path with NUL", Encode(nulPath)},
      {"empty path", Encode(emptyPath)},
      {"output above the bound", Encode(bigOut)},
  };
  for (const auto& c : cases) {
    Request q;
    std::string why;
    EXPECT_FALSE(DecodeRequest(c.bytes.data(), c.bytes.size(), &q, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
  }
}

TEST(HelperProtocol, TheTransportCarriesMessagesAndDescriptors) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
  const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(devNull, 0);
  std::string why;
  Reply a;
  a.kind = Kind::Open;
  ASSERT_TRUE(Send(sv[0], Encode(a), devNull, &why)) << why;
  std::vector<std::uint8_t> msg;
  int fd = -1;
  ASSERT_TRUE(Receive(sv[1], &msg, &fd, &why)) << why;
  EXPECT_EQ(msg, Encode(a));
  struct stat want {}, got {};
  ASSERT_EQ(::fstat(devNull, &want), 0);
  ASSERT_EQ(::fstat(fd, &got), 0);
  EXPECT_EQ(got.st_rdev, want.st_rdev);
  EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
  ::close(fd);
  ::close(devNull);

  // An oversize header is refused before its payload is waited for.
  std::vector<std::uint8_t> header = Encode(Request{});
  const std::uint32_t huge = kMaxPayload + 1;
  std::memcpy(header.data() + 8, &huge, 4);
  ASSERT_TRUE(Send(sv[0], header, -1, &why));
  EXPECT_FALSE(Receive(sv[1], &msg, &fd, &why));
  EXPECT_EQ(why, "message too long");
  ::close(sv[0]);
  EXPECT_FALSE(Receive(sv[1], &msg, &fd, &why));
  EXPECT_EQ(why, "end of stream");
  ::close(sv[1]);
}

TEST(HelperRules, OnlyTheProgramsOwnDriveCommandsAreRun) {
  const struct {
    Request q;
    bool allowed;
  } ata[] = {
      {AtaRequest(SMART_GET_VERSION, {}), true},
      {AtaRequest(SMART_RCV_DRIVE_DATA, AtaRecord(0xEC)), true},          // IDENTIFY
      {AtaRequest(SMART_RCV_DRIVE_DATA, AtaRecord(0xA1)), true},          // IDENTIFY PACKET
      {AtaRequest(SMART_RCV_DRIVE_DATA, AtaRecord(0xB0, 0xD0)), true},    // READ DATA
      {AtaRequest(SMART_RCV_DRIVE_DATA, AtaRecord(0xB0, 0xD1)), true},    // READ THRESHOLDS
      {AtaRequest(SMART_RCV_DRIVE_DATA, AtaRecord(0xB0, 0xD5, 6)), true}, // READ LOG
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xB0, 0xD8)), true},
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xB0, 0xDA)), true},
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xB0, 0xD4, 2)), true},     // extended
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xB0, 0xD4, 0x7F)), true},  // abort
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xB0, 0xD4, 0x82)), false},  // captive
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xB0, 0xD6)), false},  // WRITE LOG
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xB0, 0xD9)), false},  // DISABLE
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xF4)), false},  // SECURITY ERASE UNIT
      {AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xCA)), false},  // WRITE DMA
      {AtaRequest(SMART_RCV_DRIVE_DATA, {0xEC}), false},              // record cut short
      {AtaRequest(IOCTL_DISK_GET_LENGTH_INFO, AtaRecord(0xEC)), false},
  };
  for (const auto& c : ata)
    EXPECT_EQ(AtaRequestAllowed(c.q.code, c.q.in), c.allowed)
        << std::hex << int(c.q.in.size() > 6 ? c.q.in[6] : 0) << " "
        << int(c.q.in.size() > 4 ? c.q.in[4] : 0);
  const struct {
    Request q;
    bool allowed;
  } nvme[] = {
      {NvmeRequest(0x06, 0x01, 4096), true},         // Identify Controller
      {NvmeRequest(0x06, 0x00, 4096), true},         // Identify Namespace
      {NvmeRequest(0x06, 0x02, 4096), false},        // active namespace list
      {NvmeRequest(0x06, 0x01, 8192), false},        // wrong length
      {NvmeRequest(0x02, 0x007F0002, 512), true},    // SMART / Health
      {NvmeRequest(0x02, 0x00FF0001, 16384), true},  // error information
      {NvmeRequest(0x02, 0x00000006, 564), true},    // self-test log
      {NvmeRequest(0x02, 0x000000C0, 512), false},   // vendor log
      {NvmeRequest(0x14, 0x1, 0), true},             // short self-test
      {NvmeRequest(0x14, 0xF, 0), true},             // abort
      {NvmeRequest(0x14, 0xE, 0), false},            // vendor self-test
      {NvmeRequest(0x80, 0, 0), false},              // Format NVM
      {NvmeRequest(0x84, 0, 0), false},              // Sanitize
      {NvmeRequest(0x09, 0, 0), false},              // Set Features
  };
  for (const auto& c : nvme)
    EXPECT_EQ(NvmeRequestAllowed(c.q), c.allowed)
        << std::hex << int(c.q.opcode) << " " << c.q.cdw[0];
}

TEST(HelperRules, OnlyBlockDevicesUnderDevAreOpened) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("dt-helper-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "file") << "x";
  std::filesystem::create_symlink("/dev/null", dir / "null-link");
  struct Case {
    std::string path;
    int error;
  };
  std::vector<Case> cases = {
      {(dir / "file").string(), EPERM},  // outside /dev before anything else
      {dir.string(), EPERM},
      {"/dev", EPERM},
      {"/dev/null", ENOTBLK},
      {(dir / "null-link").string(), ENOTBLK},  // links are followed
      {"/dev/no-such-disk", ENOENT},
  };
  // A regular file and a directory under /dev.
  const std::string shmFile = "/dev/shm/dt-helper-" + std::to_string(::getpid());
  if (std::ofstream(shmFile) << "x") cases.push_back({shmFile, ENOTBLK});
  if (std::filesystem::is_directory("/dev/shm")) cases.push_back({"/dev/shm", ENOTBLK});
  // A block device node outside /dev (only root may make one).
  const std::string outside = (dir / "sda-copy").string();
  if (::mknod(outside.c_str(), S_IFBLK | 0600, makedev(7, 0)) == 0) cases.push_back({outside, EPERM});
  for (const Case& c : cases) {
    std::string resolved;
    EXPECT_EQ(ResolveBlockDevice(c.path, &resolved), c.error) << c.path;
    EXPECT_TRUE(resolved.empty()) << c.path;
  }
  std::filesystem::remove_all(dir);
  std::filesystem::remove(shmFile);
}

// The helper's loop on a socket pair: a refused open, a malformed request
// that keeps the stream in step, and the end of the stream.
TEST(HelperRules, TheServerAnswersInOrderAndEndsWithTheStream) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
  auto sys = MakeHostPlatform();
  int exitCode = -1;
  std::thread server([&] { exitCode = Serve(*sys, sv[1], sv[1]); });
  auto ask = [&](const std::vector<std::uint8_t>& m) {
    std::string why;
    EXPECT_TRUE(Send(sv[0], m, -1, &why)) << why;
    std::vector<std::uint8_t> msg;
    int fd = -1;
    Reply a;
    EXPECT_TRUE(Receive(sv[0], &msg, &fd, &why)) << why;
    EXPECT_TRUE(DecodeReply(msg.data(), msg.size(), &a, &why)) << why;
    EXPECT_EQ(fd, -1);
    return a;
  };
  EXPECT_EQ(ask(Encode(Request{})).kind, Kind::Hello);
  Reply a = ask(Encode(OpenRequest("/dev/null", false)));
  EXPECT_EQ(a.kind, Kind::Open);
  EXPECT_EQ(a.error, static_cast<std::uint32_t>(ENOTBLK));
  std::vector<std::uint8_t> bad = Encode(OpenRequest("/dev/null", false));
  bad[12] = 7;  // unknown flags
  a = ask(bad);
  EXPECT_EQ(a.kind, Kind::Open);
  EXPECT_EQ(a.error, static_cast<std::uint32_t>(EPROTO));
  a = ask(Encode(AtaRequest(SMART_SEND_DRIVE_COMMAND, AtaRecord(0xF4))));
  EXPECT_EQ(a.kind, Kind::Ata);
  EXPECT_NE(a.error, 0u);
  ::close(sv[0]);
  server.join();
  EXPECT_EQ(exitCode, 0);
  ::close(sv[1]);
}

}  // namespace
}  // namespace dt::helper
