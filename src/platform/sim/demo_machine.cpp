// The demo machine built into the program: what `--demo` opens.
#include "platform/sim/sim_platform.h"

namespace dt {

namespace {

// Five disks: a healthy one (a notebook disk that takes 12.5 ms to reach a
// place away from its last read), one with bad sectors whose SMART data shows
// reallocated and pending sectors, a small flash drive without ATA
// pass-through, a failing disk whose SMART data shows 63 reallocated and
// 529 pending sectors and, around its bad sectors, sectors that read only
// slowly (the ATA disks answer from captures of real drives),
// and a healthy NVMe SSD a few percent into its rated endurance.
// Four volumes: two on the disks, a CD and a card reader without a medium.
constexpr const char* kDemo = R"json({
  "realtime": true,
  "disks": [
    {"size": 6442450944, "capture": "builtin:st9100821as", "access_ms": 12.5,
     "speed": {"start_mbps": 110, "end_mbps": 58, "latency_ms": 0.12}},
    {"size": 2147483648, "capture": "builtin:samsung_hd501lj",
     "speed": {"start_mbps": 85, "end_mbps": 47, "latency_ms": 0.15},
     "unreadable": [[1000000, 1000007], [2500000, 2500000], [3000000, 3000063]],
     "unwritable": [[3000000, 3000015]]},
    {"size": 1073741824, "speed": {"start_mbps": 32, "end_mbps": 30, "latency_ms": 0.6}},
    {"size": 3221225472, "capture": "builtin:wd5000aaks",
     "speed": {"start_mbps": 70, "end_mbps": 35, "latency_ms": 0.4},
     "unreadable": [[400000, 400127], [1200000, 1200007], [1200100, 1200100],
                    [2000000, 2000255], [5000000, 5000015]],
     "slow": [{"first": 399800, "last": 399807, "ms": 140},
              {"first": 400200, "last": 400207, "ms": 380},
              {"first": 1200200, "last": 1200207, "ms": 45},
              {"first": 2000300, "last": 2000303, "ms": 720},
              {"first": 4999900, "last": 4999903, "ms": 90}]},
    {"size": 4294967296, "speed": {"start_mbps": 1800, "end_mbps": 1650, "latency_ms": 0.03},
     "nvme": {"model": "Corvale CV3 NVMe 4GB", "serial": "CV3A21K0774193", "firmware": "3B2QGXA7",
              "temperature_c": 38, "temperature_sensors_c": [38, 46],
              "available_spare": 100, "available_spare_threshold": 10, "percentage_used": 3,
              "data_units_read": 31478112, "data_units_written": 24905361,
              "host_read_commands": 412337905, "host_write_commands": 298114562,
              "controller_busy_time": 1482, "power_cycles": 1214, "power_on_hours": 4127,
              "unsafe_shutdowns": 47, "media_errors": 0, "num_err_log_entries": 3,
              "error_log_entries": 3, "short_self_test_seconds": 20,
              "extended_self_test_minutes": 4}}
  ],
  "volumes": [
    {"name": "C", "label": "SYSTEM", "fs": "NTFS", "disk": 0, "offset": 1048576, "size": 4294967296},
    {"name": "D", "label": "DATA", "fs": "FAT32", "disk": 1, "offset": 32256, "size": 2147418624},
    {"name": "E", "label": "DEMO_CD", "fs": "CDFS", "size": 681574400},
    {"name": "F", "no_medium": true}
  ]
})json";

}  // namespace

std::unique_ptr<SimPlatform> MakeDemoMachine() {
  std::string error;
  auto m = ParseSimMachine(kDemo, "", "built-in demo machine", &error);
  return m;
}

}  // namespace dt
