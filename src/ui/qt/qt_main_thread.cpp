#include "ui/qt/qt_main_thread.h"

#include <QMetaObject>
#include <QThread>

namespace dt::ui {

QtMainThread::QtMainThread() = default;

void QtMainThread::Synchronize(const std::function<void()>& step) {
  if (QThread::currentThread() == context_.thread()) {
    step();
    return;
  }
  QMetaObject::invokeMethod(
      &context_, [&step] { step(); }, Qt::BlockingQueuedConnection);
}

}  // namespace dt::ui
