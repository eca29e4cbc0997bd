// The printed speed and time reports (TForm2, TForm3) as data: one A4
// landscape page with a title band (the date and time of printing and
// QRLabel9, the processor clock and drive identity), two columns of labels
// that the main window fills (QRLabel1 to QRLabel8) and the chart of the
// point table.
#pragma once

#include "forms/page.h"

namespace dt {

// TForm2: speed against position.
const page::PageSpec& SpeedReportPage();
// TForm3: the time of every block against its position.
const page::PageSpec& TimeReportPage();

}  // namespace dt
