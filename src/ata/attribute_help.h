// The built-in reference texts of the SMART report: a long explanation of the
// six attribute flags and an explanation of every known attribute ID.
//
// Every entry begins with its English title in column 1; body lines start
// with four blanks and are at most 76 characters long. The texts are UTF-8;
// most classic disk attributes are explained in Russian, most solid-state and
// newer ones in English.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ata/tide_smart.h"

namespace dt {

// The lines of one attribute's reference text; the caller prints the first
// `count` lines.
struct AttributeHelpList {
  static constexpr int kMaxLines = 12;
  std::int32_t count = 0;
  std::array<std::string, kMaxLines> lines;
};

// Fills `list` for attribute `id`. An ID without an entry gives the single
// line "Unknown attribute ", ID 0 gives "Unavailable attribute ", and the
// placeholder entries (96 to 101, 229) give a count of 0.
void AttributeHelp(std::uint8_t id, AttributeHelpList& list);

// The long explanation of the flags PF, OC, PR, ER, EC and SP: six paragraphs,
// each preceded by a line " " (25 lines in all).
void FlagsReference(const TReportLineProc& proc);

}  // namespace dt
