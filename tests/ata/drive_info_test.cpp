#include "ata/drive_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ata/fake_platform.h"
#include "base/text.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

using fake::FakeAtaPlatform;

class DriveInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto f = fake::MakeFakeWithCapture("SAMSUNG_HD501LJ--CR100-12.cap");
    ASSERT_TRUE(f->capture);
    fake_ = f.get();
    scope_ = std::make_unique<ScopedPlatform>(std::move(f));
  }
  void TearDown() override { scope_.reset(); }

  std::vector<std::string> Report(TIDE_SMART& s) {
    std::vector<std::string> lines;
    ReportDriveInfo(s, [&](const std::string& l) { lines.push_back(l); });
    return lines;
  }
  std::vector<std::string> ReportOfOpenDrive() {
    TIDE_SMART s;
    EXPECT_TRUE(s.OpenDrive(0));
    return Report(s);
  }
  void SetIdentifyWord(int n, std::uint16_t v) {
    fake_->capture->identify[2 * n] = static_cast<std::uint8_t>(v);
    fake_->capture->identify[2 * n + 1] = static_cast<std::uint8_t>(v >> 8);
  }

  FakeAtaPlatform* fake_ = nullptr;

 private:
  ScopedNumberFormat english_{{",", "."}};
  std::unique_ptr<ScopedPlatform> scope_;
};

const char* const kGeometryHeading = "Disk geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY) : ";
const char* const kGeometryLine =
    "     Cylinders :16383  Heads : 16  Sectors per Track : 63 Bytes per Sector : 512  "
    "Total 8,455,200,768 bytes";

TEST_F(DriveInfoTest, TypicalSection) {
  EXPECT_EQ(
      ReportOfOpenDrive(),
      (std::vector<std::string>{
          kGeometryHeading, kGeometryLine, "Cylinders :16383  Heads : 16  Sectors per Track : 63",
          "Model number: SAMSUNG HD501LJ" + std::string(25, ' ') +
              "  ATA-3,4,5,6,7,8 ATA8-ACS version 3b  UltraDMA-0,1,2,3,4,5,6,7 "
              "Selected UltraDMA-6",
          "Firmware rev: CR100-12", "Serial number: S0MUJ1NQ110060      "}));
  const auto geo = fake_->RequestsWith(IOCTL_DISK_GET_DRIVE_GEOMETRY);
  ASSERT_EQ(geo.size(), 1u);
  EXPECT_TRUE(geo[0].in.empty());
  EXPECT_EQ(geo[0].outLen, 24u);
}

TEST_F(DriveInfoTest, EveryCallSendsGeometryAndIdentifyAgain) {
  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  Report(s);
  Report(s);
  EXPECT_EQ(fake_->RequestsWith(IOCTL_DISK_GET_DRIVE_GEOMETRY).size(), 2u);
  EXPECT_EQ(fake_->RequestsWith(SMART_RCV_DRIVE_DATA).size(), 2u);
}

TEST_F(DriveInfoTest, ClosedObjectWritesNothing) {
  TIDE_SMART s;
  EXPECT_TRUE(Report(s).empty());
  EXPECT_TRUE(fake_->requests.empty());
}

TEST_F(DriveInfoTest, GeometryWithoutIdentify) {
  fake_->failIdentify = true;
  fake_->commandError = kErrIo;
  fake_->driverStatus = 11;
  EXPECT_EQ(ReportOfOpenDrive(),
            (std::vector<std::string>{kGeometryHeading, kGeometryLine,
                                      "ID error : System  Error Code = " + std::to_string(kErrIo) +
                                          " Fake message " + std::to_string(kErrIo) +
                                          ".  Device Error 11 Unknown error"}));
}

TEST_F(DriveInfoTest, GeometryFailureGoesOnWithIdentify) {
  fake_->geometry.reset();
  fake_->geometryError = kErrNotSupported;
  const auto lines = ReportOfOpenDrive();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Get disk geometry error  Error Code = " + std::to_string(kErrNotSupported) +
                          " Fake message " + std::to_string(kErrNotSupported) + ".");
  EXPECT_EQ(lines[1], "Cylinders :16383  Heads : 16  Sectors per Track : 63");
  EXPECT_EQ(lines[4], "Serial number: S0MUJ1NQ110060      ");
}

TEST_F(DriveInfoTest, EmptySummaryPartsKeepTheirBlanks) {
  SetIdentifyWord(88, 0x0000);
  SetIdentifyWord(80, 0x0001);
  SetIdentifyWord(81, 0x0000);
  const auto lines = ReportOfOpenDrive();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3],
            "Model number: SAMSUNG HD501LJ" + std::string(25, ' ') + "  " + " " + "  " + " ");

  SetIdentifyWord(88, 0x003F);  // modes supported, none active
  SetIdentifyWord(81, 0x001A);
  EXPECT_EQ(ReportOfOpenDrive()[3], "Model number: SAMSUNG HD501LJ" + std::string(25, ' ') +
                                        "   Unknown ATA 0x001A  UltraDMA-0,1,2,3,4,5 ");
}

TEST_F(DriveInfoTest, ModelWithControlBytesIsCleaned) {
  fake_->capture->identify[54] = 0x07;  // second character of the model
  fake_->capture->identify[55] = 0xE9;  // first character
  const auto lines = ReportOfOpenDrive();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3].substr(0, 20), "Model number:   MSUN");
}

TEST_F(DriveInfoTest, TotalUsesTheLocaleAndItsLimits) {
  SetNumberFormat({".", ","});
  EXPECT_EQ(ReportOfOpenDrive()[1],
            "     Cylinders :16383  Heads : 16  Sectors per Track : 63 Bytes per Sector : 512  "
            "Total 8.455.200.768 bytes");
  SetNumberFormat({",", "."});

  // Totals of 10^13 bytes and more leave the 13 significant digits.
  fake_->geometry = FakeAtaPlatform::MakeGeometry(1000000000, 255, 63, 512);
  const double big = 1e9 * 255 * 63 * 512;
  EXPECT_EQ(ReportOfOpenDrive()[1],
            "     Cylinders :1000000000  Heads : 255  Sectors per Track : 63 Bytes per Sector : "
            "512  Total " +
                NumberText(big, 13, 0) + " bytes");
  EXPECT_NE(NumberText(big, 13, 0).find('E'), std::string::npos);

  // The bytes per cylinder are a 32-bit signed product.
  fake_->geometry = FakeAtaPlatform::MakeGeometry(2, 255, 63, 1u << 18);
  const std::string line = ReportOfOpenDrive()[1];
  EXPECT_NE(line.find("Total -167,247,872 bytes"), std::string::npos) << line;
}

// The same section against the simulated machine with a real capture: the
// records built here are the ones the simulated drive understands.
TEST(DriveInfoSimTest, SimulatedDriveAnswersEveryCommand) {
  std::string error;
  auto machine = MakeCaptureMachine(
      std::string(DT_TESTDATA_DIR) + "/ata-captures/WDC_WD5000AAKS--00TMA0-12.01C01.cap", &error);
  ASSERT_TRUE(machine) << error;
  ScopedPlatform scope(std::move(machine));
  const ScopedNumberFormat english({",", "."});

  TIDE_SMART s;
  ASSERT_TRUE(s.OpenDrive(0));
  EXPECT_TRUE(s.ViaPhysicalDrive);
  EXPECT_TRUE(s.HasAtaIdentify());
  std::vector<std::string> lines;
  ReportDriveInfo(s, [&](const std::string& l) { lines.push_back(l); });
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Disk geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY) : ");
  EXPECT_EQ(lines[2], "Cylinders :16383  Heads : 16  Sectors per Track : 63");
  EXPECT_EQ(lines[3], "Model number: WDC WD5000AAKS-00TMA0" + std::string(19, ' ') +
                          "  ATA-1,2,3,4,5,6,7   UltraDMA-0,1,2,3,4,5,6 "
                          "Selected UltraDMA-5");
  EXPECT_EQ(lines[4], "Firmware rev: 12.01C01");
  EXPECT_EQ(lines[5], "Serial number:      WD-WCAPW0493929");

  EXPECT_TRUE(s.EnableSmart());
  SENDCMDOUTPARAMS512 out;
  std::uint32_t returned = 0;
  EXPECT_TRUE(s.ReadAttributes(&out, &returned));
  EXPECT_EQ(returned, 528u);
  EXPECT_TRUE(s.ReadThresholds(&out, &returned));
}

}  // namespace
}  // namespace dt
