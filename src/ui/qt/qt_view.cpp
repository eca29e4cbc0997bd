#include "ui/qt/qt_view.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "ui/qt/line_chart.h"
#include "ui/qt/widgets.h"
#include "ui/qt/window_geometry.h"

namespace dt::ui {

namespace {

// Runs a handler when the focus leaves the edit it watches for another
// control, not when the window loses the focus to a message box or another
// window.
class LeaveFilter : public QObject {
 public:
  LeaveFilter(QObject* edit, std::function<void()> handler)
      : QObject(edit), handler_(std::move(handler)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) handler_();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> handler_;
};

}  // namespace

std::string QtView::Text(const std::string& control) const {
  QWidget* w = form_.Get<QWidget>(control);
  if (auto* box = qobject_cast<QComboBox*>(w)) return ComboText(box);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
  return w->windowTitle().toStdString();
}

void QtView::SetText(const std::string& control, const std::string& text) {
  QWidget* w = form_.Get<QWidget>(control);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(Q(text));
    label->adjustSize();
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    const QString now = Q(text);
    const QString old = edit->text();
    if (old == now) return;
    if (!edit->hasFocus()) return edit->setText(now);
    int caret = 0;
    for (int i = 0; i < edit->cursorPosition() && i < old.size(); ++i)
      if (old[i].isDigit()) ++caret;
    edit->setText(now);
    edit->setCursorPosition(std::min<int>(caret, static_cast<int>(now.size())));
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(Q(text));
  }
}

bool QtView::Checked(const std::string& control) const {
  return form_.Get<QAbstractButton>(control)->isChecked();
}

void QtView::SetItems(const std::string& control, const std::vector<app::ListItem>& items) {
  auto* box = form_.Get<QComboBox>(control);
  box->clear();
  for (const app::ListItem& item : items) {
    if (item.data.empty())
      box->addItem(Q(item.text));
    else
      box->addItem(Q(item.text), Q(item.data));
  }
  if (box->count() > 0) box->setCurrentIndex(0);
}

void QtView::OnClick(const std::string& control, std::function<void()> handler) {
  auto* button = form_.Get<QAbstractButton>(control);
  if (qobject_cast<QCheckBox*>(button))
    QObject::connect(button, &QAbstractButton::toggled, window_, [handler] { handler(); });
  else
    QObject::connect(button, &QAbstractButton::clicked, window_, [handler] { handler(); });
}

void QtView::OnChange(const std::string& control, std::function<void()> handler) {
  QObject::connect(form_.Get<QLineEdit>(control), &QLineEdit::textChanged, window_,
                   [handler] { handler(); });
}

void QtView::OnLeave(const std::string& control, std::function<void()> handler) {
  auto* edit = form_.Get<QLineEdit>(control);
  edit->installEventFilter(new LeaveFilter(edit, std::move(handler)));
}

void QtView::ShowModal() {
  window_->setWindowModality(Qt::ApplicationModal);
  if (auto* dialog = qobject_cast<QDialog*>(window_))
    dialog->exec();
  else
    window_->show();
}

void QtView::StartTimer(const std::string& name, int ms, std::function<void()> tick) {
  auto* timer = new QTimer(window_);
  timer->setObjectName(Q(name));
  timer->setInterval(ms);
  QObject::connect(timer, &QTimer::timeout, window_, [tick] { tick(); });
  timer->start();
}

app::Size QtView::OuterSize() const {
  const QSize s = ui::OuterSize(window_);
  return {s.width(), s.height()};
}

app::Size QtView::ControlSize(const std::string& control) const {
  const QWidget* w = form_.Get<QWidget>(control);
  return {w->width(), w->height()};
}

void QtView::Resize(const std::string& control, int width, int height) {
  form_.Get<QWidget>(control)->resize(width, height);
}

void QtView::SetImage(const std::string& control, int width, int height,
                      const std::vector<std::uint8_t>& rgb) {
  auto* chart = form_.Get<LineChart>(control);
  if (rgb.empty())
    chart->ClearImage();
  else
    chart->SetImage(width, height, rgb);
}

void QtView::Refresh(const std::string& control) {
  form_.Get<LineChart>(control)->Refresh();
}

void QtView::Repaint(const std::string& control) {
  form_.Get<QWidget>(control)->repaint();
}

void QtView::ServeEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QThread::msleep(1);
}

}  // namespace dt::ui
