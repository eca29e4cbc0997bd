// Asynchronous reads on Linux through io_uring (liburing). Built only where
// liburing was found; elsewhere, or where the kernel refuses a ring (old
// kernels, seccomp filters), the thread pool carries the reads.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"

namespace dt {

// A ring of `depth` entries reading the file descriptor `fd`; null with
// LastError() set when the kernel refuses the ring. `clock` gives the
// completion times. The thread that makes the reader must be the one that
// submits, reaps and destroys it.
std::unique_ptr<AsyncReader> MakeUringReader(Platform& clock, int fd, std::uint32_t depth);

}  // namespace dt
