// Fuzzes the reader of ATA capture files: any byte string must either parse
// into a capture with an IDENTIFY block or be rejected with a message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sim/ata_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dt::AtaCapture cap;
  cap.status = 0xDEADBEEF;
  std::string error;
  const bool ok = dt::ParseAtaCapture(data, size, &cap, &error);
  if (ok != error.empty()) std::abort();
  // A rejected input leaves the output alone; an accepted one holds at least
  // the IDENTIFY section (8 + 512 bytes).
  if (!ok && cap.status != 0xDEADBEEF) std::abort();
  if (ok && size < 520) std::abort();
  return 0;
}
