// The asynchronous reader that every platform can offer: a pool of threads
// that each issue the platform's positioned read, so that as many reads are
// under way as there are threads. Linux uses it where io_uring is missing.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"

namespace dt {

std::unique_ptr<AsyncReader> MakeThreadPoolReader(Platform& p, Handle h, std::uint32_t depth);

}  // namespace dt
