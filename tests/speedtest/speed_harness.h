// A simulated machine with one read-speed test wired to recording fakes:
// the view keeps every label text and button change, the notifier every
// message box, the range dialog runs a scripted function on the model.
// Steps of the worker run at once on the worker thread (DirectMainThread);
// the time is the simulated machine's virtual clock, so nothing sleeps.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/notify.h"
#include "platform/sim/sim_platform.h"
#include "speedtest/read_speed_run.h"

namespace dt::testing {

class RecordingView : public SpeedView {
 public:
  void SetLabel(SpeedLabel which, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mu_);
    calls_.push_back("label " + std::to_string(static_cast<int>(which)) + " " + text);
    if (which == SpeedLabel::ElTime) ++timeTexts_;
  }
  void SetRunning(bool running) override {
    std::lock_guard<std::mutex> lock(mu_);
    calls_.push_back(running ? "running" : "idle");
    running_ = running;
    cv_.notify_all();
  }
  void RefreshChart() override { Record("chart"); }
  void ShowErrorsList() override { Record("errors window"); }
  void RepaintForm() override { Record("repaint"); }
  void RepaintLabels() override { Record("labels"); }

  bool WaitIdle(std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, limit, [&] { return !running_; });
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mu_);
    return calls_;
  }
  void ClearCalls() {
    std::lock_guard<std::mutex> lock(mu_);
    calls_.clear();
  }
  int TimeTexts() {
    std::lock_guard<std::mutex> lock(mu_);
    return timeTexts_;
  }

 private:
  void Record(const char* what) {
    std::lock_guard<std::mutex> lock(mu_);
    calls_.push_back(what);
  }
  std::mutex mu_;
  std::condition_variable cv_;
  bool running_ = false;
  std::vector<std::string> calls_;
  int timeTexts_ = 0;
};

class RecordingNotifier : public Notifier {
 public:
  RecordingNotifier() { SetNotifier(this); }
  ~RecordingNotifier() override { SetNotifier(nullptr); }
  void ShowMessage(const std::string& caption, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mu_);
    messages.push_back(caption + ": " + text);
  }
  bool Confirm(const std::string&, const std::string&) override { return false; }
  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> lock(mu_);
    return messages;
  }

 private:
  std::mutex mu_;
  std::vector<std::string> messages;
};

class ScriptedRangeDialog : public RangeDialog {
 public:
  // By default "Ok" on the whole disk.
  std::function<void(RangeModel&)> script = [](RangeModel& m) { m.Button1Click(); };
  int shown = 0;
  void ShowModal(RangeModel& model) override {
    ++shown;
    model.FormShow();
    script(model);
  }
};

// The range dialog script for bytes From and To.
inline std::function<void(RangeModel&)> RangeBytes(std::int64_t from, std::int64_t to) {
  return [=](RangeModel& m) {
    m.Edit1 = std::to_string(from);
    m.Edit1Exit();
    m.Edit3 = std::to_string(to);
    m.Edit3Exit();
    m.Button1Click();
  };
}

struct Harness {
  // `json`: a simulated machine; volume "C" is what logical mode tests.
  explicit Harness(const std::string& json) {
    std::string error;
    auto m = ParseSimMachine(json, "", "test machine", &error);
    EXPECT_TRUE(m) << error;
    sim = m.get();
    platform = std::make_unique<ScopedPlatform>(std::move(m));
    test = std::make_unique<SpeedTest>(view, errors, dialog, main, points);
    settings.drive = DriveRef::OfDrive("C");
  }
  ~Harness() {
    test.reset();
    platform.reset();
  }

  StartResult Start() { return test->Start(settings); }
  // Starts and waits until the end-of-run step has run.
  StartResult Run() {
    const StartResult r = Start();
    if (r == StartResult::Started) {
      EXPECT_TRUE(view.WaitIdle());
    }
    return r;
  }
  const std::string& Label(SpeedLabel l) const { return test->Label(l); }

  // The offset of every read request, in order.
  void RecordRequests() {
    sim->SetRequestHook([this](int, std::int64_t offset, bool) {
      std::lock_guard<std::mutex> lock(requestMu);
      requests.push_back(offset);
    });
  }
  std::vector<std::int64_t> Requests() {
    std::lock_guard<std::mutex> lock(requestMu);
    return requests;
  }

  RecordingNotifier notifier;
  SimPlatform* sim = nullptr;
  std::unique_ptr<ScopedPlatform> platform;
  RecordingView view;
  MemoryErrorLines errors;
  ScriptedRangeDialog dialog;
  DirectMainThread main;
  PointTable points;
  SpeedSettings settings;
  std::unique_ptr<SpeedTest> test;
  std::mutex requestMu;
  std::vector<std::int64_t> requests;
};

// A machine with one disk of `size` bytes and volume "C" covering it.
inline std::string OneDisk(std::int64_t size, const std::string& diskExtra = "",
                           const std::string& top = "") {
  return "{" + top + R"("disks": [{"size": )" + std::to_string(size) + diskExtra +
         R"(}], "volumes": [{"name": "C", "label": "", "fs": "NTFS", "disk": 0, "offset": 0, "size": )" +
         std::to_string(size) + "}]}";
}

}  // namespace dt::testing
