// The random access test on a real block device: a loop device over a
// faultyfs file that logs every read the kernel passes on, so the places
// the run reports can be held against the places the device was asked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "access/random_access_run.h"
#include "fixtures.h"
#include "platform/platform.h"

namespace dt::systest {
namespace {

TEST(AccessOnRealDisk, ReadsExactlyThePlacesItReports) {
  DT_SYSTEM_TEST_NEEDS(kNeedRoot | kNeedFuse | kNeedLoop);
  FaultyFs::Options o;
  // Large enough that two reads under way at once hardly ever touch, so
  // the block layer has nothing to merge.
  o.size = std::uint64_t{1} << 30;
  o.logRequests = true;
  FaultyFs fs(o);
  LoopDevice loop(fs.file());
  const ScopedPlatform host(MakeHostPlatform());

  const struct {
    std::uint32_t depth;
    const char* async;  // DISKTEST_ASYNC
    const char* engine;
  } cases[] = {{1, nullptr, "sync"}, {32, nullptr, "io_uring"}, {32, "threads", "threads"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.engine);
    if (c.async) {
      ::setenv("DISKTEST_ASYNC", c.async, 1);
    } else {
      ::unsetenv("DISKTEST_ASYNC");
    }
    AccessSettings s;
    s.path = loop.path();
    s.sizes = {4096, 65536};
    s.depth = c.depth;
    s.seconds = 0;
    s.count = 300;
    s.seed = 99;
    s.keepSamples = 1000;
    fs.ClearRequests();
    RandomAccessRun run;
    AccessResult r;
    std::string failure;
    ASSERT_TRUE(run.Run(s, &r, &failure)) << failure;
    ::unsetenv("DISKTEST_ASYNC");
    // A kernel without io_uring for us falls back to the pool.
    if (std::string(c.engine) != "io_uring" || r.engine != "threads") {
      EXPECT_EQ(r.engine, c.engine);
    }
    ASSERT_EQ(r.sizes.size(), 2u);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reported, asked;
    for (const AccessSizeResult& z : r.sizes) {
      EXPECT_EQ(z.count, 300u);
      EXPECT_EQ(z.errors, 0u);
      EXPECT_GT(z.latency.Min(), 0u);
      for (const AccessSample& a : z.samples)
        reported.emplace_back(static_cast<std::uint64_t>(a.position), z.size);
    }
    for (const FaultyRequest& q : fs.Requests()) {
      EXPECT_EQ(q.kind, 'R');
      asked.emplace_back(q.offset, q.length);
    }
    std::sort(reported.begin(), reported.end());
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, reported);
  }
}

}  // namespace
}  // namespace dt::systest
