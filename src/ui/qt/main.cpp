#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>
#include <string>
#include <vector>

#include "base/version.h"
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
  // Told once when the disks could not be opened through disktest-helper:
  // the program goes on with what needs no rights.
  auto refused = [](const std::string& detail) {
    const QString text = QString::fromStdString(
        "Opening the disks needs administrator rights, and they were not given (" + detail +
        ").\n\nImage files and the simulated machine (disktest --demo) still work. To test the "
        "disks, allow the polkit action io.github.disktest.helper or run the program again and "
        "give the password.");
    auto show = [text] { QMessageBox::warning(nullptr, "disktest", text); };
    if (QThread::currentThread() == qApp->thread()) {
      show();
    } else {
      QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
    }
  };
  if (!dt::OpenMachine("disktest", args, &error, refused)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  dt::ui::GuiApp gui;
  gui.Show();
  return app.exec();
}
