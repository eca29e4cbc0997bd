// The hand-over of worker steps to the Qt main thread.
#pragma once

#include <QObject>

#include "base/worker.h"

namespace dt::ui {

// Synchronize() from a worker is a blocking queued call into the thread that
// created this object (the GUI thread): the step runs there, inside whatever
// event loop is running (modal dialogs included), while the worker waits. A
// call from the GUI thread itself runs the step at once.
class QtMainThread : public MainThread {
 public:
  QtMainThread();
  void Synchronize(const std::function<void()>& step) override;

 private:
  QObject context_;
};

}  // namespace dt::ui
