// disktest.exe: the Windows program. No option opens the real machine;
// "--demo" the built-in simulated one, "--sim FILE" a simulated machine;
// "--version" shows the version in a message box (there is no console).
#include "ui/win32/wingui.h"  // <windows.h> before <shellapi.h>
// clang-format off
#include <shellapi.h>
// clang-format on

#include <string>
#include <vector>

#include "base/version.h"
#include "platform/open_machine.h"
#include "ui/win32/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(dt::win::Utf8(argv[i]));
  LocalFree(argv);

  if (args.size() == 1 && args[0] == "--version") {
    const std::string text = std::string("disktest ") + dt::VersionText();
    MessageBoxW(nullptr, dt::win::Wide(text).c_str(), L"disktest", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  dt::win::InitGui(instance);
  std::string error;
  if (!dt::OpenMachine("disktest", args, &error)) {
    MessageBoxW(nullptr, dt::win::Wide(error).c_str(), L"disktest", MB_OK | MB_ICONERROR);
    return 2;
  }
  dt::win::WinApp app;
  app.Show();
  return app.Run();
}
