#include "ata/attribute_help.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/text.h"

namespace dt {
namespace {

AttributeHelpList Help(std::uint8_t id) {
  AttributeHelpList list;
  AttributeHelp(id, list);
  return list;
}

bool HasCyrillic(const std::string& s) {
  // Cyrillic letters U+0400..U+04FF are encoded with a lead byte 0xD0..0xD3.
  for (unsigned char c : s)
    if (c >= 0xD0 && c <= 0xD3) return true;
  return false;
}

// The IDs with a reference text, their line counts (title included) and
// whether the body is Russian (R), English (E) or both (B).
struct Expected {
  int lines;
  char language;
};
const std::map<int, Expected>& ExpectedEntries() {
  static const std::map<int, Expected> m = {
      {1, {4, 'R'}},    {2, {4, 'R'}},   {3, {5, 'R'}},    {4, {3, 'R'}},   {5, {12, 'R'}},
      {6, {4, 'R'}},    {7, {6, 'R'}},   {8, {5, 'R'}},    {9, {9, 'R'}},   {10, {6, 'R'}},
      {11, {6, 'R'}},   {12, {2, 'R'}},  {13, {5, 'R'}},   {22, {5, 'E'}},  {170, {2, 'E'}},
      {171, {3, 'E'}},  {172, {4, 'E'}}, {173, {2, 'E'}},  {174, {7, 'E'}}, {175, {4, 'E'}},
      {176, {2, 'E'}},  {177, {4, 'E'}}, {179, {2, 'E'}},  {180, {2, 'E'}}, {181, {6, 'E'}},
      {182, {2, 'E'}},  {183, {4, 'E'}}, {184, {4, 'R'}},  {185, {2, 'E'}}, {186, {2, 'E'}},
      {187, {3, 'R'}},  {188, {5, 'R'}}, {189, {8, 'E'}},  {190, {3, 'E'}}, {191, {7, 'R'}},
      {192, {2, 'R'}},  {193, {4, 'R'}}, {194, {4, 'R'}},  {195, {6, 'R'}}, {196, {6, 'R'}},
      {197, {11, 'R'}}, {198, {6, 'R'}}, {199, {11, 'R'}}, {200, {6, 'R'}}, {201, {5, 'R'}},
      {202, {2, 'E'}},  {203, {2, 'R'}}, {204, {2, 'R'}},  {205, {2, 'E'}}, {206, {2, 'R'}},
      {207, {2, 'R'}},  {208, {2, 'E'}}, {209, {3, 'B'}},  {210, {2, 'E'}}, {211, {2, 'E'}},
      {212, {2, 'E'}},  {220, {8, 'R'}}, {221, {7, 'R'}},  {222, {4, 'R'}}, {223, {5, 'R'}},
      {224, {5, 'R'}},  {225, {4, 'R'}}, {226, {5, 'R'}},  {227, {2, 'R'}}, {228, {2, 'R'}},
      {230, {2, 'R'}},  {231, {4, 'R'}}, {232, {3, 'E'}},  {233, {6, 'E'}}, {234, {3, 'E'}},
      {235, {3, 'E'}},  {240, {3, 'B'}}, {241, {2, 'E'}},  {242, {4, 'E'}}, {243, {3, 'E'}},
      {244, {3, 'E'}},  {249, {3, 'E'}}, {250, {2, 'R'}},  {251, {4, 'E'}}, {252, {4, 'E'}},
      {254, {2, 'B'}},
  };
  return m;
}

TEST(AttributeHelpTest, EveryIdGivesItsLineCountLayoutAndLanguage) {
  for (int id = 0; id < 256; ++id) {
    SCOPED_TRACE("ID " + std::to_string(id));
    const AttributeHelpList h = Help(static_cast<std::uint8_t>(id));
    const auto it = ExpectedEntries().find(id);
    if (id == 0) {
      ASSERT_EQ(h.count, 1);
      EXPECT_EQ(h.lines[0], "Unavailable attribute ");
    } else if ((id >= 96 && id <= 101) || id == 229) {
      EXPECT_EQ(h.count, 0);
    } else if (it == ExpectedEntries().end()) {
      ASSERT_EQ(h.count, 1);
      EXPECT_EQ(h.lines[0], "Unknown attribute ");
    } else {
      ASSERT_EQ(h.count, it->second.lines);
      // The title starts in column 1 and is English.
      EXPECT_NE(h.lines[0][0], ' ');
      EXPECT_FALSE(HasCyrillic(h.lines[0]));
      bool russian = false;
      for (int k = 1; k < h.count; ++k) {
        const std::string& l = h.lines[static_cast<std::size_t>(k)];
        EXPECT_EQ(l.rfind("    ", 0), 0u) << l;
        EXPECT_LE(CharCount(l), 76u) << l;
        if (l == "    ") continue;
        EXPECT_NE(l[4], ' ') << "a body line holds text after its indent: " << l;
        EXPECT_NE(l.back(), ' ') << l;
        if (HasCyrillic(l)) russian = true;
      }
      switch (it->second.language) {
        case 'R':
          EXPECT_TRUE(russian);
          break;
        case 'E':
          EXPECT_FALSE(russian);
          break;
        default: {
          // English with a Russian gloss: both scripts appear.
          bool latinWords = false;
          for (int k = 1; k < h.count; ++k)
            for (char c : h.lines[static_cast<std::size_t>(k)])
              if (c >= 'a' && c <= 'z') latinWords = true;
          EXPECT_TRUE(russian && latinWords);
        }
      }
    }
  }
}

TEST(AttributeHelpTest, TitlesDifferFromTheReportNames) {
  EXPECT_EQ(Help(5).lines[0], "Reallocated Sectors Count");
  EXPECT_EQ(Help(181).lines[0], "Program Fail Count Total/Non-4K Aligned Access Count ");
  EXPECT_EQ(Help(192).lines[0], "Power-Off Retract Count");
  EXPECT_EQ(Help(228).lines[0], "Power-Off Retract Count");
  EXPECT_EQ(Help(240).lines[0], "Transfer Error Rate (Fujitsu)/Head Flying Hours (Hitachi)");
}

TEST(AttributeHelpTest, SharedExplanationsRepeatTheBodyUnderTheirOwnTitle) {
  const std::vector<std::pair<int, int>> same = {{201, 13}, {221, 191}, {228, 192}, {231, 194}};
  for (const auto& [id, of] : same) {
    const AttributeHelpList a = Help(static_cast<std::uint8_t>(id));
    const AttributeHelpList b = Help(static_cast<std::uint8_t>(of));
    ASSERT_EQ(a.count, b.count) << id;
    for (int k = 1; k < a.count; ++k)
      EXPECT_EQ(a.lines[static_cast<std::size_t>(k)], b.lines[static_cast<std::size_t>(k)]);
  }
}

TEST(AttributeHelpTest, Entry233SeparatesItsParagraphsWithAnIndentLine) {
  const AttributeHelpList h = Help(233);
  int separators = 0;
  for (int k = 1; k < h.count; ++k) separators += h.lines[static_cast<std::size_t>(k)] == "    ";
  EXPECT_EQ(separators, 1);
}

TEST(AttributeHelpTest, AStaleListIsOverwrittenNotAppended) {
  AttributeHelpList list;
  AttributeHelp(5, list);
  ASSERT_EQ(list.count, 12);
  AttributeHelp(97, list);
  EXPECT_EQ(list.count, 0);
  AttributeHelp(178, list);
  EXPECT_EQ(list.count, 1);
  EXPECT_EQ(list.lines[0], "Unknown attribute ");
}

TEST(FlagsReferenceTest, SixParagraphsOfTwentyFiveLines) {
  std::vector<std::string> lines;
  FlagsReference([&](const std::string& l) { lines.push_back(l); });
  ASSERT_EQ(lines.size(), 25u);

  const std::vector<std::pair<std::string, int>> paragraphs = {
      {"PF - Pre-failure.", 4}, {"OC - On-line collection.", 4}, {"PR - Performance related.", 4},
      {"ER - Error rate.", 3},  {"EC - Events count.", 1},       {"SP - Self-preserve.", 3},
  };
  std::size_t at = 0;
  for (const auto& [opening, count] : paragraphs) {
    SCOPED_TRACE(opening);
    ASSERT_LT(at, lines.size());
    EXPECT_EQ(lines[at++], " ");
    ASSERT_EQ(lines[at].rfind(opening + " ", 0), 0u) << lines[at];
    // The opening continues in Russian on the same line.
    EXPECT_TRUE(HasCyrillic(lines[at].substr(opening.size())));
    for (int k = 0; k < count; ++k, ++at) {
      EXPECT_LE(CharCount(lines[at]), 77u) << lines[at];
      if (k > 0) {
        EXPECT_EQ(lines[at].rfind("     ", 0), 0u) << lines[at];
        EXPECT_NE(lines[at][5], ' ') << lines[at];
      }
    }
  }
  EXPECT_EQ(at, lines.size());
}

}  // namespace
}  // namespace dt
