// Side-by-side check against skdump (libatasmart): for every real capture the
// attribute table of the SMART report shows the same IDs, values, worst
// values, thresholds and raw bytes that skdump prints for the same file.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ata/smart_report.h"
#include "platform/sim/ata_capture.h"
#include "support/peers.h"

namespace dt {
namespace {

struct PeerRow {
  int id = 0;
  std::optional<int> value, worst, threshold;  // empty where skdump says "n/a"
  std::array<int, 6> raw{};
};

std::optional<int> NumberOrNa(const std::string& s) {
  if (s == "n/a") return std::nullopt;
  return std::stoi(s);
}

// The rows of skdump's attribute table: "ID# Name Value Worst Thres Pretty
// Raw Type Updates Good Good/Past", where Pretty may hold blanks and Raw is
// "0x" and the six raw bytes in order, two hexadecimal digits each.
std::vector<PeerRow> ParseSkdump(const std::string& text) {
  std::vector<PeerRow> rows;
  std::stringstream ss(text);
  std::string line;
  bool table = false;
  while (std::getline(ss, line)) {
    if (line.rfind("ID#", 0) == 0) {
      table = true;
      continue;
    }
    if (!table || line.empty()) continue;
    std::stringstream ls(line);
    std::vector<std::string> tok;
    std::string t;
    while (ls >> t) tok.push_back(t);
    if (tok.size() < 7) continue;
    PeerRow r;
    r.id = std::stoi(tok[0]);
    r.value = NumberOrNa(tok[2]);
    r.worst = NumberOrNa(tok[3]);
    r.threshold = NumberOrNa(tok[4]);
    bool found = false;
    for (std::size_t i = 5; i < tok.size() && !found; ++i) {
      if (tok[i].size() == 14 && tok[i].rfind("0x", 0) == 0) {
        for (int k = 0; k < 6; ++k)
          r.raw[static_cast<std::size_t>(k)] =
              std::stoi(tok[i].substr(2 + 2 * static_cast<std::size_t>(k), 2), nullptr, 16);
        found = true;
      }
    }
    EXPECT_TRUE(found) << line;
    rows.push_back(r);
  }
  return rows;
}

struct OurRow {
  int id = 0;
  int value = 0, worst = 0;
  std::optional<int> threshold;
  std::array<int, 6> raw{};
};

std::vector<std::string> SplitLast(const std::string& s, char sep, int parts) {
  // The name column may itself hold the separator (the " ! " marker), so
  // the fixed columns are taken from the right.
  std::vector<std::string> out;
  std::size_t end = s.size();
  for (int i = 0; i < parts - 1; ++i) {
    const std::size_t at = s.rfind(sep, end - 1);
    if (at == std::string::npos) break;
    out.insert(out.begin(), s.substr(at + 1, end - at - 1));
    end = at;
  }
  out.insert(out.begin(), s.substr(0, end));
  return out;
}

std::vector<int> Numbers(const std::string& s) {
  std::vector<int> v;
  std::stringstream ss(s);
  int n;
  while (ss >> n) v.push_back(n);
  return v;
}

// The rows of the main attribute table of our report, read back from its
// text: "ID name flags ! value worst ! six raw bytes ! threshold ! words !
// dword".
std::vector<OurRow> ParseOurTable(const std::vector<std::string>& lines) {
  std::vector<OurRow> rows;
  // lines[0] revision, lines[1] blank, lines[2] header; the legend ends it.
  for (std::size_t i = 3; i < lines.size(); ++i) {
    if (lines[i].rfind("PF - ", 0) == 0) break;
    if (lines[i] == " ") continue;
    const auto seg = SplitLast(lines[i], '!', 6);
    EXPECT_EQ(seg.size(), 6u) << lines[i];
    if (seg.size() != 6) continue;
    OurRow r;
    r.id = std::stoi(seg[0].substr(0, 4));
    const auto vw = Numbers(seg[1]);
    const auto raw = Numbers(seg[2]);
    const auto th = Numbers(seg[3]);
    EXPECT_EQ(vw.size(), 2u) << lines[i];
    EXPECT_EQ(raw.size(), 6u) << lines[i];
    if (vw.size() != 2 || raw.size() != 6) continue;
    r.value = vw[0];
    r.worst = vw[1];
    for (std::size_t k = 0; k < 6; ++k) r.raw[k] = raw[k];
    if (th.size() == 1) r.threshold = th[0];
    rows.push_back(r);
  }
  return rows;
}

TEST(SkdumpPeerTest, AttributeTableMatchesSkdumpForEveryCapture) {
  const std::string skdump = peers::FindTool("skdump");
  if (skdump.empty()) GTEST_SKIP() << "skdump (package libatasmart-bin) is not installed";

  const char* captures[] = {
      "FUJITSU_MHY2120BH--0084000D.cap",
      "FUJITSU_MHY2120BH--0085000B.cap",
      "FUJITSU_MHZ2160BH_G1--0084000A.cap",
      "INTEL_SSDSA2MH080G1GC--045C8820.cap",
      "Maxtor_96147H8--BAC51KJ0.cap",
      "SAMSUNG_HD501LJ--CR100-12.cap",
      "SAMSUNG_MMCQE28G8MUP--0VA_VAM08L1Q.cap",
      "ST320410A--3.39.cap",
      "ST9100821AS--3.CME.cap",
      "WDC_WD2500JB--00REA0-20.00K20.cap",
      "WDC_WD5000AAKS--00TMA0-12.01C01.cap",
  };
  for (const char* name : captures) {
    SCOPED_TRACE(name);
    const std::string path = std::string(DT_TESTDATA_DIR) + "/ata-captures/" + name;
    AtaCapture cap;
    std::string error;
    ASSERT_TRUE(ReadAtaCapture(path, &cap, &error)) << error;
    ASSERT_TRUE(cap.hasSmartData && cap.hasThresholds);

    const std::vector<PeerRow> peer =
        ParseSkdump(peers::RunCommand("'" + skdump + "' --load='" + path + "' 2>&1"));
    ASSERT_FALSE(peer.empty());

    std::vector<std::string> lines;
    SmartThresholds t;
    t.sector = cap.thresholds.data();
    t.valid = true;
    t.returned = 528;
    ReportAttributeTables(
        cap.smartData.data(), t,
        [](std::uint8_t id, const std::uint8_t* raw) { return DecodeRawValue("", id, raw); }, false,
        kHelpNone, [&](const std::string& l) { lines.push_back(l); });
    std::vector<OurRow> ours;
    for (const OurRow& r : ParseOurTable(lines))
      if (r.id != 0) ours.push_back(r);  // skdump leaves out empty attribute slots

    ASSERT_EQ(ours.size(), peer.size());
    for (std::size_t i = 0; i < ours.size(); ++i) {
      const OurRow& o = ours[i];
      const PeerRow& p = peer[i];
      SCOPED_TRACE("attribute " + std::to_string(p.id));
      EXPECT_EQ(o.id, p.id);
      // skdump prints "n/a" for the values it considers invalid (0, 254, 255).
      if (p.value) {
        EXPECT_EQ(o.value, *p.value);
      } else {
        EXPECT_TRUE(o.value == 0 || o.value >= 254) << o.value;
      }
      if (p.worst) {
        EXPECT_EQ(o.worst, *p.worst);
      } else {
        EXPECT_TRUE(o.worst == 0 || o.worst >= 254) << o.worst;
      }
      ASSERT_TRUE(o.threshold.has_value());
      if (p.threshold) {
        EXPECT_EQ(*o.threshold, *p.threshold);
      }
      EXPECT_EQ(o.raw, p.raw);
    }
  }
}

}  // namespace
}  // namespace dt

#endif  // _WIN32
