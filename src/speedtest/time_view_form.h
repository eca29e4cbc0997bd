// The time chart window TForm4 as data: its form record, its controls and
// the rules of its chart's size. Every front end builds the window from this
// description.
#pragma once

#include "forms/form.h"

namespace dt {

// TForm4: "TimeView", 640 x 465, sizeable with a size grip.
const form::FormSpec& TimeViewForm();

namespace time_view {

// FormShow puts the window at the screen's (1, 1) and re-reads the chart.
inline constexpr int kShowLeft = 1;
inline constexpr int kShowTop = 1;

// FormResize: the chart keeps its top-left corner; it is the window's width
// less 10 wide when that is more than 210 pixels, else 200, and its height
// less 52 high when that is more than 312, else 260.
form::Rect ChartRect(int outerWidth, int outerHeight);

}  // namespace time_view
}  // namespace dt
