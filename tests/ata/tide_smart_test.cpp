#include "ata/tide_smart.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ata/fake_platform.h"

namespace dt {
namespace {

using fake::FakeAtaPlatform;

constexpr const char* kSamsung = "SAMSUNG_HD501LJ--CR100-12.cap";

std::vector<std::string> Collect(const std::function<void(const TReportLineProc&)>& f) {
  std::vector<std::string> lines;
  f([&](const std::string& s) { lines.push_back(s); });
  return lines;
}

// The 32 bytes a SMART command record must carry.
std::vector<std::uint8_t> Record(std::uint32_t bufferSize, std::uint8_t features,
                                 std::uint8_t cylLow, std::uint8_t cylHigh, std::uint8_t driveHead,
                                 std::uint8_t command, std::uint8_t drive) {
  std::vector<std::uint8_t> r(32, 0);
  r[0] = static_cast<std::uint8_t>(bufferSize);
  r[1] = static_cast<std::uint8_t>(bufferSize >> 8);
  r[4] = features;
  r[5] = 1;
  r[6] = 1;
  r[7] = cylLow;
  r[8] = cylHigh;
  r[9] = driveHead;
  r[10] = command;
  r[12] = drive;
  return r;
}

struct Fixture {
  FakeAtaPlatform* fake;
  ScopedPlatform scope;
  explicit Fixture(std::unique_ptr<FakeAtaPlatform> f) : fake(f.get()), scope(std::move(f)) {}
};

TEST(TideSmartOpen, PhysicalDrivePathWithTwoDigitNumber) {
  Fixture fx(std::make_unique<FakeAtaPlatform>());
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(10));
  ASSERT_EQ(fx.fake->opens.size(), 1u);
  const auto& o = fx.fake->opens[0];
  EXPECT_EQ(o.path, "\\\\.\\PHYSICALDRIVE10");
  EXPECT_EQ(o.access, kGenericRead | kGenericWrite);
  EXPECT_EQ(o.share, kShareRead | kShareWrite);
  EXPECT_EQ(o.disposition, kOpenExisting);
  EXPECT_EQ(o.flags, kAttributeNormal | kFlagDeviceControl);
  EXPECT_TRUE(s.IsOpen);
  EXPECT_TRUE(s.ViaPhysicalDrive);
  EXPECT_FALSE(s.ViaSmartVsd);
  EXPECT_EQ(s.DriveNumber, 10);
  EXPECT_NE(s.Handle, kInvalidHandle);
}

TEST(TideSmartOpen, FallsBackToLegacyDriver) {
  auto f = std::make_unique<FakeAtaPlatform>();
  f->physicalOpens = false;
  f->smartVsdOpens = true;
  Fixture fx(std::move(f));
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(1));
  ASSERT_EQ(fx.fake->opens.size(), 2u);
  const auto& o = fx.fake->opens[1];
  EXPECT_EQ(o.path, "\\\\.\\SMARTVSD");
  EXPECT_EQ(o.access, 0u);
  EXPECT_EQ(o.share, 0u);
  EXPECT_EQ(o.disposition, kCreateNew);
  EXPECT_EQ(o.flags, 0u);
  EXPECT_TRUE(s.ViaSmartVsd);
  EXPECT_FALSE(s.ViaPhysicalDrive);
  EXPECT_TRUE(s.IsOpen);
}

TEST(TideSmartOpen, BothPathsFailingKeepsTheSecondError) {
  auto f = std::make_unique<FakeAtaPlatform>();
  f->physicalOpens = false;
  f->physicalOpenError = kErrAccessDenied;
  f->smartVsdOpenError = kErrNotFound;
  Fixture fx(std::move(f));
  TIDE_SMART s;
  EXPECT_FALSE(s.OpenDrive(3));
  EXPECT_FALSE(s.IsOpen);
  EXPECT_FALSE(s.ViaSmartVsd);
  EXPECT_FALSE(s.ViaPhysicalDrive);
  EXPECT_EQ(s.Handle, kInvalidHandle);
  EXPECT_EQ(s.LastError, kErrNotFound);
  EXPECT_EQ(s.DriveNumber, 3);
  // Nothing to close afterwards.
  s.CloseDrive();
  EXPECT_TRUE(fx.fake->closed.empty());
}

TEST(TideSmartOpen, CloseReopenAndDestructorReleaseHandles) {
  Fixture fx(std::make_unique<FakeAtaPlatform>());
  Handle first, second;
  {
    TIDE_SMART s;
    ASSERT_TRUE(s.OpenDrive(0));
    first = s.Handle;
    ASSERT_TRUE(s.OpenDrive(1));  // the first handle must not leak
    second = s.Handle;
    ASSERT_EQ(fx.fake->closed, std::vector<Handle>{first});
  }
  EXPECT_EQ(fx.fake->closed, (std::vector<Handle>{first, second}));

  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  s.CloseDrive();
  EXPECT_FALSE(s.IsOpen);
  EXPECT_EQ(s.Handle, kInvalidHandle);
  EXPECT_EQ(fx.fake->closed.size(), 3u);
}

TEST(TideSmartOpen, OpenClearsLoadedState) {
  auto f = fake::MakeFakeWithCapture(kSamsung);
  ASSERT_TRUE(f->capture);
  Fixture fx(std::move(f));
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  ASSERT_TRUE(s.ReadVersion());
  ASSERT_TRUE(s.LoadIdentify());
  ASSERT_TRUE(s.OpenDrive(0));
  EXPECT_FALSE(s.VersionValid);
  EXPECT_FALSE(s.IdentifyValid);
}

TEST(TideSmartCommands, RecordBytesForEveryCommandAndDrive) {
  for (int drive : {0, 1, 2, 10, 257}) {
    SCOPED_TRACE(drive);
    auto f = fake::MakeFakeWithCapture(kSamsung);
    ASSERT_TRUE(f->capture);
    Fixture fx(std::move(f));
    TIDE_SMART s;
    ASSERT_TRUE(s.OpenDrive(drive));
    SENDCMDOUTPARAMS512 out;
    std::uint32_t returned = 0;
    ASSERT_TRUE(s.EnableSmart());
    ASSERT_TRUE(s.IdentifyDrive(&out, &returned));
    EXPECT_EQ(returned, 528u);
    ASSERT_TRUE(s.ReadAttributes(&out, &returned));
    EXPECT_EQ(std::memcmp(out.bBuffer, fx.fake->capture->smartData.data(), 512), 0);
    ASSERT_TRUE(s.ReadThresholds(&out, &returned));
    EXPECT_EQ(std::memcmp(out.bBuffer, fx.fake->capture->thresholds.data(), 512), 0);

    const std::uint8_t head = (drive & 1) ? 0xB0 : 0xA0;
    const auto low = static_cast<std::uint8_t>(drive & 0xFF);
    const auto send = fx.fake->RequestsWith(SMART_SEND_DRIVE_COMMAND);
    const auto rcv = fx.fake->RequestsWith(SMART_RCV_DRIVE_DATA);
    ASSERT_EQ(send.size(), 1u);
    ASSERT_EQ(rcv.size(), 3u);
    EXPECT_EQ(send[0].in, Record(0, 0xD8, 0x4F, 0xC2, head, 0xB0, low));
    EXPECT_EQ(send[0].outLen, 16u);
    EXPECT_EQ(send[0].handle, s.Handle);
    EXPECT_EQ(rcv[0].in, Record(512, 0x00, 0x00, 0x00, head, 0xEC, low));
    EXPECT_EQ(rcv[1].in, Record(512, 0xD0, 0x4F, 0xC2, head, 0xB0, low));
    EXPECT_EQ(rcv[2].in, Record(512, 0xD1, 0x4F, 0xC2, head, 0xB0, low));
    for (const auto& r : rcv) EXPECT_EQ(r.outLen, 528u);
  }
}

// The identify command byte of the one IDENTIFY request that LoadIdentify sends.
std::uint8_t IdentifyCommandSent(FakeAtaPlatform* fake) {
  const auto rcv = fake->RequestsWith(SMART_RCV_DRIVE_DATA);
  return rcv.empty() ? 0 : rcv.back().in[10];
}

TEST(TideSmartCommands, IdentifyCommandOnThePhysicalDrivePath) {
  struct Case {
    std::optional<GETVERSIONINPARAMS> version;
    std::uint8_t expected;
  } cases[] = {
      {FakeAtaPlatform::MakeVersion(1, 1, 0x00, CAP_ATA_ID_CMD | CAP_SMART_CMD), 0xEC},
      {FakeAtaPlatform::MakeVersion(1, 1, 0xF0, CAP_ATAPI_ID_CMD), 0xA1},
      {std::nullopt, 0xA1},  // a driver without a version gets the packet command
  };
  for (const auto& c : cases) {
    auto f = fake::MakeFakeWithCapture(kSamsung);
    f->version = c.version;
    Fixture fx(std::move(f));
    TIDE_SMART s;
    ASSERT_TRUE(s.OpenDrive(0));
    EXPECT_TRUE(s.LoadIdentify());
    EXPECT_EQ(IdentifyCommandSent(fx.fake), c.expected);
  }
}

TEST(TideSmartCommands, IdentifyCommandOnTheLegacyPathFollowsTheDeviceMap) {
  struct Case {
    std::optional<GETVERSIONINPARAMS> version;
    int drive;
    std::uint8_t expected;
  } cases[] = {
      {FakeAtaPlatform::MakeVersion(1, 0, 0x10, CAP_ATA_ID_CMD), 0, 0xA1},
      {FakeAtaPlatform::MakeVersion(1, 0, 0x10, CAP_ATA_ID_CMD), 1, 0xEC},
      {FakeAtaPlatform::MakeVersion(1, 0, 0x20, 0), 1, 0xA1},
      {FakeAtaPlatform::MakeVersion(1, 0, 0x10, 0), 32, 0xA1},  // shift taken modulo 32
      {std::nullopt, 0, 0xEC},                                  // no version: device map 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.drive);
    auto f = fake::MakeFakeWithCapture(kSamsung);
    f->physicalOpens = false;
    f->smartVsdOpens = true;
    f->version = c.version;
    Fixture fx(std::move(f));
    TIDE_SMART s;
    ASSERT_TRUE(s.OpenDrive(c.drive));
    EXPECT_TRUE(s.LoadIdentify());
    EXPECT_EQ(IdentifyCommandSent(fx.fake), c.expected);
  }
}

TEST(TideSmartCommands, FailureKeepsSystemErrorDriverStatusAndCount) {
  auto f = fake::MakeFakeWithCapture(kSamsung);
  f->failSmart = true;
  f->failIdentify = true;
  f->commandError = kErrIo;
  f->driverStatus = 11;
  Fixture fx(std::move(f));
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  SENDCMDOUTPARAMS512 out;
  std::memset(&out, 0xAA, sizeof(out));
  std::uint32_t returned = 1234;
  EXPECT_FALSE(s.ReadAttributes(&out, &returned));
  EXPECT_EQ(returned, 16u);  // the count comes back also on failure
  EXPECT_EQ(s.LastError, kErrIo);
  EXPECT_EQ(s.DriverError, 11u);
  EXPECT_EQ(out.bBuffer[0], 0);  // the output area was cleared before the request
  EXPECT_EQ(DriverErrorText(s.DriverError), "Error 11 Unknown error");

  fx.fake->driverStatus = 5;
  EXPECT_FALSE(s.EnableSmart());
  EXPECT_EQ(s.DriverError, 5u);
  EXPECT_FALSE(s.LoadIdentify());
  EXPECT_FALSE(s.IdentifyValid);
  // The object stays usable.
  fx.fake->failSmart = false;
  EXPECT_TRUE(s.ReadThresholds(&out, &returned));
}

TEST(TideSmartVersion, AccessorsAskAgainWhileInvalidAndCacheOnceValid) {
  auto f = std::make_unique<FakeAtaPlatform>();
  f->version.reset();
  f->versionError = kErrInvalidFunction;
  Fixture fx(std::move(f));
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  EXPECT_EQ(s.GetVersion(), 0);
  EXPECT_EQ(s.GetRevision(), 0);
  EXPECT_EQ(s.GetDeviceMap(), 0);
  EXPECT_EQ(s.GetCapabilities(), 0u);
  EXPECT_FALSE(s.HasAtaIdentify());
  EXPECT_FALSE(s.HasAtapiIdentify());
  EXPECT_FALSE(s.HasSmartCommands());
  EXPECT_EQ(fx.fake->RequestsWith(SMART_GET_VERSION).size(), 7u);
  EXPECT_EQ(s.LastError, kErrInvalidFunction);

  fx.fake->version = FakeAtaPlatform::MakeVersion(2, 3, 0x05, CAP_SMART_CMD | CAP_ATAPI_ID_CMD);
  EXPECT_EQ(s.GetVersion(), 2);
  EXPECT_EQ(s.GetRevision(), 3);
  EXPECT_EQ(s.GetDeviceMap(), 0x05);
  EXPECT_FALSE(s.HasAtaIdentify());
  EXPECT_TRUE(s.HasAtapiIdentify());
  EXPECT_TRUE(s.HasSmartCommands());
  EXPECT_EQ(fx.fake->RequestsWith(SMART_GET_VERSION).size(), 8u);
  EXPECT_EQ(fx.fake->RequestsWith(SMART_GET_VERSION).back().outLen, 24u);
}

TEST(TideSmartVersion, ReportVersionLines) {
  auto f = std::make_unique<FakeAtaPlatform>();
  f->version = FakeAtaPlatform::MakeVersion(1, 1, 0x01, 0x07);
  Fixture fx(std::move(f));
  TIDE_SMART s;
  EXPECT_TRUE(Collect([&](const TReportLineProc& l) { ReportVersion(s, l); }).empty());
  ASSERT_TRUE(s.OpenDrive(0));
  EXPECT_EQ(Collect([&](const TReportLineProc& l) { ReportVersion(s, l); }),
            (std::vector<std::string>{
                "Version     = 1      Revision    = 1",
                "Capabilites = 0x0007 (ATA ID support = True  ATAPI ID support = True  "
                "EXECUTE_SMART_FUNCTION support = True)",
                "IDEDeviceMap    = 0x01"}));

  fx.fake->version.reset();
  ASSERT_TRUE(s.OpenDrive(0));
  EXPECT_EQ(Collect([&](const TReportLineProc& l) { ReportVersion(s, l); }),
            (std::vector<std::string>{
                "Version     = 0      Revision    = 0",
                "Capabilites = 0x0000 (ATA ID support = False  ATAPI ID support = False  "
                "EXECUTE_SMART_FUNCTION support = False)",
                "IDEDeviceMap    = 0x00"}));

  fx.fake->version = FakeAtaPlatform::MakeVersion(255, 0, 0xAB, 0x12345);
  ASSERT_TRUE(s.OpenDrive(0));
  const auto lines = Collect([&](const TReportLineProc& l) { ReportVersion(s, l); });
  EXPECT_EQ(lines[0], "Version     = 255      Revision    = 0");
  EXPECT_EQ(lines[1].substr(0, 23), "Capabilites = 0x12345 (");
  EXPECT_EQ(lines[2], "IDEDeviceMap    = 0xAB");
}

TEST(TideSmartIdentity, TextFieldsKeepTheirPaddingAndZeroBytes) {
  auto f = fake::MakeFakeWithCapture(kSamsung);
  ASSERT_TRUE(f->capture);
  // Firmware field: "AB" then zero bytes (word 24 high byte first).
  auto& id = f->capture->identify;
  std::memset(id.data() + 46, 0, 8);
  id[47] = 'A';
  id[46] = 'B';
  Fixture fx(std::move(f));
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  // The accessors load the block themselves.
  EXPECT_EQ(s.GetModel(), "SAMSUNG HD501LJ" + std::string(25, ' '));
  EXPECT_TRUE(s.IdentifyValid);
  EXPECT_EQ(s.GetSerial(), "S0MUJ1NQ110060      ");
  EXPECT_EQ(s.GetFirmware(), std::string("AB\0\0\0\0\0\0", 8));
  EXPECT_EQ(CleanText(s.GetFirmware()), "AB      ");
  EXPECT_EQ(s.GetCylinders(), 16383);
  EXPECT_EQ(s.GetHeads(), 16);
  EXPECT_EQ(s.GetSectorsPerTrack(), 63);
  EXPECT_EQ(s.Word(80), 0x01F8);
  EXPECT_EQ(s.Word(256), 0);
  EXPECT_EQ(s.Word(-1), 0);
  // Loaded once, kept while valid.
  EXPECT_EQ(fx.fake->RequestsWith(SMART_RCV_DRIVE_DATA).size(), 1u);
}

TEST(TideSmartIdentity, FailingIdentifyGivesZeroAndEmptyAndRetries) {
  auto f = fake::MakeFakeWithCapture(kSamsung);
  f->failIdentify = true;
  Fixture fx(std::move(f));
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  EXPECT_EQ(s.GetModel(), "");
  EXPECT_EQ(s.GetSerial(), "");
  EXPECT_EQ(s.GetFirmware(), "");
  EXPECT_EQ(s.GetCylinders(), 0);
  EXPECT_EQ(s.GetHeads(), 0);
  EXPECT_EQ(s.GetSectorsPerTrack(), 0);
  EXPECT_EQ(fx.fake->RequestsWith(SMART_RCV_DRIVE_DATA).size(), 6u);
}

TEST(TideSmartText, SwapCleanBoolAndDriverErrors) {
  const std::uint8_t field[] = {'E', 'H', 'L', 'L', ' ', 'O', 0x01, 0xFF, 'Z'};
  EXPECT_EQ(SwapAtaString(field, 6), "HELLO ");
  EXPECT_EQ(SwapAtaString(field, 9), std::string("HELLO \xFF\x01Z"));
  EXPECT_EQ(SwapAtaString(field, 5), "HELL ");  // odd count: the last byte alone
  EXPECT_EQ(SwapAtaString(field, 0), "");
  EXPECT_EQ(CleanText(SwapAtaString(field, 9)), "HELLO   Z");
  EXPECT_EQ(CleanText(std::string("a\tb~\x7f") + '\0'), "a b~  ");
  EXPECT_EQ(BoolText(true), "True");
  EXPECT_EQ(BoolText(false), "False");

  EXPECT_EQ(DriverErrorText(0), "Error 0 SMART_NO_ERROR - No error");
  EXPECT_EQ(DriverErrorText(4), "Error 4 SMART_INVALID_BUFFER - Bad buffer (null, invalid addr..)");
  EXPECT_EQ(DriverErrorText(7), "Error 7 SMART_ERROR_NO_MEM - Could not lock user's buffer");
  EXPECT_EQ(DriverErrorText(10), "Error 10 SMART_NO_IDE_DEVICE - Cmd issued to device not present");
  EXPECT_EQ(DriverErrorText(11), "Error 11 Unknown error");
  EXPECT_EQ(DriverErrorText(4294967295u), "Error 4294967295 Unknown error");
}

TEST(TideSmartText, DumpBytesLayout) {
  const std::uint8_t bytes[] = {'A', 0, 255, 'z', 10};
  const auto lines =
      Collect([&](const TReportLineProc& l) { DumpBytes(bytes, sizeof(bytes), 4, l); });
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "    0 000 :   65   0 255 122 !  41 00 FF 7A ! A  z ! ");
  EXPECT_EQ(lines[1], "    4 004 :   10             !  0A          !      ! ");
  EXPECT_TRUE(Collect([&](const TReportLineProc& l) { DumpBytes(bytes, 0, 8, l); }).empty());
  EXPECT_TRUE(Collect([&](const TReportLineProc& l) { DumpBytes(bytes, 5, 0, l); }).empty());
}

TEST(TideSmartText, DumpBytesSeparatesEveryFiveLines) {
  std::uint8_t bytes[512];
  for (int i = 0; i < 512; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  // 12 bytes a line over 130 bytes: 11 dump lines, a blank line before the
  // 6th and the 11th.
  const auto lines = Collect([&](const TReportLineProc& l) { DumpBytes(bytes, 130, 12, l); });
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[5], " ");
  EXPECT_EQ(lines[11], " ");
  EXPECT_EQ(lines[6].substr(0, 12), "   60 03C : ");
  EXPECT_EQ(lines[12].substr(0, 12), "  120 078 : ");
  for (const auto& l : lines)
    if (l != " ") {
      EXPECT_EQ(l.size(), 12u + 48 + 3 + 36 + 3 + 12 + 3);
    }
}

}  // namespace
}  // namespace dt
