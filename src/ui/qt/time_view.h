// The time chart window: the time of every block against its position,
// built from its description.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/qt/clock_label.h"
#include "ui/qt/form_builder.h"
#include "ui/qt/line_chart.h"

namespace dt::ui {

class TForm4 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm4(QWidget* parent = nullptr);
  ~TForm4() override;

  LineChart* DBChart1;
  ClockLabel* RxClock1;

  // Shows the window and returns when it is closed.
  int ShowModal();

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void FormShow();
  void FormResize();

  std::unique_ptr<BuiltForm> built_;
};

}  // namespace dt::ui
