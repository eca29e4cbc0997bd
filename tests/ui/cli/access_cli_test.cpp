#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "ui/cli/run_cli.h"

namespace dt {
namespace {

using test::RunCli;

// A disk of 1 GiB at 100 MB/s, 0.5 ms per request and 8 ms to reach a
// place, timed by a 1 GHz counter: a random 4 KiB read takes 8,540,960 ns,
// a 64 KiB read 9,155,360 ns.
constexpr const char* kDisk = R"({"perf_frequency": 1000000000, "disks": [{"size": 1073741824,
  "access_ms": 8, "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 0.5}}]})";

class AccessCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("dt_access_cli_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir_);
    std::ofstream(Path("disk.json")) << kDisk;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(AccessCli, TableOfTheSimulatedDisksFigures) {
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  } cases[] = {
      {{"--sizes", "4k,64k"},
       {"  Range 0 - 1073741823 of 1073741824 bytes, queue depth 1 (sync), seed 42\n",
        "     4 KiB        100       117.1        0.48     8541.0     8541.0     8541.0     8541.0"
        "     8541.0     8541.0     8541.0       0\n",
        "    64 KiB        100       109.2        7.16     9155.4     9155.4     9155.4     9155.4"
        "     9155.4     9155.4     9155.4       0\n",
        "  Average access time (4 KiB reads): 8.54 ms\n"}},
      // Four under way: the first three wait 1, 2, 3 services, the rest 4.
      {{"--sizes", "4k", "--qd", "4"},
       {"  Range 0 - 1073741823 of 1073741824 bytes, queue depth 4 (sim), seed 42\n",
        "     4 KiB        100       117.1        0.48     8541.0    33651.4    34163.8    34163.8"
        "    34163.8    34163.8    34163.8       0\n"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"--sim", Path("disk.json"), "access", "0", "--count", "100",
                                  "--seed", "42"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const test::CliResult r = RunCli(args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Finished: random access on \\\\.\\PHYSICALDRIVE0\n", 0), 0u) << r.out;
    for (const std::string& line : c.lines)
      EXPECT_NE(r.out.find(line), std::string::npos) << line << "in\n" << r.out;
  }
}

TEST_F(AccessCli, JsonHoldsTheTablesFiguresAndThePlotIsAPng) {
  const test::CliResult r =
      RunCli({"--sim", Path("disk.json"), "access", "0", "--sizes", "4k", "--count", "100",
              "--qd", "4", "--seed", "42", "--range", "0%-50%", "--json", "-", "--plot",
              Path("scatter.png")});
#ifdef DT_HAVE_PNG
  ASSERT_EQ(r.code, 0) << r.err;
#else
  // A build without libpng says so and fails the command; the JSON is there
  // all the same.
  ASSERT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("has no PNG support"), std::string::npos) << r.err;
#endif
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["settings"]["range"]["end_bytes"], 536870911);
  EXPECT_EQ(j["settings"]["seconds"], nullptr);
  const auto& z = j["results"][0];
  EXPECT_EQ(z["count"], 100);
  EXPECT_DOUBLE_EQ(z["iops"].get<double>(), 1e9 / 8540960);
  EXPECT_DOUBLE_EQ(z["bytes_per_second"].get<double>(), 4096 * 1e9 / 8540960);
  EXPECT_DOUBLE_EQ(z["latency_us"]["min"].get<double>(), 8540.96);
  EXPECT_DOUBLE_EQ(z["latency_us"]["mean"].get<double>(), 8540.96 * 3.94);
  EXPECT_DOUBLE_EQ(z["latency_us"]["p999"].get<double>(), 4 * 8540.96);
  // The table went to standard error.
  EXPECT_NE(r.err.find("queue depth 4 (sim)"), std::string::npos) << r.err;
#ifdef DT_HAVE_PNG
  std::ifstream png(Path("scatter.png"), std::ios::binary);
  std::string head(24, '\0');
  png.read(head.data(), 24);
  EXPECT_EQ(head.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(head.substr(16, 8), std::string("\0\0\x03\xe8\0\0\x02\x58", 8));  // 1000 x 600
#endif
}

TEST_F(AccessCli, BadSettingsAreUsageErrors) {
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{"--sizes", "4k,3x"}, {"--sizes", "1000"}, {"--qd", "0"},
        {"--range", "5-"}, {"--range", "60%-x"}}) {
    std::vector<std::string> args{"--sim", Path("disk.json"), "access", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(RunCli(args).code, 2) << extra.back();
  }
  // A range that the disk does not have is the run's refusal.
  const test::CliResult r = RunCli({"--sim", Path("disk.json"), "access", "0", "--range",
                                    "0-2000000000", "--count", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("does not lie within"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace dt
