#include "speedtest/ui/time_view.h"

#include "speedtest/ui/window_geometry.h"

namespace dt::ui {

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
  setObjectName("Form4");
  setWindowTitle("TimeView");
  setSizeGripEnabled(true);
  DBChart1 = new LineChart("Time of disk", this);
  DBChart1->setObjectName("DBChart1");
  DBChart1->setGeometry(0, 20, 625, 413);
  RxClock1 = new ClockLabel(this);
  RxClock1->setObjectName("RxClock1");
  RxClock1->setGeometry(568, 0, 57, 17);
  resize(640, 465);
  FormResize();
}

int TForm4::ShowModal() {
  return exec();
}

void TForm4::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormShow();
}

void TForm4::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TForm4::FormShow() {
  move(1, 1);
  DBChart1->Refresh();
}

void TForm4::FormResize() {
  const QSize outer = OuterSize(this);
  const int w = outer.width() > 210 ? outer.width() - 10 : 200;
  const int h = outer.height() > 312 ? outer.height() - 52 : 260;
  DBChart1->resize(w, h);
}

}  // namespace dt::ui
