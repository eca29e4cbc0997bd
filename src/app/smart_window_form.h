// The SMART info window TSMARTinfo as data: its form record, its controls
// (the report buttons, the clock and the fixed-pitch memo that holds the
// report) and the rules that place them. Every front end builds the window
// from this description.
#pragma once

#include "forms/form.h"

namespace dt {

// TSMARTinfo: "SMART info form", 630 x 460, sizeable, MS Sans Serif 8 pt;
// the memo in a fixed-pitch font so that the report's columns line up.
const form::FormSpec& SmartInfoForm();

namespace smart_window {

// The caption of the font dialog that the "Font" button opens.
inline constexpr const char* kFontDialogTitle = "Font";

// FormShow: the window's outer top-left corner moves to (1, 1).
inline constexpr int kShowLeft = 1;
inline constexpr int kShowTop = 1;

// FormResize: the memo keeps its top-left corner; it is the client width
// less 20 wide when that is more than 200, else 180, and the client height
// less 40 high when that is more than 200, else 160.
form::Rect MemoRect(int clientWidth, int clientHeight);

// The printed form that Preview, Print and Printer setup act on: portrait
// when the report carries the reserved bytes (its lines are wider), else
// landscape.
enum class PrintedForm : bool { Landscape, Portrait };
PrintedForm ChosenForm(bool reserved);

}  // namespace smart_window
}  // namespace dt
