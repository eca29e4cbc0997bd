// The surface command's JSON report, and the sector ranges it and the
// text report give.
#pragma once

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "surface/surface_engine.h"
#include "surface/surface_logic.h"

namespace dt::cli {

// What the JSON needs beside the engine's state.
struct SurfaceRun {
  std::int32_t drive = -1;  // the disk number of the physical list, or -1
  const surface::TestedDisk* disk = nullptr;
  std::string mode;
  std::int32_t passes = 0;
  std::int32_t columns = 0, rows = 0;
  std::chrono::system_clock::time_point startedAt;
  bool stopped = false;
};

// A slow range of blocks as 512-byte sectors, inclusive, cut at the end of
// the disk.
surface::SlowRange SectorRange(const surface::SlowRange& r, std::int32_t sectorsPerBlock,
                               std::int64_t diskBytes);

// The run as JSON (keys in README.md): the failing blocks as ranges of
// consecutive block numbers of the engine's list.
nlohmann::ordered_json SurfaceJson(const SurfaceRun& run, surface::SurfaceState& s,
                                   const std::vector<std::int64_t>& bad);

}  // namespace dt::cli
