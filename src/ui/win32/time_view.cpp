#include "ui/win32/time_view.h"

#include "speedtest/time_view_form.h"

namespace dt::win {

TForm4::TForm4() : Form(TimeViewForm()) {
  DBChart1 = Get<LineChart>("DBChart1");
  RxClock1 = Get<Clock>("RxClock1");
  FormResize();
}

void TForm4::FormShow() {
  Move(time_view::kShowLeft, time_view::kShowTop);
  DBChart1->Refresh();
}

void TForm4::FormResize() {
  const SIZE outer = OuterSize();
  const form::Rect r = time_view::ChartRect(outer.cx, outer.cy);
  SetWindowPos(DBChart1->hwnd(), nullptr, 0, 0, r.width, r.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace dt::win
