// Helpers of the window tests: a simulated machine, the program's windows on
// it, and a watcher that answers the modal windows a handler opens.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/sim/sim_platform.h"
#include "ui/qt/clock_label.h"
#include "ui/qt/gui_app.h"
#include "ui/qt/line_chart.h"

namespace dt::ui::test {

// A simulated machine with a virtual clock, from a JSON descriptor.
inline std::unique_ptr<SimPlatform> Machine(const std::string& json) {
  std::string error;
  auto m = ParseSimMachine(json, "", "test machine", &error);
  if (!m) qFatal("bad test machine: %s", error.c_str());
  return m;
}

// Two disks and two volumes: disk 0 of 64 MiB reads cleanly, disk 1 of
// 8 MiB has unreadable sectors; C is on disk 0, D on disk 1.
inline const char* kTwoDisks = R"json({
  "perf_frequency": 10000000,
  "disks": [
    {"size": 67108864, "speed": {"start_mbps": 100, "end_mbps": 50, "latency_ms": 0.1},
     "capture": "builtin:st9100821as"},
    {"size": 8388608, "speed": {"start_mbps": 40, "end_mbps": 40, "latency_ms": 0.1},
     "unreadable": [[2048, 2055], [9000, 9000]]}
  ],
  "volumes": [
    {"name": "C", "label": "SYSTEM", "fs": "NTFS", "disk": 0, "offset": 0, "size": 67108864},
    {"name": "D", "label": "DATA", "fs": "FAT32", "disk": 1, "offset": 0, "size": 8388608}
  ]
})json";

// Runs an event loop until `done` holds or `timeoutMs` has passed; true when
// it holds. Unlike QTRY_*, which sleeps between its passes, the loop wakes
// at once for each step a worker hands to this thread.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(2);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

// Calls `act` with every modal window that appears, until stopped (or with
// every window that `find` finds). The action runs from the event loop of
// the modal window itself.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void(QWidget*)> act,
                        std::function<QWidget*()> find = &QApplication::activeModalWidget)
      : act_(std::move(act)), find_(std::move(find)), base_(find_()) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* w = find_();
      if (!w) last_ = nullptr;
      // The window that was modal when the watcher began (the one the test
      // works in) shows again between two boxes: it is never acted on.
      if (!w || w == last_ || w == base_) return;
      last_ = w;
      ++seen_;
      act_(w);
    });
    timer_.start();
  }
  int Seen() const { return seen_; }

 private:
  std::function<void(QWidget*)> act_;
  std::function<QWidget*()> find_;
  QTimer timer_;
  QPointer<QWidget> base_;
  QPointer<QWidget> last_;
  int seen_ = 0;
};

// The message box on screen that is modal to no window, if any.
inline QMessageBox* ModelessBox() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box && box->isVisible() && !box->isModal()) return box;
  }
  return nullptr;
}

// Closes a message box by `button` and remembers its caption and text.
struct BoxRecord {
  QString caption;
  QString text;
};
inline void AnswerBox(QWidget* w, QMessageBox::StandardButton button, BoxRecord* rec) {
  auto* box = qobject_cast<QMessageBox*>(w);
  QVERIFY2(box, qPrintable(QString("expected a message box, got ") + w->metaObject()->className()));
  rec->caption = box->windowTitle();
  rec->text = box->text();
  QTimer::singleShot(0, box, [box, button] { box->button(button)->click(); });
}

}  // namespace dt::ui::test
