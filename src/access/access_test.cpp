#include "access/access_test.h"

#include <algorithm>
#include <limits>

#include "base/notify.h"
#include "base/text.h"
#include "device/device.h"
#include "platform/platform.h"

namespace dt {

namespace {

constexpr const char* kCaption = "Random access";
// Reads per size kept for the scatter.
constexpr std::size_t kScatterSamples = 4000;

std::string Milliseconds(double ns) { return NumberText(ns / 1e6, 8, 2) + " ms"; }

std::string Trimmed(std::string s) {
  s.erase(0, s.find_first_not_of(' '));
  return s;
}

}  // namespace

// Remembers how far the run is; Stop reaches the run through RandomAccessRun.
class AccessTest::Progress : public AccessProgress {
 public:
  Progress(std::atomic<int>& percent, std::size_t sizes) : percent_(percent), sizes_(sizes) {}
  void OnProgress(std::size_t index, std::uint64_t, double fraction) override {
    const double whole = (static_cast<double>(index) + fraction) / static_cast<double>(sizes_);
    percent_.store(static_cast<int>(std::clamp(whole, 0.0, 1.0) * 1000.0));
  }

 private:
  std::atomic<int>& percent_;
  std::size_t sizes_;
};

AccessTest::AccessTest(SpeedView& view, ErrorLines& errors, PointTable* points)
    : view_(view), errors_(errors), points_(points) {}

AccessTest::~AccessTest() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

StartResult AccessTest::Button1Click(const SpeedSettings& s, std::uint64_t seed) {
  if (busy_.load()) {
    Stop();
    return StartResult::Stopped;
  }
  // The read-speed test or a surface test may hold the disk.
  DiskLease lease = DiskLease::Take();
  if (!lease) {
    Notify().ShowMessage(kCaption, SpeedTest::BusyText());
    return StartResult::Busy;
  }
  const std::string path = s.devicePath.empty() ? DeviceName(s.drive) : s.devicePath;
  Disk disk = OpenDiskAt(path, false);
  if (!disk.IsOpen()) return StartResult::OpenFailed;
  if (thread_.joinable()) thread_.join();

  settings_ = AccessSettings{};
  settings_.path = path;
  settings_.seed = seed;
  settings_.keepSamples = kScatterSamples;
  result_ = AccessResult{};
  failure_.clear();
  ok_ = false;
  showsScatter_ = false;
  percent_.store(0);
  done_.store(false);
  errors_.Clear();
  if (points_) points_->Clear();
  SetLabel(SpeedLabel::Label3, "Errors: 0");
  SetLabel(SpeedLabel::Label2, Trimmed(NumberText(0.0, 4, 1)) + "%");
  startTick_ = Sys().TickCount();
  disk_ = std::move(disk);
  lease_ = std::move(lease);
  busy_.store(true);
  view_.SetRunning(true);
  run_ = std::make_unique<RandomAccessRun>();
  thread_ = std::thread([this] {
    Progress progress(percent_, settings_.sizes.size());
    ok_ = run_->Run(settings_, &result_, &failure_, &progress);
    done_.store(true);
  });
  return StartResult::Started;
}

void AccessTest::Timer1Timer() {
  if (!busy_.load()) return;
  if (done_.load()) {
    Finish();
    return;
  }
  const double part = percent_.load() / 10.0;
  const std::int64_t elapsed = (Sys().TickCount() - static_cast<std::uint32_t>(startTick_)) / 1000;
  const std::int64_t left =
      part > 0 ? static_cast<std::int64_t>(static_cast<double>(elapsed) * (100.0 - part) / part) : 0;
  auto clamp = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(v, std::numeric_limits<std::int32_t>::max()));
  };
  SetLabel(SpeedLabel::Label2, Trimmed(NumberText(part, 4, 1)) + "%");
  SetLabel(SpeedLabel::ElTime,
           "Time " + DurationText(clamp(elapsed)) + " (" + DurationText(clamp(left)) + ")");
  view_.RepaintLabels();
}

void AccessTest::Finish() {
  thread_.join();
  disk_.handle.Reset();
  lease_.Release();
  if (!ok_) {
    busy_.store(false);
    view_.SetRunning(false);
    Notify().ShowMessage(kCaption, failure_);
    return;
  }
  for (const AccessError& e : result_.errors) {
    const double size = static_cast<double>(std::max<std::int64_t>(result_.diskSize, 1));
    errors_.AppendLine(NumberText(static_cast<double>(e.position) * 100.0 / size, 5, 1) + " % " +
                       NumberText(static_cast<double>(e.position), 14, 0) + " size " +
                       GroupedNumber(e.size) + " " +
                       (e.code ? SystemErrorText(e.code) : std::string("short read")));
  }
  std::uint64_t failed = 0;
  for (const AccessSizeResult& r : result_.sizes) failed += r.errors;
  SetLabel(SpeedLabel::Label3, "Errors: " + std::to_string(failed));
  SetLabel(SpeedLabel::Label2, result_.stopped ? "Stopped" : "100.0%");
  for (const auto& [label, text] : ResultLabels(result_)) SetLabel(label, text);
  showsScatter_ = true;
  busy_.store(false);
  view_.SetRunning(false);
  view_.RefreshChart();
  if (failed > 0) view_.ShowErrorsList();
}

std::vector<std::pair<SpeedLabel, std::string>> AccessTest::ResultLabels(const AccessResult& r) {
  std::vector<std::pair<SpeedLabel, std::string>> out = {
      {SpeedLabel::Label5, "From  " + NumberText(static_cast<double>(r.rangeStart), 13, 0)},
      {SpeedLabel::Label6, "To    " + NumberText(static_cast<double>(r.rangeEnd), 13, 0)},
      {SpeedLabel::DiskSz, NumberText(static_cast<double>(r.diskSize) / 1048576.0, 13, 3) + " Mb"},
  };
  // One line per size, in the labels that the read-speed test uses for its
  // block size, block count, address and time.
  const SpeedLabel perSize[] = {SpeedLabel::Label4, SpeedLabel::Label7, SpeedLabel::Label10,
                                SpeedLabel::ElTime};
  for (std::size_t i = 0; i < r.sizes.size() && i < std::size(perSize); ++i) {
    const AccessSizeResult& s = r.sizes[i];
    out.push_back({perSize[i], AccessSizeText(s.size) + " " +
                                   Trimmed(NumberText(s.Iops(), 10, 0)) + "/s " +
                                   Trimmed(Milliseconds(s.latency.Mean()))});
  }
  if (!r.sizes.empty() && r.sizes.front().count > 0)
    out.push_back({SpeedLabel::Label11,
                   "Access " + Trimmed(Milliseconds(r.sizes.front().latency.Mean()))});
  return out;
}

StartResult MainButton1Click(SpeedTest& speed, AccessTest& access, const SpeedSettings& s,
                             std::uint64_t seed) {
  if (access.Busy()) return access.Button1Click(s, seed);
  if (!speed.Busy() && s.RandomAccess) return access.Button1Click(s, seed);
  if (!speed.Busy()) access.HideScatter();
  return speed.Button1Click(s);
}

ScatterImage AccessTest::Scatter(int width, int height) const {
  return DrawAccessScatter(result_, width, height);
}

}  // namespace dt
