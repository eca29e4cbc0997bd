// Test rig of the surface tests: a simulated machine behind a wrapper that
// records every request and can fail chosen reads or refuse write opens, an
// engine whose steps are recorded, and a notifier that records questions.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/notify.h"
#include "base/worker.h"
#include "platform/platform.h"
#include "platform/platform_wrapper.h"
#include "platform/sim/sim_platform.h"
#include "surface/surface_engine.h"

namespace dt::surface::test {

struct Request {
  bool write = false;
  std::int64_t offset = 0;
  std::uint32_t len = 0;
  std::vector<std::uint8_t> data;  // what a write carried
};

// Forwards everything to a simulated machine and records the requests.
class WrapPlatform : public PlatformWrapper {
 public:
  explicit WrapPlatform(std::unique_ptr<SimPlatform> inner)
      : PlatformWrapper(std::move(inner)) {}
  SimPlatform& Inner() { return static_cast<SimPlatform&>(target()); }

  // Fails a read (with the CRC error) when it returns true.
  std::function<bool(std::int64_t offset, std::uint32_t len)> failRead;
  // Called after every read or write request.
  std::function<void(const Request&)> onRequest;
  // Opens for writing fail with access denied.
  bool refuseWriteOpen = false;
  // Opens for writing asked for, refused or not.
  std::atomic<int> writeOpens{0};
  // The device that DeviceInUse names in use.
  std::string inUse;

  std::vector<Request> Requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return requests_;
  }
  void ClearRequests() {
    std::lock_guard<std::mutex> lock(mu_);
    requests_.clear();
  }

  std::string Name() const override { return "wrap"; }
  Handle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override {
    if ((access & kGenericWrite) && !(flags & kFlagDeviceControl)) ++writeOpens;
    if (refuseWriteOpen && (access & kGenericWrite) && !(flags & kFlagDeviceControl)) {
      SetLastError(kErrAccessDenied);
      return kInvalidHandle;
    }
    return PlatformWrapper::OpenDevice(path, access, share, disposition, flags);
  }
  bool DeviceInUse(const std::string& path) override { return path == inUse; }
  bool ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
              std::uint32_t* done) override {
    bool ok = PlatformWrapper::ReadAt(h, offset, buf, len, done);
    if (ok && failRead && failRead(offset, len)) {
      SetLastError(kErrCrc);
      if (done) *done = 0;
      ok = false;
    }
    Record({false, offset, len, {}});
    return ok;
  }
  bool WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
               std::uint32_t* done) override {
    const bool ok = PlatformWrapper::WriteAt(h, offset, buf, len, done);
    const std::uint32_t err = LastError();
    const auto* p = static_cast<const std::uint8_t*>(buf);
    Record({true, offset, len, std::vector<std::uint8_t>(p, p + len)});
    SetLastError(err);
    return ok;
  }

 private:
  void Record(Request r) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      requests_.push_back(r);
    }
    if (onRequest) onRequest(r);
  }
  mutable std::mutex mu_;
  std::vector<Request> requests_;
};

// A descriptor of a machine with one disk of `sectors` sectors (and the
// extra disk or volume JSON that a test adds).
std::string OneDisk(std::uint64_t sectors, const std::string& unreadable = "[]",
                    const std::string& unwritable = "[]", const std::string& volumes = "[]");

// Installs a machine for the lifetime of the object.
class Machine {
 public:
  explicit Machine(const std::string& json);
  WrapPlatform& sys() { return *wrap_; }
  SimPlatform& sim() { return wrap_->Inner(); }

 private:
  WrapPlatform* wrap_;
  std::unique_ptr<ScopedPlatform> scope_;
};

// Records the engine's steps.
class RecordingSteps : public SurfaceSteps {
 public:
  void ShowCell() override { ++cells; }
  void ShowStatus() override { ++statuses; }
  void AddErrorLine(const std::string& line) override { lines.push_back(line); }
  void TestFinished() override { ++finished; }
  int cells = 0;
  int statuses = 0;
  int finished = 0;
  std::vector<std::string> lines;
};

// An engine on disk 0 of the installed machine, with a map of rows x
// columns cells; runs happen on the calling thread.
class Engine {
 public:
  Engine(std::int32_t rows, std::int32_t columns, bool writable = true,
         std::int32_t sectorsPerBlock = 1, const std::string& path = "\\\\.\\PHYSICALDRIVE0");
  ~Engine();
  // Start and one whole run in `mode` of `passes` passes.
  void Run(std::uint8_t mode, std::int32_t passes, bool dump = false);

  SurfaceState s;
  RecordingSteps steps;
  DirectMainThread main;
  TDiskTest worker{s, main, steps};
  std::atomic<Handle> handle{kInvalidHandle};
};

// Reads `len` bytes at `offset` of disk 0 through a fresh handle.
std::vector<std::uint8_t> ReadDisk(std::int64_t offset, std::uint32_t len);

// Answers every question with `answer` and records it.
class QuestionRecorder : public Notifier {
 public:
  explicit QuestionRecorder(bool answer = true);
  ~QuestionRecorder() override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  bool Confirm(const std::string& caption, const std::string& text) override;
  std::vector<std::string> questions;  // caption + "|" + text
  std::vector<std::string> messages;
  // Answers by position; past the end, `answer`.
  std::vector<bool> answers;

 private:
  bool answer_;
};

// A file name in the test's temporary folder.
std::string TempPath(const std::string& name);
std::uint64_t FileSize(const std::string& path);
std::vector<std::uint8_t> FileBytes(const std::string& path);

}  // namespace dt::surface::test
