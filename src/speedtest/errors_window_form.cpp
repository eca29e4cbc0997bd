#include "speedtest/errors_window_form.h"

#include <array>

namespace dt {

namespace {

using form::ControlSpec;
using form::Kind;

constexpr std::array kControls = {
    ControlSpec{Kind::Clock, "RxClock1", "", "", {0, 0, 73, 17}, false, "", 101},
    ControlSpec{Kind::Memo, "Memo1", "Memo1", "", {0, 16, 534, 330}, false, "", 102},
};

constexpr form::FormSpec kForm{"ErrListFrm", "Errors", 544,       375,
                               {},           0,        kControls, form::Border::SizeGrip};

}  // namespace

const form::FormSpec& ErrorsWindowForm() {
  return kForm;
}

namespace errors_window {

form::Rect MemoRect(int outerWidth, int outerHeight) {
  const form::Rect memo = kForm.Find("Memo1")->rect;
  return {memo.x, memo.y, outerWidth > 220 ? outerWidth - 10 : 210,
          outerHeight > 150 ? outerHeight - 45 : 105};
}

}  // namespace errors_window
}  // namespace dt
