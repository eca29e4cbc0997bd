#include "platform/open_machine.h"

#include "platform/platform.h"
#include "platform/sim/sim_platform.h"

namespace dt {

bool OpenMachine(const std::string& program, const std::vector<std::string>& args,
                 std::string* error) {
  if (args.empty()) {
    SetSys(MakeHostPlatform());
    return true;
  }
  if (args.size() == 1 && args[0] == "--demo") {
    SetSys(MakeDemoMachine());
    return true;
  }
  if (args.size() == 2 && args[0] == "--sim") {
    auto m = LoadSimMachine(args[1], error);
    if (!m) return false;
    SetSys(std::move(m));
    return true;
  }
  *error = "usage: " + program + " [--demo | --sim FILE]";
  return false;
}

}  // namespace dt
