// The main window's random access mode on the simulated machine, whose disk
// needs a known time for every read: the labels give that time, Stop ends a
// run early, and the disk is held only while the run goes.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "access/access_test.h"
#include "device/device.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

// 8 ms to reach a place, 0.5 ms per request, 100 MB/s: a 512-byte read takes
// 8,505,120 ns, a 1 MiB read 8.5 ms + 10,485.76 us = 18,985,760 ns.
constexpr const char* kDisk = R"({"perf_frequency": 1000000000, "disks": [{"size": 1073741824,
  "access_ms": 8, "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 0.5}}]})";

class RecordingView : public SpeedView {
 public:
  std::map<SpeedLabel, std::string> labels;
  bool running = false;
  int chartRefreshes = 0;
  void SetLabel(SpeedLabel which, const std::string& text) override { labels[which] = text; }
  void SetRunning(bool r) override { running = r; }
  void RefreshChart() override { ++chartRefreshes; }
  void ShowErrorsList() override {}
  void RepaintForm() override {}
  void RepaintLabels() override {}
};

struct Window {
  std::unique_ptr<ScopedPlatform> platform;
  RecordingView view;
  MemoryErrorLines errors;
  AccessTest test{view, errors};
  Window() {
    std::string error;
    auto m = ParseSimMachine(kDisk, "", "test machine", &error);
    EXPECT_TRUE(m) << error;
    platform = std::make_unique<ScopedPlatform>(std::move(m));
  }
  StartResult Start() {
    SpeedSettings s;
    s.RandomAccess = true;
    s.devicePath = "\\\\.\\PHYSICALDRIVE0";
    return test.Button1Click(s, 7);
  }
  // The main window's timer until the run has ended (60 s at the most).
  void RunToEnd() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (test.Busy() && std::chrono::steady_clock::now() < deadline) {
      test.Timer1Timer();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(test.Busy());
  }
};

TEST(AccessWindow, TheLabelsGiveTheDisksAccessTimeAndTheRunHoldsTheDiskMeanwhile) {
  Window w;
  ASSERT_EQ(w.Start(), StartResult::Started);
  EXPECT_TRUE(w.view.running);
  EXPECT_TRUE(DiskLease::Taken());  // no second test takes the disk
  w.RunToEnd();
  EXPECT_FALSE(w.view.running);
  EXPECT_FALSE(DiskLease::Taken());
  EXPECT_TRUE(w.test.ShowsScatter());
  EXPECT_GE(w.view.chartRefreshes, 1);
  // 5 simulated seconds per size: reads per second and mean latency follow
  // from the disk's times (the histogram is exact to 0.8 %).
  EXPECT_EQ(w.view.labels[SpeedLabel::Label5], "From  0");
  EXPECT_EQ(w.view.labels[SpeedLabel::Label6], "To    1,073,741,823");
  EXPECT_EQ(w.view.labels[SpeedLabel::Label3], "Errors: 0");
  EXPECT_EQ(w.view.labels[SpeedLabel::Label11], "Access 8.51 ms");
  EXPECT_EQ(w.view.labels[SpeedLabel::Label4], "512 B 118/s 8.51 ms");
  EXPECT_EQ(w.view.labels[SpeedLabel::ElTime], "1 MiB 53/s 18.99 ms");
  ASSERT_EQ(w.test.Result().sizes.size(), 4u);
  EXPECT_NEAR(w.test.Result().sizes[0].Iops(), 1e9 / 8505120.0, 0.5);
}

TEST(AccessWindow, StopEndsTheRunEarly) {
  Window w;
  ASSERT_EQ(w.Start(), StartResult::Started);
  SpeedSettings s;
  EXPECT_EQ(w.test.Button1Click(s, 7), StartResult::Stopped);  // "Stop"
  w.RunToEnd();
  EXPECT_TRUE(w.test.Result().stopped);
  EXPECT_EQ(w.view.labels[SpeedLabel::Label2], "Stopped");
  std::uint64_t reads = 0;
  for (const AccessSizeResult& r : w.test.Result().sizes) reads += r.count;
  EXPECT_LT(reads, 588u * 4);  // a whole run reads 5 s of every size
  EXPECT_FALSE(DiskLease::Taken());
}

}  // namespace
}  // namespace dt
