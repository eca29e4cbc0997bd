// disktest-cli speed on a device that is in use: a mounted file system. The
// read-speed test only reads, so it opens the device for reading alone and
// runs without a word about the mount.
#include <filesystem>

#include "fixtures.h"

namespace dt {
namespace {

TEST(SpeedCliInUse, MountedDeviceIsReadWithoutASystemError) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop | systest::kNeedExt4);
  std::string cli;
  if (const char* env = std::getenv("DT_CLI")) {
    cli = env;
  } else {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    cli = (self.parent_path().parent_path().parent_path() / "src/cli/disktest-cli").string();
  }
  if (!std::filesystem::exists(cli)) GTEST_SKIP() << "disktest-cli is not built (or set DT_CLI)";

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
