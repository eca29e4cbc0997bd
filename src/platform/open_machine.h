// The machine a desktop program opens, from its command line.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dt {

// No option opens the real machine, "--demo" the built-in simulated one,
// "--sim FILE" the simulated machine FILE describes. Returns false with a
// message in `error` for anything else, or when FILE cannot be read. On
// success the machine is in place (SetSys). `program` names the program in
// the usage line. On Linux the real machine opens raw disks through
// disktest-helper when the user may not; `onHelperRefused` is told once when
// the helper was refused (see HelperOptions).
bool OpenMachine(const std::string& program, const std::vector<std::string>& args,
                 std::string* error,
                 const std::function<void(const std::string& detail)>& onHelperRefused = nullptr);

}  // namespace dt
