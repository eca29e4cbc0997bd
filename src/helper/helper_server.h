// What disktest-helper does with each request: the rules that keep a
// privileged process small. It opens block devices under /dev only, with the
// platform's in-use rules, and runs only the ATA and NVMe commands that the
// programs send; anything else is refused with an errno.
#pragma once

#include <string>

#include "platform/helper/helper_protocol.h"
#include "platform/platform.h"

namespace dt::helper {

// The real path of a block device under /dev, for the device at `path`
// (links followed): 0 and the path, or EPERM for a path outside /dev,
// ENOTBLK for anything but a block device (a file, a directory, /dev/null),
// or the errno of the lookup.
int ResolveBlockDevice(const std::string& path, std::string* resolved);

// True for the SMART / IDENTIFY requests the programs send: SMART_GET_VERSION,
// IDENTIFY (PACKET) DEVICE, SMART READ DATA / THRESHOLDS / LOG, ENABLE
// OPERATIONS, RETURN STATUS and EXECUTE OFF-LINE IMMEDIATE of a self-test
// (short, extended, conveyance) or its abort.
bool AtaRequestAllowed(std::uint32_t code, const std::vector<std::uint8_t>& in);
// True for Identify (controller, namespace), Get Log Page of the error
// information, SMART / Health and self-test logs, and Device Self-test
// (short, extended, abort).
bool NvmeRequestAllowed(const Request& q);

// Answers one request on the platform `sys` (the posix backend). For an Open
// that succeeds, *passFd is the descriptor to hand back, which the caller
// closes after sending; otherwise -1.
Reply Answer(Platform& sys, const Request& q, int* passFd);

// Serves requests from `in` and answers on `out` until the stream ends or a
// message cannot be framed. Returns the exit code: 0 at the end of the
// stream, 1 after a broken message or a failed send.
int Serve(Platform& sys, int in, int out);

}  // namespace dt::helper
