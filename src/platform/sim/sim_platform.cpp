#include "platform/sim/sim_platform.h"

#include <chrono>
#include <thread>

#include "platform/sim/sim_machine.h"

namespace dt {

using namespace sim;

// ---------------------------------------------------------------------------
// The machine.

SimPlatform::SimPlatform(std::unique_ptr<Machine> m) : m_(std::move(m)) {}
SimPlatform::~SimPlatform() = default;

std::string SimPlatform::PhysicalDrivePath(int n) const {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (n < 0 || n >= static_cast<int>(m_->disks.size())) return {};
  return "\\\\.\\PHYSICALDRIVE" + std::to_string(n);
}

std::string SimPlatform::LogicalDrivePath(const std::string& name) const {
  if (name.size() == 1) return "\\\\.\\" + name + ":";
  return "/dev/" + name;
}

Handle SimPlatform::OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t,
                               std::uint32_t disposition, std::uint32_t) {
  std::lock_guard<std::mutex> lock(m_->mu);
  OpenEntry e;
  e.write = (access & kGenericWrite) != 0;
  bool found = false;
  if (disposition == kOpenExisting) {
    for (std::size_t i = 0; i < m_->disks.size() && !found; ++i) {
      if (path == "\\\\.\\PHYSICALDRIVE" + std::to_string(i)) {
        if (m_->disks[i]->fail.open) {
          SetLastError(*m_->disks[i]->fail.open);
          return kInvalidHandle;
        }
        e.disk = static_cast<int>(i);
        found = true;
      }
    }
    for (std::size_t i = 0; i < m_->volumes.size() && !found; ++i) {
      if (path == LogicalDrivePath(m_->volumes[i]->name)) {
        if (m_->volumes[i]->noMedium) {
          SetLastError(kErrNotReady);
          return kInvalidHandle;
        }
        e.volume = static_cast<int>(i);
        e.disk = m_->volumes[i]->disk;
        found = true;
      }
    }
  }
  if (!found) {
    SetLastError(kErrNotFound);
    return kInvalidHandle;
  }
  const Handle h = m_->nextHandle;
  m_->nextHandle += 4;
  m_->open[h] = e;
  return h;
}

bool SimPlatform::Close(Handle h) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (m_->open.erase(h) == 0) {
    SetLastError(kErrInvalidHandle);
    return false;
  }
  return true;
}

FileType SimPlatform::GetType(Handle h) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (!m_->open.count(h)) {
    SetLastError(kErrInvalidHandle);
    return FileType::Unknown;
  }
  return FileType::Disk;
}

std::vector<LogicalDrive> SimPlatform::LogicalDrives() {
  std::lock_guard<std::mutex> lock(m_->mu);
  std::vector<LogicalDrive> out;
  for (const auto& v : m_->volumes) out.push_back({v->name});
  return out;
}

bool SimPlatform::VolumeInformation(const std::string& name, VolumeInfo* info) {
  std::lock_guard<std::mutex> lock(m_->mu);
  *info = VolumeInfo{};
  for (const auto& v : m_->volumes) {
    if (v->name != name) continue;
    if (v->noMedium) {
      SetLastError(kErrNotReady);
      return false;
    }
    info->label = v->label;
    info->fileSystem = v->fs;
    return true;
  }
  SetLastError(kErrNotFound);
  return false;
}

bool SimPlatform::VolumeTotalBytes(const std::string& name, std::uint64_t* total) {
  std::lock_guard<std::mutex> lock(m_->mu);
  for (const auto& v : m_->volumes) {
    if (v->name != name) continue;
    if (!v->mountedTotal) {
      SetLastError(kErrNotReady);
      return false;
    }
    *total = *v->mountedTotal;
    return true;
  }
  SetLastError(kErrNotFound);
  return false;
}

std::string SimPlatform::ErrorText(std::uint32_t code) {
  // The simulated machine fails with the host's own codes and texts.
  static std::unique_ptr<Platform> host = MakeHostPlatform();
  return host->ErrorText(code);
}

std::int64_t SimPlatform::PerfFrequency() {
  std::lock_guard<std::mutex> lock(m_->mu);
  return m_->perfFrequency;
}

std::int64_t SimPlatform::PerfCounter() {
  std::lock_guard<std::mutex> lock(m_->mu);
  std::int64_t ns = m_->clockNs;
  if (m_->realtime)
    ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                              m_->start)
             .count();
  if (m_->perfFrequency == 0) return 0;
  return static_cast<std::int64_t>(static_cast<long double>(ns) * m_->perfFrequency / 1e9L);
}

bool SimPlatform::PerfCounterIsCpuClock() {
  std::optional<bool> given;
  {
    std::lock_guard<std::mutex> lock(m_->mu);
    given = m_->perfCpuClock;
  }
  return given ? *given : Platform::PerfCounterIsCpuClock();
}

std::uint32_t SimPlatform::TickCount() {
  std::lock_guard<std::mutex> lock(m_->mu);
  std::int64_t ns = m_->clockNs;
  if (m_->realtime)
    ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                              m_->start)
             .count();
  return static_cast<std::uint32_t>(ns / 1000000);
}

void SimPlatform::Sleep(std::uint32_t milliseconds) {
  if (m_->realtime) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return;
  }
  std::lock_guard<std::mutex> lock(m_->mu);
  m_->clockNs += static_cast<std::int64_t>(milliseconds) * 1000000;
}

// The disk serves the reads of a reader one after the other, in the order
// they were submitted: each begins when the one before it has ended (or at
// its submission) and takes its simulated duration, access time included.
// Reaping waits on the machine's clock for the completions it returns.
class SimAsyncReader : public AsyncReader {
 public:
  SimAsyncReader(SimPlatform& p, Handle h, std::uint32_t depth) : p_(p), h_(h), depth_(depth) {}

  bool Submit(const AsyncReadRequest* reqs, std::size_t n) override {
    if (pending_.size() + n > depth_) {
      Platform::SetLastError(kErrInvalidParameter);
      return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      Pending q;
      q.c.tag = reqs[i].tag;
      std::int64_t ns = 0;
      if (!p_.Transfer(false, h_, reqs[i].offset, reqs[i].buf, reqs[i].len, &q.c.done, &ns))
        q.c.error = Platform::LastError();
      const std::int64_t begin = std::max(p_.NowNs(), busyUntil_);
      busyUntil_ = begin + ns;
      q.endNs = busyUntil_;
      q.seq = seq_++;
      pending_.push_back(q);
    }
    return true;
  }

  std::size_t Reap(AsyncReadCompletion* out, std::size_t max, std::size_t min) override {
    std::sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
      return a.endNs != b.endNs ? a.endNs < b.endNs : a.seq < b.seq;
    });
    const std::size_t want = std::min({min, max, pending_.size()});
    if (want > 0) p_.WaitUntilNs(pending_[want - 1].endNs);
    const std::int64_t now = p_.NowNs();
    std::size_t n = 0;
    while (n < max && n < pending_.size() && pending_[n].endNs <= now) {
      out[n] = pending_[n].c;
      out[n].counter = p_.CounterAtNs(pending_[n].endNs);
      ++n;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
  }

  const char* Kind() const override { return "sim"; }

 private:
  struct Pending {
    std::int64_t endNs = 0;
    std::uint64_t seq = 0;
    AsyncReadCompletion c;
  };
  SimPlatform& p_;
  const Handle h_;
  const std::size_t depth_;
  std::vector<Pending> pending_;
  std::int64_t busyUntil_ = 0;
  std::uint64_t seq_ = 0;
};

std::unique_ptr<AsyncReader> SimPlatform::OpenAsyncReader(Handle h, std::uint32_t depth) {
  {
    std::lock_guard<std::mutex> lock(m_->mu);
    if (!m_->open.count(h)) {
      SetLastError(kErrInvalidHandle);
      return nullptr;
    }
  }
  if (depth == 0) {
    SetLastError(kErrInvalidParameter);
    return nullptr;
  }
  return std::make_unique<SimAsyncReader>(*this, h, depth);
}

std::int64_t SimPlatform::NowNs() const {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (m_->realtime)
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                m_->start)
        .count();
  return m_->clockNs;
}

void SimPlatform::WaitUntilNs(std::int64_t ns) {
  if (m_->realtime) {
    std::this_thread::sleep_until(m_->start + std::chrono::nanoseconds(ns));
    return;
  }
  std::lock_guard<std::mutex> lock(m_->mu);
  m_->clockNs = std::max(m_->clockNs, ns);
}

std::int64_t SimPlatform::CounterAtNs(std::int64_t ns) const {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (m_->perfFrequency == 0) return 0;
  return static_cast<std::int64_t>(static_cast<long double>(ns) * m_->perfFrequency / 1e9L);
}

void SimPlatform::SetRequestHook(std::function<void(int, std::int64_t, bool)> hook) {
  std::lock_guard<std::mutex> lock(m_->mu);
  m_->hook = std::move(hook);
}

void SimPlatform::AdvanceClock(std::int64_t nanoseconds) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (!m_->realtime) m_->clockNs += nanoseconds;
}

void SimPlatform::SetPerfFrequency(std::int64_t f) {
  std::lock_guard<std::mutex> lock(m_->mu);
  m_->perfFrequency = f;
}

bool SimPlatform::Realtime() const { return m_->realtime; }

int SimPlatform::OpenHandleCount() const {
  std::lock_guard<std::mutex> lock(m_->mu);
  return static_cast<int>(m_->open.size());
}

int SimPlatform::DiskCount() const {
  std::lock_guard<std::mutex> lock(m_->mu);
  return static_cast<int>(m_->disks.size());
}

std::uint64_t SimPlatform::DiskSize(int disk) const {
  std::lock_guard<std::mutex> lock(m_->mu);
  return m_->disks.at(static_cast<std::size_t>(disk))->size;
}

}  // namespace dt
