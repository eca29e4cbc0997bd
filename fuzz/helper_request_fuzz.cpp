// The messages disktest-helper decodes with root's rights: any byte string is
// either refused or decoded into a request that encodes back to exactly the
// same bytes, and the helper's command rules take any decoded request.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "helper/helper_server.h"
#include "platform/helper/helper_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dt::helper;
  std::string why;
  Request q;
  if (DecodeRequest(data, size, &q, &why)) {
    if (Encode(q) != std::vector<std::uint8_t>(data, data + size)) std::abort();
    if (q.kind == Kind::Ata) (void)AtaRequestAllowed(q.code, q.in);
    if (q.kind == Kind::Nvme) (void)NvmeRequestAllowed(q);
  } else if (why.empty()) {
    std::abort();
  }
  Reply a;
  if (DecodeReply(data, size, &a, &why) &&
      Encode(a) != std::vector<std::uint8_t>(data, data + size))
    std::abort();
  return 0;
}
