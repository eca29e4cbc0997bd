// A thread that keeps its processor runs on that one processor only, and
// gets back exactly the processors it had when it lets go.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sched.h>

#include <thread>

#include "platform/platform.h"

namespace dt {
namespace {

TEST(ProcessorHold, KeepsTheThreadOnItsProcessorAndRestoresItsSet) {
  const auto host = MakeHostPlatform();
  std::thread([&] {
    cpu_set_t before;
    ASSERT_EQ(::sched_getaffinity(0, sizeof before, &before), 0);
    {
      const ProcessorHold hold(*host);
      cpu_set_t during;
      ASSERT_EQ(::sched_getaffinity(0, sizeof during, &during), 0);
      EXPECT_EQ(CPU_COUNT(&during), 1);
      EXPECT_TRUE(CPU_ISSET(::sched_getcpu(), &during));
      // Holding again changes nothing and is undone by the one release.
      EXPECT_TRUE(host->KeepThreadOnProcessor(true));
    }
    cpu_set_t after;
    ASSERT_EQ(::sched_getaffinity(0, sizeof after, &after), 0);
    EXPECT_TRUE(CPU_EQUAL(&before, &after));
    EXPECT_FALSE(host->KeepThreadOnProcessor(false));  // nothing held
  }).join();
}

}  // namespace
}  // namespace dt
#endif
