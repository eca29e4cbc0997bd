// The demo machine built into the program: what `--demo` opens.
#include "platform/sim/sim_platform.h"

namespace dt {

namespace {

// Four disks: a healthy one, one with bad sectors whose SMART data shows
// reallocated and pending sectors, a small flash drive without ATA
// pass-through, and a failing disk whose SMART data shows 63 reallocated and
// 529 pending sectors (the ATA disks answer from captures of real drives).
// Four volumes: two on the disks, a CD and a card reader without a medium.
constexpr const char* kDemo = R"json({
  "realtime": true,
  "disks": [
    {"size": 6442450944, "capture": "builtin:st9100821as",
     "speed": {"start_mbps": 110, "end_mbps": 58, "latency_ms": 0.12}},
    {"size": 2147483648, "capture": "builtin:samsung_hd501lj",
     "speed": {"start_mbps": 85, "end_mbps": 47, "latency_ms": 0.15},
     "unreadable": [[1000000, 1000007], [2500000, 2500000], [3000000, 3000063]],
     "unwritable": [[3000000, 3000015]]},
    {"size": 1073741824, "speed": {"start_mbps": 32, "end_mbps": 30, "latency_ms": 0.6}},
    {"size": 3221225472, "capture": "builtin:wd5000aaks",
     "speed": {"start_mbps": 70, "end_mbps": 35, "latency_ms": 0.4},
     "unreadable": [[400000, 400127], [1200000, 1200007], [1200100, 1200100],
                    [2000000, 2000255], [5000000, 5000015]]}
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
