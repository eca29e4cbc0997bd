// The "Get SMART" button of the main window: the SMART and IDENTIFY report
// of the selected physical disk goes line by line into the SMART window and
// the data module's line table, and the SMART window opens.
#pragma once

#include <cstddef>
#include <string>

#include "health/smart_flow.h"
#include "ui/win32/forms.h"

namespace dt::win {

// Records of the line table hold at most this many characters.
inline constexpr std::size_t kSmartRecordChars = 256;

// The report's line procedure: the line goes whole into the SMART window's
// memo and, cut to kSmartRecordChars characters, into a new record of the
// line table (RxMemoryData2).
void AddSmartLine(const Forms& forms, const std::string& line);

// The work of the button for drive `drive` with `options`: the report into
// the SMART window and the line table of `forms`, the drive title on both
// printed forms, and the SMART window shown modally; returns when it is
// closed. Needs forms.SMARTinfo, DataModule1, SmartRep and SMARTrepLandscape.
// Every failure of the drive is a line of the report: the window opens in
// every case.
void ShowSmartReport(const Forms& forms, int drive, const SmartOptions& options);

}  // namespace dt::win
