// Message boxes and Yes/No questions of the core, as Qt message boxes.
#pragma once

#include "app/qt_main_thread.h"
#include "device/notify.h"

namespace dt::ui {

// Boxes always appear on the GUI thread: a call from a worker is handed over
// as a blocking queued call, and the worker waits until the box is closed.
class QtNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& caption, const std::string& text) override;
  bool Confirm(const std::string& caption, const std::string& text) override;

 private:
  QtMainThread main_;
};

}  // namespace dt::ui
