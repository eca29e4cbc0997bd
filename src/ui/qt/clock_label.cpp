#include "ui/qt/clock_label.h"

#include <QTime>

namespace dt::ui {

ClockLabel::ClockLabel(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignCenter);
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  Tick();
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  timer_.start();
}

void ClockLabel::Tick() {
  setText(QTime::currentTime().toString("hh:mm:ss"));
}

}  // namespace dt::ui
