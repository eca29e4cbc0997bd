#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "device/version.h"
#include "platform/open_machine.h"
#include "ui/qt/gui_app.h"

int main(int argc, char** argv) {
  // Before QApplication, which needs a display.
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("disktest %s\n", dt::VersionText());
    return 0;
  }
  QApplication app(argc, argv);
  // QApplication has taken its own options out of argv.
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  if (!dt::OpenMachine("disktest", args, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  dt::ui::GuiApp gui;
  gui.Show();
  return app.exec();
}
