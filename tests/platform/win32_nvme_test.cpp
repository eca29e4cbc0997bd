// The Windows NVMe transport: Identify and Get Log Page as protocol-specific
// property queries, with DeviceIoControl replaced by a scripted one. Runs
// under Wine in the cross build.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/nvme_passthrough.h"

namespace dt {
namespace {

constexpr std::uint32_t kErrorInvalidData = 13;

// Stands in for DeviceIoControl while it lives: records each query and
// answers as the storage driver does (the descriptor, then the data filled
// with `fill`), or fails with `error`. `garble` alters the answer.
class ScriptedQuery {
 public:
  ScriptedQuery() {
    SetNvmeIoControlFunction([this](Handle, std::uint32_t code, void* buf, std::uint32_t inLen,
                                    std::uint32_t outLen, std::uint32_t* returned) {
      codes.push_back(code);
      ProtocolPropertyQuery q;
      std::memcpy(&q, buf, sizeof q);
      seen.push_back(q);
      lengths.push_back({inLen, outLen});
      if (error) return error;
      ProtocolDataDescriptor d{};
      d.Version = d.Size = sizeof d;
      d.Data = q.Data;
      d.Data.FixedProtocolReturnData = 0x55AA;
      auto* p = static_cast<std::uint8_t*>(buf);
      std::memset(p + sizeof d, fill, q.Data.ProtocolDataLength);
      *returned = static_cast<std::uint32_t>(sizeof d) + q.Data.ProtocolDataLength;
      if (garble) garble(d, *returned);
      std::memcpy(p, &d, sizeof d);
      return std::uint32_t{0};
    });
  }
  ~ScriptedQuery() { SetNvmeIoControlFunction({}); }
  ScriptedQuery(const ScriptedQuery&) = delete;
  ScriptedQuery& operator=(const ScriptedQuery&) = delete;

  std::uint32_t error = 0;
  std::uint8_t fill = 0x3C;
  std::function<void(ProtocolDataDescriptor&, std::uint32_t&)> garble;
  std::vector<std::uint32_t> codes;
  std::vector<ProtocolPropertyQuery> seen;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> lengths;
};

NvmeCommand Command(std::uint8_t opcode, std::uint32_t nsid, std::uint32_t cdw10,
                    std::vector<std::uint8_t>& data) {
  NvmeCommand c;
  c.opcode = opcode;
  c.nsid = nsid;
  c.cdw10 = cdw10;
  c.data = data.data();
  c.dataLen = static_cast<std::uint32_t>(data.size());
  return c;
}

TEST(Win32Nvme, QueriesAndDataBack) {
  ScriptedQuery sq;
  const Handle h = 0x40;
  NvmeResult r;

  std::vector<std::uint8_t> id(4096, 0);
  ASSERT_TRUE(Sys().NvmePassThrough(h, Command(kNvmeIdentify, 0, kNvmeCnsController, id), &r));
  ASSERT_EQ(sq.seen.size(), 1u);
  EXPECT_EQ(sq.codes[0], 0x002D1400u);
  const ProtocolPropertyQuery& q = sq.seen[0];
  EXPECT_EQ(q.PropertyId, 49u);
  EXPECT_EQ(q.QueryType, 0u);
  EXPECT_EQ(q.Data.ProtocolType, 3u);
  EXPECT_EQ(q.Data.DataType, 1u);
  EXPECT_EQ(q.Data.ProtocolDataRequestValue, 1u);
  EXPECT_EQ(q.Data.ProtocolDataRequestSubValue, 0u);
  EXPECT_EQ(q.Data.ProtocolDataOffset, 40u);
  EXPECT_EQ(q.Data.ProtocolDataLength, 4096u);
  EXPECT_EQ(sq.lengths[0], std::make_pair(48u + 4096u, 48u + 4096u));
  EXPECT_EQ(id[0], 0x3C);
  EXPECT_EQ(id[4095], 0x3C);
  EXPECT_EQ(r.cdw0, 0x55AAu);
  EXPECT_EQ(r.status, 0);

  // Identify Namespace: the namespace id as the sub value.
  ASSERT_TRUE(Sys().NvmePassThrough(h, Command(kNvmeIdentify, 1, kNvmeCnsNamespace, id), &r));
  EXPECT_EQ(sq.seen[1].PropertyId, 49u);
  EXPECT_EQ(sq.seen[1].Data.ProtocolDataRequestValue, 0u);
  EXPECT_EQ(sq.seen[1].Data.ProtocolDataRequestSubValue, 1u);

  // The SMART / health log: 512 bytes of the controller.
  std::vector<std::uint8_t> log(512, 0);
  sq.fill = 0x77;
  ASSERT_TRUE(
      Sys().NvmePassThrough(h, Command(kNvmeGetLogPage, kNvmeNsidAll, 0x007F0002, log), &r));
  const ProtocolPropertyQuery& l = sq.seen[2];
  EXPECT_EQ(l.PropertyId, 50u);
  EXPECT_EQ(l.Data.ProtocolType, 3u);
  EXPECT_EQ(l.Data.DataType, 2u);
  EXPECT_EQ(l.Data.ProtocolDataRequestValue, 2u);
  EXPECT_EQ(l.Data.ProtocolDataRequestSubValue, 0u);
  EXPECT_EQ(l.Data.ProtocolDataRequestSubValue4, 0u);
  EXPECT_EQ(l.Data.ProtocolDataOffset, 40u);
  EXPECT_EQ(l.Data.ProtocolDataLength, 512u);
  EXPECT_EQ(sq.lengths[2], std::make_pair(48u + 512u, 48u + 512u));
  EXPECT_EQ(log[0], 0x77);
  EXPECT_EQ(log[511], 0x77);

  // Two error log entries from byte 128 on, retaining the event.
  std::vector<std::uint8_t> errors(128, 0);
  NvmeCommand e = Command(kNvmeGetLogPage, 0, (31u << 16) | 0x8000 | kNvmeLogErrorInfo, errors);
  e.cdw12 = 128;
  ASSERT_TRUE(Sys().NvmePassThrough(h, e, &r));
  EXPECT_EQ(sq.seen[3].Data.ProtocolDataRequestValue, 1u);
  EXPECT_EQ(sq.seen[3].Data.ProtocolDataRequestSubValue, 128u);
  EXPECT_EQ(sq.seen[3].Data.ProtocolDataRequestSubValue4, 1u);
  EXPECT_EQ(sq.seen[3].Data.ProtocolDataLength, 128u);
}

TEST(Win32Nvme, RefusalsAndFailures) {
  ScriptedQuery sq;
  const Handle h = 0x40;
  NvmeResult r;
  std::vector<std::uint8_t> buf(4096, 0);

  // What the property cannot carry is refused before any request.
  NvmeCommand features = Command(0x0A, 0, 0x02, buf);
  NvmeCommand nsLog = Command(kNvmeGetLogPage, 1, 0x007F0002, buf);
  NvmeCommand activeList = Command(kNvmeIdentify, 0, 0x02, buf);
  NvmeCommand longLog = Command(kNvmeGetLogPage, kNvmeNsidAll, 0x03FF0002, buf);
  longLog.dataLen = 512;
  for (const NvmeCommand* c : {&features, &nsLog, &activeList, &longLog}) {
    Platform::SetLastError(0);
    EXPECT_FALSE(Sys().NvmePassThrough(h, *c, &r));
    EXPECT_EQ(Platform::LastError(), c == &longLog ? kErrInvalidParameter : kErrNotSupported);
  }
  EXPECT_TRUE(sq.seen.empty());

  // A failing request: its error code, status 0.
  for (std::uint32_t err : {kErrNotSupported, kErrInvalidFunction}) {
    sq.error = err;
    r.status = 9;
    EXPECT_FALSE(Sys().NvmePassThrough(h, Command(kNvmeIdentify, 0, 1, buf), &r));
    EXPECT_EQ(Platform::LastError(), err);
    EXPECT_EQ(r.status, 0);
  }
  sq.error = 0;

  // Answers that do not fit are refused and leave the data alone.
  const std::vector<std::function<void(ProtocolDataDescriptor&, std::uint32_t&)>> garbles = {
      [](ProtocolDataDescriptor& d, std::uint32_t&) { d.Version = 40; },
      [](ProtocolDataDescriptor& d, std::uint32_t&) { d.Size = 0; },
      [](ProtocolDataDescriptor& d, std::uint32_t&) { d.Data.ProtocolDataOffset = 8; },
      [](ProtocolDataDescriptor& d, std::uint32_t&) { d.Data.ProtocolDataLength = 100; },
      [](ProtocolDataDescriptor&, std::uint32_t& n) { n -= 1; },
      [](ProtocolDataDescriptor& d, std::uint32_t&) { d.Data.ProtocolDataOffset = 41; },
      [](ProtocolDataDescriptor&, std::uint32_t& n) { n = 20; },
  };
  std::vector<std::uint8_t> log(512, 0);
  for (std::size_t i = 0; i < garbles.size(); ++i) {
    SCOPED_TRACE(i);
    sq.garble = garbles[i];
    Platform::SetLastError(0);
    EXPECT_FALSE(
        Sys().NvmePassThrough(h, Command(kNvmeGetLogPage, kNvmeNsidAll, 0x007F0002, log), &r));
    EXPECT_EQ(Platform::LastError(), kErrorInvalidData);
    EXPECT_EQ(log[0], 0);
  }
}

// Device Self-test goes out as an NVMe admin protocol command laid out byte
// for byte; a refusal hands back the controller's status.
TEST(Win32Nvme, DeviceSelfTestAsAProtocolCommand) {
  std::vector<std::uint8_t> seen;
  std::uint32_t seenCode = 0, seenOut = 0;
  std::uint16_t refuse = 0;
  SetNvmeIoControlFunction([&](Handle, std::uint32_t code, void* buf, std::uint32_t inLen,
                               std::uint32_t outLen, std::uint32_t* returned) -> std::uint32_t {
    seenCode = code;
    seenOut = outLen;
    auto* p = static_cast<std::uint8_t*>(buf);
    seen.assign(p, p + inLen);
    if (refuse) {
      p[16] = 2;  // STORAGE_PROTOCOL_STATUS_ERROR
      p[144 + 12] = static_cast<std::uint8_t>(refuse << 1);
      p[144 + 13] = static_cast<std::uint8_t>(refuse >> 7);
      return 1117;  // ERROR_IO_DEVICE
    }
    p[16] = 1;  // STORAGE_PROTOCOL_STATUS_SUCCESS
    *returned = inLen;
    return 0;
  });
  auto le32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(seen[at] | seen[at + 1] << 8 | seen[at + 2] << 16 |
                                      static_cast<std::uint32_t>(seen[at + 3]) << 24);
  };
  NvmeCommand cmd;
  cmd.opcode = 0x14;
  cmd.nsid = 0xFFFFFFFFu;
  cmd.cdw10 = 2;
  NvmeResult r;
  EXPECT_TRUE(Sys().NvmePassThrough(0x40, cmd, &r));
  EXPECT_EQ(seenCode, 0x002DD3C0u);
  ASSERT_EQ(seen.size(), 208u);
  EXPECT_EQ(seenOut, 208u);
  // Version, Length, ProtocolType, Flags, CommandLength, ErrorInfoLength,
  // no data either way, ErrorInfoOffset, CommandSpecific.
  const std::pair<std::size_t, std::uint32_t> header[] = {
      {0, 1},  {4, 84}, {8, 3},    {12, 0x80000000u}, {24, 64}, {28, 64},
      {32, 0}, {36, 0}, {44, 144}, {48, 0},           {52, 0},  {56, 1}};
  for (const auto& [at, want] : header) EXPECT_EQ(le32(at), want) << at;
  EXPECT_EQ(seen[80], 0x14);
  EXPECT_EQ(le32(84), 0xFFFFFFFFu);  // NSID
  EXPECT_EQ(le32(120), 2u);          // command dword 10
  for (std::size_t at : {124, 128, 132, 136, 140}) EXPECT_EQ(le32(at), 0u);

  refuse = 0x011D;  // Device Self-test in Progress
  EXPECT_FALSE(Sys().NvmePassThrough(0x40, cmd, &r));
  EXPECT_EQ(r.status, 0x011D);
  EXPECT_EQ(Platform::LastError(), kErrIo);
  refuse = 0;
  cmd.dataLen = 4;  // Device Self-test moves no data
  std::uint8_t b[4];
  cmd.data = b;
  EXPECT_FALSE(Sys().NvmePassThrough(0x40, cmd, &r));
  EXPECT_EQ(Platform::LastError(), kErrInvalidParameter);
  SetNvmeIoControlFunction({});
}

TEST(Win32Nvme, AFileIsNoNvmeDevice) {
  const char* name = "win32_nvme_test.bin";
  {
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_TRUE(f);
    std::fputs("0123456789", f);
    std::fclose(f);
  }
  const Handle h = Sys().OpenDevice(name, kGenericRead, kShareRead | kShareWrite, kOpenExisting,
                                    kAttributeNormal | kFlagDeviceControl);
  ASSERT_NE(h, kInvalidHandle);
  std::vector<std::uint8_t> id(4096, 0);
  NvmeResult r;
  Platform::SetLastError(0);
  EXPECT_FALSE(Sys().NvmePassThrough(h, Command(kNvmeIdentify, 0, kNvmeCnsController, id), &r));
  EXPECT_NE(Platform::LastError(), 0u);
  EXPECT_EQ(r.status, 0);
  Sys().Close(h);
  std::remove(name);
}

}  // namespace
}  // namespace dt
#endif
