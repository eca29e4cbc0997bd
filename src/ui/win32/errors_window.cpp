#include "ui/win32/errors_window.h"

#include "speedtest/errors_window_form.h"

namespace dt::win {

TErrListFrm::TErrListFrm() : Form(ErrorsWindowForm()) {
  RxClock1 = Get<Clock>("RxClock1");
  Memo1 = Get<Memo>("Memo1");
  FormResize();
}

void TErrListFrm::Clear() {
  Memo1->Clear();
}

void TErrListFrm::AppendLine(const std::string& line) {
  Memo1->AppendLine(line);
}

std::vector<std::string> TErrListFrm::Lines() const {
  return Memo1->Lines();
}

void TErrListFrm::ShowModeless() {
  Show();
}

void TErrListFrm::FormShow() {
  Move(errors_window::kShowLeft, errors_window::kShowTop);
  // The newest lines in view, from their beginnings.
  Memo1->ScrollToEnd();
}

void TErrListFrm::FormResize() {
  const SIZE outer = OuterSize();
  const form::Rect r = errors_window::MemoRect(outer.cx, outer.cy);
  SetWindowPos(Memo1->hwnd(), nullptr, 0, 0, r.width, r.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace dt::win
