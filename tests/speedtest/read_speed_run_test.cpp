#include "speedtest/read_speed_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <sstream>

#include "ata/tide_smart.h"
#include "base/text.h"
#include "speed_harness.h"

namespace dt {
namespace {

using testing::Harness;
using testing::OneDisk;
using testing::RangeBytes;

constexpr const char* kSteady =
    R"(, "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 0.1})";

class SpeedTestTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNumberFormat(NumberFormat{",", "."}); }
  // Whatever way a test ended, refused, stopped or destroyed, no disk stays
  // held.
  void TearDown() override { EXPECT_FALSE(DiskLease::Taken()); }
};

TEST(BlockSize, DivisorAndSectors) {
  EXPECT_EQ(BlockSizeDivisor(4096), 4576u);
  EXPECT_EQ(BlockSizeDivisor(512), 992u);
  EXPECT_EQ(80026361856 / BlockSizeDivisor(4096), 17488278);
  EXPECT_EQ(BlockSectors(80026361855, 17488278, true), 8u);
  EXPECT_EQ(BlockSectors(80026361855, 80026361856 / BlockSizeDivisor(512), true), 1u);
  EXPECT_EQ(BlockSectors(511999999, 500, false), 1999u);
  EXPECT_EQ(BlockSectors(511999999, 500, true), 1024u);
  // 1 GiB at most; at least one sector with powers of two.
  EXPECT_EQ(BlockSectors(2147483647, 1, false), 2097152u);
  EXPECT_EQ(BlockSectors(1023, 5, true), 1u);
  // No block size: a count that is not positive, or more blocks than sectors.
  EXPECT_EQ(BlockSectors(1023, 5, false), 0u);
  EXPECT_EQ(BlockSectors(511999999, 0, true), 0u);
  EXPECT_EQ(BlockSectors(511999999, -5, true), 0u);
  // Beyond 2 TiB the sector count is not cut to 32 bits.
  EXPECT_EQ(BlockSectors(4000787030015, 500000, false), 15628u);
}

TEST_F(SpeedTestTest, CountOfBlocksWithPowerOfTwoSectors) {
  Harness h(OneDisk(512000000, kSteady));
  ASSERT_EQ(h.Run(), StartResult::Started);
  EXPECT_EQ(h.Label(SpeedLabel::Label4), "BlokSize 512*1024=524,288");
  EXPECT_EQ(h.Label(SpeedLabel::Label7), "Bloks 976");
  EXPECT_EQ(h.Label(SpeedLabel::Label5), "From  0");
  EXPECT_EQ(h.Label(SpeedLabel::Label6), "To    511,999,999");
  EXPECT_EQ(h.Label(SpeedLabel::DiskSz), "488.281 Mb");
  EXPECT_EQ(h.Label(SpeedLabel::Label2), "100.0%");
  EXPECT_EQ(h.Label(SpeedLabel::Label10), "Cur.addr. 512,000,000");

  // 976 whole blocks and a shorter last one, timed with its own length.
  const auto points = h.points.Snapshot();
  ASSERT_EQ(points.size(), 977u);
  const SpeedPoint& last = points.back();
  EXPECT_EQ(last.Ps, 100.0);
  EXPECT_EQ(last.Speed, std::trunc(294912.0 * 1000000.0 / last.Tm));
  const SpeedPoint& first = points.front();
  EXPECT_EQ(first.Speed, std::trunc(524288.0 * 1000000.0 / first.Tm));
  EXPECT_EQ(first.Ps, 0.1);  // 524,288 of 512,000,000 truncated to 0.01 %
  EXPECT_EQ(h.test->LastStats().blocks, 977);
  EXPECT_EQ(h.test->LastStats().bytes, 512000000);
  EXPECT_EQ(h.sim->OpenHandleCount(), 0);
}

TEST_F(SpeedTestTest, CountOfBlocksWithoutPowerOfTwo) {
  Harness h(OneDisk(512000000, kSteady));
  h.settings.CheckBox2 = false;
  h.RecordRequests();
  ASSERT_EQ(h.Run(), StartResult::Started);
  EXPECT_EQ(h.Label(SpeedLabel::Label4), "BlokSize 512*1999=1,023,488");
  EXPECT_EQ(h.Label(SpeedLabel::Label7), "Bloks 500");
  // One read per block: 500 whole blocks and the rest of 256,000 bytes.
  const auto requests = h.Requests();
  ASSERT_EQ(requests.size(), 501u);
  EXPECT_EQ(requests[1], 1023488);
  EXPECT_EQ(requests.back(), 500 * 1023488);
  EXPECT_EQ(h.points.Size(), 501u);
  EXPECT_EQ(h.points.At(500).Speed, std::trunc(256000.0 * 1000000.0 / h.points.At(500).Tm));
}

TEST_F(SpeedTestTest, BlockSizeGivesTheCountOfTheWholeDisk) {
  for (const auto& [edit1, label4] :
       {std::pair<const char*, const char*>{"4096", "BlokSize 512*8=4,096"},
        {"512", "BlokSize 512*1=512"}}) {
    Harness h(OneDisk(80026361856, kSteady));
    h.settings.BlockSizeFlg = true;
    h.settings.Edit1 = edit1;
    h.sim->SetRequestHook([&](int, std::int64_t, bool) { h.test->Stop(); });
    ASSERT_EQ(h.Run(), StartResult::Started);
    EXPECT_EQ(h.Label(SpeedLabel::Label4), label4);
    EXPECT_EQ(h.test->Plan().count, 80026361856 / BlockSizeDivisor(std::stoi(edit1)));
  }
  Harness h(OneDisk(80026361856, kSteady));
  h.settings.BlockSizeFlg = true;
  h.settings.Edit1 = "4096";
  h.sim->SetRequestHook([&](int, std::int64_t, bool) { h.test->Stop(); });
  ASSERT_EQ(h.Run(), StartResult::Started);
  EXPECT_EQ(h.Label(SpeedLabel::Label7), "Bloks 19537685");
}

TEST_F(SpeedTestTest, StopInsideAGigabyteBlock) {
  Harness h(OneDisk(2147483648, kSteady));
  h.settings.Edit1 = "1";
  h.settings.CheckBox2 = false;
  std::vector<std::int64_t> offsets;
  h.sim->SetRequestHook([&](int, std::int64_t offset, bool) {
    offsets.push_back(offset);
    if (offsets.size() == 10) h.test->Stop();
  });
  ASSERT_EQ(h.Run(), StartResult::Started);
  EXPECT_EQ(h.Label(SpeedLabel::Label4), "BlokSize 512*2097152=1,073,741,824");
  EXPECT_EQ(h.Label(SpeedLabel::Label7), "Bloks 1");
  // The run ends after the read under way; the block records no point.
  ASSERT_EQ(offsets.size(), 10u);
  for (std::size_t i = 0; i < offsets.size(); ++i)
    EXPECT_EQ(offsets[i], static_cast<std::int64_t>(i) * 1048576);
  EXPECT_EQ(h.points.Size(), 0u);
  EXPECT_TRUE(h.test->LastStats().stopped);
  EXPECT_FALSE(h.test->Busy());
  EXPECT_EQ(h.view.Calls().back(), "idle");
  EXPECT_EQ(h.sim->OpenHandleCount(), 0);

  // The stop asks for a last refresh; a stopped run does not show the errors.
  h.view.ClearCalls();
  h.test->Timer1Timer();
  EXPECT_EQ(h.view.Calls(), (std::vector<std::string>{"chart", "repaint", "labels"}));
}

TEST_F(SpeedTestTest, ReadErrorLine) {
  Harness h(OneDisk(10485760, std::string(kSteady) + R"(, "unreadable": [[2048, 2048]])"));
  h.settings.Edit1 = "9";  // 1 MiB blocks
  h.settings.ErrMsgEn = true;
  ASSERT_EQ(h.Run(), StartResult::Started);
  EXPECT_EQ(h.Label(SpeedLabel::Label4), "BlokSize 512*2048=1,048,576");
  const std::string expected =
      "1 at 10.0 % 1,048,576 (2,048)  size 1,048,576 (2,048) " + SystemErrorText(kErrCrc);
  EXPECT_EQ(h.errors.Lines(), std::vector<std::string>{expected});
  // The run goes on: every block has its point.
  EXPECT_EQ(h.points.Size(), 10u);
  EXPECT_EQ(h.test->NearErrors(), 1);
  EXPECT_EQ(h.test->FarErrors(), 0);
  EXPECT_EQ(h.notifier.Messages(),
            std::vector<std::string>{"System error (read error):  " + SystemErrorText(kErrCrc)});

  h.view.ClearCalls();
  h.test->Timer1Timer();
  const auto calls = h.view.Calls();
  EXPECT_EQ(calls, (std::vector<std::string>{"chart", "errors window", "label 7 Errors: 0",
                                             "label 1 Errors: 1", "repaint", "labels"}));
  EXPECT_EQ(h.Label(SpeedLabel::Label3), "Errors: 1");
}

TEST_F(SpeedTestTest, MinimalTimeAppliesOnlyWithoutACounter) {
  const std::string fast = R"(, "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 0})";
  {
    // Blocks of 32 KiB take well under 10 ms: without a counter none is timed.
    Harness h(OneDisk(67108864, fast, R"("perf_frequency": 0, )"));
    h.settings.Edit1 = "1024";
    ASSERT_EQ(h.Run(), StartResult::Started);
    EXPECT_EQ(h.Label(SpeedLabel::QRLabel9), "");
    EXPECT_EQ(h.points.Size(), 0u);
    EXPECT_EQ(h.Label(SpeedLabel::Label2), "0%");
  }
  {
    // With the counter every block is timed.
    Harness h(OneDisk(67108864, fast));
    h.settings.Edit1 = "1024";
    ASSERT_EQ(h.Run(), StartResult::Started);
    EXPECT_EQ(h.points.Size(), 2048u);
    EXPECT_EQ(h.points.At(0).Tm, 327);  // 32,768 bytes at 100 MB/s
  }
  {
    // 8 MiB blocks take 84 ms: timed by the tick count, in whole milliseconds.
    Harness h(OneDisk(67108864, fast, R"("perf_frequency": 0, )"));
    h.settings.Edit1 = "4";
    ASSERT_EQ(h.Run(), StartResult::Started);
    ASSERT_EQ(h.points.Size(), 8u);
    for (const SpeedPoint& p : h.points.Snapshot()) {
      EXPECT_EQ(p.Tm % 1000, 0);
      EXPECT_GE(p.Tm, 83000);
      EXPECT_LE(p.Tm, 84000);
      EXPECT_EQ(p.Speed, std::trunc(8388608.0 * 1000000.0 / p.Tm));
    }
  }
  {
    // ... unless the minimal time is longer.
    Harness h(OneDisk(67108864, fast, R"("perf_frequency": 0, )"));
    h.settings.Edit1 = "4";
    h.settings.Edit2 = "84";
    ASSERT_EQ(h.Run(), StartResult::Started);
    EXPECT_EQ(h.points.Size(), 0u);
  }
  {
    // A negative minimal time lets blocks without a measurable time through;
    // they have no speed and record no point.
    Harness h(OneDisk(67108864, fast, R"("perf_frequency": 0, )"));
    h.settings.Edit1 = "1024";
    h.settings.Edit2 = "-1";
    ASSERT_EQ(h.Run(), StartResult::Started);
    for (const SpeedPoint& p : h.points.Snapshot()) {
      EXPECT_GT(p.Tm, 0);
      EXPECT_TRUE(std::isfinite(p.Speed));
    }
  }
}

TEST_F(SpeedTestTest, AlternatingOrderPairsTheEnds) {
  Harness h(OneDisk(10485760, kSteady));
  h.settings.Edit1 = "10";  // 512 KiB blocks, 20 of them
  h.settings.CheckBox3 = true;
  h.RecordRequests();
  ASSERT_EQ(h.Run(), StartResult::Started);
  const auto requests = h.Requests();
  ASSERT_EQ(requests.size(), 40u);
  for (std::int64_t k = 0; k < 20; ++k) {
    EXPECT_EQ(requests[2 * k], 10485760 - (k + 1) * 524288) << k;  // far, read first
    EXPECT_EQ(requests[2 * k + 1], k * 524288) << k;
  }
  EXPECT_EQ(h.test->FarErrors(), 0);
  EXPECT_EQ(h.test->NearErrors(), 0);
  ASSERT_EQ(h.points.Size(), 20u);
  // Two blocks were read in the block's time.
  const SpeedPoint p = h.points.At(3);
  EXPECT_EQ(p.Speed, 2 * std::trunc(524288.0 * 1000000.0 / p.Tm));
  EXPECT_EQ(h.test->LastStats().bytes, 2 * 10485760);
}

TEST_F(SpeedTestTest, AlternatingOrderStaysInsideAPartialRange) {
  Harness h(OneDisk(10485760, kSteady));
  h.settings.Edit1 = "3";
  h.settings.CheckBox2 = false;
  h.settings.CheckBox3 = true;
  h.dialog.script = RangeBytes(1048576, 2686975);
  h.RecordRequests();
  ASSERT_EQ(h.Run(), StartResult::Started);
  EXPECT_EQ(h.test->Plan().blockBytes, 545792u);
  // Begin - End, Begin+1 - End-1, ..., End - Begin; the short last block
  // pairs with the range's first bytes.
  EXPECT_EQ(h.Requests(), (std::vector<std::int64_t>{2141184, 1048576, 1595392, 1594368, 1049600,
                                                     2140160, 1048576, 2685952}));
  EXPECT_EQ(h.Label(SpeedLabel::Label10), "Addr. 2,686,976<->1,048,576");
  EXPECT_EQ(h.test->FarErrors(), 0);
}

TEST_F(SpeedTestTest, BlockSizeThatCannotBeFormedIsRefused) {
  {
    Harness h(OneDisk(10485760, kSteady));
    h.settings.Edit1 = "0";
    EXPECT_EQ(h.Start(), StartResult::NoBlockSize);
    EXPECT_EQ(h.notifier.Messages(),
              std::vector<std::string>{"Read speed test: No block size can be formed: the block "
                                       "count is 0. Give a block count of at least 1."});
    EXPECT_EQ(h.dialog.shown, 0);
    EXPECT_EQ(h.sim->OpenHandleCount(), 0);
    EXPECT_FALSE(h.test->Busy());
  }
  {
    Harness h(OneDisk(10485760, kSteady));
    h.settings.BlockSizeFlg = true;
    h.settings.Edit1 = "20000000";
    EXPECT_EQ(h.Start(), StartResult::NoBlockSize);
    ASSERT_EQ(h.notifier.Messages().size(), 1u);
    EXPECT_EQ(h.sim->OpenHandleCount(), 0);
  }
  {
    // More blocks than sectors in the range without powers of two.
    Harness h(OneDisk(10485760, kSteady));
    h.settings.Edit1 = "3000";
    h.settings.CheckBox2 = false;
    h.dialog.script = RangeBytes(0, 1048575);
    EXPECT_EQ(h.Start(), StartResult::NoBlockSize);
    EXPECT_EQ(h.dialog.shown, 1);
    EXPECT_EQ(h.notifier.Messages(),
              std::vector<std::string>{
                  "Read speed test: No block size can be formed: 3000 blocks are more than the "
                  "2047 whole sectors of the range. Choose fewer blocks or a longer range, or "
                  "check \"Bloksize 2**x\"."});
    EXPECT_EQ(h.sim->OpenHandleCount(), 0);
    EXPECT_FALSE(h.test->Busy());
    const auto calls = h.view.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "running"), 0);
  }
}

TEST_F(SpeedTestTest, SecondStartWhileRunningIsRefused) {
  Harness h(OneDisk(10485760, kSteady));
  h.settings.Edit1 = "10";
  std::promise<void> reached, release;
  auto released = release.get_future().share();
  bool first = true;
  h.sim->SetRequestHook([&](int, std::int64_t, bool) {
    if (!first) return;
    first = false;
    reached.set_value();
    released.wait();
  });
  ASSERT_EQ(h.Start(), StartResult::Started);
  reached.get_future().wait();
  const int open = h.sim->OpenHandleCount();

  SpeedSettings other = h.settings;
  other.Edit1 = "3";
  EXPECT_EQ(h.test->Start(other), StartResult::Busy);
  EXPECT_EQ(h.notifier.Messages(),
            std::vector<std::string>{std::string("Read speed test: ") + SpeedTest::BusyText()});
  EXPECT_EQ(h.sim->OpenHandleCount(), open);
  EXPECT_EQ(h.dialog.shown, 1);

  release.set_value();
  ASSERT_TRUE(h.view.WaitIdle());
  EXPECT_EQ(h.points.Size(), 20u);  // the run went on as it was
  EXPECT_EQ(h.test->Plan().blockBytes, 524288u);
}

TEST_F(SpeedTestTest, StartWhileAnotherTestHoldsTheDiskIsRefused) {
  Harness h(OneDisk(10485760, kSteady));
  DiskLease other = DiskLease::Take();
  ASSERT_TRUE(other);
  EXPECT_EQ(h.Start(), StartResult::Busy);
  EXPECT_EQ(h.notifier.Messages(),
            std::vector<std::string>{std::string("Read speed test: ") + DiskLease::InUseText()});
  EXPECT_EQ(h.dialog.shown, 0);
  EXPECT_EQ(h.sim->OpenHandleCount(), 0);
  other.Release();
  EXPECT_EQ(h.Start(), StartResult::Started);  // the lease given up, the disk is free
  ASSERT_TRUE(h.view.WaitIdle());
}

TEST_F(SpeedTestTest, StopRightAfterStartReturnsToIdle) {
  for (int i = 0; i < 20; ++i) {
    Harness h(OneDisk(10485760, kSteady));
    ASSERT_EQ(h.test->Button1Click(h.settings), StartResult::Started);
    EXPECT_EQ(h.test->Button1Click(h.settings), StartResult::Stopped);
    ASSERT_TRUE(h.view.WaitIdle());
    EXPECT_FALSE(h.test->Busy());
    EXPECT_EQ(h.sim->OpenHandleCount(), 0);
  }
}

// Destroying the test while a run reads stops the run, waits for the worker
// and closes the disk; the end-of-run step of a destroyed test never runs.
TEST_F(SpeedTestTest, DestroyedWhileARunReads) {
  Harness h(OneDisk(10737418240, kSteady));
  h.settings.Edit1 = "1000";
  std::promise<void> reached;
  std::mutex mu;
  std::condition_variable cv;
  bool destroying = false;
  int reads = 0;
  h.sim->SetRequestHook([&](int, std::int64_t, bool) {
    std::unique_lock<std::mutex> lock(mu);
    if (++reads != 2) return;
    reached.set_value();
    cv.wait(lock, [&] { return destroying; });
  });
  ASSERT_EQ(h.Start(), StartResult::Started);
  reached.get_future().wait();
  h.view.ClearCalls();
  {
    std::lock_guard<std::mutex> lock(mu);
    destroying = true;
  }
  cv.notify_all();
  h.test.reset();
  EXPECT_EQ(h.sim->OpenHandleCount(), 0);
  const std::vector<std::string> calls = h.view.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "idle"), 0);
  std::lock_guard<std::mutex> lock(mu);
  EXPECT_LT(reads, 1000);  // the run did not go on to its end
}

TEST_F(SpeedTestTest, NothingStartsOnBadInput) {
  Harness h(OneDisk(10485760, kSteady));
  h.settings.Edit1 = "abc";
  EXPECT_EQ(h.Start(), StartResult::BadNumber);
  h.settings.Edit1 = "500";
  h.settings.Edit2 = "1.5";
  EXPECT_EQ(h.Start(), StartResult::BadNumber);
  EXPECT_EQ(h.notifier.Messages(),
            (std::vector<std::string>{"Error: 'abc' is not a valid integer value",
                                      "Error: '1.5' is not a valid integer value"}));
  h.settings.Edit2 = "10";
  h.dialog.script = [](RangeModel& m) {
    m.Edit1 = "4096";
    m.Edit1Exit();
    m.Button2Click();
  };
  EXPECT_EQ(h.Start(), StartResult::RangeCancelled);
  h.settings.drive = DriveRef::OfDrive("Z");
  EXPECT_EQ(h.Start(), StartResult::OpenFailed);
  EXPECT_EQ(h.notifier.Messages().back(),
            "System error Cannot open \\\\.\\Z: for read:  " + SystemErrorText(kErrNotFound));
  EXPECT_EQ(h.sim->OpenHandleCount(), 0);
  EXPECT_FALSE(h.test->Busy());
  const auto calls = h.view.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "running"), 0);
}

TEST_F(SpeedTestTest, PhysicalModeTitlesCarryTheIdentity) {
  Harness h(R"({"perf_frequency": 2000000000, "disks": [{"size": 1073741824,
      "capture": "builtin:st9100821as"}]})");
  h.settings.drive = DriveRef::OfDisk(0);
  h.sim->SetRequestHook([&](int, std::int64_t, bool) { h.test->Stop(); });
  ASSERT_EQ(h.Run(), StartResult::Started);
  TIDE_SMART smart;
  ASSERT_TRUE(smart.OpenDrive(0));
  const std::string model = CleanText(smart.GetModel());
  ASSERT_NE(model.find("ST9100821AS"), std::string::npos);
  EXPECT_EQ(h.Label(SpeedLabel::QRLabel9), "CPU 2,000.00 MHz  " + model +
                                               "  Firmware: " + CleanText(smart.GetFirmware()) +
                                               "  Serial: " + CleanText(smart.GetSerial()));
  smart.CloseDrive();
  // The physical size is the geometry's: whole cylinders.
  EXPECT_EQ(h.test->Plan().diskSize, PhysicalDiskSize(0));
  EXPECT_EQ(h.test->ReportLabels(h.settings)[8], "Disk HDD0: ");
}

// Only a counter that counts processor cycles puts a processor clock into
// the report title; timer chips and clocks in fixed units do not.
TEST_F(SpeedTestTest, TitleNamesTheProcessorClockOnlyWhereTheCounterIsOne) {
  const std::pair<const char*, const char*> cases[] = {
      {R"("perf_frequency": 2793050000, )", "CPU 2,793.05 MHz  "},  // time-stamp counter
      {R"("perf_frequency": 3579545, )", ""},                       // ACPI power-management timer
      {R"("perf_frequency": 10000000, )", ""},                      // Windows since 10
      {R"("perf_frequency": 1000000000, "perf_cpu_clock": false, )", ""},  // nanoseconds
  };
  for (const auto& [top, title] : cases) {
    SCOPED_TRACE(top);
    Harness h(OneDisk(1048576, kSteady, top));
    h.settings.Edit1 = "2";
    ASSERT_EQ(h.Run(), StartResult::Started);
    EXPECT_EQ(h.Label(SpeedLabel::QRLabel9), title);
    EXPECT_EQ(h.test->ReportLabels(h.settings)[9], title);
  }
#ifndef _WIN32
  // The host counter is CLOCK_MONOTONIC in nanoseconds: a run of a file on
  // the real machine names no processor clock.
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("dt_speed_title_" + std::to_string(std::random_device{}()) + ".img");
  std::ofstream(file, std::ios::binary) << std::string(1048576, 'x');
  {
    Harness h(OneDisk(1048576));
    const ScopedPlatform host(MakeHostPlatform());
    h.settings.devicePath = file.string();
    h.settings.Edit1 = "2";
    EXPECT_EQ(h.Run(), StartResult::Started);
    EXPECT_EQ(h.Label(SpeedLabel::QRLabel9), "");
  }
  std::filesystem::remove(file);
#endif
}

TEST_F(SpeedTestTest, ProgressInMegabytesAndForceZero) {
  Harness h(OneDisk(10485760, kSteady));
  h.settings.Edit1 = "9";
  h.settings.PercentFlg = false;
  h.settings.CheckBox4 = true;
  ASSERT_EQ(h.Run(), StartResult::Started);
  const auto points = h.points.Snapshot();
  ASSERT_EQ(points.size(), 11u);
  EXPECT_EQ(points[0].Tm, 0);
  EXPECT_EQ(points[0].Ps, 0.0);
  EXPECT_EQ(points[0].Speed, 0.0);
  EXPECT_EQ(points[1].Ps, 1.0);
  EXPECT_EQ(points[10].Ps, 10.0);
  EXPECT_EQ(h.Label(SpeedLabel::Label2), "10.0Mb");
  EXPECT_EQ(h.test->LastStats().blocks, 10);
}

TEST_F(SpeedTestTest, RealTimeLabelsAndChartRequests) {
  Harness h(OneDisk(10485760, kSteady));
  h.settings.Edit1 = "9";
  ASSERT_EQ(h.Run(), StartResult::Started);
  EXPECT_EQ(h.view.TimeTexts(), 10);
  EXPECT_EQ(h.Label(SpeedLabel::ElTime), "Time 00:00:00 (00:00:00)");
  EXPECT_TRUE(h.test->LabelsDirty.load());

  Harness quiet(OneDisk(10485760, kSteady));
  quiet.settings.Edit1 = "9";
  quiet.settings.CheckBox1 = false;
  ASSERT_EQ(quiet.Run(), StartResult::Started);
  EXPECT_EQ(quiet.view.TimeTexts(), 0);
  EXPECT_FALSE(quiet.test->LabelsDirty.load());
  EXPECT_FALSE(quiet.test->RepaintForm.load());
  // The chart is still refreshed at the end.
  EXPECT_TRUE(quiet.test->ChartDirty.load());
}

TEST_F(SpeedTestTest, TimeTextShowsElapsedAndRemaining) {
  // Blocks of 10,485,248 bytes at 10 MB/s take 1.05 s each.
  Harness h(
      OneDisk(104857600, R"(, "speed": {"start_mbps": 10, "end_mbps": 10, "latency_ms": 0})"));
  h.settings.Edit1 = "10";
  h.settings.CheckBox2 = false;
  ASSERT_EQ(h.Run(), StartResult::Started);
  std::vector<std::string> times;
  for (const std::string& c : h.view.Calls())
    if (c.rfind("label 9 ", 0) == 0) times.push_back(c.substr(8));
  ASSERT_EQ(times.size(), 11u);
  EXPECT_EQ(times[0], "Time 00:00:01 (00:00:09)");
  EXPECT_EQ(times[4], "Time 00:00:05 (00:00:05)");
  EXPECT_EQ(times[10], "Time 00:00:10 (00:00:00)");
}

TEST_F(SpeedTestTest, ReportLabels) {
  Harness h(OneDisk(10485760, kSteady));
  auto q = h.test->ReportLabels(h.settings);
  EXPECT_EQ(std::vector<std::string>(q.begin() + 1, q.end()),
            (std::vector<std::string>{"BlokSize", "Blocks", "Errors: 0", "Disk Size Unknow ",
                                      "Minimal time 10 ms", "From", "to", "Disk C: ", ""}));
  h.settings.Edit1 = "9";
  ASSERT_EQ(h.Run(), StartResult::Started);
  q = h.test->ReportLabels(h.settings);
  EXPECT_EQ(std::vector<std::string>(q.begin() + 1, q.end()),
            (std::vector<std::string>{"BlokSize 512*2048=1,048,576", "Bloks 9", "Errors: 0",
                                      "Disk Size 10.000 Mb", "Minimal time 10 ms", "From  0",
                                      "To    10,485,759", "Disk C: ", ""}));
}

TEST(PointTable, KeepsPointsSmallAndWritesCsv) {
  PointTable t;
  t.Append({0, 0.0, 0.0});
  t.Append({5242, 0.1, 100008392});
  t.Append({70, 1.25, 3.5e9});
  std::ostringstream csv;
  WritePointsCsv(csv, t);
  EXPECT_EQ(csv.str(), "Tm,Ps,Speed\n0,0,0\n5242,0.1,100008392\n70,1.25,3500000000\n");
  std::vector<SpeedPoint> tail;
  t.CopyFrom(1, &tail);
  ASSERT_EQ(tail.size(), 2u);
  EXPECT_EQ(tail[1].Tm, 70);
  t.Clear();
  EXPECT_EQ(t.Size(), 0u);
}

}  // namespace
}  // namespace dt
