// disktest-helper: the privileged half of disktest on Linux. disktest and
// disktest-cli start it through pkexec when they may not open a raw disk
// themselves; it serves their requests on its standard input and output (one
// Unix socket) and ends when they close it.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>

#include "helper/helper_server.h"
#include "platform/platform.h"

int main() {
  // Nothing of the caller's environment steers a privileged process.
  ::clearenv();
  ::signal(SIGPIPE, SIG_IGN);
  struct stat in {}, out {};
  if (::fstat(0, &in) != 0 || ::fstat(1, &out) != 0 || !S_ISSOCK(in.st_mode) ||
      !S_ISSOCK(out.st_mode)) {
    std::fprintf(stderr,
                 "disktest-helper: not for use by hand: disktest and disktest-cli start it "
                 "through pkexec when they need a raw disk\n");
    return 2;
  }
  auto sys = dt::MakeHostPlatform();
  return dt::helper::Serve(*sys, 0, 1);
}
