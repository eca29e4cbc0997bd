// The main window's random access mode, without a toolkit: with "Random
// access" checked, Start runs the random access test on the chosen drive
// (queue depth 1, the default request sizes, 5 seconds each) instead of the
// read-speed test. It reads only (the disk opens for reading alone), shows
// its progress and results in the status labels, hands its failed reads to
// the errors window and its reads to the chart as a scatter; Start reads
// "Stop" while it runs, and Stop ends it within one read.
//
// The run holds the disk and the disk lease, as the read-speed test does, so
// that neither test nor the surface test takes it meanwhile. Everything but
// the run itself happens on the main thread: Timer1Timer (the main window's
// 100 ms timer) shows the progress and, once the run has ended, its results.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "access/access_scatter.h"
#include "access/random_access_run.h"
#include "device/disk.h"
#include "speedtest/read_speed_run.h"

namespace dt {

class AccessTest {
 public:
  // `points` is the read-speed test's table: a run empties it, so that the
  // speed chart and the printed speed reports show no earlier curve.
  AccessTest(SpeedView& view, ErrorLines& errors, PointTable* points = nullptr);
  // Stops a run under way and waits for its end.
  ~AccessTest();
  AccessTest(const AccessTest&) = delete;
  AccessTest& operator=(const AccessTest&) = delete;

  // Start when idle, Stop while running. `seed` chooses the places (a new
  // one for every run in the windows).
  StartResult Button1Click(const SpeedSettings& s, std::uint64_t seed);
  void Stop() {
    if (run_) run_->Stop();
  }
  // From Start until Timer1Timer has shown the end of the run.
  bool Busy() const { return busy_.load(); }
  // Shows the progress, and the results once the run has ended.
  void Timer1Timer();

  // True when the chart shows this test's scatter (from the end of a run
  // until the read-speed test starts).
  bool ShowsScatter() const { return showsScatter_; }
  void HideScatter() {
    if (!showsScatter_) return;
    showsScatter_ = false;
    view_.RefreshChart();
  }
  // The scatter of the last run for a chart of the given pixels.
  ScatterImage Scatter(int width, int height) const;
  // The last run's results (main thread, after its end).
  const AccessResult& Result() const { return result_; }

  // The texts of a finished run, by label: the range, the average access
  // time of the smallest size, and per size its reads per second and mean
  // latency.
  static std::vector<std::pair<SpeedLabel, std::string>> ResultLabels(const AccessResult& r);

 private:
  class Progress;
  void SetLabel(SpeedLabel which, const std::string& text) { view_.SetLabel(which, text); }
  void Finish();

  SpeedView& view_;
  ErrorLines& errors_;
  PointTable* points_;
  std::unique_ptr<RandomAccessRun> run_;  // one per run: a stopped run stays stopped
  AccessSettings settings_;
  AccessResult result_;
  std::string failure_;
  bool ok_ = false;
  bool showsScatter_ = false;
  std::int64_t startTick_ = 0;
  Disk disk_;  // held from Start to the end of the run, with the lease
  DiskLease lease_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> done_{false};
  std::atomic<int> percent_{0};
  std::thread thread_;
};

// The main window's "Start" / "Stop" button over both tests: Stop of the
// test that runs; otherwise the random access test when its box is ticked,
// else the read-speed test (which hides the last scatter).
StartResult MainButton1Click(SpeedTest& speed, AccessTest& access, const SpeedSettings& s,
                             std::uint64_t seed);
// True while either test holds the disk (a second test is then refused).
inline bool MainTestBusy(const SpeedTest& speed, const AccessTest& access) {
  return speed.Busy() || access.Busy();
}

}  // namespace dt
