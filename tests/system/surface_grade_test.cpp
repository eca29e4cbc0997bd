// Access-time grading on a real block device: a loop device over a faultyfs
// file whose chosen sectors are served only after a delay, graded by the
// command-line program.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "fixtures.h"

namespace dt::surface {
namespace {

using systest::FaultyFs;
using systest::LoopDevice;
using systest::RunCommand;

TEST(SurfaceGradeSystem, TheSlowRangesOfALoopDeviceAreItsDelayedSectors) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedFuse | systest::kNeedLoop);
  const std::string cli = systest::CliBinary();
  if (cli.empty()) GTEST_SKIP() << "disktest-cli is not built";
  FaultyFs::Options o;
  o.size = 64 * 1048576;  // 131072 sectors
  o.slow = {{{1000, 1007}, 80}, {{50000, 50000}, 700}};
  FaultyFs fs(o);
  LoopDevice loop(fs.file());

  systest::TempDir dir;
  const std::string slow = dir.path() + "/slow.txt", json = dir.path() + "/run.json";
  const auto r = RunCommand({cli, "surface", loop.path(), "--grade", "--slow-ms", "50",
                             "--slow-blocks", slow, "--json", json});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("Access time of the reads:"), std::string::npos) << r.output;

  // One line for each delayed request: the request's sectors (at most
  // 128 KiB) hold the delayed ones, its time at least their delay. A busy
  // machine may make other requests slow as well: they may add lines of
  // their own, never change these.
  std::ifstream in(slow);
  struct Line {
    std::int64_t first, last;
    double ms;
  };
  std::vector<Line> lines;
  for (Line l{}; in >> l.first >> l.last >> l.ms;) lines.push_back(l);
  const std::int64_t delayed[2][2] = {{1000, 1007}, {50000, 50000}};
  const double least[2] = {80, 700};
  Line found[2] = {};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    int holding = 0;
    for (const Line& l : lines) {
      if (l.first > delayed[i][0] || l.last < delayed[i][1]) continue;
      ++holding;
      found[i] = l;
    }
    ASSERT_EQ(holding, 1) << r.output;
    EXPECT_LE(found[i].last - found[i].first + 1, 256);
    EXPECT_GE(found[i].ms, least[i]);
  }

  std::stringstream text;
  text << std::ifstream(json).rdbuf();
  const auto j = nlohmann::json::parse(text.str());
  const auto& a = j.at("access_time");
  EXPECT_EQ(a.at("slow_limit_ms"), 50);
  ASSERT_EQ(a.at("bands").size(), 6u);
  const double limits[5] = {5, 20, 50, 200, 600};
  for (int b = 0; b < 5; ++b) EXPECT_EQ(a["bands"][b].at("below_ms"), limits[b]);
  EXPECT_TRUE(a["bands"][5].at("below_ms").is_null());
  // Each delayed request is counted in the band its time falls in (the
  // 80 ms one below 200 ms on a quiet machine, the 700 ms one at 600 or more).
  for (const Line& l : found) {
    int band = 0;
    while (band < 5 && l.ms >= limits[band]) ++band;
    EXPECT_GE(a["bands"][band].at("count").get<int>(), 1) << l.ms;
  }
  EXPECT_GE(a["bands"][5].at("count").get<int>(), 1);
  // (the list prints tenths of a millisecond, the JSON the time itself)
  EXPECT_GE(a.at("slowest").at("ms").get<double>(), found[1].ms - 0.05);
  EXPECT_EQ(a.at("slow_ranges").size(), lines.size());
  EXPECT_FALSE(j.contains("access_time_write"));
}

}  // namespace
}  // namespace dt::surface
