#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "base/text.h"
#include "platform/platform.h"
#include "support/peers.h"
#include "ui/cli/cli.h"
#include "ui/cli/run_cli.h"

namespace dt {
namespace {

using Result = test::CliResult;
using test::RunCli;

TEST(Cli, ListShowsTheDemoMachineWithDevicePaths) {
  SetNumberFormat({",", "."});
  const Result r = RunCli({"--demo", "list"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("  HDD0  6142 MB   \\\\.\\PHYSICALDRIVE0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  HDD2  1019 MB   \\\\.\\PHYSICALDRIVE2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  C: 4,096 MB [SYSTEM] NTFS     \\\\.\\C:\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  E: 650.00 MB [DEMO_CD] CDFS   \\\\.\\E:\n"), std::string::npos) << r.out;
}

TEST(Cli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(RunCli({}).code, 2);
  EXPECT_EQ(RunCli({"frobnicate"}).code, 2);
  EXPECT_EQ(RunCli({"--demo", "--sim", "x.json", "list"}).code, 2);
  const Result bad = RunCli({"--sim", "/nonexistent.json", "list"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("/nonexistent.json: cannot read the file"), std::string::npos);
  EXPECT_EQ(RunCli({"--demo", "smart", "/dev/nosuchdisk"}).code, 2);
  // A drive number that does not exist is the report's own open failure.
  const Result missing = RunCli({"--demo", "smart", "7"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.out.rfind("Open Error  Error Code = ", 0), 0u) << missing.out;
  EXPECT_EQ(RunCli({"--demo", "smart", "0", "--identify", "de"}).code, 2);
  const Result help = RunCli({"list", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Usage"), std::string::npos);
}

// A fresh folder under the temporary one, removed at the end.
class ScratchDir {
 public:
  ScratchDir()
      : path_(std::filesystem::temp_directory_path() /
              ("dt_cli_test_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name, const std::string& content) const {
    const std::string p = Path(name);
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A machine or capture file that is a folder, missing, garbage or cut short
// is refused with one line that names the file once, never with an abort.
TEST(Cli, UnreadableMachineAndCaptureFilesAreUsageErrors) {
  const ScratchDir dir;
  std::ifstream real(DT_TESTDATA_DIR "/ata-captures/FUJITSU_MHY2120BH--0084000D.cap",
                     std::ios::binary);
  std::string head(30, '\0');
  ASSERT_TRUE(real.read(head.data(), 30));
  const std::string cut = dir.File("cut.cap", head);
  const std::string garbage = dir.File("garbage", std::string("\x7f\x01 not a machine \xff", 17));
  const std::string folder = dir.Path("");
  const std::string missing = dir.Path("missing");
  const std::pair<const char*, std::string> cases[] = {
      {"--capture", folder}, {"--capture", missing}, {"--capture", garbage}, {"--capture", cut},
      {"--sim", folder},     {"--sim", missing},     {"--sim", garbage}};
  for (const auto& [option, file] : cases) {
    SCOPED_TRACE(std::string(option) + " " + file);
    const Result r = RunCli({option, file, "list"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("disktest-cli: " + file + ": ", 0), 0u) << r.err;
    EXPECT_EQ(Count(r.err, file), 1u) << r.err;
    EXPECT_EQ(Count(r.err, "\n"), 1u) << r.err;
    EXPECT_EQ(r.err.find("key '"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_NE(RunCli({"--capture", folder, "list"}).err.find("is a folder"), std::string::npos);
}

// Settings that no run can use are refused before the disk is read: no
// progress, no summary, exit code 2.
TEST(Cli, SpeedRefusesSettingsItCannotUseBeforeTheRun) {
  const ScratchDir dir;
  const std::string machine = dir.File("m.json", R"({"disks": [{"size": 1073741824}]})");
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const Case cases[] = {
      {{"speed", ""}, "empty"},
      // (268434945 + 511) has no bits left under the block mask.
      {{"speed", "0", "--block-size", "268434945"}, "is reduced to 0 sectors"},
      {{"speed", "0", "--csv", dir.Path("")}, ": it is a folder"},
      {{"speed", "0", "--csv", dir.Path("no/points.csv")}, ": there is no folder "},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"--sim", machine};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(args.back());
    const Result r = RunCli(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("disk of"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // A points file made only for the check goes again when the run does not start.
  const std::string csv = dir.Path("points.csv");
  EXPECT_EQ(
      RunCli({"--sim", machine, "speed", "0", "--from", "90%", "--to", "10%", "--csv", csv}).code,
      2);
  EXPECT_FALSE(std::filesystem::exists(csv));
  // The largest block size under the mask runs.
  const Result ok =
      RunCli({"--sim", machine, "speed", "0", "--block-size", "268434944", "--csv", csv});
  EXPECT_EQ(ok.code, 0) << ok.err;
  std::ifstream points(csv);
  std::string header;
  EXPECT_TRUE(std::getline(points, header));
  EXPECT_EQ(header, "Tm,Ps,Speed");
}

TEST(Cli, SmartOfADiskWithoutPassThroughPrintsItsFailureLines) {
  const Result r = RunCli({"--demo", "smart", "2"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("ID error : System "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("No support SMART"), std::string::npos) << r.out;
}

// Runs in one process start from no options: none of an earlier run stays.
TEST(Cli, SmartOptionsDoNotCarryOverToTheNextRun) {
  const Result plain = RunCli({"--demo", "smart", "0"});
  ASSERT_FALSE(plain.out.empty()) << plain.err;
  const Result json = RunCli({"--demo", "smart", "0", "--json"});
  ASSERT_EQ(json.out.rfind("{", 0), 0u) << json.out;
  EXPECT_GT(RunCli({"--demo", "smart", "0", "--reserved", "--help-texts", "--identify", "ru"})
                .out.size(),
            plain.out.size());
  EXPECT_EQ(RunCli({"--demo", "smart", "0"}).out, plain.out);
}

// The same for the other commands: each run parses into options of its own.
TEST(Cli, CommandOptionsDoNotCarryOverToTheNextRun) {
  const struct {
    std::vector<std::string> plain, loaded;
  } kCases[] = {
      {{"--demo", "list"}, {"--demo", "list", "--json"}},
      {{"--demo", "health", "0"}, {"--demo", "health", "0", "--json"}},
      {{"--demo", "health", "0"}, {"--demo", "health", "0", "--prometheus"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.loaded.back());
    const Result plain = RunCli(c.plain);
    ASSERT_FALSE(plain.out.empty()) << plain.err;
    EXPECT_NE(RunCli(c.loaded).out, plain.out);
    const Result again = RunCli(c.plain);
    EXPECT_EQ(again.code, plain.code);
    EXPECT_EQ(again.out, plain.out);
  }
}

#ifndef _WIN32
// The JSON output agrees with skdump (libatasmart) on every attribute of
// every real capture: ID, value, worst, threshold and the 48-bit raw value.
TEST(Cli, SmartJsonAgreesWithSkdump) {
  const std::string skdump = peers::FindTool("skdump");
  if (skdump.empty()) GTEST_SKIP() << "skdump (libatasmart-bin) is not installed";
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(DT_TESTDATA_DIR "/ata-captures")) {
    if (e.path().extension() != ".cap") continue;
    ++files;
    const std::string cap = e.path().string();
    const Result r = RunCli({"--capture", cap, "smart", "0", "--json"});
    ASSERT_TRUE(r.code == 0 || r.code == 1) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    // skdump's table: ID# Name Value Worst Thres Pretty Raw Type Updates Good Good/Past.
    const std::string skd = peers::RunCommand(skdump + " --load='" + cap + "' 2>&1");
    std::istringstream peer(skd);
    std::string line;
    std::vector<std::vector<std::string>> rows;
    bool table = false;
    while (std::getline(peer, line)) {
      if (line.rfind("ID#", 0) == 0) {
        table = true;
        continue;
      }
      std::istringstream ls(line);
      std::vector<std::string> tok;
      for (std::string t; ls >> t;) tok.push_back(t);
      if (table && tok.size() >= 7) rows.push_back(tok);
    }
    ASSERT_EQ(rows.size(), j["attributes"].size()) << cap;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const auto& a = j["attributes"][i];
      const auto& t = rows[i];
      SCOPED_TRACE(cap + " attribute " + t[0]);
      EXPECT_EQ(a["id"].get<int>(), std::stoi(t[0]));
      // skdump says "n/a" for the values it takes as invalid.
      if (t[2] != "n/a") {
        EXPECT_EQ(a["value"].get<int>(), std::stoi(t[2]));
      }
      if (t[3] != "n/a") {
        EXPECT_EQ(a["worst"].get<int>(), std::stoi(t[3]));
      }
      if (t[4] != "n/a") {
        EXPECT_EQ(a["threshold"].get<int>(), std::stoi(t[4]));
      }
      // skdump prints the six raw bytes in their order, byte 0 first.
      std::string rawHex;
      for (const auto& tok : t)
        if (tok.size() == 14 && tok.rfind("0x", 0) == 0) rawHex = tok.substr(2);
      ASSERT_EQ(rawHex.size(), 12u);
      std::uint64_t raw = 0;
      for (int b = 5; b >= 0; --b) raw = (raw << 8) | std::stoul(rawHex.substr(2 * b, 2), nullptr, 16);
      EXPECT_EQ(a["raw"].get<std::uint64_t>(), raw);
    }
    // Identity as skdump shows it.
    EXPECT_NE(skd.find("Model: [" + j["model"].get<std::string>() + "]"), std::string::npos) << cap;
    EXPECT_NE(skd.find("Serial: [" + j["serial"].get<std::string>() + "]"), std::string::npos) << cap;
    EXPECT_NE(skd.find("Firmware: [" + j["firmware"].get<std::string>() + "]"), std::string::npos) << cap;
  }
  EXPECT_GE(files, 11);
}
#endif

}  // namespace
}  // namespace dt
