// Fuzzes the IDENTIFY report with arbitrary IDENTIFY blocks in both
// languages: no word value may make it fail, every line is valid UTF-8, and
// the Russian report has the English one's lines (but one) with the same offset
// prefixes, attribute columns, indents, bit numbers and values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ata/identify_report.h"
#include "ata/tide_smart.h"
#include "base/text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool ValidUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80           ? 1
                    : (c >> 5) == 0x6  ? 2
                    : (c >> 4) == 0xE  ? 3
                    : (c >> 3) == 0x1E ? 4
                                       : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// The part of a line that is the same in both languages.
std::string Frame(const std::string& l) {
  const bool wordLine = l.size() >= 5 && l[3] == ':' && l[4] == ' ';
  if (wordLine) return dt::LeftChars(l, 8);
  if (StartsWith(l, std::string(14, ' '))) return dt::LeftChars(l, 14);
  if (StartsWith(l, "     ")) return dt::LeftChars(l, 16);
  return l;  // dump lines
}

std::vector<std::string> Report(dt::TIDE_SMART& smart, dt::IdentifyLanguage language) {
  std::vector<std::string> lines;
  dt::WriteIdentifyReport(
      smart, [&](const std::string& l) { lines.push_back(l); }, language);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dt::TIDE_SMART smart;
  const std::size_t n = size < 512 ? size : 512;
  if (n) std::memcpy(smart.IdentifyResult.bBuffer, data, n);
  // With a valid block the identity accessors never send a command.
  smart.IdentifyValid = true;

  auto en = Report(smart, dt::IdentifyLanguage::English);
  const auto ru = Report(smart, dt::IdentifyLanguage::Russian);
  // The one line that only the English report has: the enhanced erase bit of
  // word 128 of a device that claims ATA-8 and none of ATA-4 to ATA-7.
  if (en.size() == ru.size() + 1) {
    const std::string enhancedErase = "Enhanced security erase: ";
    bool removed = false;
    for (auto it = en.begin(); it != en.end(); ++it) {
      if (it->size() > 16 && it->compare(16, enhancedErase.size(), enhancedErase) == 0) {
        en.erase(it);
        removed = true;
        break;
      }
    }
    Check(removed && (smart.Word(80) & 0x01F0) == 0x0100);
  }
  Check(en.size() >= 3 && en.size() == ru.size());
  Check(en[0] == "Identify Block Report" && ru[0] == "Identify Block");
  for (std::size_t i = 0; i < en.size(); ++i) {
    Check(ValidUtf8(en[i]) && ValidUtf8(ru[i]));
    if (i >= 2) Check(Frame(en[i]) == Frame(ru[i]));
  }
  return 0;
}
