// Decoding of the 512-byte IDENTIFY DEVICE block held by a TIDE_SMART object:
// the ATA revisions the device claims, the word 81 version names, the summary
// texts of the drive information section and the list and size texts of the
// IDENTIFY report. Nothing here sends a command or checks IdentifyValid: the
// callers load the block first. No word value makes a helper fail.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ata/tide_smart.h"

namespace dt {

// The ATA revisions a device claims, from word 80 (the major version
// number): flag i is bit i, for i = 0 to 14. A word 80 of 0x0000 counts as
// ATA-1, and as ATA-2 as well when any of words 65-68 is non-zero.
struct AtaClaims {
  std::array<bool, 15> flags{};

  AtaClaims() = default;
  explicit AtaClaims(const TIDE_SMART& smart);
  // The same from the words themselves (word 80 and words 65-68).
  static AtaClaims FromWords(std::uint16_t word80, std::uint16_t word65, std::uint16_t word66,
                             std::uint16_t word67, std::uint16_t word68);

  // Flag i; false outside 0 to 14.
  bool operator[](int i) const;
};

// True when the device claims at least one of ATA-a to ATA-b; false when b
// is below a.
bool ClaimsAnyAta(const AtaClaims& claims, int a, int b);

// Two-word values (lower-numbered word low) and the 64-bit value of words
// n to n+3 (word n lowest).
std::uint32_t IdentifyDWord(const TIDE_SMART& smart, int n);
std::uint64_t IdentifyQWord(const TIDE_SMART& smart, int n);

// The name of word 81 (the minor version number): empty for 0x0000 and
// 0xFFFF, "Unknown ATA 0x" + four hex digits for a value without a name.
std::string AtaVersionText(std::uint16_t word81);
std::string AtaVersionText(const TIDE_SMART& smart);

// "ATA-" + the list of word 80 bits 1-14 (numbered from 1); empty without any.
std::string AtaSupportText(const TIDE_SMART& smart);
// "UltraDMA-" + the list of the set bits of the low (supported) or high
// (active) byte of word 88, numbered from 0; empty when the byte is 0.
std::string UltraDmaSupportedText(const TIDE_SMART& smart);
std::string UltraDmaSelectedText(const TIDE_SMART& smart);

// The labels of the set bits firstBit..lastBit (inclusive, bits below 32) of
// value, ascending, joined by "," without blanks; bit k is labelled
// firstLabel + (k - firstBit). Empty when no bit is set or lastBit < firstBit.
std::string BitListText(int firstLabel, int firstBit, int lastBit, std::uint32_t value);
// prefix + BitListText(...) when that list is not empty, else empty.
std::string PrefixedBitList(int firstLabel, int firstBit, int lastBit, std::string_view prefix,
                            std::uint32_t value);

// A sector count (512-byte sectors) as: count, a blank, the gigabytes in the
// locale's number format with two decimals (at most 8 significant digits),
// gbytesUnit, the whole megabytes, mbytesUnit. The Russian report passes its
// own units (" Гбайт (", " Мбайт)").
std::string SectorsToSizeText(std::uint64_t sectors, std::string_view gbytesUnit = " GBytes (",
                              std::string_view mbytesUnit = " MBytes)");

}  // namespace dt
