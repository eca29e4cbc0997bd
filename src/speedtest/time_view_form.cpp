#include "speedtest/time_view_form.h"

#include <array>

namespace dt {

namespace {

using form::ControlSpec;
using form::Kind;

constexpr std::array kControls = {
    ControlSpec{Kind::Chart, "DBChart1", "Time of disk", "", {0, 20, 625, 413}, false, "", 101},
    ControlSpec{Kind::Clock, "RxClock1", "", "", {568, 0, 57, 17}, false, "", 102},
};

constexpr form::FormSpec kForm{"Form4", "TimeView", 640,       465,
                               {},      0,          kControls, form::Border::SizeGrip};

}  // namespace

const form::FormSpec& TimeViewForm() {
  return kForm;
}

namespace time_view {

form::Rect ChartRect(int outerWidth, int outerHeight) {
  const form::Rect chart = kForm.Find("DBChart1")->rect;
  return {chart.x, chart.y, outerWidth > 210 ? outerWidth - 10 : 200,
          outerHeight > 312 ? outerHeight - 52 : 260};
}

}  // namespace time_view
}  // namespace dt
