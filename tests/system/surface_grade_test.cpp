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

  // One line a delayed request: the request's sectors (at most 128 KiB)
  // hold the delayed ones, its time at least their delay.
  std::ifstream in(slow);
  struct Line {
    std::int64_t first, last;
    double ms;
  };
  std::vector<Line> lines;
  for (Line l{}; in >> l.first >> l.last >> l.ms;) lines.push_back(l);
  ASSERT_EQ(lines.size(), 2u) << r.output;
  const std::int64_t delayed[2][2] = {{1000, 1007}, {50000, 50000}};
  const double least[2] = {80, 700};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_LE(lines[i].first, delayed[i][0]);
    EXPECT_GE(lines[i].last, delayed[i][1]);
    EXPECT_LE(lines[i].last - lines[i].first + 1, 256);
    EXPECT_GE(lines[i].ms, least[i]);
    EXPECT_LT(lines[i].ms, least[i] + 100);  // the disk's own time is small
  }

  std::stringstream text;
  text << std::ifstream(json).rdbuf();
  const auto j = nlohmann::json::parse(text.str());
  const auto& a = j.at("access_time");
  EXPECT_EQ(a.at("slow_limit_ms"), 50);
  ASSERT_EQ(a.at("bands").size(), 6u);
  EXPECT_EQ(a["bands"][3].at("below_ms"), 200);
  EXPECT_EQ(a["bands"][3].at("count"), 1);  // the 80 ms request
  EXPECT_EQ(a["bands"][4].at("count"), 0);
  EXPECT_TRUE(a["bands"][5].at("below_ms").is_null());
  EXPECT_EQ(a["bands"][5].at("count"), 1);  // the 700 ms request
  EXPECT_EQ(a.at("slowest").at("first"), lines[1].first);
  EXPECT_EQ(a.at("slow_ranges").size(), 2u);
  EXPECT_FALSE(j.contains("access_time_write"));
}

}  // namespace
}  // namespace dt::surface
