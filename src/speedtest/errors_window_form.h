// The errors window TErrListFrm as data: its form record, its controls and
// the rule of its memo's size. Every front end builds the window from this
// description.
#pragma once

#include "forms/form.h"

namespace dt {

// TErrListFrm: "Errors", 544 x 375, sizeable with a size grip.
const form::FormSpec& ErrorsWindowForm();

namespace errors_window {

// FormShow puts the window at the screen's (1, 1), the newest lines in view.
inline constexpr int kShowLeft = 1;
inline constexpr int kShowTop = 1;

// FormResize: the memo keeps its top-left corner; it is the window's width
// less 10 wide when that is more than 220 pixels, else 210, and its height
// less 45 high when that is more than 150, else 105.
form::Rect MemoRect(int outerWidth, int outerHeight);

}  // namespace errors_window
}  // namespace dt
