// Access-time grading on a simulated disk with known slow sectors: the band
// counts, the slowest request, the slow ranges and each cell's slowest band,
// on the machine's virtual clock (a counter of 1 GHz, so every time is exact).
#include <gtest/gtest.h>

#include "surface/surface_engine.h"
#include "surface/surface_map.h"
#include "surface_rig.h"

namespace dt::surface {
namespace {

using test::Engine;
using test::Machine;

// 4096 sectors at 100 MB/s: a 128 KiB request takes 1.41072 ms, a single
// sector 0.10512 ms. Slow sectors put whole requests into higher bands:
// 256-511 (80 ms), 1024-1279 (250 ms), 1280-1535 (700 ms), 3840-4095
// (30 ms). Sector 2000 cannot be read, nor 2500 written.
std::string SlowDisk(bool slow = true) {
  return std::string(R"({"perf_frequency": 1000000000, "disks": [{"size": 2097152,
    "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 0.1},
    "unreadable": [[2000, 2000]], "unwritable": [[2500, 2500]])") +
         (slow ? R"(, "slow": [{"first": 300, "last": 300, "ms": 80},
             {"first": 1024, "last": 1100, "ms": 250}, {"first": 1280, "last": 1290, "ms": 700},
             {"first": 4000, "last": 4095, "ms": 30}])"
               : "") +
         "}]}";
}

struct GradeCase {
  const char* name;
  std::uint8_t mode;
  std::int32_t passes;
  double slowMs;
  // Per pass: the read and the write band counts.
  std::vector<std::int64_t> reads, writes;
  std::vector<SlowRange> readSlow, writeSlow;  // merged
};

TEST(AccessGrades, CountsSlowestAndSlowRangesOfEveryMode) {
  // The failing 128 KiB request (sectors 1792-2047 or 2304-2559) is not
  // graded; its 256 single-sector retries are, but the failing sector's.
  const std::vector<std::int64_t> retried = {11 + 255, 0, 1, 1, 1, 1};
  const std::vector<std::int64_t> none = {0, 0, 0, 0, 0, 0};
  const SlowRange joined{1024, 1535, 700};
  const SlowRange eighty{256, 511, 80};
  const GradeCase cases[] = {
      {"read", kModeRead, 1, 200, retried, none, {joined}, {}},
      {"read, slow limit 50 ms", kModeRead, 1, 50, retried, none, {eighty, joined}, {}},
      {"write", kModeWrite, 1, 200, none, retried, {}, {joined}},
      // Every read goes back as a write: ten fast requests, the 255 retries
      // of the request with the unwritable sector, and all 256 sectors of
      // the one with the unreadable sector (it gets zeros back).
      {"read-write, two passes", kModeReadWrite, 2, 200, retried,
       {10 + 255 + 256, 0, 1, 1, 1, 1}, {joined}, {joined}},
  };
  for (const GradeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m(SlowDisk());
    Engine e(2, 4);
    e.s.SlowLimitMs = c.slowMs;
    e.Run(c.mode, c.passes);
    std::vector<std::int64_t> reads = c.reads, writes = c.writes;
    for (auto& n : reads) n *= c.passes;
    for (auto& n : writes) n *= c.passes;
    EXPECT_EQ(e.s.ReadGrades.Counts, reads);
    EXPECT_EQ(e.s.WriteGrades.Counts, writes);
    EXPECT_EQ(e.s.ReadGrades.MergedSlowRanges(), c.readSlow);
    EXPECT_EQ(e.s.WriteGrades.MergedSlowRanges(), c.writeSlow);
    // Found once a pass.
    EXPECT_EQ(e.s.ReadGrades.SlowRanges.size(), c.readSlow.size() * c.passes);
    const SlowRange slowest{1280, 1535, 700};
    const SlowRange nothing{-1, -1, 0};
    EXPECT_EQ(e.s.ReadGrades.Slowest, c.mode == kModeWrite ? nothing : slowest);
    EXPECT_EQ(e.s.WriteGrades.Slowest, c.mode == kModeRead ? nothing : slowest);
    // Each cell of 512 sectors keeps its slowest band and time.
    const std::int32_t bands[8] = {3, 0, 5, 0, 0, 0, 0, 2};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(e.s.Cell(i / 4, i % 4).SlowestBand.load(), bands[i]) << i;
    EXPECT_EQ(e.s.Cell(0, 2).SlowestUs.load(), 700000);
    EXPECT_EQ(e.s.Cell(0, 1).SlowestUs.load(), 1410);
  }
}

TEST(AccessGrades, OwnBandLimitsAndACapOnTheSlowRanges) {
  Machine m(SlowDisk());
  Engine e(2, 4);
  e.s.BandLimitsMs = {1, 100};
  e.s.SlowLimitMs = 1;  // every 128 KiB request is slow, no single sector
  e.Run(kModeRead, 1);
  EXPECT_EQ(e.s.ReadGrades.Counts, (std::vector<std::int64_t>{255, 13, 2}));
  // The requests before and after the failing one are joined by its
  // retries only where those are slow: they are not.
  EXPECT_EQ(e.s.ReadGrades.MergedSlowRanges(),
            (std::vector<SlowRange>{{0, 1791, 700}, {2048, 4095, 30}}));
  EXPECT_EQ(e.s.BandOf(0.5), 0);
  EXPECT_EQ(e.s.BandOf(1), 1);
  EXPECT_EQ(e.s.BandOf(100), 2);

  EXPECT_TRUE(ValidBandLimits({5, 20, 50, 200, 600}));
  EXPECT_TRUE(ValidBandLimits({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_FALSE(ValidBandLimits({1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_FALSE(ValidBandLimits({}));
  EXPECT_FALSE(ValidBandLimits({5, 5}));
  EXPECT_FALSE(ValidBandLimits({20, 5}));
  EXPECT_FALSE(ValidBandLimits({0, 5}));
}

TEST(AccessGrades, AFailingDiskKeepsAtMostTheCappedNumberOfSlowRanges) {
  // Every other sector slow: single-sector requests alternate slow and fast
  // (a map of one sector a cell), so no two slow ones join.
  std::string slow;
  const int sectors = 2 * static_cast<int>(kMaxSlowRanges) + 200;
  for (int i = 0; i < sectors; i += 2)
    slow += std::string(slow.empty() ? "" : ",") + R"({"first": )" + std::to_string(i) +
            R"(, "last": )" + std::to_string(i) + R"(, "ms": 300})";
  Machine m(R"({"perf_frequency": 1000000000, "disks": [{"size": )" +
            std::to_string(sectors * 512) + R"(, "slow": [)" + slow + "]}]}");
  Engine e(100, 400);  // 40000 cells of one sector, the rest blue
  e.Run(kModeRead, 1);
  EXPECT_EQ(e.s.ReadGrades.SlowRanges.size(), kMaxSlowRanges);
  EXPECT_TRUE(e.s.ReadGrades.SlowRangesCut);
  EXPECT_EQ(e.s.ReadGrades.Counts[4], sectors / 2);  // still counted
}

// The map of a read run over `disk`, 2 x 4 cells, every cell drawn as the
// window draws it; grading switched on (and off again) as asked.
struct MapRun {
  Machine m;
  Engine e{2, 4};
  SurfaceMap map{e.s};
  explicit MapRun(const std::string& disk) : m(disk) {
    int w = 0, h = 0;
    ClientSizeForMap(4, 2, &w, &h);
    map.Layout(w, h);
    e.Run(kModeRead, 1);
    for (int i = 0; i < 8; ++i) map.DrawCell(e.s.Cell(i / 4, i % 4));
  }
  std::vector<std::uint8_t> Pixels() const {
    const MapImage& im = map.Image();
    return {im.Bits(), im.Bits() + static_cast<std::size_t>(im.BytesPerLine()) * im.Height()};
  }
};

TEST(AccessGradeMap, OffItIsTodaysMapAndOnTheCellsAndLegendFollowTheBands) {
  // The same disk without slow sectors: grading off, the two maps are the
  // same pixel for pixel, and so after grading was on and off again.
  MapRun today(SlowDisk(false)), graded(SlowDisk());
  ASSERT_EQ(today.map.Image().Width(), 45);
  EXPECT_EQ(graded.Pixels(), today.Pixels());
  // Today's colours: yellow tested, red bad share with its B.
  EXPECT_EQ(today.map.Image().Pixel(today.e.s.Cell(0, 0).Left + 9, today.e.s.Cell(0, 0).Top + 9),
            kYellow);
  graded.map.SetGrading(true);
  EXPECT_NE(graded.Pixels(), today.Pixels());
  // The bottom-right pixel of every cell is tested: its band's colour.
  const std::int32_t bands[8] = {3, 0, 5, 0, 0, 0, 0, 2};
  for (int i = 0; i < 8; ++i) {
    const TMapCell& c = graded.e.s.Cell(i / 4, i % 4);
    EXPECT_EQ(graded.map.Image().Pixel(c.Left + 9, c.Top + 9), GradeColor(bands[i], 6)) << i;
  }
  // Cell 3 holds the unreadable sector: its first pixel stays red.
  const TMapCell& bad = graded.e.s.Cell(0, 3);
  EXPECT_EQ(graded.map.Image().Pixel(bad.Left, bad.Top), kRed);
  graded.map.SetGrading(false);
  EXPECT_EQ(graded.Pixels(), today.Pixels());

  // A light-to-dark ramp: every band darker than the one before.
  auto light = [](Rgb c) { return 299 * c.r + 587 * c.g + 114 * c.b; };
  for (int b = 1; b < 6; ++b) EXPECT_LT(light(GradeColor(b, 6)), light(GradeColor(b - 1, 6)));
  EXPECT_EQ(GradeColor(0, 6), (Rgb{218, 218, 235}));
  EXPECT_EQ(GradeColor(5, 6), (Rgb{63, 0, 125}));

  const std::vector<LegendEntry> legend = GradeLegend(graded.e.s);
  std::vector<std::string> texts;
  for (const LegendEntry& l : legend) texts.push_back(l.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"< 5 ms: 266", "< 20 ms: 0", "< 50 ms: 1",
                                             "< 200 ms: 1", "< 600 ms: 1", ">= 600 ms: 1",
                                             "Error: 1"}));
  EXPECT_EQ(legend[3].colour, GradeColor(3, 6));
  EXPECT_EQ(legend.back().colour, kRed);

  // The mouse-over text names the cell's slowest time while grading is on.
  graded.map.SetGrading(true);
  graded.map.MouseMove(graded.e.s.Cell(0, 2).Left + 1, graded.e.s.Cell(0, 2).Top + 1);
  EXPECT_EQ(graded.map.CurrenElementInfo(), "28.57% slowest 700.0 ms");
  graded.map.SetGrading(false);
  graded.map.MouseMove(graded.e.s.Cell(0, 2).Left + 1, graded.e.s.Cell(0, 2).Top + 1);
  EXPECT_EQ(graded.map.CurrenElementInfo(), "28.57% ");
}

}  // namespace
}  // namespace dt::surface
