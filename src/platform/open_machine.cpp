#include "platform/open_machine.h"

#include "platform/platform.h"
#include "platform/sim/sim_platform.h"
#ifndef _WIN32
#include "platform/helper/helper_platform.h"
#endif

namespace dt {

bool OpenMachine(const std::string& program, const std::vector<std::string>& args,
                 std::string* error,
                 const std::function<void(const std::string& detail)>& onHelperRefused) {
  if (args.empty()) {
#ifndef _WIN32
    HelperOptions options;
    options.onRefused = onHelperRefused;
    SetSys(MakeUserPlatform(true, std::move(options)));
#else
    (void)onHelperRefused;
    SetSys(MakeHostPlatform());
#endif
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
