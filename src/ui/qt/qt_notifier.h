// Message boxes and Yes/No questions of the core, as Qt message boxes.
#pragma once

#include <QObject>

#include "base/notify.h"
#include "ui/qt/qt_main_thread.h"

namespace dt::ui {

// Boxes always appear on the GUI thread. A box asked for on the GUI thread
// is modal. A box of a worker (a read error during a read-speed run) is
// modal to no window: the worker waits until it is closed, while the
// windows keep working, so that Stop can be pressed meanwhile. Only when a
// modal window is up (the surface test) is a worker's box modal too: a
// window outside a modal one could not be answered.
class QtNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override;
  bool Confirm(const std::string& caption, const std::string& text) override;

 private:
  QtMainThread main_;
  QObject context_;  // the GUI thread, for boxes that do not block it
};

}  // namespace dt::ui
