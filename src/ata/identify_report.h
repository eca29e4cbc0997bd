// The IDENTIFY DEVICE report: the 512-byte block decoded word by word, one
// line per reported word or value and one line per reported bit, in English
// or in Russian. Which words and bits appear depends on the ATA revisions the
// device claims in word 80. Both languages write the same lines in the same
// order with the same offsets, attribute columns, indent letters and bit
// numbers; only the wording and the padded label widths differ.
//
// All text is UTF-8, and every width counts characters, so the Russian report
// lines up as the English one does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ata/tide_smart.h"

namespace dt {

enum class IdentifyLanguage { English, Russian };

// The language numbers the "Get SMART" flow passes: 1 for English, 7 for
// Russian; any other number gives the English report.
inline constexpr int kIdentifyEnglish = 1;
inline constexpr int kIdentifyRussian = 7;

// Writes the report in the language chosen by `language` (see above).
void ReportIdentify(TIDE_SMART& smart, const TReportLineProc& line, int language);
// Each sends IDENTIFY afresh and writes the whole report. Nothing at all is
// written when the object is not open or IDENTIFY fails.
void ReportIdentifyEnglish(TIDE_SMART& smart, const TReportLineProc& line);
void ReportIdentifyRussian(TIDE_SMART& smart, const TReportLineProc& line);

// Writes the report of the block the object already holds, from the heading
// on, without sending a command; the two functions above call it once
// IDENTIFY has succeeded.
void WriteIdentifyReport(TIDE_SMART& smart, const TReportLineProc& line, IdentifyLanguage language);

// The line pieces, exposed for the tests.
//
// The byte offset of an item in the block, right-aligned in 3 characters,
// then ": ".
std::string OffsetPrefix(int position);
// "  " + bit number right-aligned in 2 + " " + the bit's value (0 or 1) + "  "
// + the text for that value. `value` is the word (or byte) holding bit `bit`.
std::string BitLine(std::uint32_t value, int bit, std::string_view textFor1,
                    std::string_view textFor0);
// The same with a label between the value and the text.
std::string LabelledBitLine(std::uint32_t value, int bit, std::string_view label,
                            std::string_view textFor1, std::string_view textFor0);
// 0: "No" / "Нет", 1: "Yes" / "Да", any other n: "Unknown " + n.
std::string YesNoText(std::uint32_t n, IdentifyLanguage language);

}  // namespace dt
