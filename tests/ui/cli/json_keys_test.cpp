// The JSON of every command against the key tables of README.md, and the
// figures of speed and surface --json against the same run's CSV, text and
// the known bad sectors.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>

#include "base/text.h"
#include "ui/cli/run_cli.h"

namespace dt {
namespace {

using Json = nlohmann::json;
using test::CliResult;
using test::RunCli;

struct DocumentedKey {
  std::set<std::string> types;  // "integer", "number", ..., "null"
  bool optional = false;
};
// command -> key path -> its row
using KeyTables = std::map<std::string, std::map<std::string, DocumentedKey>>;

// The tables under "### JSON output": a heading "#### `COMMAND ...`" and
// rows "| `key` [mark] | type [or null] | meaning |"; the heading
// "#### `nvme` object" has the keys of that object of smart and health.
KeyTables ReadKeyTables(std::string* problems) {
  std::ifstream in(DT_SOURCE_DIR "/README.md");
  KeyTables tables;
  std::string line, command;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (line.rfind("### ", 0) == 0 || line.rfind("## ", 0) == 0) {
      inSection = line == "### JSON output";
      command.clear();
      continue;
    }
    if (!inSection) continue;
    if (line.rfind("#### `", 0) == 0) {
      command = line.substr(6, line.find_first_of(" `", 6) - 6);
      continue;
    }
    if (command.empty() || line.rfind("| `", 0) != 0) continue;
    const auto keyEnd = line.find('`', 3);
    const auto cellEnd = line.find('|', 1);
    const auto typeEnd = line.find('|', cellEnd + 1);
    if (keyEnd == std::string::npos || cellEnd == std::string::npos ||
        typeEnd == std::string::npos || keyEnd > cellEnd) {
      *problems += "unreadable row: " + line + "\n";
      continue;
    }
    const std::string key = line.substr(3, keyEnd - 3);
    DocumentedKey& d = tables[command][key];
    d.optional = line.find_first_not_of(' ', keyEnd + 1) != cellEnd;
    std::istringstream type(line.substr(cellEnd + 1, typeEnd - cellEnd - 1));
    // "integer or null", "array of strings": the first word of each part.
    bool next = true;
    for (std::string word; type >> word;) {
      if (next) d.types.insert(word);
      next = word == "or";
    }
    static const std::set<std::string> known{"integer", "number", "string", "boolean",
                                             "object",  "array",  "null"};
    for (const std::string& t : d.types)
      if (!known.count(t)) *problems += command + " " + key + ": no type " + t + "\n";
  }
  // The table of the "nvme" object serves smart and health, whose own
  // tables hold the object's row.
  const auto nvme = tables.find("nvme");
  if (nvme != tables.end()) {
    for (const char* command : {"smart", "health"})
      for (const auto& [key, d] : nvme->second) tables[command]["nvme." + key] = d;
    tables.erase(nvme);
  }
  return tables;
}

std::string TypeOf(const Json& v) {
  if (v.is_null()) return "null";
  if (v.is_boolean()) return "boolean";
  if (v.is_number_integer()) return "integer";
  if (v.is_number()) return "number";
  if (v.is_string()) return "string";
  if (v.is_object()) return "object";
  return "array";
}

// Every key path of `v` with the types its values had.
void CollectKeys(const Json& v, const std::string& path,
                 std::map<std::string, std::set<std::string>>* keys) {
  if (v.is_object()) {
    for (const auto& [k, x] : v.items()) {
      const std::string p = path.empty() ? k : path + "." + k;
      (*keys)[p].insert(TypeOf(x));
      CollectKeys(x, p, keys);
    }
  } else if (v.is_array()) {
    for (const Json& x : v)
      if (x.is_object()) CollectKeys(x, path + "[]", keys);
  }
}

// A fresh folder under the temporary one, removed at the end.
class ScratchDir {
 public:
  ScratchDir()
      : path_(std::filesystem::temp_directory_path() /
              ("dt_json_test_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The demo machine's disk 1 (a real drive's SMART data, three unreadable
// sector ranges) on the virtual clock: a surface test of the whole disk
// takes seconds instead of the demo's real minute.
constexpr const char* kDisk1 = R"({"disks": [
  {"size": 2147483648, "capture": "builtin:samsung_hd501lj",
   "speed": {"start_mbps": 85, "end_mbps": 47, "latency_ms": 0.15},
   "unreadable": [[1000000, 1000007], [2500000, 2500000], [3000000, 3000063]]}]})";

// A disk of 2048 sectors on a counter of 1 GHz whose requests of 256
// sectors take 1.41072 ms, but 80 ms for sectors 256-511, 250 ms for
// 1024-1279 and 700 ms for 1280-1535.
constexpr const char* kSlowDisk = R"({"perf_frequency": 1000000000, "disks": [
  {"size": 1048576, "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 0.1},
   "slow": [{"first": 300, "last": 300, "ms": 80}, {"first": 1024, "last": 1030, "ms": 250},
            {"first": 1300, "last": 1300, "ms": 700}]}]})";

// The runs the tests share, made once.
struct Runs {
  ScratchDir dir;
  std::string csv = dir.Path("points.csv");
  std::string slowBlocks = dir.Path("slow.txt");
  std::map<std::string, std::vector<CliResult>> byCommand;
  CliResult speed, surface, graded;
};

const Runs& SharedRuns() {
  static Runs* runs = [] {
    auto* r = new Runs;
    r->byCommand["list"].push_back(RunCli({"--demo", "list", "--json"}));
    for (const char* d : {"0", "1", "2", "3", "4"}) {
      r->byCommand["smart"].push_back(RunCli({"--demo", "smart", d, "--json"}));
      r->byCommand["health"].push_back(RunCli({"--demo", "health", d, "--json"}));
    }
    // A range of disk 1 over its first bad sectors, in alternating order:
    // near and far reads fail.
    r->speed = RunCli({"--demo", "speed", "1", "--count", "4", "--from", "23.8%", "--to", "23.9%",
                       "--alternate", "--csv", r->csv, "--json", "-"});
    r->byCommand["speed"].push_back(r->speed);
    const std::string machine = r->dir.Path("disk1.json");
    std::ofstream(machine) << kDisk1;
    r->surface = RunCli({"--sim", machine, "surface", "0", "--no-log", "--json", "-"});
    r->byCommand["surface"].push_back(r->surface);
    const std::string slow = r->dir.Path("slow.json");
    std::ofstream(slow) << kSlowDisk;
    r->graded = RunCli({"--sim", slow, "surface", "0", "--mode", "read-write", "--yes",
                        "--yes-system-disk", "--map-size", "4x2", "--grade", "--slow-blocks",
                        r->slowBlocks, "--json", "-"});
    r->byCommand["surface"].push_back(r->graded);
    // Random 1 MiB reads of a 4 MiB disk whose first MiB is unreadable: a
    // quarter of them fail.
    const std::string small = r->dir.Path("small.json");
    std::ofstream(small) << R"({"disks": [{"size": 4194304, "unreadable": [[0, 2047]]}]})";
    r->byCommand["access"].push_back(RunCli({"--sim", small, "access", "0", "--sizes", "512,1m",
                                             "--count", "40", "--qd", "4", "--seed", "3",
                                             "--json", "-"}));
    return r;
  }();
  return *runs;
}

// Each command emits exactly the keys that README.md lists for it, with
// the documented types; standard output of every run is one JSON document.
TEST(JsonKeys, EveryCommandEmitsExactlyTheDocumentedKeys) {
  std::string problems;
  const KeyTables tables = ReadKeyTables(&problems);
  EXPECT_EQ(problems, "");
  const Runs& runs = SharedRuns();
  ASSERT_EQ(tables.size(), runs.byCommand.size());
  for (const auto& [command, results] : runs.byCommand) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(tables.count(command)) << "README.md has no key table for " << command;
    const auto& documented = tables.at(command);
    std::map<std::string, std::set<std::string>> emitted;
    for (const CliResult& r : results) {
      ASSERT_TRUE(Json::accept(r.out)) << r.out << r.err;
      CollectKeys(Json::parse(r.out), "", &emitted);
    }
    for (const auto& [key, types] : emitted) {
      const auto d = documented.find(key);
      if (d == documented.end()) {
        ADD_FAILURE() << key << " is emitted but not documented";
        continue;
      }
      for (const std::string& t : types) {
        const bool ok =
            d->second.types.count(t) || (t == "integer" && d->second.types.count("number"));
        EXPECT_TRUE(ok) << key << " is " << t << ", documented otherwise";
      }
    }
    for (const auto& [key, d] : documented)
      EXPECT_TRUE(d.optional || emitted.count(key)) << key << " is documented but not emitted";
  }
}

// The points of speed --json are the CSV's figures, its summary the text's,
// its error lines those on standard error; the byte positions lead to the
// chart's per cent.
TEST(JsonKeys, SpeedJsonHoldsTheFiguresOfTheCsvAndTheSummary) {
  const Runs& runs = SharedRuns();
  const CliResult& r = runs.speed;
  EXPECT_EQ(r.code, 1) << r.err;  // read errors
  const Json j = Json::parse(r.out);
  std::ifstream csv(runs.csv);
  std::string line;
  ASSERT_TRUE(std::getline(csv, line));
  const Json& points = j["points"];
  std::size_t i = 0;
  const double disk = j["settings"]["disk_bytes"].get<double>();
  std::int64_t previous = j["settings"]["start_bytes"].get<std::int64_t>();
  for (; std::getline(csv, line); ++i) {
    ASSERT_LT(i, points.size());
    const Json& p = points[i];
    std::istringstream fields(line);
    std::string tm, ps, speed;
    std::getline(fields, tm, ',');
    std::getline(fields, ps, ',');
    std::getline(fields, speed);
    EXPECT_EQ(p["time_us"].get<std::int64_t>(), std::stoll(tm));
    EXPECT_EQ(p["position"].get<double>(), std::stod(ps));
    EXPECT_EQ(p["speed_bytes_per_second"].get<double>(), std::stod(speed));
    const std::int64_t bytes = p["position_bytes"].get<std::int64_t>();
    EXPECT_EQ(std::trunc(static_cast<double>(bytes) / disk * 10000.0) / 100.0,
              p["position"].get<double>());
    EXPECT_GT(bytes, previous);
    previous = bytes;
  }
  EXPECT_EQ(i, points.size());
  EXPECT_GE(i, 4u);
  EXPECT_EQ(previous, j["settings"]["end_bytes"].get<std::int64_t>() + 1);

  // The text of the run went to standard error, with the same figures.
  const Json& s = j["summary"];
  const ScopedNumberFormat format({",", "."});
  auto mbps = [](const Json& v) { return NumberText(v.get<double>() / 1e6, 14, 2) + " MB/s"; };
  EXPECT_NE(r.err.find("  Blocks timed: " + std::to_string(s["blocks_timed"].get<int>()) + "\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("  Speed: min " + mbps(s["min_bytes_per_second"]) + ", average " +
                       mbps(s["average_bytes_per_second"]) + ", max " +
                       mbps(s["max_bytes_per_second"]) + "\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("  Errors: near " + std::to_string(s["near_errors"].get<int>()) + ", far " +
                       std::to_string(s["far_errors"].get<int>()) + "\n"),
            std::string::npos);
  EXPECT_GE(s["near_errors"].get<int>(), 1);
  EXPECT_GE(s["far_errors"].get<int>(), 1);
  int far = 0;
  for (const Json& e : j["read_errors"]) {
    EXPECT_NE(r.err.find(e["text"].get<std::string>() + "\n"), std::string::npos);
    far += e["far"].get<bool>();
  }
  EXPECT_EQ(j["read_errors"].size(), s["near_errors"].get<std::size_t>() + far);
  EXPECT_EQ(far, s["far_errors"].get<int>());
  EXPECT_EQ(j["model"], "SAMSUNG HD501LJ");
  EXPECT_EQ(j["drive"], 1);
}

// surface --json lists the failing blocks as the disk's unreadable sector
// ranges, and counts them as the text does.
TEST(JsonKeys, SurfaceJsonListsTheUnreadableRanges) {
  const CliResult& r = SharedRuns().surface;
  EXPECT_EQ(r.code, 1) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["settings"]["block_bytes"], 512);
  EXPECT_EQ(j["bad_ranges"], Json::parse(R"([
    {"first_block": 1000000, "last_block": 1000007},
    {"first_block": 2500000, "last_block": 2500000},
    {"first_block": 3000000, "last_block": 3000063}])"));
  EXPECT_EQ(j["result"]["bad_block_count"], 73);
  EXPECT_EQ(j["result"]["bad_read"], 73);
  EXPECT_EQ(j["result"]["blocks_read"], j["settings"]["block_count"]);
  EXPECT_NE(r.err.find("\nBad blocks read: 73 ("), std::string::npos) << r.err;
}

// --grade: the band counts, the slowest request and the slow ranges of the
// reads and of the writes, alike in the text, the JSON and --slow-blocks.
TEST(JsonKeys, SurfaceGradesEveryRequestByItsAccessTime) {
  const Runs& runs = SharedRuns();
  const CliResult& r = runs.graded;
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = Json::parse(r.out);
  const Json graded = Json::parse(R"({"bands": [{"below_ms": 5, "count": 5},
    {"below_ms": 20, "count": 0}, {"below_ms": 50, "count": 0}, {"below_ms": 200, "count": 1},
    {"below_ms": 600, "count": 1}, {"below_ms": null, "count": 1}],
    "slowest": {"first": 1280, "last": 1535, "ms": 700.0}, "slow_limit_ms": 200,
    "slow_ranges": [{"first": 1024, "last": 1535, "ms": 700.0}], "slow_ranges_cut": false})");
  EXPECT_EQ(j["access_time"], graded);
  EXPECT_EQ(j["access_time_write"], graded);
  for (const char* kind : {"read", "write"}) {
    const std::string k = kind;
    EXPECT_NE(r.err.find("\nAccess time of the " + k +
                         "s:\n  < 5 ms: 5\n  < 20 ms: 0\n  < 50 ms: 0\n  < 200 ms: 1\n"
                         "  < 600 ms: 1\n  >= 600 ms: 1\nSlowest " + k +
                         ": sectors 1280-1535, 700.0 ms\nSlow " + k +
                         "s (>= 200.0 ms): 1 range\n  1024-1535 700.0 ms\n"),
              std::string::npos)
        << r.err;
  }
  std::ifstream in(runs.slowBlocks);
  std::stringstream list;
  list << in.rdbuf();
  EXPECT_EQ(list.str(), "1024 1535 700.0\n1024 1535 700.0\n");

  // Other limits; limits out of order, too many or not numbers are refused.
  const ScratchDir dir;
  const std::string machine = dir.Path("slow.json");
  std::ofstream(machine) << kSlowDisk;
  const CliResult own = RunCli({"--sim", machine, "surface", "0", "--map-size", "4x2",
                                "--bands", "100,250.5", "--slow-ms", "50", "--json", "-"});
  ASSERT_EQ(own.code, 0) << own.err;
  EXPECT_EQ(Json::parse(own.out)["access_time"], Json::parse(R"({"bands": [
    {"below_ms": 100, "count": 6}, {"below_ms": 250.5, "count": 1},
    {"below_ms": null, "count": 1}], "slowest": {"first": 1280, "last": 1535, "ms": 700.0},
    "slow_limit_ms": 50, "slow_ranges": [{"first": 256, "last": 511, "ms": 80.0},
    {"first": 1024, "last": 1535, "ms": 700.0}], "slow_ranges_cut": false})"));
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--bands", "50,20"}, {"--bands", "1,2,3,4,5,6,7,8,9"},
        {"--bands", "5,,20"}, {"--bands", "5,x"}, {"--slow-ms", "0"}}) {
    std::vector<std::string> args = {"--sim", machine, "surface", "0"};
    args.insert(args.end(), bad.begin(), bad.end());
    const CliResult u = RunCli(args);
    EXPECT_EQ(u.code, 2) << bad[0] << " " << bad[1] << ": " << u.err;
  }
}

// A JSON file goes where the other output files may go: a folder or the
// disk under test is refused before the test.
TEST(JsonKeys, JsonFilesFollowTheOutputFileRules) {
  const ScratchDir dir;
  const std::string machine = dir.Path("m.json");
  std::ofstream(machine)
      << R"({"disks": [{"size": 1048576, "image": "disk.img"}, {"size": 67108864}]})";
  std::ofstream(dir.Path("disk.img"), std::ios::binary) << std::string(1048576, '\0');
  for (const char* command : {"speed", "surface"}) {
    SCOPED_TRACE(command);
    for (const std::string& target : {dir.Path(""), dir.Path("disk.img")}) {
      const CliResult r =
          RunCli({"--sim", machine, command, dir.Path("disk.img"), "--json", target});
      EXPECT_EQ(r.code, 2) << r.err;
      EXPECT_EQ(r.out, "");
    }
    const std::string file = dir.Path(std::string(command) + ".json");
    const CliResult r = RunCli({"--sim", machine, command, "1", "--json", file});
    EXPECT_EQ(r.code, 0) << r.err;
    std::ifstream in(file);
    EXPECT_EQ(Json::parse(in)["schema_version"], 1);
  }
}

}  // namespace
}  // namespace dt
