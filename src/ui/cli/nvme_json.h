// The "nvme" object of `health --json` and `smart --json` for an NVMe drive
// (keys in README.md).
#pragma once

#include <nlohmann/json.hpp>

#include "health/health.h"

namespace dt::cli {

// A 128-bit counter: a JSON number below 2^64, else its exact decimal
// digits as a string.
nlohmann::ordered_json CounterJson(Uint128 v);

nlohmann::ordered_json NvmeJson(const NvmeHealthData& d);
// The "self_test_log" object of the "nvme" object.
nlohmann::ordered_json NvmeSelfTestLogJson(const NvmeSelfTestLog& log);

}  // namespace dt::cli
