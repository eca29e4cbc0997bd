#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "base/version.h"
#include "ui/cli/run_cli.h"

namespace dt {
namespace {

// The version in the top CMakeLists.txt: project(disktest VERSION x.y[.z]).
std::string CMakeProjectVersion() {
  std::ifstream f(std::string(DT_SOURCE_DIR) + "/CMakeLists.txt");
  std::stringstream text;
  text << f.rdbuf();
  const std::string s = text.str();
  std::smatch m;
  if (!std::regex_search(s, m, std::regex(R"(project\(disktest\s+VERSION\s+([0-9.]+))"))) return "";
  return m[1];
}

TEST(CliVersion, PrintsTheProjectVersionAndTheCommitWithoutACommand) {
  const std::string version = CMakeProjectVersion();
  ASSERT_FALSE(version.empty());
  EXPECT_EQ(ProjectVersion(), version);

  const test::CliResult r = test::RunCli({"--version"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // A commit is a short hash or a `git describe` name, maybe dirty; a build
  // outside a git checkout says "unknown".
  const std::regex line("disktest-cli " +
                        std::regex_replace(version, std::regex(R"(\.)"), R"(\.)") +
                        R"( \(commit (([0-9a-f]{7,40}|.+-g[0-9a-f]{7,40})(-dirty)?|unknown)\)\n)");
  EXPECT_TRUE(std::regex_match(r.out, line)) << r.out;
  EXPECT_EQ(r.out, std::string("disktest-cli ") + VersionText() + "\n");
  EXPECT_NE(std::string(VersionText()).find(GitCommit()), std::string::npos);

  // It wins over the machine options and needs no command; --help lists it.
  EXPECT_EQ(test::RunCli({"--demo", "--version"}).out, r.out);
  EXPECT_NE(test::RunCli({"--help"}).out.find("--version"), std::string::npos);
}

}  // namespace
}  // namespace dt
