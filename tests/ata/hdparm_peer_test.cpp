// Side by side with hdparm: every real IDENTIFY block of the shared test data
// is decoded by hdparm --Istdin and by this program's helpers, and the facts
// both of them show must agree.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ata/identify_decode.h"
#include "ata/tide_smart.h"
#include "base/text.h"
#include "platform/sim/ata_capture.h"
#include "support/peers.h"

namespace dt {
namespace {

namespace fs = std::filesystem;

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// hdparm's text for one IDENTIFY block.
std::string RunHdparm(const std::string& hdparm, const AtaCapture& cap) {
  return peers::HdparmIdentify(hdparm, cap.identify);
}

// The value after "<key>" on hdparm's line that contains it; empty without one.
std::string Field(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto at = line.find(key);
    if (at != std::string::npos) return Trim(line.substr(at + key.size()));
  }
  return {};
}

// The first number of a text, or -1.
std::int64_t FirstNumber(const std::string& s) {
  std::smatch m;
  if (!std::regex_search(s, m, std::regex("[0-9]+"))) return -1;
  return std::stoll(m.str());
}

// The "MBytes" figure of a size text.
std::int64_t SizeTextMBytes(const std::string& s) {
  std::smatch m;
  if (!std::regex_search(s, m, std::regex("\\(([0-9]+) MBytes\\)"))) return -1;
  return std::stoll(m[1].str());
}

TEST(HdparmPeerTest, IdentifyFactsAgree) {
  const std::string hdparm = peers::FindTool("hdparm");
  if (hdparm.empty()) GTEST_SKIP() << "hdparm is not installed (Debian package hdparm)";
  const ScopedNumberFormat english({",", "."});

  int checked = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(DT_TESTDATA_DIR) / "ata-captures")) {
    if (entry.path().extension() != ".cap") continue;
    SCOPED_TRACE(entry.path().filename().string());
    AtaCapture cap;
    std::string error;
    ASSERT_TRUE(ReadAtaCapture(entry.path().string(), &cap, &error)) << error;
    const std::string peer = RunHdparm(hdparm, cap);
    ASSERT_NE(peer.find("Model Number:"), std::string::npos) << peer;

    TIDE_SMART s;
    std::copy(cap.identify.begin(), cap.identify.end(), s.IdentifyResult.bBuffer);
    s.IdentifyValid = true;

    EXPECT_EQ(Trim(CleanText(s.GetModel())), Field(peer, "Model Number:"));
    EXPECT_EQ(Trim(CleanText(s.GetSerial())), Field(peer, "Serial Number:"));
    EXPECT_EQ(Trim(CleanText(s.GetFirmware())), Field(peer, "Firmware Revision:"));

    // "cylinders <word 1> <word 54>" and the same for heads and sectors/track.
    const struct {
      const char* key;
      unsigned ours, current;
    } chs[] = {{"cylinders", s.GetCylinders(), s.Word(54)},
               {"heads", s.GetHeads(), s.Word(55)},
               {"sectors/track", s.GetSectorsPerTrack(), s.Word(56)}};
    for (const auto& c : chs) {
      const std::string row = Field(peer, std::string("\t") + c.key + "\t");
      std::istringstream in(row);
      unsigned max = 0, cur = 0;
      ASSERT_TRUE(in >> max >> cur) << c.key << ": " << row;
      EXPECT_EQ(c.ours, max) << c.key;
      EXPECT_EQ(c.current, cur) << c.key;
    }
    EXPECT_EQ(IdentifyDWord(s, 57), FirstNumber(Field(peer, "CHS current addressable sectors:")));

    // Capacities: hdparm prints the 48-bit count only for drives with the
    // 48-bit feature set, and its binary megabytes from the larger count.
    const std::string size28 = SectorsToSizeText(IdentifyDWord(s, 60));
    const std::string size48 = SectorsToSizeText(IdentifyQWord(s, 100));
    EXPECT_EQ(FirstNumber(size28), FirstNumber(Field(peer, "LBA    user addressable sectors:")));
    const std::string lba48 = Field(peer, "LBA48  user addressable sectors:");
    if (!lba48.empty()) {
      EXPECT_EQ(FirstNumber(size48), FirstNumber(lba48));
    }
    EXPECT_EQ(SizeTextMBytes(lba48.empty() ? size28 : size48),
              FirstNumber(Field(peer, "device size with M = 1024*1024:")));

    // UltraDMA: hdparm lists every supported mode and stars the active one.
    const std::string dma = Field(peer, "DMA:");
    std::string supported, active;
    const std::regex udma("(\\*?)udma([0-9])");
    for (auto it = std::sregex_iterator(dma.begin(), dma.end(), udma); it != std::sregex_iterator();
         ++it) {
      const std::string mode = (*it)[2].str();
      supported += (supported.empty() ? "" : ",") + mode;
      if ((*it)[1].length() > 0) active += (active.empty() ? "" : ",") + mode;
    }
    EXPECT_EQ(UltraDmaSupportedText(s), supported.empty() ? "" : "UltraDMA-" + supported);
    EXPECT_EQ(UltraDmaSelectedText(s), active.empty() ? "" : "UltraDMA-" + active);
    ++checked;
  }
  EXPECT_GE(checked, 11);
}

}  // namespace
}  // namespace dt

#endif  // _WIN32
