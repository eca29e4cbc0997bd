#include "speedtest/ui/errors_window.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

#include "speedtest/ui/window_geometry.h"

namespace dt::ui {

TErrListFrm::TErrListFrm(QWidget* parent) : QDialog(parent) {
  setObjectName("ErrListFrm");
  setWindowTitle("Errors");
  setSizeGripEnabled(true);
  RxClock1 = new ClockLabel(this);
  RxClock1->setObjectName("RxClock1");
  RxClock1->setGeometry(0, 0, 73, 17);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText("Memo1");
  Memo1->move(0, 16);
  resize(544, 375);
  FormResize();
}

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
  move(1, 1);
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
  const int w = outer.width() > 220 ? outer.width() - 10 : 210;
  const int h = outer.height() > 150 ? outer.height() - 45 : 105;
  Memo1->resize(w, h);
}

}  // namespace dt::ui
