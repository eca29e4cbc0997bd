// The "Get SMART" button of the main window: the SMART and IDENTIFY report
// of the selected physical disk goes line by line into the SMART window and
// the data module's line table, and the SMART window opens.
#pragma once

#include <string>

#include "health/smart_flow.h"
#include "ui/qt/forms.h"

namespace dt::ui {

// Records of the line table hold at most this many characters.
inline constexpr std::size_t kSmartRecordChars = 256;

// The report's line procedure: the line goes whole into the SMART window's
// memo and, cut to kSmartRecordChars characters, into a new record of the
// line table (RxMemoryData2).
void AddSmartLine(const Forms& forms, const std::string& line);

// Builds the report of physical drive `drive`, puts the drive title on both
// printed forms, and shows the SMART window modally. Every failure of the
// drive is a line of the report: the window opens in every case.
void ShowSmartReport(const Forms& forms, int drive, const SmartOptions& options);

}  // namespace dt::ui
