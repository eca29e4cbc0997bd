#include "ui/qt/time_view.h"

#include "speedtest/time_view_form.h"
#include "ui/qt/window_geometry.h"

namespace dt::ui {

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
  built_ = std::make_unique<BuiltForm>(this, TimeViewForm(),
                                       [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
                                         if (c.kind == form::Kind::Clock) return new ClockLabel(p);
                                         if (c.kind == form::Kind::Chart)
                                           return new LineChart(QString::fromUtf8(c.caption), p);
                                         return nullptr;
                                       });
  DBChart1 = built_->Get<LineChart>("DBChart1");
  RxClock1 = built_->Get<ClockLabel>("RxClock1");
  FormResize();
}

TForm4::~TForm4() = default;

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
  move(time_view::kShowLeft, time_view::kShowTop);
  DBChart1->Refresh();
}

void TForm4::FormResize() {
  const QSize outer = OuterSize(this);
  const form::Rect r = time_view::ChartRect(outer.width(), outer.height());
  DBChart1->resize(r.width, r.height);
}

}  // namespace dt::ui
