// Fuzzes the IDENTIFY decoding helpers and the shared text helpers with
// arbitrary IDENTIFY blocks: no word value may make them fail, and the
// fixed-width texts keep their widths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ata/identify_decode.h"
#include "ata/tide_smart.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dt::TIDE_SMART smart;
  const std::size_t n = size < 512 ? size : 512;
  if (n) std::memcpy(smart.IdentifyResult.bBuffer, data, n);
  // With a valid block the accessors never send a command.
  smart.IdentifyValid = true;

  const dt::AtaClaims claims(smart);
  for (int a = -1; a <= 16; ++a) {
    for (int b = -1; b <= 16; ++b) {
      const bool any = dt::ClaimsAnyAta(claims, a, b);
      if (b < a) Check(!any);
    }
  }
  if (smart.Word(80) == 0) Check(claims[1]);

  (void)dt::AtaVersionText(smart);
  (void)dt::AtaSupportText(smart);
  (void)dt::UltraDmaSupportedText(smart);
  (void)dt::UltraDmaSelectedText(smart);
  for (int w : {57, 60, 98, 117}) (void)dt::SectorsToSizeText(dt::IdentifyDWord(smart, w));
  (void)dt::SectorsToSizeText(dt::IdentifyQWord(smart, 100));

  // Bit lists over the words, with ranges taken from the input itself.
  if (size >= 516) {
    const int first = static_cast<std::int8_t>(data[512]);
    const int last = static_cast<std::int8_t>(data[513]);
    const int label = static_cast<std::int8_t>(data[514]);
    std::uint32_t value;
    std::memcpy(&value, data + 512, sizeof value);
    const std::string list = dt::BitListText(label, first, last, value);
    if (last < first) Check(list.empty());
    if (!list.empty()) Check(!dt::PrefixedBitList(label, first, last, "x", value).empty());
  }

  Check(dt::CleanText(smart.GetModel()).size() == 40);
  Check(dt::CleanText(smart.GetSerial()).size() == 20);
  Check(dt::CleanText(smart.GetFirmware()).size() == 8);
  for (char c : dt::CleanText(std::string(reinterpret_cast<const char*>(data), size)))
    Check(c >= 32 && c <= 126);

  // Dumps of the block as the reports make them: 8 and 12 bytes a line.
  std::size_t lines = 0;
  const dt::TReportLineProc count = [&](const std::string&) { ++lines; };
  dt::DumpBytes(smart.IdentifyResult.bBuffer, n, 8, count);
  dt::DumpBytes(smart.IdentifyResult.bBuffer, n, 12, count);
  return 0;
}
