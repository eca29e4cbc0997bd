// The main window TForm1 as data: its form record, its controls in the order
// the window lists them, and the rules that change their state (the
// physical / logical switch, the running state, the chart's size on resize).
// Every front end builds the window from this description.
#pragma once

#include "forms/form.h"

namespace dt {

// TForm1: "Disk read speed (" + contact address + ")", 635 x 465, MS Sans
// Serif 8 pt.
const form::FormSpec& MainWindowForm();

namespace main_window {

// The status labels and the clock, repainted at once while a run keeps the
// main thread busy.
inline constexpr const char* kRepaintedLabels[] = {"ElTime", "Label6",  "Label10", "Label7",
                                                   "Label5", "Label4",  "Label3",  "Label2",
                                                   "DiskSz", "RxClock1"};

// FormShow: the logical list takes the drive selector's place, which hides.
void FormShow(form::FormState& s);
// PhysicalClick: the physical list in place of the logical one, and the
// SMART button and options enabled; or back. The front end refills the list
// that becomes visible.
void PhysicalClick(form::FormState& s, bool physical);
// During a run Button1 reads "Stop" and the report buttons (Button2 to
// Button8) are disabled.
void SetRunning(form::FormState& s, bool running);
// FormResize: the chart keeps its top-left corner; it is the client width
// less 2 wide when the window is wider than 210 pixels, else 200, and the
// client height less 113 high when the window is taller than 343 pixels,
// else 200.
form::Rect ChartRect(int outerWidth, int outerHeight, int clientWidth, int clientHeight);

}  // namespace main_window
}  // namespace dt
