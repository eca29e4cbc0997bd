// The simulated machine's state, shared by its parts: the descriptor
// loader (sim_machine_json.cpp), the drive emulation (sim_drive.cpp, with
// the self-test clocks of sim_self_test.cpp) and the platform itself
// (sim_platform.cpp). Internal to the simulated platform.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/ata_capture.h"
#include "platform/sim/extent_store.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace sim {

inline constexpr std::int64_t kNsPerMinute = 60'000'000'000LL;
inline constexpr std::int64_t kNsPerHour = 60 * kNsPerMinute;

struct SlowRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::int64_t ns = 0;
};

struct Range {
  std::uint64_t first;
  std::uint64_t last;
};

struct Failures {
  std::optional<std::uint32_t> open, geometry, version, identify, enable, data, thresholds;
  std::uint8_t driverError = 0;
};

// A self-test that the simulated drive runs on the machine's clock.
struct SimSelfTest {
  bool running = false;
  std::uint8_t type = 0;  // the sub-command that started it
  std::int64_t startNs = 0;
  std::int64_t durationNs = 0;
  std::int64_t endNs = 0;  // when it ends: its duration, or the read failure
  bool fails = false;      // ends at endNs with a read failure at failLba
  std::uint64_t failLba = 0;
};

// The pages an NVMe disk answers, built from the descriptor's "nvme" object.
struct SimNvme {
  std::array<std::uint8_t, 4096> controller{};
  std::array<std::uint8_t, 4096> ns{};  // namespace 1
  std::array<std::uint8_t, 512> smartLog{};
  std::vector<std::uint8_t> errorLog;  // 64 bytes per entry
  // Device Self-test: whether the controller runs it, how long each test
  // takes, the test that runs and the log of 20 results.
  bool selfTests = true;
  std::int64_t shortNs = 0, extendedNs = 0;
  SimSelfTest test;
  std::array<std::uint8_t, 564> selfTestLog{};
};

struct SimDisk {
  std::uint64_t size = 0;
  std::uint32_t sectorSize = 512;
  std::vector<Range> unreadable;
  std::vector<Range> unwritable;
  // Sectors that read and write only slowly (as after the drive's internal
  // retries): a request touching one lasts at least its range's time.
  std::vector<SlowRange> slow;
  double startMBps = 100;
  double endMBps = 50;
  double latencyMs = 0.1;
  // The time to reach a place that does not follow the previous request
  // (seek and rotation of a hard disk), and where the last request ended.
  double accessMs = 0;
  std::uint64_t lastEnd = 0;
  std::optional<DISK_GEOMETRY> geometry;
  std::optional<AtaCapture> capture;
  std::optional<SimNvme> nvme;
  std::string imagePath;
  std::unique_ptr<std::ifstream> image;
  std::uint64_t imageSize = 0;
  Failures fail;
  ExtentStore written;
  SimSelfTest selfTest;
  // The self-test log: the capture's, or one begun by the first self-test
  // that ends here when the capture has none.
  std::optional<std::array<std::uint8_t, 512>> selfTestLog;
};

struct SimVolume {
  std::string name;
  std::string label;
  std::string fs;
  std::uint64_t size = 0;
  int disk = -1;
  std::uint64_t offset = 0;
  std::optional<std::uint64_t> mountedTotal;
  bool noMedium = false;
  ExtentStore written;  // for volumes not mapped on a disk
};

struct OpenEntry {
  int disk = -1;     // physical disk, or the disk a volume lies on
  int volume = -1;   // volume index, or -1 for a physical disk
  bool write = false;
};

// What a disk holds where nothing was written: its image, or the pattern
// (`disk` null: the pattern, for volumes not mapped on a disk).
void DefaultContent(SimDisk* disk, std::uint64_t at, std::uint8_t* out, std::size_t n);

// The drive's self-tests (sim_self_test.cpp).
// Brings the drive's self-test up to the machine's time `nowNs`.
void AdvanceSelfTest(SimDisk& d, std::int64_t nowNs);
// A capture taken while a self-test ran (status 15) goes on with it.
void ResumeCapturedSelfTest(SimDisk& d);
// SMART EXECUTE OFF-LINE IMMEDIATE with sub-command `sub`: false when the
// drive aborts the command.
bool ExecuteOffline(SimDisk& d, std::uint8_t sub, std::int64_t nowNs);
// Brings the NVMe controller's self-test up to the machine's time `nowNs`.
void AdvanceNvmeSelfTest(SimNvme& n, std::int64_t nowNs);
// Device Self-test with self-test code `code`: the status the controller
// completes it with (0 when it runs).
std::uint16_t StartNvmeSelfTest(SimDisk& d, std::uint8_t code, std::int64_t nowNs);

}  // namespace sim

struct SimPlatform::Machine {
  mutable std::mutex mu;
  bool realtime = false;
  std::int64_t perfFrequency = 10000000;
  std::optional<bool> perfCpuClock;
  std::int64_t clockNs = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::vector<std::unique_ptr<sim::SimDisk>> disks;
  std::vector<std::unique_ptr<sim::SimVolume>> volumes;
  std::map<Handle, sim::OpenEntry> open;
  Handle nextHandle = 0x100;
  std::function<void(int, std::int64_t, bool)> hook;
};

}  // namespace dt
