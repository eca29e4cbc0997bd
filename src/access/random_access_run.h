// The random access test: reads of a few sizes at random places of a disk,
// each read timed, at queue depth 1 (one positioned read after the other,
// as the read-speed test reads) or N (N reads under way at once through the
// platform's asynchronous reader). Per size it gives the reads per second,
// the throughput and the latency of every read as a histogram. It only
// ever reads: the disk is opened for reading alone.
//
// Positions are uniform over the range and aligned to the request size;
// they come from a generator seeded with the run's seed and the request
// size, so a run with the same seed reads the same places in the same order.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "access/latency_histogram.h"

namespace dt {

// The request sizes a run uses unless told otherwise.
inline const std::vector<std::uint32_t>& DefaultAccessSizes() {
  static const std::vector<std::uint32_t> sizes{512, 4096, 65536, 1048576};
  return sizes;
}
inline constexpr std::uint32_t kMaxAccessSize = 64u << 20;
inline constexpr std::uint32_t kMaxAccessDepth = 1024;
// The buffers of the reads under way (queue depth x largest size) at most.
inline constexpr std::uint64_t kMaxAccessMemory = std::uint64_t{1} << 30;

struct AccessSettings {
  std::string path;  // a device path or a regular file
  std::vector<std::uint32_t> sizes = DefaultAccessSizes();
  std::uint32_t depth = 1;
  double seconds = 5.0;     // per size; 0 for no time limit
  std::uint64_t count = 0;  // reads per size; 0 for no count limit
  std::int64_t rangeStart = 0;
  std::int64_t rangeEnd = -1;  // last byte of the range; -1 for the end of the disk
  std::uint64_t seed = 1;
  // Reads per size whose position and latency are kept (the scatter).
  std::size_t keepSamples = 0;
};

// One timed read.
struct AccessSample {
  std::int64_t position = 0;
  std::uint64_t latencyNs = 0;
};

struct AccessError {
  std::int64_t position = 0;
  std::uint32_t size = 0;
  std::uint32_t code = 0;  // native error code; 0 for a short read
};

struct AccessSizeResult {
  std::uint32_t size = 0;
  std::uint64_t count = 0;   // reads that completed without error
  std::uint64_t errors = 0;  // reads that failed or came back short
  std::uint64_t elapsedNs = 0;  // from the first read issued to the last one completed
  LatencyHistogram latency;     // nanoseconds
  std::vector<AccessSample> samples;
  double Iops() const;
  double BytesPerSecond() const;
};

struct AccessResult {
  std::int64_t diskSize = 0;
  std::int64_t rangeStart = 0;
  std::int64_t rangeEnd = 0;  // last byte
  std::string engine;         // "sync" at queue depth 1, else the reader's kind
  bool stopped = false;
  std::vector<AccessSizeResult> sizes;
  std::vector<AccessError> errors;  // the first kMaxErrorLines failed reads
  static constexpr std::size_t kMaxErrorLines = 100;
};

// What a run tells while it goes on; called on the running thread.
class AccessProgress {
 public:
  virtual ~AccessProgress() = default;
  // Size `index` has `reads` reads done and is `fraction` (0 ... 1) through.
  virtual void OnProgress(std::size_t index, std::uint64_t reads, double fraction) = 0;
};

// The generator of positions: splitmix64, fully defined, the same on every
// platform and compiler.
class AccessPositions {
 public:
  // Positions of `size`-byte requests that lie wholly in [first, last];
  // Slots() is 0 when none fits.
  AccessPositions(std::uint64_t seed, std::uint32_t size, std::int64_t first, std::int64_t last);
  std::uint64_t Slots() const { return slots_; }
  std::int64_t Next();

 private:
  std::uint64_t NextRandom();
  std::uint64_t state_;
  std::uint32_t size_;
  std::uint64_t firstSlot_ = 0;
  std::uint64_t slots_ = 0;
};

// Parses "512", "4k", "64K", "1m" (binary multiples); 0 on a bad text.
std::uint64_t ParseAccessSize(const std::string& text);
// "512 B", "4 KiB", "64 KiB", "1 MiB"; plain bytes when not a whole unit.
std::string AccessSizeText(std::uint32_t size);

class RandomAccessRun {
 public:
  // Runs the test on the calling thread. False with `failure` set when it
  // cannot start (the disk does not open, a setting does not fit the disk);
  // read errors do not end it, they are counted.
  bool Run(const AccessSettings& settings, AccessResult* result, std::string* failure,
           AccessProgress* progress = nullptr);
  // Asks a run to stop, from any thread: no read is issued after it, the
  // reads under way complete, and the run ends.
  void Stop() { stop_.store(true); }
  bool StopRequested() const { return stop_.load(); }

 private:
  std::atomic<bool> stop_{false};
};

}  // namespace dt
