#include "access/random_access_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "access/access_scatter.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

TEST(LatencyHistogram, SummaryOfKnownValues) {
  struct Case {
    std::vector<std::uint64_t> values;
    std::uint64_t min, p50, p90, p99, p999, max;
    double mean;
  };
  std::vector<std::uint64_t> ramp;  // 1 ... 1000 (below 256 each value has its bucket)
  for (std::uint64_t v = 1; v <= 1000; ++v) ramp.push_back(v);
  std::vector<std::uint64_t> twoModes(900, 100000);  // 90 % at 100 us, 10 % at 8 ms
  twoModes.insert(twoModes.end(), 100, 8000000);
  const Case cases[] = {
      // A percentile is the largest value its bucket took: equal values come
      // back exactly.
      {std::vector<std::uint64_t>(50, 12540960), 12540960, 12540960, 12540960, 12540960,
       12540960, 12540960, 12540960.0},
      // Ranks by nearest rank; above 256 a bucket holds 2, 4, ... values.
      {ramp, 1, 501, 903, 991, 999, 1000, 500.5},
      {twoModes, 100000, 100000, 100000, 8000000, 8000000, 8000000, 890000.0},
      {{}, 0, 0, 0, 0, 0, 0, 0.0},
  };
  for (const Case& c : cases) {
    LatencyHistogram h;
    for (const std::uint64_t v : c.values) h.Record(v);
    SCOPED_TRACE(c.values.size());
    EXPECT_EQ(h.Count(), c.values.size());
    EXPECT_EQ(h.Min(), c.min);
    EXPECT_EQ(h.Percentile(50), c.p50);
    EXPECT_EQ(h.Percentile(90), c.p90);
    EXPECT_EQ(h.Percentile(99), c.p99);
    EXPECT_EQ(h.Percentile(99.9), c.p999);
    EXPECT_EQ(h.Max(), c.max);
    EXPECT_DOUBLE_EQ(h.Mean(), c.mean);
  }
}

TEST(LatencyHistogram, BucketsHoldTheirValuesWithinOneIn128) {
  std::uint64_t previousTop = 0;
  for (std::uint64_t v = 1; v < (std::uint64_t{1} << 62); v = v * 3 / 2 + 1) {
    const std::size_t b = LatencyHistogram::BucketOf(v);
    ASSERT_LT(b, LatencyHistogram::kBuckets);
    const std::uint64_t top = LatencyHistogram::BucketTop(b);
    EXPECT_GE(top, v);
    EXPECT_LE(top - v, v / 128) << v;
    EXPECT_GE(top, previousTop);
    previousTop = top;
  }
  EXPECT_EQ(LatencyHistogram::BucketOf(~std::uint64_t{0}), LatencyHistogram::kBuckets - 1);
  EXPECT_EQ(LatencyHistogram::BucketTop(LatencyHistogram::kBuckets - 1), ~std::uint64_t{0});
}

TEST(AccessPositions, AlignedWithinTheRangeCoveringItAndRepeatable) {
  struct Case {
    std::uint32_t size;
    std::int64_t first, last;
    std::uint64_t slots;
  };
  const Case cases[] = {
      {4096, 0, 64 * 4096 - 1, 64},       // the whole of a small disk
      {512, 1000, 1000 + 40 * 512, 39},   // a range that begins mid-sector
      {65536, 65536 * 3, 65536 * 10 - 2, 6},  // the last slot does not fit whole
      {1048576, 0, 1048575, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    AccessPositions p(7, c.size, c.first, c.last), again(7, c.size, c.first, c.last),
        other(8, c.size, c.first, c.last);
    ASSERT_EQ(p.Slots(), c.slots);
    std::set<std::int64_t> seen;
    bool differs = false;
    for (int i = 0; i < 4000; ++i) {
      const std::int64_t pos = p.Next();
      EXPECT_EQ(pos % c.size, 0);
      EXPECT_GE(pos, c.first);
      EXPECT_LE(pos + c.size - 1, c.last);
      EXPECT_EQ(again.Next(), pos);
      differs |= other.Next() != pos;
      seen.insert(pos);
    }
    EXPECT_EQ(seen.size(), c.slots);
    EXPECT_EQ(differs, c.slots > 1);
  }
  EXPECT_EQ(AccessPositions(1, 4096, 0, 4094).Slots(), 0u);
}

TEST(AccessSizes, ParseAndText) {
  EXPECT_EQ(ParseAccessSize("512"), 512u);
  EXPECT_EQ(ParseAccessSize("4k"), 4096u);
  EXPECT_EQ(ParseAccessSize("64K"), 65536u);
  EXPECT_EQ(ParseAccessSize("1m"), 1048576u);
  EXPECT_EQ(ParseAccessSize("1MiB"), 1048576u);
  EXPECT_EQ(ParseAccessSize("4x"), 0u);
  EXPECT_EQ(ParseAccessSize("k"), 0u);
  EXPECT_EQ(ParseAccessSize("65m"), 0u);
  EXPECT_EQ(AccessSizeText(512), "512 B");
  EXPECT_EQ(AccessSizeText(4096), "4 KiB");
  EXPECT_EQ(AccessSizeText(1048576), "1 MiB");
  EXPECT_EQ(AccessSizeText(1536), "1536 B");
}

// A disk of 1 GiB at 100 MB/s with 0.5 ms per request and 8 ms to reach a
// place: a random 4 KiB read takes 8.5 ms + 40.96 us = 8,540,960 ns.
constexpr std::uint64_t kService4k = 8540960;
constexpr const char* kDisk = R"({"perf_frequency": 1000000000, "disks": [{"size": 1073741824,
  "access_ms": 8, "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 0.5}}]})";

struct SimRun {
  std::unique_ptr<ScopedPlatform> platform;
  SimPlatform* sim = nullptr;
  std::vector<std::int64_t> offsets;  // every read the disk was asked for
  explicit SimRun(const char* json = kDisk) {
    std::string error;
    auto m = ParseSimMachine(json, "", "test machine", &error);
    EXPECT_TRUE(m) << error;
    sim = m.get();
    platform = std::make_unique<ScopedPlatform>(std::move(m));
    sim->SetRequestHook([this](int, std::int64_t off, bool) { offsets.push_back(off); });
  }
};

AccessSettings FourK(std::uint32_t depth) {
  AccessSettings s;
  s.path = "\\\\.\\PHYSICALDRIVE0";
  s.sizes = {4096};
  s.depth = depth;
  s.seconds = 0;
  s.count = 200;
  s.seed = 42;
  s.keepSamples = 1000;
  return s;
}

TEST(RandomAccessRun, LatencyAndIopsFollowTheDisksAccessTime) {
  // At depth N the disk serves one read at a time: the first N reads wait
  // 1 ... N services, every later one N, and the rate stays one per service.
  for (const std::uint32_t depth : {1u, 4u, 32u}) {
    SCOPED_TRACE(depth);
    SimRun sim;
    RandomAccessRun run;
    AccessResult r;
    std::string failure;
    ASSERT_TRUE(run.Run(FourK(depth), &r, &failure)) << failure;
    EXPECT_EQ(r.engine, depth == 1 ? "sync" : "sim");
    ASSERT_EQ(r.sizes.size(), 1u);
    const AccessSizeResult& s = r.sizes[0];
    EXPECT_EQ(s.count, 200u);
    EXPECT_EQ(s.errors, 0u);
    EXPECT_EQ(s.elapsedNs, 200 * kService4k);
    EXPECT_DOUBLE_EQ(s.Iops(), 1e9 / kService4k);
    EXPECT_DOUBLE_EQ(s.BytesPerSecond(), 4096 * 1e9 / kService4k);
    EXPECT_EQ(s.latency.Min(), kService4k);
    EXPECT_EQ(s.latency.Percentile(50), depth * kService4k);
    EXPECT_EQ(s.latency.Percentile(99.9), depth * kService4k);
    EXPECT_EQ(s.latency.Max(), depth * kService4k);
    const double waits = (200.0 - depth) * depth + depth * (depth + 1) / 2.0;
    EXPECT_NEAR(s.latency.Mean(), waits * kService4k / 200.0, 1e-6);
    // The positions reported are the ones read, each once.
    std::vector<std::int64_t> reported;
    for (const AccessSample& a : s.samples) reported.push_back(a.position);
    std::sort(reported.begin(), reported.end());
    std::sort(sim.offsets.begin(), sim.offsets.end());
    EXPECT_EQ(reported, sim.offsets);
  }
}

TEST(RandomAccessRun, SameSeedReadsTheSamePlacesAndATimeLimitEndsEachSize) {
  std::vector<std::int64_t> first;
  for (int pass = 0; pass < 2; ++pass) {
    SimRun sim;
    AccessSettings s = FourK(1);
    s.count = 0;
    s.seconds = 1;
    s.sizes = {4096, 65536};
    RandomAccessRun run;
    AccessResult r;
    std::string failure;
    ASSERT_TRUE(run.Run(s, &r, &failure)) << failure;
    ASSERT_EQ(r.sizes.size(), 2u);
    // Reads begin while less than a second has passed: ceil(1 s / service).
    EXPECT_EQ(r.sizes[0].count, 118u);  // 1e9 / 8,540,960 = 117.08
    EXPECT_EQ(r.sizes[1].count, 110u);  // 1e9 / 9,155,360 = 109.2
    if (pass == 0) first = sim.offsets;
    else EXPECT_EQ(sim.offsets, first);
  }
}

TEST(RandomAccessRun, StopEndsTheRunWithinOneBatch) {
  for (const std::uint32_t depth : {1u, 8u}) {
    SCOPED_TRACE(depth);
    SimRun sim;
    RandomAccessRun run;
    int reads = 0;
    sim.sim->SetRequestHook([&](int, std::int64_t, bool write) {
      EXPECT_FALSE(write);
      if (++reads == 10) run.Stop();
    });
    AccessSettings s = FourK(depth);
    s.sizes = {4096, 65536};
    AccessResult r;
    std::string failure;
    ASSERT_TRUE(run.Run(s, &r, &failure)) << failure;
    EXPECT_TRUE(r.stopped);
    EXPECT_LE(reads, 10 + static_cast<int>(depth) - 1);
    ASSERT_EQ(r.sizes.size(), 1u);
    EXPECT_EQ(r.sizes[0].count, static_cast<std::uint64_t>(reads));
    EXPECT_EQ(sim.sim->OpenHandleCount(), 0);
  }
}

TEST(RandomAccessRun, ReadErrorsAreCountedAndSettingsThatDoNotFitRefused) {
  // Sectors 0 ... 2047 unreadable: one 1 MiB slot of a 4 MiB disk.
  SimRun sim(R"({"perf_frequency": 1000000000, "disks": [{"size": 4194304,
    "unreadable": [[0, 2047]]}]})");
  AccessSettings s = FourK(4);
  s.sizes = {1048576};
  s.count = 400;
  RandomAccessRun run;
  AccessResult r;
  std::string failure;
  ASSERT_TRUE(run.Run(s, &r, &failure)) << failure;
  ASSERT_EQ(r.sizes.size(), 1u);
  EXPECT_EQ(r.sizes[0].count + r.sizes[0].errors, 400u);
  EXPECT_NEAR(static_cast<double>(r.sizes[0].errors), 100.0, 30.0);
  ASSERT_FALSE(r.errors.empty());
  EXPECT_EQ(r.errors[0].position, 0);
  EXPECT_NE(r.errors[0].code, 0u);

  const struct {
    void (*change)(AccessSettings&);
    const char* says;
  } refused[] = {
      {[](AccessSettings& a) { a.sizes = {1000}; }, "not a whole number of 512-byte sectors"},
      {[](AccessSettings& a) { a.depth = 0; }, "queue depth"},
      {[](AccessSettings& a) { a.depth = 1024; a.sizes = {4096, 2097152}; }, "more than 1 GiB"},
      {[](AccessSettings& a) { a.rangeStart = 4194304; }, "does not lie within"},
      {[](AccessSettings& a) { a.rangeEnd = 1000000; a.sizes = {1048576}; }, "no read of 1 MiB fits"},
      {[](AccessSettings& a) { a.path = "\\\\.\\PHYSICALDRIVE9"; }, "is unknown"},
  };
  for (const auto& c : refused) {
    AccessSettings a = FourK(1);
    c.change(a);
    RandomAccessRun again;
    EXPECT_FALSE(again.Run(a, &r, &failure));
    EXPECT_NE(failure.find(c.says), std::string::npos) << failure;
  }
  EXPECT_EQ(sim.sim->OpenHandleCount(), 0);
}

TEST(AccessScatter, ReadsLandAtTheirPlaceAndLatency) {
  // Decades from 1 ms (bottom) to 10 ms (top), places across 1000 bytes.
  AccessResult r;
  r.diskSize = 1000;
  AccessSizeResult& z = r.sizes.emplace_back();
  z.samples = {{0, 1000000}, {500, 10000000}};
  AccessSizeResult& y = r.sizes.emplace_back();
  y.samples = {{999, 3000000}};  // 10^6.48 ns: 40 of the 83 rows up
  const ScatterImage img = DrawAccessScatter(r, 200, 100);
  EXPECT_EQ(img.lowNs, 1000000u);
  EXPECT_EQ(img.highNs, 10000000u);
  auto at = [&](int x, int yy) {
    const std::uint8_t* p = &img.rgb[(static_cast<std::size_t>(yy) * img.width + x) * 3];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  std::uint8_t c0[3], c1[3];
  ScatterColour(0, c0);
  ScatterColour(1, c1);
  const std::vector<int> first{c0[0], c0[1], c0[2]}, second{c1[0], c1[1], c1[2]};
  // The plot spans x 8 ... 191 and y 8 ... 91 inside an 8-pixel margin.
  EXPECT_EQ(at(9, 91), first);    // place 0, 1 ms: bottom left
  EXPECT_EQ(at(99, 8), first);    // place 500, 10 ms: top, half way across
  EXPECT_EQ(at(189, 51), second);  // place 999, 3 ms: at the right, 40 rows up
  EXPECT_EQ(at(150, 30), (std::vector<int>{255, 255, 255}));
}

}  // namespace
}  // namespace dt
