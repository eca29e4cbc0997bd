// The whole "Get SMART" report of every real capture, pinned to golden
// files: the plain report with the English IDENTIFY report, and the report
// with every option (reserved bytes, help texts) and the Russian IDENTIFY
// report. The line formats themselves are pinned by the unit tests of each
// report; these files catch any change to a whole report.
//
// DT_UPDATE_GOLDEN=1 rewrites the files (review the diff before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "health/smart_flow.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

namespace fs = std::filesystem;

std::string Report(const std::string& capture, const SmartOptions& o) {
  std::string error;
  ScopedPlatform sim(MakeCaptureMachine(capture, &error));
  std::string text;
  BuildSmartReport(0, o, [&](const std::string& l) { text += l + "\n"; });
  return text;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(SmartGolden, EveryCaptureInBothLanguages) {
  const ScopedNumberFormat english({",", "."});
  const bool update = std::getenv("DT_UPDATE_GOLDEN") != nullptr;
  const fs::path dir = fs::path(DT_SOURCE_DIR) / "tests/ata/golden/smart";
  int captures = 0;
  for (const auto& e : fs::directory_iterator(fs::path(DT_TESTDATA_DIR) / "ata-captures")) {
    if (e.path().extension() != ".cap") continue;
    ++captures;
    const std::string name = e.path().stem().string();
    SmartOptions plain;
    plain.identify = true;
    SmartOptions all;
    all.reserved = all.help = all.identify = true;
    all.english = false;
    for (const auto& [suffix, options] :
         {std::pair{".en.txt", plain}, std::pair{".reserved-help.ru.txt", all}}) {
      const fs::path golden = dir / (name + suffix);
      const std::string text = Report(e.path().string(), options);
      if (update) {
        fs::create_directories(dir);
        std::ofstream(golden, std::ios::binary) << text;
        continue;
      }
      ASSERT_TRUE(fs::exists(golden)) << golden << " is missing (DT_UPDATE_GOLDEN=1 writes it)";
      const std::string want = ReadFile(golden);
      if (text == want) continue;
      // Name the first line that differs.
      std::istringstream a(text), b(want);
      std::string la, lb;
      int line = 1;
      while (std::getline(a, la) && std::getline(b, lb) && la == lb) ++line;
      ADD_FAILURE() << golden.filename() << " differs at line " << line << ":\n  got:  " << la
                    << "\n  want: " << lb;
    }
  }
  EXPECT_GE(captures, 11);
}

}  // namespace
}  // namespace dt
