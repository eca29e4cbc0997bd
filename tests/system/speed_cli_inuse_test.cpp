// disktest-cli speed on a device that is in use: a mounted file system. The
// read-speed test only reads, so it opens the device for reading alone and
// runs without a word about the mount.
#include <filesystem>

#include "fixtures.h"

namespace dt {
namespace {

TEST(SpeedCliInUse, MountedDeviceIsReadWithoutASystemError) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop | systest::kNeedExt4);
  const std::string cli = systest::CliBinary();
  if (cli.empty()) GTEST_SKIP() << "disktest-cli is not built (or set DT_CLI)";

  systest::ImageFile image(32 * 1048576, systest::ImageFile::Content::kZeros);
  systest::LoopDevice loop(image.path());
  systest::MakeExt4(loop.path());
  systest::Mount mount(loop.path());
  // A write open of a mounted block device fails with EBUSY: the test must
  // not try one.
  const systest::CommandResult r = systest::RunCommand({cli, "speed", loop.path(), "--count", "8"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.find("System error"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("for write"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Finished: " + loop.path() + "\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Blocks timed: "), std::string::npos) << r.output;
}

}  // namespace
}  // namespace dt
