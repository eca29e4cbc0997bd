// Runs disktest-cli in-process for the command-line tests.
#pragma once

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/cli/cli.h"

namespace dt::test {

struct CliResult {
  int code;
  std::string out;
  std::string err;
};

// Runs the program with `args` (without the program name). Every run
// chooses its own machine and the real one is restored afterwards; with
// `keepPlatform` a run without a machine option works on the platform in
// place (the caller's).
inline CliResult RunCli(std::vector<std::string> args, bool keepPlatform = false) {
  args.insert(args.begin(), "disktest-cli");
  std::ostringstream out, err;
  std::optional<ScopedPlatform> keep;
  if (!keepPlatform) keep.emplace(MakeHostPlatform());
  const int code = cli::Run(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace dt::test
