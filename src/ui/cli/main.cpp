#include <iostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/cli/cli.h"
#ifndef _WIN32
#include "platform/helper/helper_platform.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  return dt::cli::Run(args, std::cout, std::cerr, [](bool useHelper) {
#ifndef _WIN32
    // As an ordinary user a raw disk is opened by disktest-helper, which
    // pkexec starts once polkit allows it (its text agent asks in the terminal).
    dt::HelperOptions options;
    options.onRefused = [](const std::string& detail) {
      std::cerr << "disktest-cli needs administrator rights: run it as root, or allow the polkit "
                   "action "
                << dt::kHelperAction << " (" << detail << ")\n";
    };
    dt::SetSys(dt::MakeUserPlatform(useHelper, std::move(options)));
#else
    (void)useHelper;
#endif
  });
}
