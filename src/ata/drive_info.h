// The drive information section of the SMART report: the geometry the
// storage driver reports, then the identity and supported modes from the
// IDENTIFY block.
#pragma once

#include "ata/tide_smart.h"

namespace dt {

// Writes the section for an open drive; nothing when it is not open. Sends
// the geometry request and IDENTIFY afresh on every call.
void ReportDriveInfo(TIDE_SMART& smart, const TReportLineProc& line);

}  // namespace dt
