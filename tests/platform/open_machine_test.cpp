#include "platform/open_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

TEST(OpenMachine, TheCommandLineChoosesTheMachine) {
  std::string error;
  auto keep = MakeDemoMachine();
  ScopedPlatform restore(std::move(keep));
  ASSERT_TRUE(OpenMachine("disktest", {"--demo"}, &error));
  EXPECT_EQ(Sys().Name(), "sim");
  ASSERT_TRUE(OpenMachine("disktest", {}, &error));
  EXPECT_NE(Sys().Name(), "sim");

  const auto dir = std::filesystem::temp_directory_path() / "dt_open_machine_test";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "machine.json").string();
  std::ofstream(file) << R"({"disks": [{"size": 1048576}, {"size": 2097152}]})";
  ASSERT_TRUE(OpenMachine("disktest", {"--sim", file}, &error)) << error;
  EXPECT_EQ(static_cast<SimPlatform&>(Sys()).DiskCount(), 2);

  error.clear();
  EXPECT_FALSE(OpenMachine("disktest", {"--sim", (dir / "missing.json").string()}, &error));
  EXPECT_NE(error.find("missing.json"), std::string::npos);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--sim"}, {"--demo", "--sim", file}, {"--verbose"}, {"disk"}}) {
    error.clear();
    EXPECT_FALSE(OpenMachine("disktest.exe", bad, &error));
    EXPECT_EQ(error, "usage: disktest.exe [--demo | --sim FILE]");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dt
