// The NVMe verdict at its edges, and the SMART report and health of a
// simulated NVMe disk next to an ATA one.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "health/health.h"
#include "health/smart_flow.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

NvmeSmartLog Healthy() {
  NvmeSmartLog l;
  l.temperatureK = 311;
  l.availableSpare = 100;
  l.availableSpareThreshold = 10;
  l.percentageUsed = 3;
  return l;
}

TEST(NvmeVerdict, CriticalWarningBitsAndSpareAreBadWearAndMediaErrorsCaution) {
  EXPECT_EQ(NvmeVerdict(Healthy()).verdict, Verdict::Good);
  EXPECT_TRUE(NvmeVerdict(Healthy()).reasons.empty());

  // Every bit on its own, the undefined ones too, is BAD with one reason.
  const char* const texts[] = {"available spare below threshold",
                               "temperature above or below a threshold",
                               "NVM subsystem reliability degraded",
                               "media placed in read-only mode",
                               "volatile memory backup device failed",
                               "persistent memory region read-only or unreliable",
                               "unknown warning",
                               "unknown warning"};
  for (int bit = 0; bit < 8; ++bit) {
    NvmeSmartLog l = Healthy();
    l.criticalWarning = static_cast<std::uint8_t>(1u << bit);
    const VerdictResult v = NvmeVerdict(l);
    EXPECT_EQ(v.verdict, Verdict::Bad) << bit;
    EXPECT_EQ(v.reasons, std::vector<std::string>{"critical warning bit " + std::to_string(bit) +
                                                  ": " + texts[bit]});
  }
  NvmeSmartLog all = Healthy();
  all.criticalWarning = 0x3F;
  EXPECT_EQ(NvmeVerdict(all).reasons.size(), 6u);

  // The spare fails only below its threshold.
  NvmeSmartLog spare = Healthy();
  spare.availableSpare = 10;
  EXPECT_EQ(NvmeVerdict(spare).verdict, Verdict::Good);
  spare.availableSpare = 9;
  EXPECT_EQ(NvmeVerdict(spare).reasons,
            std::vector<std::string>{"available spare 9% is below its threshold 10%"});

  NvmeSmartLog worn = Healthy();
  worn.percentageUsed = 89;
  EXPECT_EQ(NvmeVerdict(worn).verdict, Verdict::Good);
  worn.percentageUsed = 90;
  EXPECT_EQ(NvmeVerdict(worn).verdict, Verdict::Caution);
  worn.percentageUsed = 255;  // past the rated endurance
  EXPECT_EQ(NvmeVerdict(worn).verdict, Verdict::Caution);

  // Media errors past 2^64 count exactly; BAD findings come first.
  NvmeSmartLog l = Healthy();
  l.mediaErrors = Uint128(1, 0);
  l.percentageUsed = 100;
  EXPECT_EQ(NvmeVerdict(l).verdict, Verdict::Caution);
  l.availableSpare = 0;
  const VerdictResult v = NvmeVerdict(l);
  EXPECT_EQ(v.verdict, Verdict::Bad);
  EXPECT_EQ(v.reasons, (std::vector<std::string>{
                           "available spare 0% is below its threshold 10%",
                           "18446744073709551616 media and data integrity errors",
                           "percentage used 100%: the drive is near or past its rated endurance"}));
}

std::vector<std::string> Report(int drive, const SmartOptions& o, std::string* title) {
  std::vector<std::string> lines;
  *title = BuildSmartReport(drive, o, [&](const std::string& l) { lines.push_back(l); });
  return lines;
}

TEST(NvmeSmartReport, TakesThePlaceOfTheFailureLinesOnlyOnAnNvmeDisk) {
  std::string error;
  auto m = ParseSimMachine(R"({"disks": [{"size": 1048576},
      {"size": 1048576, "nvme": {"model": "Sim NVMe", "serial": "S1", "firmware": "F1",
                                 "media_errors": 2, "temperature_c": -5,
                                 "error_log_entries": 2}}]})",
                           "", "m.json", &error);
  ASSERT_TRUE(m) << error;
  ScopedPlatform sim(std::move(m));

  SmartOptions o;
  o.identify = true;  // no ATA IDENTIFY report for an NVMe disk
  o.health = true;
  std::string title;
  const std::vector<std::string> nvme = Report(1, o, &title);
  EXPECT_EQ(title, "Sim NVMe F1 S1 ");
  EXPECT_TRUE(FailureLines(nvme).empty());
  // The version and geometry lines stay; the NVMe report follows them.
  const auto at = std::find(nvme.begin(), nvme.end(), "NVMe controller (Identify Controller)");
  ASSERT_NE(at, nvme.end());
  EXPECT_EQ(*(at - 2), "Disk geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY) : ");
  EXPECT_EQ(*(at + 1), "Model number                         : Sim NVMe");
  for (const char* l :
       {"Media and data integrity errors      : 2",
        "Composite temperature                : -5 C (268 K)",
        "Error information log (log 01h)      : 2 of 64 entries hold an error",
        "Verdict                              : CAUTION",
        "Reason                               : 2 media and data integrity errors",
        "Temperature                          : -5 C", "Power-on hours                       : 0"})
    EXPECT_NE(std::find(nvme.begin(), nvme.end(), l), nvme.end()) << l;

  // The disk without NVMe keeps its failure lines.
  const std::vector<std::string> plain = Report(0, SmartOptions{}, &title);
  EXPECT_EQ(title, "   ");
  EXPECT_EQ(plain.back(), "No support SMART");
  EXPECT_EQ(FailureLines(plain).size(), 2u);

  const DriveHealth h = ReadHealth(1);
  EXPECT_EQ(h.protocol, "nvme");
  ASSERT_TRUE(h.read && h.nvme);
  EXPECT_EQ(h.verdict, Verdict::Caution);
  EXPECT_EQ(h.temperatureC, -5);
  EXPECT_FALSE(h.ata);
  const DriveHealth none = ReadHealth(0);
  EXPECT_EQ(none.protocol, "");  // neither ATA nor NVMe answered
  EXPECT_FALSE(none.read);

  // The result of a self-test shows in the health section that the windows
  // print.
  std::string why;
  const Handle handle = OpenNvmeDrive(1, &why);
  ASSERT_NE(handle, kInvalidHandle) << why;
  EXPECT_TRUE(NvmeDeviceSelfTest(handle, kNvmeSelfTestShort, &why)) << why;
  Sys().Close(handle);
  static_cast<SimPlatform&>(sim.get()).AdvanceClock(120'000'000'000LL);
  const std::vector<std::string> after = Report(1, o, &title);
  const auto log = std::find(after.begin(), after.end(), "NVMe self-test log (log 06h)");
  ASSERT_NE(log, after.end());
  EXPECT_GT(log - std::find(after.begin(), after.end(), "Health"), 0);
  ASSERT_GE(after.end() - log, 4);
  EXPECT_EQ(*(log + 1), "Current self-test: none");
  EXPECT_EQ(*(log + 3),
            "  1  Short            Completed without error               "
            "                 -               0  -                     -  -");
}

}  // namespace
}  // namespace dt
