// The IDENTIFY report side by side with hdparm: for every real IDENTIFY block
// of the shared test data, the facts that both print (UltraDMA modes, 48-bit
// capacity, security state, the SMART and 48-bit feature bits, queue depth)
// must agree between this program's English report and hdparm --Istdin.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ata/identify_report.h"
#include "base/text.h"
#include "platform/sim/ata_capture.h"
#include "support/peers.h"

namespace dt {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// hdparm's lines for one IDENTIFY block, given as 256 four-digit hex words,
// 8 a line.
Lines RunHdparm(const std::string& hdparm, const std::array<std::uint8_t, 512>& block) {
  const std::string text = peers::HdparmIdentify(hdparm, block);
  Lines lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// The text after `key` on the first line holding it; empty without one.
std::string After(const Lines& lines, const std::string& key) {
  for (const auto& l : lines) {
    const auto at = l.find(key);
    if (at != std::string::npos) return l.substr(at + key.size());
  }
  return {};
}

// The first number of a text, or -1.
std::int64_t FirstNumber(const std::string& s) {
  std::smatch m;
  if (!std::regex_search(s, m, std::regex("[0-9]+"))) return -1;
  return std::stoll(m.str());
}

// The lines of an hdparm section: after its title, while they start with a tab.
Lines Section(const Lines& lines, const std::string& title) {
  Lines r;
  bool in = false;
  for (const auto& l : lines) {
    if (in && (l.empty() || l[0] != '\t')) break;
    if (in) r.push_back(l);
    if (StartsWith(l, title)) in = true;
  }
  return r;
}

// Our report: the value text after a word line's label, and the value (0 or
// 1) of a bit line under a word line.
struct OurReport {
  Lines lines;

  std::string Value(const std::string& wordLine) const {
    for (const auto& l : lines)
      if (StartsWith(l, wordLine)) return l.substr(wordLine.size());
    return {};
  }
  bool HasLine(const std::string& prefix) const {
    for (const auto& l : lines)
      if (StartsWith(l, prefix)) return true;
    return false;
  }
  // -1 when the word line or the bit is not in the report.
  int Bit(const std::string& offset, int bit) const {
    bool in = false;
    for (const auto& l : lines) {
      const bool wordLine = l.size() > 4 && l[3] == ':';
      if (in && wordLine) break;
      const bool bitLine = l.size() > 13 && l.compare(0, 5, "     ") == 0 && l[12] == ' ' &&
                           l[11] >= '0' && l[11] <= '9';
      if (in && bitLine && std::stoi(l.substr(8, 4)) == bit) return l[13] - '0';
      if (StartsWith(l, offset)) in = true;
    }
    return -1;
  }
};

// "udma0 udma1 *udma2": the modes listed, and the starred one.
void UdmaModes(const std::string& dma, std::string* listed, std::string* active) {
  const std::regex udma("(\\*?)udma([0-9])");
  for (auto it = std::sregex_iterator(dma.begin(), dma.end(), udma); it != std::sregex_iterator();
       ++it) {
    const std::string mode = (*it)[2].str();
    *listed += (listed->empty() ? "" : ",") + mode;
    if ((*it)[1].length() > 0) *active += (active->empty() ? "" : ",") + mode;
  }
}

TEST(IdentifyPeerTest, ReportAgreesWithHdparm) {
  const std::string hdparm = peers::FindTool("hdparm");
  if (hdparm.empty()) GTEST_SKIP() << "hdparm is not installed (Debian package hdparm)";
  const ScopedNumberFormat english({",", "."});

  std::map<std::string, int> compared;
  int captures = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(DT_TESTDATA_DIR) / "ata-captures")) {
    if (entry.path().extension() != ".cap") continue;
    SCOPED_TRACE(entry.path().filename().string());
    AtaCapture cap;
    std::string error;
    ASSERT_TRUE(ReadAtaCapture(entry.path().string(), &cap, &error)) << error;
    const Lines peer = RunHdparm(hdparm, cap.identify);
    ASSERT_FALSE(After(peer, "Model Number:").empty()) << "hdparm gave no IDENTIFY decoding";

    TIDE_SMART s;
    std::copy(cap.identify.begin(), cap.identify.end(), s.IdentifyResult.bBuffer);
    s.IdentifyValid = true;
    OurReport ours;
    WriteIdentifyReport(
        s, [&](const std::string& l) { ours.lines.push_back(l); }, IdentifyLanguage::English);
    ++captures;

    // UltraDMA: hdparm lists the modes when word 53 says word 88 is valid.
    std::string listed, active;
    UdmaModes(After(peer, "DMA:"), &listed, &active);
    if (ours.Bit("106: ", 2) == 1) {
      EXPECT_EQ(ours.Value("176: O  Word 88: UltraDMA transfer modes supported: "), listed);
      EXPECT_EQ(ours.Value("177: O  Word 88: UltraDMA transfer mode active: "), active);
      ++compared["udma"];
    }

    // 48-bit capacity, printed by hdparm for drives with the 48-bit feature set.
    const std::string lba48 = After(peer, "LBA48  user addressable sectors:");
    if (!lba48.empty()) {
      EXPECT_EQ(FirstNumber(ours.Value("200: OV Words 100-103: Maximum user LBA for 48-bit "
                                       "address: ")),
                FirstNumber(lba48));
      ++compared["lba48"];
    }

    // Queue depth (NCQ or TCQ drives): the ATA-5 reading, depth + 1.
    const std::string depth = After(peer, "Queue depth:");
    if (!depth.empty()) {
      EXPECT_EQ(FirstNumber(ours.Value("150: OF Word 75: Maximum queue depth: ")),
                FirstNumber(depth));
      ++compared["queue"];
    }

    // Feature table: every supported bit listed, a star when enabled.
    const Lines features = Section(peer, "Commands/features:");
    if (!features.empty()) {
      const struct {
        const char* name;
        const char* supportedWord;
        const char* enabledWord;
        int bit;
      } rows[] = {{"SMART feature set", "164: ", "170: ", 0},
                  {"48-bit Address feature set", "166: ", "172: ", 10}};
      for (const auto& r : rows) {
        int listedAs = 0;  // 0 absent, 1 listed, 2 listed and enabled
        for (const auto& l : features) {
          const auto tab = l.rfind('\t');
          if (tab != std::string::npos && l.substr(tab + 1) == r.name)
            listedAs = l.find('*') < tab ? 2 : 1;
        }
        EXPECT_EQ(ours.Bit(r.supportedWord, r.bit), listedAs > 0 ? 1 : 0) << r.name;
        if (listedAs > 0) {
          EXPECT_EQ(ours.Bit(r.enabledWord, r.bit), listedAs == 2 ? 1 : 0) << r.name;
        }
        ++compared[r.name];
      }
    }

    // Security: one line per bit of word 128, "not" before the clear ones.
    const Lines security = Section(peer, "Security:");
    const std::pair<const char*, int> bits[] = {{"supported", 0},
                                                {"enabled", 1},
                                                {"locked", 2},
                                                {"frozen", 3},
                                                {"expired: security count", 4},
                                                {"supported: enhanced erase", 5}};
    for (const auto& l : security) {
      const auto tab = l.rfind('\t');
      const std::string name = l.substr(tab + 1);
      for (const auto& [text, bit] : bits) {
        if (name != text) continue;
        const bool clear = l.find("not") != std::string::npos || l.find("(?)") != std::string::npos;
        EXPECT_EQ(ours.Bit("256: ", bit), clear ? 0 : 1) << name;
        ++compared["security"];
      }
      if (StartsWith(l, "\tSecurity level ")) {
        EXPECT_EQ(ours.Bit("256: ", 8), l.find("maximum") != std::string::npos ? 1 : 0);
        EXPECT_EQ(ours.Bit("256: ", 1), 1);
      }
      if (StartsWith(l, "\tMaster password revision code = ")) {
        EXPECT_EQ(FirstNumber(ours.Value("184: OV Word 92: Master Password Revision Code : ")),
                  FirstNumber(l));
      }
    }
    if (security.empty()) {
      // hdparm leaves the section out for a drive without security support.
      EXPECT_NE(ours.Bit("256: ", 0), 1);
    }
  }
  EXPECT_GE(captures, 11);
  // Each kind of fact was compared on most of the drives.
  for (const char* fact :
       {"udma", "lba48", "queue", "SMART feature set", "48-bit Address feature set"})
    EXPECT_GE(compared[fact], 6) << fact;
  EXPECT_GE(compared["security"], 6 * 6);
}

}  // namespace
}  // namespace dt

#endif  // _WIN32
