// Fuzzes the NVMe Device Self-test log decoder and its report lines with
// arbitrary pages: no byte may make them fail, and what they decode stays
// within the log's bounds.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "nvme/nvme_decode.h"
#include "nvme/nvme_report.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, dt::kNvmeSelfTestLogSize> page{};
  std::memcpy(page.data(), data, size < page.size() ? size : page.size());

  const dt::NvmeSelfTestLog log = dt::DecodeSelfTestLogPage(page.data());
  Check(log.currentOperation <= 0xF && log.completionPercent <= 0x7F);
  Check(log.entries.size() <= static_cast<std::size_t>(dt::kNvmeSelfTestResults));
  int previous = 0;
  for (const dt::NvmeSelfTestEntry& e : log.entries) {
    Check(e.number > previous && e.number <= dt::kNvmeSelfTestResults);
    previous = e.number;
    Check(e.result < 0xF && e.code <= 0xF);
    Check(e.failed == (e.result >= 5 && e.result <= 7));
    Check(!(e.failed && dt::NvmeSelfTestAborted(e.result)));
    Check(!e.statusCodeType || *e.statusCodeType <= 7);
    Check(!dt::NvmeSelfTestResultText(e.result).empty());
  }
  std::size_t lines = 0;
  dt::ReportNvmeSelfTestLog(log, [&](const std::string& l) {
    Check(l.find('\n') == std::string::npos);
    ++lines;
  });
  Check(lines == (log.entries.empty() ? 3 : 3 + log.entries.size()));
  return 0;
}
