#include "access/random_access_run.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <new>

#include "base/text.h"
#include "device/device.h"
#include "platform/platform.h"
#include "speedtest/read_speed_run.h"

namespace dt {

namespace {

constexpr std::size_t kBufferAlign = 4096;

std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

struct AlignedDelete {
  void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t(kBufferAlign)); }
};
using AlignedBytes = std::unique_ptr<std::uint8_t[], AlignedDelete>;

AlignedBytes AllocateAligned(std::size_t n) {
  return AlignedBytes(
      static_cast<std::uint8_t*>(::operator new[](n, std::align_val_t(kBufferAlign))));
}

// Counter difference in nanoseconds, without overflow for long runs.
std::uint64_t CountsToNs(std::int64_t counts, std::int64_t frequency) {
  if (counts <= 0 || frequency <= 0) return 0;
  const auto c = static_cast<std::uint64_t>(counts);
  const auto f = static_cast<std::uint64_t>(frequency);
  return c / f * 1000000000ull + c % f * 1000000000ull / f;
}

}  // namespace

double AccessSizeResult::Iops() const {
  return elapsedNs ? static_cast<double>(count) * 1e9 / static_cast<double>(elapsedNs) : 0.0;
}

double AccessSizeResult::BytesPerSecond() const {
  return elapsedNs ? static_cast<double>(count) * size * 1e9 / static_cast<double>(elapsedNs) : 0.0;
}

AccessPositions::AccessPositions(std::uint64_t seed, std::uint32_t size, std::int64_t first,
                                 std::int64_t last)
    : state_(seed ^ (static_cast<std::uint64_t>(size) * 0xD1B54A32D192ED03ull)), size_(size) {
  if (size == 0 || first < 0 || last < first) return;
  const std::uint64_t firstSlot = (static_cast<std::uint64_t>(first) + size - 1) / size;
  const std::uint64_t endSlot = (static_cast<std::uint64_t>(last) + 1) / size;  // exclusive
  if (endSlot <= firstSlot) return;
  firstSlot_ = firstSlot;
  slots_ = endSlot - firstSlot;
}

std::uint64_t AccessPositions::NextRandom() { return SplitMix(state_); }

std::int64_t AccessPositions::Next() {
  if (slots_ == 0) return -1;
  // Uniform without modulo bias: values below 2^64 mod slots are drawn again.
  const std::uint64_t threshold = (0 - slots_) % slots_;
  std::uint64_t r = NextRandom();
  while (r < threshold) r = NextRandom();
  return static_cast<std::int64_t>((firstSlot_ + r % slots_) * size_);
}

std::uint64_t ParseAccessSize(const std::string& text) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return 0;
  std::size_t i = 0;
  std::uint64_t v = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    v = v * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (v > kMaxAccessSize) return 0;
    ++i;
  }
  std::string unit = text.substr(i);
  for (char& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (unit == "k" || unit == "kib") {
    v <<= 10;
  } else if (unit == "m" || unit == "mib") {
    v <<= 20;
  } else if (!unit.empty() && unit != "b") {
    return 0;
  }
  return v > kMaxAccessSize ? 0 : v;
}

std::string AccessSizeText(std::uint32_t size) {
  if (size >= 1048576 && size % 1048576 == 0) return std::to_string(size / 1048576) + " MiB";
  if (size >= 1024 && size % 1024 == 0) return std::to_string(size / 1024) + " KiB";
  return std::to_string(size) + " B";
}

namespace {

// One size of a run: issues reads until the count, the time or Stop ends it.
class SizeRun {
 public:
  SizeRun(Platform& sys, Handle h, const AccessSettings& s, std::size_t index,
          std::atomic<bool>& stop, AccessProgress* progress, AccessResult& result)
      : sys_(sys), h_(h), s_(s), index_(index), stop_(stop), progress_(progress), result_(result) {}

  void Run(AccessSizeResult& out, std::uint8_t* buffers, AsyncReader* reader);

 private:
  bool MayIssue(std::int64_t now) const {
    if (stop_.load(std::memory_order_relaxed)) return false;
    if (s_.count && issued_ >= s_.count) return false;
    return limitCounts_ == 0 || now - start_ < limitCounts_;
  }
  void Complete(AccessSizeResult& out, std::int64_t pos, std::uint32_t done, std::uint32_t code,
                std::int64_t issuedAt, std::int64_t doneAt);
  void Report(std::int64_t now);

  Platform& sys_;
  const Handle h_;
  const AccessSettings& s_;
  const std::size_t index_;
  std::atomic<bool>& stop_;
  AccessProgress* progress_;
  AccessResult& result_;
  std::int64_t frequency_ = 0;
  std::int64_t start_ = 0;
  std::int64_t limitCounts_ = 0;
  std::int64_t nextReport_ = 0;
  std::int64_t last_ = 0;
  std::uint64_t issued_ = 0;
};

void SizeRun::Complete(AccessSizeResult& out, std::int64_t pos, std::uint32_t done,
                       std::uint32_t code, std::int64_t issuedAt, std::int64_t doneAt) {
  last_ = std::max(last_, doneAt);
  if (code != 0 || done != out.size) {
    ++out.errors;
    if (result_.errors.size() < AccessResult::kMaxErrorLines)
      result_.errors.push_back({pos, out.size, code});
    return;
  }
  const std::uint64_t ns = CountsToNs(doneAt - issuedAt, frequency_);
  out.latency.Record(ns);
  ++out.count;
  if (out.samples.size() < s_.keepSamples) out.samples.push_back({pos, ns});
}

void SizeRun::Report(std::int64_t now) {
  if (!progress_ || now < nextReport_) return;
  nextReport_ = now + frequency_ / 10;
  double fraction = 0;
  if (s_.count) fraction = static_cast<double>(issued_) / static_cast<double>(s_.count);
  if (limitCounts_)
    fraction = std::max(fraction, static_cast<double>(now - start_) / static_cast<double>(limitCounts_));
  progress_->OnProgress(index_, issued_, std::min(fraction, 1.0));
}

void SizeRun::Run(AccessSizeResult& out, std::uint8_t* buffers, AsyncReader* reader) {
  const std::uint32_t size = out.size;
  AccessPositions positions(s_.seed, size, result_.rangeStart, result_.rangeEnd);
  frequency_ = sys_.PerfFrequency();
  limitCounts_ = s_.seconds > 0 ? static_cast<std::int64_t>(s_.seconds * static_cast<double>(frequency_)) : 0;
  start_ = sys_.PerfCounter();
  last_ = start_;
  nextReport_ = start_;

  if (!reader) {
    // Queue depth 1: one positioned read after the other, each timed by
    // the performance counter around it.
    const ProcessorHold hold(sys_);
    std::int64_t now = start_;
    while (MayIssue(now)) {
      const std::int64_t pos = positions.Next();
      ++issued_;
      std::uint32_t done = 0;
      const std::int64_t t0 = sys_.PerfCounter();
      const bool ok = sys_.ReadAt(h_, pos, buffers, size, &done);
      now = sys_.PerfCounter();
      Complete(out, pos, done, ok ? 0 : Platform::LastError(), t0, now);
      Report(now);
    }
  } else {
    // Queue depth N: every completion makes room for the next read, so N
    // reads stay under way until the limit; then the last ones drain.
    const std::uint32_t depth = s_.depth;
    struct Slot {
      std::int64_t pos = 0;
      std::int64_t issuedAt = 0;
    };
    std::vector<Slot> slots(depth);
    std::vector<std::uint32_t> free(depth);
    for (std::uint32_t i = 0; i < depth; ++i) free[i] = depth - 1 - i;
    std::vector<AsyncReadCompletion> done(depth);
    std::size_t inFlight = 0;
    std::int64_t now = start_;
    bool refused = false;  // the reader took no more reads: drain and end
    for (;;) {
      // Every free slot gets a read, handed over on its own and timed from
      // its own hand-over.
      while (!refused && !free.empty() && MayIssue(now)) {
        const std::uint32_t slot = free.back();
        AsyncReadRequest r;
        r.offset = positions.Next();
        r.buf = buffers + static_cast<std::size_t>(slot) * size;
        r.len = size;
        r.tag = slot;
        ++issued_;
        const std::int64_t t0 = sys_.PerfCounter();
        slots[slot] = {r.offset, t0};
        if (!reader->Submit(&r, 1)) {
          const std::uint32_t code = Platform::LastError();
          Complete(out, r.offset, 0, code ? code : kErrIo, t0, t0);
          // A reader that takes no reads ends this size.
          refused = true;
        } else {
          free.pop_back();
          ++inFlight;
        }
      }
      if (inFlight == 0) break;
      const std::size_t n = reader->Reap(done.data(), done.size(), 1);
      if (n == 0) break;  // the reader failed: nothing more will come
      for (std::size_t i = 0; i < n; ++i) {
        const AsyncReadCompletion& c = done[i];
        const auto slot = static_cast<std::uint32_t>(c.tag);
        Complete(out, slots[slot].pos, c.done, c.error, slots[slot].issuedAt, c.counter);
        free.push_back(slot);
      }
      inFlight -= n;
      now = sys_.PerfCounter();
      Report(now);
    }
  }
  out.elapsedNs = CountsToNs(last_ - start_, frequency_);
}

}  // namespace

bool RandomAccessRun::Run(const AccessSettings& s, AccessResult* result, std::string* failure,
                          AccessProgress* progress) {
  *result = AccessResult{};
  failure->clear();
  if (s.sizes.empty()) {
    *failure = "no request size given";
    return false;
  }
  for (const std::uint32_t size : s.sizes) {
    if (size < 512 || size > kMaxAccessSize || size % 512 != 0) {
      *failure = "a request size of " + std::to_string(size) +
                 " bytes is not a whole number of 512-byte sectors from 512 bytes to 64 MiB";
      return false;
    }
  }
  if (s.depth < 1 || s.depth > kMaxAccessDepth) {
    *failure = "the queue depth must be from 1 to " + std::to_string(kMaxAccessDepth);
    return false;
  }
  if (s.seconds <= 0 && s.count == 0) {
    *failure = "neither a time nor a count limits the run";
    return false;
  }
  const std::uint32_t largest = *std::max_element(s.sizes.begin(), s.sizes.end());
  if (static_cast<std::uint64_t>(largest) * s.depth > kMaxAccessMemory) {
    *failure = std::to_string(s.depth) + " reads of " + AccessSizeText(largest) +
               " under way at once need more than 1 GiB of buffers: give a smaller queue "
               "depth or request size";
    return false;
  }
  Platform& sys = Sys();
  if (sys.PerfFrequency() <= 0) {
    *failure = "the system has no performance counter to time the reads";
    return false;
  }

  const std::int64_t diskSize = PathDiskSize(s.path);
  if (diskSize < 0) {
    *failure = "the size of " + s.path + " is unknown: " + SystemErrorText(Platform::LastError());
    return false;
  }
  const std::int64_t last = s.rangeEnd < 0 ? diskSize - 1 : s.rangeEnd;
  if (s.rangeStart < 0 || last >= diskSize || last < s.rangeStart) {
    *failure = "the range " + std::to_string(s.rangeStart) + "-" + std::to_string(last) +
               " does not lie within the " + std::to_string(diskSize) + " bytes of " + s.path;
    return false;
  }
  result->diskSize = diskSize;
  result->rangeStart = s.rangeStart;
  result->rangeEnd = last;
  for (const std::uint32_t size : s.sizes) {
    if (AccessPositions(s.seed, size, s.rangeStart, last).Slots() == 0) {
      *failure = "no read of " + AccessSizeText(size) + " fits the range " +
                 std::to_string(s.rangeStart) + "-" + std::to_string(last);
      return false;
    }
  }

  // Read only, always.
  const Handle h = sys.OpenDevice(s.path, kGenericRead, kShareRead | kShareWrite, kOpenExisting,
                                  kAttributeNormal);
  if (h == kInvalidHandle) {
    *failure = "cannot open " + s.path + ": " + SystemErrorText(Platform::LastError());
    return false;
  }
  // A disk whose sectors are larger than a request size cannot serve it.
  DISK_GEOMETRY geo{};
  std::uint32_t returned = 0;
  if (sys.Control(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geo, sizeof geo, &returned) &&
      returned >= sizeof geo && geo.BytesPerSector > 512) {
    for (const std::uint32_t size : s.sizes) {
      if (size % geo.BytesPerSector != 0) {
        sys.Close(h);
        *failure = "a request size of " + std::to_string(size) +
                   " bytes is not a whole number of the disk's " +
                   std::to_string(geo.BytesPerSector) + "-byte sectors";
        return false;
      }
    }
  }

  std::unique_ptr<AsyncReader> reader;
  if (s.depth > 1) {
    reader = sys.OpenAsyncReader(h, s.depth);
    if (!reader) {
      const std::uint32_t code = Platform::LastError();
      sys.Close(h);
      *failure = "cannot read " + s.path + " asynchronously: " + SystemErrorText(code);
      return false;
    }
    result->engine = reader->Kind();
  } else {
    result->engine = "sync";
  }
  AlignedBytes buffers;
  try {
    buffers = AllocateAligned(static_cast<std::size_t>(largest) * s.depth);
  } catch (const std::bad_alloc&) {
    reader.reset();
    sys.Close(h);
    *failure = "no memory for the buffers of " + std::to_string(s.depth) + " reads of " +
               AccessSizeText(largest);
    return false;
  }
  if (reader) reader->UseBuffers(buffers.get(), static_cast<std::size_t>(largest) * s.depth);
  {
    for (std::size_t i = 0; i < s.sizes.size() && !stop_.load(); ++i) {
      AccessSizeResult& out = result->sizes.emplace_back();
      out.size = s.sizes[i];
      SizeRun run(sys, h, s, i, stop_, progress, *result);
      run.Run(out, buffers.get(), reader.get());
    }
    // The reader ends its reads before the buffers go.
    reader.reset();
  }
  result->stopped = stop_.load();
  sys.Close(h);
  return true;
}

}  // namespace dt
