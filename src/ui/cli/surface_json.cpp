#include "ui/cli/surface_json.h"

#include <algorithm>

#include "platform/platform.h"
#include "ui/cli/output.h"

namespace dt::cli {

// A slow range of blocks as 512-byte sectors, inclusive, cut at the end of
// the disk.
surface::SlowRange SectorRange(const surface::SlowRange& r, std::int32_t sectorsPerBlock,
                               std::int64_t diskBytes) {
  const std::int64_t sectors = (diskBytes + 511) / 512;
  return {r.First * sectorsPerBlock,
          std::min((r.Last + 1) * sectorsPerBlock, std::max<std::int64_t>(sectors, 1)) - 1, r.Ms};
}

namespace {

constexpr int kSurfaceJsonSchemaVersion = 1;

// A limit as JSON: a whole number without its ".0".
nlohmann::ordered_json LimitJson(double ms) {
  if (ms == static_cast<double>(static_cast<std::int64_t>(ms)))
    return static_cast<std::int64_t>(ms);
  return ms;
}

// A time as JSON, to the microsecond.
double MsJson(double ms) {
  return static_cast<double>(static_cast<std::int64_t>(ms * 1000.0 + 0.5)) / 1000.0;
}

nlohmann::ordered_json GradesJson(const surface::AccessGrades& g, const surface::SurfaceState& s,
                                  std::int32_t sectorsPerBlock, std::int64_t diskBytes) {
  using Json = nlohmann::ordered_json;
  auto range = [&](const surface::SlowRange& blocks) {
    const surface::SlowRange r = SectorRange(blocks, sectorsPerBlock, diskBytes);
    return Json{{"first", r.First}, {"last", r.Last}, {"ms", MsJson(r.Ms)}};
  };
  Json j;
  Json& bands = j["bands"] = Json::array();
  for (std::size_t b = 0; b <= s.BandLimitsMs.size(); ++b)
    bands.push_back({{"below_ms", b < s.BandLimitsMs.size() ? LimitJson(s.BandLimitsMs[b]) : Json()},
                     {"count", b < g.Counts.size() ? g.Counts[b] : 0}});
  j["slowest"] = g.Slowest.First < 0 ? Json() : range(g.Slowest);
  j["slow_limit_ms"] = LimitJson(s.SlowLimitMs);
  Json& slow = j["slow_ranges"] = Json::array();
  for (const surface::SlowRange& r : g.MergedSlowRanges()) slow.push_back(range(r));
  j["slow_ranges_cut"] = g.SlowRangesCut;
  return j;
}

}  // namespace

// The run as JSON (keys in README.md): the failing blocks as ranges of
// consecutive block numbers of the engine's list.
nlohmann::ordered_json SurfaceJson(const SurfaceRun& run, surface::SurfaceState& s,
                                   const std::vector<std::int64_t>& bad) {
  using Json = nlohmann::ordered_json;
  const surface::TestedDisk& disk = *run.disk;
  std::string model = disk.model;
  model.erase(model.find_last_not_of(' ') + 1);
  model.erase(0, model.find_first_not_of(' '));
  Json j;
  j["schema_version"] = kSurfaceJsonSchemaVersion;
  j["drive"] = run.drive >= 0 ? Json(run.drive) : Json(nullptr);
  j["device"] = disk.path;
  j["model"] = model.empty() ? Json(nullptr) : Json(model);
  j["started_at"] = IsoTimeUtc(run.startedAt);
  j["duration_seconds"] =
      static_cast<double>(static_cast<std::uint32_t>(Sys().TickCount() - s.StartTick.load())) /
      1000.0;
  Json& set = j["settings"];
  set["mode"] = run.mode;
  set["passes"] = run.passes;
  set["read_only"] = !disk.writeHandle;
  set["disk_bytes"] = disk.bytes;
  set["block_bytes"] = disk.sectorsPerBlock * 512;
  set["block_count"] = disk.blocks;
  set["map_columns"] = run.columns;
  set["map_rows"] = run.rows;
  set["cell_count"] = static_cast<std::int64_t>(run.columns) * run.rows;
  set["blocks_per_cell"] = s.BlocksPerCell.load();
  Json& res = j["result"];
  res["stopped"] = run.stopped;
  res["blocks_read"] = s.ReadDone.load();
  res["blocks_written"] = s.WriteDone.load();
  res["blocks_compared"] = s.CompareDone.load();
  res["bad_read"] = s.ReadErrors.load();
  res["bad_write"] = s.WriteErrors.load();
  res["bad_compare"] = s.CompareErrors.load();
  res["bad_block_count"] = static_cast<std::int64_t>(bad.size());
  Json& ranges = j["bad_ranges"] = Json::array();
  for (std::size_t i = 0; i < bad.size();) {
    std::size_t k = i;
    while (k + 1 < bad.size() && bad[k + 1] == bad[k] + 1) ++k;
    ranges.push_back({{"first_block", bad[i]}, {"last_block", bad[k]}});
    i = k + 1;
  }
  j["access_time"] = GradesJson(s.ReadGrades, s, disk.sectorsPerBlock, disk.bytes);
  if (s.TestMode.load() != surface::kModeRead)
    j["access_time_write"] = GradesJson(s.WriteGrades, s, disk.sectorsPerBlock, disk.bytes);
  return j;
}

}  // namespace dt::cli
