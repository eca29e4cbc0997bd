// Fuzzes the summary error log decoder with arbitrary sectors: no byte may
// make it fail, and what it decodes stays within the log's bounds.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ata/smart_logs.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, 512> sector{};
  std::memcpy(sector.data(), data, size < 512 ? size : 512);

  const auto log = dt::DecodeSummaryErrorLog(sector);
  Check(log.has_value() == (sector[1] <= 5));
  if (!log) return 0;
  Check(log->entries.size() <= 5);
  Check(sector[1] != 0 || log->entries.empty());
  Check(log->errorCount >= 0 && log->errorCount <= 0xFFFF);
  for (const dt::ErrorLogEntry& e : log->entries) {
    Check(e.number >= 1 && e.number <= 0x10000);
    Check(e.lba < (1u << 28));
    Check(!e.stateText.empty());
  }
  std::size_t lines = 0;
  dt::ReportErrorLog(*log, [&](const std::string& l) {
    Check(l.find('\n') == std::string::npos);
    ++lines;
  });
  Check(lines ==
        2 + (log->checksumValid ? 0 : 1) + (log->entries.empty() ? 0 : 1 + log->entries.size()));
  return 0;
}
