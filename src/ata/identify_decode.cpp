#include "ata/identify_decode.h"

#include <algorithm>

#include "base/text.h"

namespace dt {

AtaClaims AtaClaims::FromWords(std::uint16_t word80, std::uint16_t word65, std::uint16_t word66,
                               std::uint16_t word67, std::uint16_t word68) {
  AtaClaims c;
  for (int i = 0; i < 15; ++i) c.flags[i] = ((word80 >> i) & 1) != 0;
  if (word80 == 0) {
    // A device that names no revision is taken for ATA-1; cycle times in
    // words 65-68 came with ATA-2.
    c.flags[1] = true;
    if (word65 != 0 || word66 != 0 || word67 != 0 || word68 != 0) c.flags[2] = true;
  }
  return c;
}

AtaClaims::AtaClaims(const TIDE_SMART& smart)
    : AtaClaims(FromWords(smart.Word(80), smart.Word(65), smart.Word(66), smart.Word(67),
                          smart.Word(68))) {}

bool AtaClaims::operator[](int i) const {
  return i >= 0 && i < 15 && flags[i];
}

bool ClaimsAnyAta(const AtaClaims& claims, int a, int b) {
  for (int i = std::max(a, 0); i <= b && i < 15; ++i) {
    if (claims.flags[i]) return true;
  }
  return false;
}

std::uint32_t IdentifyDWord(const TIDE_SMART& smart, int n) {
  return static_cast<std::uint32_t>(smart.Word(n)) |
         (static_cast<std::uint32_t>(smart.Word(n + 1)) << 16);
}

std::uint64_t IdentifyQWord(const TIDE_SMART& smart, int n) {
  return static_cast<std::uint64_t>(IdentifyDWord(smart, n)) |
         (static_cast<std::uint64_t>(IdentifyDWord(smart, n + 2)) << 32);
}

std::string AtaVersionText(std::uint16_t word81) {
  switch (word81) {
    case 0x0000:
    case 0xFFFF:
      return {};
    case 0x0001:
      return "ATA (ATA-1) X3T9.2 781D prior to revision 4";
    case 0x0002:
      return "ATA-1 published, ANSI X3.221-1994";
    case 0x0003:
      return "ATA (ATA-1) X3T10 781D revision 4";
    case 0x0004:
      return "ATA-2 published, ANSI X3.279-1996";
    case 0x0005:
      return "ATA-2 X3T10 948D prior to revision 2k";
    case 0x0006:
      return "ATA-3 X3T10 2008D revision 1";
    case 0x0007:
      return "ATA-2 X3T10 948D revision 2k";
    case 0x0008:
      return "ATA-3 X3T10 2008D revision 0";
    case 0x0009:
      return "ATA-2 X3T10 948D revision 3";
    case 0x000A:
      return "ATA-3 published, ANSI X3.298-199x";
    case 0x000B:
      return "ATA-3 X3T10 2008D revision 6";
    case 0x000C:
      return "ATA-3 X3T13 2008D revision 7 and 7a";
    case 0x000D:
      return "ATA/ATAPI-4 X3T13 1153D revision 6";
    case 0x000E:
      return "ATA/ATAPI-4 T13 1153D revision 13";
    case 0x000F:
      return "ATA/ATAPI-4 X3T13 1153D revision 7";
    case 0x0010:
      return "ATA/ATAPI-4 T13 1153D revision 18";
    case 0x0011:
      return "ATA/ATAPI-4 T13 1153D revision 15";
    case 0x0012:
      return "ATA/ATAPI-4 published, ANSI NCITS 317-1998";
    case 0x0013:
      return "ATA/ATAPI-5 T13 1321D revision 3";
    case 0x0014:
      return "ATA/ATAPI-4 T13 1153D revision 14";
    case 0x0015:
      return "ATA/ATAPI-5 T13 1321D revision 1";
    case 0x0016:
      return "ATA/ATAPI-5 published, ANSI NCITS 340-2000";
    case 0x0017:
      return "ATA/ATAPI-4 T13 1153D revision 17";
    case 0x0018:
      return "ATA/ATAPI-6 T13 1410D revision 0";
    case 0x0019:
      return "ATA/ATAPI-6 T13 1410D revision 3a";
    case 0x001B:
      return "ATA/ATAPI-6 T13 1410D revision 2";
    case 0x001C:
      return "ATA/ATAPI-6 T13 1410D revision 1";
    case 0x001D:
      return "ATA/ATAPI-7 published ANSI INCITS 397-2005.";
    case 0x001E:
      return "ATA/ATAPI-7 T13 1532D revision 0";
    case 0x0021:
      return "ATA/ATAPI-7 T13 1532D version 4a";
    case 0x0022:
      return "ATA/ATAPI-6 published, ANSI INCITS 361-2002";
    case 0x0027:
      return "ATA8-ACS version 3c";
    case 0x0028:
      return "ATA8-ACS version 6";
    case 0x0029:
      return "ATA8-ACS version 4";
    case 0x0033:
      return "ATA8-ACS version 3e";
    case 0x0039:
      return "ATA8-ACS version 4c";
    case 0x0042:
      return "ATA8-ACS version 3f";
    case 0x0052:
      return "ATA8-ACS version 3b";
    case 0x0107:
      return "ATA8-ACS version 2d";
    default:
      return "Unknown ATA 0x" + HexText(word81, 4);
  }
}

std::string AtaVersionText(const TIDE_SMART& smart) {
  return AtaVersionText(smart.Word(81));
}

std::string AtaSupportText(const TIDE_SMART& smart) {
  return PrefixedBitList(1, 1, 14, "ATA-", smart.Word(80));
}

std::string UltraDmaSupportedText(const TIDE_SMART& smart) {
  return PrefixedBitList(0, 0, 7, "UltraDMA-", smart.Word(88) & 0xFFu);
}

std::string UltraDmaSelectedText(const TIDE_SMART& smart) {
  return PrefixedBitList(0, 0, 7, "UltraDMA-", smart.Word(88) >> 8);
}

std::string BitListText(int firstLabel, int firstBit, int lastBit, std::uint32_t value) {
  std::string s;
  for (int k = std::max(firstBit, 0); k <= lastBit && k < 32; ++k) {
    if ((value & (std::uint32_t{1} << k)) == 0) continue;
    if (!s.empty()) s += ',';
    s += std::to_string(static_cast<std::int64_t>(firstLabel) + k - firstBit);
  }
  return s;
}

std::string PrefixedBitList(int firstLabel, int firstBit, int lastBit, std::string_view prefix,
                            std::uint32_t value) {
  std::string list = BitListText(firstLabel, firstBit, lastBit, value);
  if (list.empty()) return list;
  return std::string(prefix) + list;
}

std::string SectorsToSizeText(std::uint64_t sectors, std::string_view gbytesUnit,
                              std::string_view mbytesUnit) {
  const double gbytes = static_cast<double>(sectors) / 2097152.0;
  std::string s = std::to_string(sectors);
  s += ' ';
  s += NumberText(gbytes, 8, 2);
  s += gbytesUnit;
  s += std::to_string(sectors >> 11);
  s += mbytesUnit;
  return s;
}

}  // namespace dt
