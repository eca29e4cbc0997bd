#include "ui/qt/errors_window.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

#include "speedtest/errors_window_form.h"
#include "ui/qt/window_geometry.h"

namespace dt::ui {

TErrListFrm::TErrListFrm(QWidget* parent) : QDialog(parent) {
  built_ = std::make_unique<BuiltForm>(
      this, ErrorsWindowForm(), [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
        return c.kind == form::Kind::Clock ? new ClockLabel(p) : nullptr;
      });
  RxClock1 = built_->Get<ClockLabel>("RxClock1");
  Memo1 = built_->Get<QPlainTextEdit>("Memo1");
  FormResize();
}

TErrListFrm::~TErrListFrm() = default;

void TErrListFrm::Clear() {
  Memo1->clear();
}

void TErrListFrm::AppendLine(const QString& line) {
  Memo1->appendPlainText(line);
}

void TErrListFrm::AppendLine(const std::string& line) {
  AppendLine(QString::fromStdString(line));
}

QStringList TErrListFrm::Lines() const {
  return Memo1->toPlainText().split('\n');
}

int TErrListFrm::ShowModal() {
  setWindowModality(Qt::ApplicationModal);
  return exec();
}

void TErrListFrm::ShowModeless() {
  setWindowModality(Qt::NonModal);
  show();
  raise();
  activateWindow();
}

void TErrListFrm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormShow();
}

void TErrListFrm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TErrListFrm::FormShow() {
  move(errors_window::kShowLeft, errors_window::kShowTop);
  // The newest lines in view, from their beginnings.
  QTextCursor c = Memo1->textCursor();
  c.movePosition(QTextCursor::End);
  c.movePosition(QTextCursor::StartOfBlock);
  Memo1->setTextCursor(c);
  // The memo scrolls to its cursor once more as it is laid out: settle on
  // the last lines, from their beginnings, after that.
  QTimer::singleShot(0, Memo1, [this] {
    Memo1->horizontalScrollBar()->setValue(0);
    Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
  });
}

void TErrListFrm::FormResize() {
  const QSize outer = OuterSize(this);
  const form::Rect r = errors_window::MemoRect(outer.width(), outer.height());
  Memo1->resize(r.width, r.height);
}

}  // namespace dt::ui
