// A small clock showing the time of day, updated every second.
#pragma once

#include <QLabel>
#include <QTimer>

namespace dt::ui {

class ClockLabel : public QLabel {
 public:
  explicit ClockLabel(QWidget* parent = nullptr);
  // Shows the current time now.
  void Tick();

 private:
  QTimer timer_;
};

}  // namespace dt::ui
