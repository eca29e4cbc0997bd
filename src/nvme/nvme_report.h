// The NVMe part of the SMART report: the controller's identity and every
// field of the SMART / Health Information log, one "Label : value" line each
// with the labels as wide as those of the ATA status lines.
#pragma once

#include <functional>
#include <string>

#include "nvme/nvme_commands.h"

namespace dt {

using NvmeLineProc = std::function<void(const std::string&)>;

// A data unit count with its bytes: "12,345,678 [6.32 TB]" (the count
// alone when it is 0 or the bytes need more than 128 bits).
std::string DataUnitsText(Uint128 units);

// The identity lines, the health log lines and the error log line of a
// drive that answered Identify Controller; a log that could not be read
// says why in its place.
void ReportNvme(const NvmeDrive& drive, const NvmeLineProc& line);

// The Device Self-test log as `smart --logs` and the health section show
// it: the test in progress, then one line per result, the newest first.
void ReportNvmeSelfTestLog(const NvmeSelfTestLog& log, const NvmeLineProc& line);
// "none" or "Short, 40% complete": the self-test the controller runs now.
std::string NvmeCurrentSelfTestText(const NvmeSelfTestLog& log);

}  // namespace dt
