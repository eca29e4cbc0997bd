#include "ui/qt/qt_notifier.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

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

// The icon and buttons of a message in the style every window program uses.
struct BoxStyle {
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
};
BoxStyle StyleFor(const std::string& caption, const std::string& text) {
  switch (StyleOf(caption, text)) {
    case MessageStyle::OkCancel:
      return {QMessageBox::NoIcon, QMessageBox::Ok | QMessageBox::Cancel};
    case MessageStyle::Information:
      return {QMessageBox::Information, QMessageBox::Ok};
    case MessageStyle::Warning:
      break;
  }
  return {QMessageBox::Warning, QMessageBox::Ok};
}

// What a worker waits for: the box closed.
class Answer {
 public:
  void Give() {
    std::lock_guard<std::mutex> lock(mu_);
    given_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [this] { return given_; });
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool given_ = false;
};

// Gives the answer when the last copy goes: a request that is dropped
// unshown, or a box that goes without being closed, still lets the worker on.
struct AnswerOnDrop {
  explicit AnswerOnDrop(std::shared_ptr<Answer> a) : answer(std::move(a)) {}
  ~AnswerOnDrop() { answer->Give(); }
  AnswerOnDrop(const AnswerOnDrop&) = delete;
  AnswerOnDrop& operator=(const AnswerOnDrop&) = delete;
  std::shared_ptr<Answer> answer;
};

}  // namespace

void QtNotifier::ShowMessage(const std::string& caption, const std::string& text) {
  const BoxStyle style = StyleFor(caption, text);
  if (QThread::currentThread() == context_.thread()) {
    Ask(caption, text, style.icon, style.buttons, QMessageBox::Ok);
    return;
  }
  auto answer = std::make_shared<Answer>();
  auto ticket = std::make_shared<AnswerOnDrop>(answer);
  QMetaObject::invokeMethod(
      &context_,
      [ticket, caption, text, style] {
        if (QApplication::activeModalWidget()) {
          Ask(caption, text, style.icon, style.buttons, QMessageBox::Ok);
          ticket->answer->Give();
          return;
        }
        auto* box = new QMessageBox(style.icon, Text(caption), Text(text), style.buttons, nullptr);
        box->setDefaultButton(QMessageBox::Ok);
        box->setWindowModality(Qt::NonModal);
        QObject::connect(box, &QDialog::finished, box, [box, ticket] {
          ticket->answer->Give();
          box->deleteLater();
        });
        box->show();
      },
      Qt::QueuedConnection);
  ticket.reset();
  answer->Wait();
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
