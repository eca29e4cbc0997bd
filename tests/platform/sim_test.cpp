#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "platform/sim/extent_store.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

std::string ParseError(const std::string& json) {
  std::string error;
  auto m = ParseSimMachine(json, DT_TESTDATA_DIR "/ata-captures", "bad.json", &error);
  EXPECT_FALSE(m) << "accepted: " << json;
  return error;
}

std::unique_ptr<SimPlatform> Machine(const std::string& json) {
  std::string error;
  auto m = ParseSimMachine(json, DT_TESTDATA_DIR "/ata-captures", "test.json", &error);
  // A machine that does not load fails its test with the reason, never with
  // a null dereference further on.
  if (!m) throw std::runtime_error(error);
  return m;
}

TEST(SimDescriptor, ErrorsNameTheFileTheKeyAndTheFault) {
  EXPECT_EQ(ParseError(R"({"disks": [{"sector_size": 512}]})"),
            "bad.json: key 'disks[0].size': missing");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": "big"}]})"),
            "bad.json: key 'disks[0].size': expected a positive integer");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 0}]})"),
            "bad.json: key 'disks[0].size': expected a positive integer");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 1048576, "unreadable": [[10, 20], [15, 30]]}]})"),
            "bad.json: key 'disks[0].unreadable[1]': overlaps disks[0].unreadable[0]");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 1048576, "unreadable": [[10, 5000]]}]})"),
            "bad.json: key 'disks[0].unreadable[0]': sector 5000 lies beyond the disk's 2048 sectors");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 1048576, "unreadable": [[20, 10]]}]})"),
            "bad.json: key 'disks[0].unreadable[0]': last sector is below the first");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 1048576, "slow": [{"first": 9, "last": 9}]}]})"),
            "bad.json: key 'disks[0].slow[0].ms': expected a non-negative number");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 1048576, "slow": [{"first": 1, "last": 2, "ms": 5},
                                                                  {"first": 2, "last": 2, "ms": 9}]}]})"),
            "bad.json: key 'disks[0].slow[1]': overlaps disks[0].slow[0]");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 1048576, "slow": [[1, 2]]}]})"),
            "bad.json: key 'disks[0].slow[0]': expected a {\"first\", \"last\", \"ms\"} object");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 1048576, "speeed": {}}]})"),
            "bad.json: key 'disks[0].speeed': unknown key");
  EXPECT_EQ(ParseError(R"({"volumes": [{"name": "C", "size": 10, "disk": 3}]})"),
            "bad.json: key 'volumes[0].disk': no disk number 3");
  EXPECT_EQ(ParseError(R"({"realtime": "yes"})"), "bad.json: key 'realtime': expected true or false");
  EXPECT_EQ(ParseError(R"({"disks": [{"size": 1000}]})"),
            "bad.json: key 'disks[0].size': not a whole number of 512-byte sectors");
  const std::string missing = ParseError(R"({"disks": [{"size": 1048576, "capture": "nope.cap"}]})");
  EXPECT_NE(missing.find("bad.json: key 'disks[0].capture': "), std::string::npos) << missing;
  EXPECT_NE(missing.find("nope.cap"), std::string::npos) << missing;
  EXPECT_EQ(ParseError("{\"disks\": [").substr(0, 24), "bad.json: not valid JSON");
}

TEST(SimDescriptor, LoadingAMissingFileSaysSo) {
  std::string error;
  EXPECT_FALSE(LoadSimMachine("/nonexistent/machine.json", &error));
  EXPECT_EQ(error, "/nonexistent/machine.json: cannot read the file");
}

TEST(SimDescriptor, DemoMachineAndCaptureMachineLoad) {
  auto demo = MakeDemoMachine();
  ASSERT_TRUE(demo);
  EXPECT_EQ(demo->DiskCount(), 5);
  EXPECT_TRUE(demo->Realtime());
  std::string error;
  auto cap = MakeCaptureMachine(DT_TESTDATA_DIR "/ata-captures/SAMSUNG_HD501LJ--CR100-12.cap", &error);
  ASSERT_TRUE(cap) << error;
  // The size comes from the capture's sector count (976,773,168 sectors).
  EXPECT_EQ(static_cast<SimPlatform&>(*cap).DiskSize(0), 976773168ull * 512);
}

TEST(SimDisk, ReadsAPatternAndWritesReadBack) {
  auto m = Machine(R"({"disks": [{"size": 1048576}]})");
  const Handle h = m->OpenDevice("\\\\.\\PHYSICALDRIVE0", kGenericRead | kGenericWrite, 3,
                                 kOpenExisting, kAttributeNormal);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(m->GetType(h), FileType::Disk);
  std::vector<std::uint8_t> a(4096), b(4096);
  std::uint32_t done = 0;
  ASSERT_TRUE(m->ReadAt(h, 8192, a.data(), 4096, &done));
  EXPECT_EQ(done, 4096u);
  ASSERT_TRUE(m->ReadAt(h, 8192, b.data(), 4096, &done));
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[0], 16);  // sector number 16 in the first bytes
  std::vector<std::uint8_t> w(1024, 0xA5);
  ASSERT_TRUE(m->WriteAt(h, 8704, w.data(), 1024, &done));
  ASSERT_TRUE(m->ReadAt(h, 8192, b.data(), 4096, &done));
  EXPECT_TRUE(std::equal(b.begin(), b.begin() + 512, a.begin()));
  EXPECT_TRUE(std::all_of(b.begin() + 512, b.begin() + 1536, [](auto x) { return x == 0xA5; }));
  EXPECT_TRUE(std::equal(b.begin() + 1536, b.end(), a.begin() + 1536));
  // Past the end: what lies before the end is moved.
  ASSERT_TRUE(m->ReadAt(h, 1048576 - 512, a.data(), 4096, &done));
  EXPECT_EQ(done, 512u);
  EXPECT_TRUE(m->Close(h));
}

TEST(SimDisk, UnreadableAndUnwritableSectorsFailWithHostCodes) {
  auto m = Machine(R"({"disks": [{"size": 1048576, "unreadable": [[100, 101]],
                                  "unwritable": [[200, 200]]}]})");
  const Handle h = m->OpenDevice("\\\\.\\PHYSICALDRIVE0", kGenericRead | kGenericWrite, 3,
                                 kOpenExisting, kAttributeNormal);
  std::vector<std::uint8_t> buf(65536);
  std::uint32_t done = 7;
  EXPECT_FALSE(m->ReadAt(h, 99 * 512, buf.data(), 1024, &done));
  EXPECT_EQ(Platform::LastError(), kErrCrc);
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(m->ReadAt(h, 102 * 512, buf.data(), 512, &done));
  EXPECT_TRUE(m->ReadAt(h, 200 * 512, buf.data(), 512, &done));
  EXPECT_FALSE(m->WriteAt(h, 192 * 512, buf.data(), 65536 / 8, &done));
  EXPECT_EQ(Platform::LastError(), kErrWriteFault);
  // A read-only handle refuses writes.
  const Handle r = m->OpenDevice("\\\\.\\PHYSICALDRIVE0", kGenericRead, 3, kOpenExisting, 0);
  EXPECT_FALSE(m->WriteAt(r, 0, buf.data(), 512, &done));
  EXPECT_EQ(Platform::LastError(), kErrAccessDenied);
}

TEST(SimDisk, VirtualClockAdvancesByTheRequestTime) {
  // 100 MB/s flat, 1 ms latency: 1 MB takes 11 ms.
  auto m = Machine(R"({"perf_frequency": 1000000, "disks": [{"size": 104857600,
      "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 1}}]})");
  const Handle h = m->OpenDevice("\\\\.\\PHYSICALDRIVE0", kGenericRead, 3, kOpenExisting, 0);
  std::vector<std::uint8_t> buf(1000448);
  const std::int64_t c0 = m->PerfCounter();
  const std::uint32_t t0 = m->TickCount();
  std::uint32_t done = 0;
  ASSERT_TRUE(m->ReadAt(h, 0, buf.data(), 1000448, &done));
  EXPECT_NEAR(static_cast<double>(m->PerfCounter() - c0), 11004.48, 1.0);
  EXPECT_EQ(m->TickCount() - t0, 11u);
  m->AdvanceClock(5000000);
  EXPECT_EQ(m->TickCount() - t0, 16u);
  m->SetPerfFrequency(0);
  EXPECT_EQ(m->PerfFrequency(), 0);
}

TEST(SimDisk, SmartRequestsAnswerFromTheCapture) {
  auto m = Machine(R"({"disks": [{"capture": "SAMSUNG_HD501LJ--CR100-12.cap"}, {"size": 1048576}]})");
  const Handle h = m->OpenDevice("\\\\.\\PHYSICALDRIVE0", kGenericRead | kGenericWrite, 3,
                                 kOpenExisting, 0);
  GETVERSIONINPARAMS v{};
  std::uint32_t n = 0;
  ASSERT_TRUE(m->Control(h, SMART_GET_VERSION, nullptr, 0, &v, sizeof v, &n));
  EXPECT_EQ(v.fCapabilities & CAP_SMART_CMD, CAP_SMART_CMD);
  SENDCMDINPARAMS in{};
  in.cBufferSize = 512;
  in.irDriveRegs = {0, 1, 1, 0, 0, 0xA0, 0xEC, 0};
  SENDCMDOUTPARAMS512 out{};
  ASSERT_TRUE(m->Control(h, SMART_RCV_DRIVE_DATA, &in, 32, &out, sizeof out, &n));
  EXPECT_EQ(n, 528u);
  EXPECT_EQ(out.cBufferSize, 512u);
  // Model "SAMSUNG HD501LJ" at words 27-46, high byte first.
  EXPECT_EQ(out.bBuffer[54], 'A');
  EXPECT_EQ(out.bBuffer[55], 'S');
  // A disk without a capture has no SMART driver behind it.
  const Handle h1 = m->OpenDevice("\\\\.\\PHYSICALDRIVE1", kGenericRead, 3, kOpenExisting, 0);
  EXPECT_FALSE(m->Control(h1, SMART_GET_VERSION, nullptr, 0, &v, sizeof v, &n));
  EXPECT_EQ(Platform::LastError(), kErrInvalidFunction);
}

TEST(ExtentStore, RunsOfOneByteStayCompact) {
  ExtentStore s;
  auto zero = [](std::uint64_t, std::uint8_t* out, std::size_t n) { std::memset(out, 0, n); };
  s.SetDefault(zero);
  std::vector<std::uint8_t> run(131072, 0x01);
  for (std::uint64_t off = 0; off < (1ull << 26); off += run.size()) s.Write(off, run.data(), run.size());
  EXPECT_EQ(s.ExtentCount(), 1u);
  EXPECT_EQ(s.StoredBytes(), 0u);
  // Writing back what the disk holds anyway stores nothing.
  std::vector<std::uint8_t> zeros(4096, 0);
  s.Write(1ull << 27, zeros.data(), zeros.size());
  EXPECT_EQ(s.ExtentCount(), 1u);
  // A mixed write in the middle splits the run and reads back exactly.
  std::vector<std::uint8_t> mixed(1000);
  for (std::size_t i = 0; i < mixed.size(); ++i) mixed[i] = static_cast<std::uint8_t>(i * 3);
  s.Write(5000, mixed.data(), mixed.size());
  EXPECT_EQ(s.ExtentCount(), 3u);
  std::vector<std::uint8_t> back(3000);
  s.Read(4000, back.data(), back.size(), zero);
  EXPECT_TRUE(std::all_of(back.begin(), back.begin() + 1000, [](auto x) { return x == 1; }));
  EXPECT_TRUE(std::equal(mixed.begin(), mixed.end(), back.begin() + 1000));
  EXPECT_TRUE(std::all_of(back.begin() + 2000, back.end(), [](auto x) { return x == 1; }));
  s.Read((1ull << 26) - 10, back.data(), 20, zero);
  EXPECT_EQ(back[9], 1);
  EXPECT_EQ(back[10], 0);
}

}  // namespace
}  // namespace dt
