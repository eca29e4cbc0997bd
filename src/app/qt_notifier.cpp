#include "app/qt_notifier.h"

#include <QApplication>
#include <QMessageBox>

namespace dt::ui {

namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

int Ask(const std::string& caption, const std::string& text, QMessageBox::Icon icon,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def) {
  QMessageBox box(icon, Text(caption), Text(text), buttons, QApplication::activeWindow());
  box.setDefaultButton(def);
  return box.exec();
}

}  // namespace

void QtNotifier::ShowMessage(const std::string& caption, const std::string& text) {
  main_.Synchronize([&] {
    Ask(caption, text, QMessageBox::NoIcon, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
  });
}

// Every question the program asks is a "Warning" before writing to a disk:
// it carries the warning icon.
bool QtNotifier::Confirm(const std::string& caption, const std::string& text) {
  int answer = QMessageBox::No;
  main_.Synchronize([&] {
    answer = Ask(caption, text, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                 QMessageBox::No);
  });
  return answer == QMessageBox::Yes;
}

}  // namespace dt::ui
