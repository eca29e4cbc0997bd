// The printed SMART report as data: the lines of the last report, one detail
// band each in a fixed-pitch font, under a page header with the drive title
// (QRLabel1), the date and time of printing and the page number. Portrait
// with small print (TSmartRep) or landscape (TSMARTrepLandscape).
#pragma once

#include "forms/page.h"

namespace dt {

// TSmartRep: A4 portrait, the lines in 6 point.
const page::PageSpec& SmartReportPage();
// TSMARTrepLandscape: A4 landscape, the lines in 8 point.
const page::PageSpec& SmartReportLandscapePage();

}  // namespace dt
