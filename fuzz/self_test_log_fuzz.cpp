// Fuzzes the self-test log decoder, the self-test status byte and the
// self-test capabilities with arbitrary sectors: no byte may make them fail,
// and what they decode stays within the log's bounds.
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

  const auto log = dt::DecodeSelfTestLog(sector);
  Check(log.has_value() == (sector[508] <= 21));
  if (log) {
    Check(log->entries.size() <= 21);
    Check(sector[508] != 0 || log->entries.empty());
    int number = 0;
    for (const dt::SelfTestEntry& e : log->entries) {
      Check(e.number == ++number);
      Check(e.status <= 15);
      Check(e.remainingPercent >= 0 && e.remainingPercent <= 150);
      Check(e.failed == (e.status >= 3 && e.status <= 8));
      Check(!e.failingLba || (e.failed && *e.failingLba < 0xFFFFFFFFull));
      Check(!e.typeText.empty() && !e.statusText.empty());
    }
    std::size_t lines = 0;
    dt::ReportSelfTestLog(*log, [&](const std::string& l) {
      Check(l.find('\n') == std::string::npos);
      ++lines;
    });
    Check(lines >= 2);
  }

  const dt::SelfTestProgress p = dt::DecodeSelfTestProgress(sector[dt::kSelfTestStatusOffset]);
  Check(p.running == (p.status == 15));
  Check(p.running || p.remainingPercent == 0);
  const dt::SelfTestCapabilities c = dt::DecodeSelfTestCapabilities(sector);
  Check(c.extendedMinutes >= 0 && c.extendedMinutes <= 0xFFFF);
  return 0;
}
