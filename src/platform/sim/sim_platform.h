// The simulated machine: disks and volumes described by a small JSON file.
//
// It is the built-in demo of the program, the fixture of most tests and a
// training aid. Disks have a size, a logical sector size, unreadable and
// unwritable sector ranges, a speed profile (MB/s at the start and at the
// end of the disk plus a per-request latency), optionally an ATA capture
// that answers IDENTIFY and SMART, and optionally a backing image file.
// A disk without an image reads a deterministic pattern; writes are kept in
// memory (runs of one byte compactly) so that written data reads back.
//
// Time: with "realtime" the requests take their simulated duration for
// real (the demo); otherwise the machine has a virtual clock that advances
// by exactly the simulated duration of every request and every Sleep
// (tests).
//
// A disk with a capture answers the SMART commands from it: IDENTIFY, READ
// DATA, READ THRESHOLDS, RETURN STATUS (the capture's "SMST"; aborted
// without one), READ LOG of the self-test log (06h) and the summary error
// log (01h) when the capture holds them, and EXECUTE OFF-LINE IMMEDIATE: the
// short, extended and conveyance self-tests that the SMART data's
// capability byte allows run on the machine's clock for the polling time the
// data recommends (at least a minute), byte 363 of the SMART data shows
// their progress, and each test that ends or is aborted gains an entry in
// the self-test log (one is begun when the capture has none). The extended
// test stops with a read failure at the first unreadable sector, at the
// point of its run where it reaches it. A capture taken while a self-test
// ran goes on with it as an extended test with the part left that it shows.
//
// Descriptor (all keys but "size" optional):
// {
//   "realtime": false,
//   "perf_frequency": 10000000,
//   "perf_cpu_clock": true,  (absent: the rule of Platform::PerfCounterIsCpuClock)
//   "disks": [ {
//       "size": 1000000000, "sector_size": 512,
//       "unreadable": [[first, last], ...], "unwritable": [[first, last], ...],
//       "slow": [{"first": first, "last": last, "ms": 80}, ...],
//       "speed": {"start_mbps": 100, "end_mbps": 50, "latency_ms": 0.1},
//       "access_ms": 12.5,
//       "geometry": {"cylinders": 16383, "heads": 16, "sectors": 63},
//       "capture": "file.cap" or "builtin:demo", "image": "disk.img",
//       "nvme": {"model": "...", "serial": "...", "firmware": "...", "pci_vendor_id": n,
//                "temperature_c": 38, "temperature_sensors_c": [38, 45],
//                "critical_warning": n, "available_spare": 100,
//                "available_spare_threshold": 10, "percentage_used": 3,
//                "endurance_group_critical_warning": n, "data_units_read": n,
//                "data_units_written": n, "host_read_commands": n,
//                "host_write_commands": n, "controller_busy_time": n, "power_cycles": n,
//                "power_on_hours": n, "unsafe_shutdowns": n, "media_errors": n,
//                "num_err_log_entries": n, "warning_temp_time": n, "critical_comp_time": n,
//                "thermal_temp1_transition_count": n, "thermal_temp2_transition_count": n,
//                "thermal_temp1_total_time": n, "thermal_temp2_total_time": n,
//                "error_log_entries": n, "self_test": true,
//                "short_self_test_seconds": 120, "extended_self_test_minutes": 10},
//       "fail": {"open": code, "geometry": code, "version": code, "identify": code,
//                "enable": code, "data": code, "thresholds": code, "driver_error": n}
//   } ],
//   "volumes": [ {"name": "C", "label": "SYSTEM", "fs": "NTFS", "size": 40000000000,
//                 "disk": 0, "offset": 32256, "mounted_total": 123, "no_medium": false} ]
// }
// A disk with "nvme" (never together with "capture") is an NVMe disk: it
// answers NvmePassThrough with Identify Controller (NVMe 1.4, one namespace,
// the disk's size as its capacity, 64 error log entries), Identify Namespace
// 1, the SMART / Health Information log (02h) with the given fields (the
// keys are those of `health --json`; counters are 64-bit here; a missing key
// is 0, but a spare of 100 %, a threshold of 10 % and 35 °C) and the error
// information log (01h) whose first "error_log_entries" entries hold an
// error. Unless "self_test" is false it also runs Device Self-test (OACS bit
// 4) on the machine's clock: the short test for "short_self_test_seconds"
// (120, at least 1), the extended one for "extended_self_test_minutes" (10,
// its EDSTT; at least 1), one at a time (another is refused with Device
// Self-test in Progress, 011Dh), abort (Fh) ends the running one; the
// extended test fails in segment 7 at the first unreadable sector, at the
// point of its run where it reaches it. The Device Self-test log (06h)
// shows the running test and its progress, and every test that ends or is
// aborted goes to the top of its 20 results with the power-on hours of the
// health log plus the hours the machine has run. Other commands complete
// with Invalid Command Opcode (0001h), other logs with Invalid Log Page
// (0109h). Like a real NVMe disk it answers no ATA command.
// A read or write touching a "slow" range lasts at least its "ms" (the
// slowest of the ranges it touches), as a sector that reads only after the
// drive's internal retries.
// "access_ms" (0 when absent) is the time a request takes besides its
// transfer when it does not begin where the previous one of the disk ended:
// the seek and rotation of a hard disk, paid by random reads and not by a
// sequential run. Asynchronous reads (OpenAsyncReader) are served one after
// the other in the order they came, on the machine's clock.
// Sector ranges are inclusive sector numbers. Relative paths are taken from
// the descriptor's folder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace dt {

class SimPlatform;

// Reads a descriptor. On error returns null and sets `error` to a message
// that names the file, the key and what is wrong.
std::unique_ptr<SimPlatform> LoadSimMachine(const std::string& path, std::string* error);
std::unique_ptr<SimPlatform> ParseSimMachine(const std::string& json, const std::string& baseDir,
                                             const std::string& fileName, std::string* error);
// The demo machine built into the program.
std::unique_ptr<SimPlatform> MakeDemoMachine();
// A machine whose disk 0 answers IDENTIFY and SMART from a capture; its size
// comes from the capture's sector count.
std::unique_ptr<Platform> MakeCaptureMachine(const std::string& capturePath, std::string* error);

class SimPlatform : public Platform {
 public:
  ~SimPlatform() override;

  std::string Name() const override { return "sim"; }
  std::string PhysicalDrivePath(int n) const override;
  std::string LogicalDrivePath(const std::string& name) const override;
  Handle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override;
  bool Close(Handle h) override;
  FileType GetType(Handle h) override;
  bool ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
              std::uint32_t* done) override;
  bool WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
               std::uint32_t* done) override;
  std::unique_ptr<AsyncReader> OpenAsyncReader(Handle h, std::uint32_t depth) override;
  bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen, void* out,
               std::uint32_t outLen, std::uint32_t* returned) override;
  bool NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) override;
  std::vector<LogicalDrive> LogicalDrives() override;
  bool VolumeInformation(const std::string& name, VolumeInfo* info) override;
  bool VolumeTotalBytes(const std::string& name, std::uint64_t* total) override;
  std::string ErrorText(std::uint32_t code) override;
  std::int64_t PerfFrequency() override;
  std::int64_t PerfCounter() override;
  std::uint32_t TickCount() override;
  bool PerfCounterIsCpuClock() override;
  void Sleep(std::uint32_t milliseconds) override;

  // Test hooks.
  // Called before every read or write request with the disk number (-1 for
  // a volume not mapped on a disk) and the byte offset.
  void SetRequestHook(std::function<void(int disk, std::int64_t offset, bool write)> hook);
  // Advances the virtual clock (no effect on a realtime machine).
  void AdvanceClock(std::int64_t nanoseconds);
  void SetPerfFrequency(std::int64_t f);
  bool Realtime() const;
  int OpenHandleCount() const;
  int DiskCount() const;
  std::uint64_t DiskSize(int disk) const;

  struct Machine;
  explicit SimPlatform(std::unique_ptr<Machine> m);

 private:
  friend class SimAsyncReader;
  // With `serviceNs` the request's duration is handed back instead of
  // passing on the clock.
  bool Transfer(bool write, Handle h, std::int64_t offset, void* buf, std::uint32_t len,
                std::uint32_t* done, std::int64_t* serviceNs = nullptr);
  std::int64_t NowNs() const;
  // Lets the clock reach `ns` (a realtime machine waits for it).
  void WaitUntilNs(std::int64_t ns);
  std::int64_t CounterAtNs(std::int64_t ns) const;
  std::unique_ptr<Machine> m_;
};

}  // namespace dt
